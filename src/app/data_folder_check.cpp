#include "app/data_folder_check.h"

#include <QMessageBox>
#include <cstdio>

#include "app/quillon_app.h"
#include "feeds/feed_store.h"

namespace {

constexpr char kNoFolder[] = "找不到数据文件夹：请设置环境变量 QUILLON_DATA 或 HOME。";
constexpr char kCannotCreateFolder[] = "无法创建文件夹 %1：%2";
constexpr char kNoTemplate[] = "无法创建 %1：找不到数据模板（%2）。";
constexpr char kCannotWriteFile[] = "无法写入 %1：%2";
constexpr char kDatabaseEmpty[] = "数据库 %1 是空文件（0 字节）。";
constexpr char kDatabaseUnreadable[] = "无法读取数据库 %1：%2。";
constexpr char kDatabaseLacksTables[] = "数据库 %1 缺少数据表：%2。";
constexpr char kDatabaseBusy[] =
    "数据库 %1 正被另一个程序使用，一直处于锁定状态（%2）。\n\n"
    "请关闭那个程序或等它完成后再启动本程序。数据库文件完好，无需移动或删除。";
constexpr char kDatabaseReadOnly[] =
    "数据库 %1 只能读取，不能写入（%2），新闻无法存入。\n\n"
    "请为该文件及其所在文件夹开放写入权限后再启动。数据库文件完好，无需移动或删除。";
constexpr char kDatabaseInaccessible[] =
    "无法打开数据库 %1（%2）。\n\n请检查您对该文件及其所在文件夹的读写权限。";
constexpr char kDatabaseLeft[] =
    "\n\n该文件保持原样，不会被重建。将它移走后重新启动，程序会建立新的数据库。";

// Puts the path and the detail in at once, so that a "%2" inside a path stays as it is.
QString Fill(const char* text, const DataFolderStatus& status) {
    const QString message = QString::fromUtf8(text);
    const QString path = QString::fromStdString(status.path);
    if (message.contains(QStringLiteral("%2"))) {
        return message.arg(path, QString::fromStdString(status.detail));
    }
    return message.contains(QStringLiteral("%1")) ? message.arg(path) : message;
}

}  // namespace

QString DataFolderMessage(const DataFolderStatus& status) {
    const QString left = QString::fromUtf8(kDatabaseLeft);
    switch (status.fault) {
        case DataFolderFault::kNone:
            return {};
        case DataFolderFault::kNoFolder:
            return Fill(kNoFolder, status);
        case DataFolderFault::kCannotCreateFolder:
            return Fill(kCannotCreateFolder, status);
        case DataFolderFault::kNoTemplate:
            return Fill(kNoTemplate, status);
        case DataFolderFault::kCannotWriteFile:
            return Fill(kCannotWriteFile, status);
        case DataFolderFault::kDatabaseEmpty:
            return Fill(kDatabaseEmpty, status) + left;
        case DataFolderFault::kDatabaseUnreadable:
            return Fill(kDatabaseUnreadable, status) + left;
        case DataFolderFault::kDatabaseLacksTables:
            return Fill(kDatabaseLacksTables, status) + left;
        case DataFolderFault::kDatabaseBusy:
            return Fill(kDatabaseBusy, status);
        case DataFolderFault::kDatabaseReadOnly:
            return Fill(kDatabaseReadOnly, status);
        case DataFolderFault::kDatabaseInaccessible:
            return Fill(kDatabaseInaccessible, status);
    }
    return {};
}

bool PrepareDataFolder(QWidget* parent) {
    const std::string folder = DefaultDataFolder();
    const DataFolderStatus status = LayOutDataFolder(folder, FindDataTemplate());
    if (!status.Ok()) {
        std::fprintf(stderr, "quillon: %s\n", DescribeDataFolderStatus(status).c_str());
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillon"), DataFolderMessage(status),
                        QMessageBox::Ok, parent);
        box.exec();
        return false;
    }
    if (folder != theStore.StartDirectory()) {
        theStore.Rebase(folder);
    }
    return true;
}
