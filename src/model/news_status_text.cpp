#include "model/news_status_text.h"

#include "model/database_texts.h"
#include "store/search_terms.h"

std::string NewsStatusText(int count) {
    return "共 " + std::to_string(count) + " 条新闻";
}

std::string SearchStatusText(int count, const SearchShortfall& shortfall) {
    std::string text = "搜索到" + std::to_string(count) + "条新闻";
    if (shortfall.textCut) {
        text += "；搜索词太长，只搜索了前 " + std::to_string(kSearchPartLimit) + " 个词（" +
                std::to_string(kSearchTextLimit) + " 字节以内）";
    }
    if (shortfall.reason != 0) {
        text += "；另有 " + std::to_string(shortfall.unindexed) + " 条新闻未能编入索引，没有搜索：";
        switch (DatabaseTroubleOf(shortfall.reason)) {
            case DatabaseTrouble::kDiskFull:
                text += "磁盘已满，请腾出空间后再搜索";
                break;
            case DatabaseTrouble::kBusy:
                text += "数据库正被其他程序占用，请稍后再搜索";
                break;
            case DatabaseTrouble::kReadOnly:
            case DatabaseTrouble::kNoAccess:
                text += "数据文件夹只能读取";
                break;
            default:
                text += "数据库出错（错误码 " + std::to_string(shortfall.reason) + "）";
                break;
        }
    }
    return text;
}

std::string IndexingStatusText(std::int64_t count) {
    return "正在为 " + std::to_string(count) + " 条新闻建立索引…";
}
