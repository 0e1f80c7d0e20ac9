#include "feeds/pass_plan.h"

#include <map>

#include "feeds/search_url.h"

std::vector<PlannedSource> SearchPlan(const std::vector<std::string>& keywords, int maxPages,
                                      int itemsPerPage, int engine) {
    std::vector<PlannedSource> plan;
    const std::string service = SearchServiceKey(engine);
    std::vector<std::string> firstPages;
    for (int page = 0; page < maxPages; ++page) {
        for (std::size_t k = 0; k < keywords.size(); ++k) {
            std::string address = BuildSearchUrl(page, itemsPerPage, engine, keywords[k]);
            if (page == 0) {
                firstPages.push_back(address);
            } else if (address == firstPages[k]) {
                continue;
            }
            plan.push_back({keywords[k], std::move(address), engine, service, page, {}});
        }
    }
    return plan;
}

std::vector<PlannedSource> OneSourcePerAddress(std::vector<PlannedSource> plan) {
    std::vector<PlannedSource> merged;
    std::map<std::string, std::size_t> indexOf;
    for (PlannedSource& source : plan) {
        const auto [it, added] = indexOf.emplace(source.address, merged.size());
        if (added) {
            merged.push_back(std::move(source));
        } else {
            merged[it->second].sharedWith.push_back(std::move(source.keyword));
        }
    }
    return merged;
}

std::vector<PlannedSource> SubscribedPlan(const std::string& keyword,
                                          const std::vector<std::string>& addresses) {
    std::vector<PlannedSource> plan;
    for (const std::string& address : addresses) {
        plan.push_back({keyword, address, -1, "", 0, {}});
    }
    return plan;
}
