#include "feeds/search_url.h"

#include <mutex>

#include "feeds/services_config.h"

namespace {

// The address built most recently, kept for unknown engine indexes; replaced whole.
std::mutex g_lastUrlMutex;
std::string g_lastUrl;

}  // namespace

std::string BuildSearchUrl(int pageIndex, int itemsPerPage, int engine, std::string_view word) {
    const std::string page = std::to_string(pageIndex);
    std::string url;
    switch (engine) {
        case kEngineBaidu:
            url = Services().Base("search.baidu") + "/ns?word= " + std::string(word) +
                  " &ie=gb2312&cl=&rn=0" + std::to_string(itemsPerPage) + "&ct=" + page +
                  "&tn=newsrss&class=0";
            break;
        case kEngineGoogle:
            url = Services().Base("search.google") + "/news?hl=zh-CN&q=" + std::string(word) +
                  "&lr=&tab=wn&ie=UTF-8&scoring=d&output=rss";
            break;
        case kEngineYahoo:
            url = Services().Base("search.yahoo") + "/searchrss.html?p=" + std::string(word) +
                  "&pid=yisou&b=" + page + "&sort=t";
            break;
        case kEngineSogou:
            url = Services().Base("search.sogou") + "/xml?query=" + std::string(word) +
                  "&page=" + page + "&&time=0&sort=1&";
            break;
        default: {
            std::lock_guard lock(g_lastUrlMutex);
            return g_lastUrl;
        }
    }
    std::lock_guard lock(g_lastUrlMutex);
    g_lastUrl = url;
    return url;
}

bool ExpectsGbkQuery(std::string_view address) {
    return address.starts_with(Services().Base("search.sogou") + "/xml?");
}
