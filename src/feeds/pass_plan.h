#pragma once

#include <string>
#include <vector>

// One source an update or a refresh fetches: a channel's search address, or a feed
// subscribed for it.
struct PlannedSource {
    std::string keyword;
    std::string address;
    int engine = -1;      // the search service's engine index; -1 for a subscribed feed
    std::string service;  // its key in data/services.conf ("search.baidu" ...); "" likewise
    int page = 0;         // the search page, counted from 0
    // Of a subscribed feed, the other channels that subscribed the same address: it is
    // fetched once, and its items go to each of them too.
    std::vector<std::string> sharedWith;
    bool Subscribed() const { return engine < 0; }
};

// The search addresses of one pass over `keywords`: every keyword's page 0, then every
// keyword's page 1, up to page maxPages - 1. A page whose address is that of the keyword's
// page 0 (a service whose address takes no page) is left out: it would fetch the same
// results again.
std::vector<PlannedSource> SearchPlan(const std::vector<std::string>& keywords, int maxPages,
                                      int itemsPerPage, int engine);

// The keyword's feeds at `addresses`, as sources.
std::vector<PlannedSource> SubscribedPlan(const std::string& keyword,
                                          const std::vector<std::string>& addresses);

// `plan` with each address once: the first source of an address takes the keywords of the
// later ones into its `sharedWith`, in plan order.
std::vector<PlannedSource> OneSourcePerAddress(std::vector<PlannedSource> plan);
