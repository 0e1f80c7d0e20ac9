#include "model/write_failure_text.h"

#include <cerrno>

std::string WriteFailureReason(int errorNumber) {
    switch (errorNumber) {
        case ENOSPC:
        case EDQUOT:
            return "磁盘已满";
        case EISDIR:
        case ENOTEMPTY:
        case EEXIST:
            return "那里有一个同名的文件夹";
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case EROFS:
            return "磁盘只能读取";
        case ENOENT:
        case ENOTDIR:
            return "所在的文件夹不存在";
        case 0:
            return "原因不明";
        default:
            return "系统错误 " + std::to_string(errorNumber);
    }
}
