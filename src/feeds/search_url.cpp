#include "feeds/search_url.h"

#include "feeds/search_template.h"
#include "feeds/services_config.h"

int KnownSearchEngine(int engine) {
    return engine >= kEngineBaidu && engine <= kEngineSogou ? engine : kEngineBaidu;
}

const char* SearchServiceKey(int engine) {
    switch (engine) {
        case kEngineGoogle:
            return "search.google";
        case kEngineYahoo:
            return "search.yahoo";
        case kEngineSogou:
            return "search.sogou";
        default:
            return "search.baidu";
    }
}

std::string BuildSearchUrl(int pageIndex, int itemsPerPage, int engine, std::string_view word) {
    const std::string addressTemplate = Services().SearchTemplate(SearchServiceKey(engine));
    if (!addressTemplate.empty()) {
        const bool gbk = TemplateTakesGbk(addressTemplate, engine == kEngineSogou);
        return ExpandSearchTemplate(addressTemplate, pageIndex, itemsPerPage, word, gbk);
    }
    const std::string page = std::to_string(pageIndex);
    switch (engine) {
        case kEngineGoogle:
            return Services().Base("search.google") + "/news?hl=zh-CN&q=" + std::string(word) +
                   "&lr=&tab=wn&ie=UTF-8&scoring=d&output=rss";
        case kEngineYahoo:
            return Services().Base("search.yahoo") + "/searchrss.html?p=" + std::string(word) +
                   "&pid=yisou&b=" + page + "&sort=t";
        case kEngineSogou:
            return Services().Base("search.sogou") + "/xml?query=" + std::string(word) +
                   "&page=" + page + "&&time=0&sort=1&";
        default:
            // Baidu, also for an index outside the table: reusing whatever address was built
            // last would file another keyword's news under this one.
            return Services().Base("search.baidu") + "/ns?word= " + std::string(word) +
                   " &ie=gb2312&cl=&rn=0" + std::to_string(itemsPerPage) + "&ct=" + page +
                   "&tn=newsrss&class=0";
    }
}

bool ExpectsGbkQuery(std::string_view address) {
    // A template's word arrives encoded already.
    return Services().SearchTemplate("search.sogou").empty() &&
           address.starts_with(Services().Base("search.sogou") + "/xml?");
}
