#pragma once

#include <string>
#include <string_view>

// News-search services, the settings' "新闻当前频道".
enum SearchEngineIndex : int {
    kEngineBaidu = 0,
    kEngineGoogle = 1,
    kEngineYahoo = 2,
    kEngineSogou = 3,
};

// `engine` when it names a service, else engine 0, which stands in for an unknown one.
int KnownSearchEngine(int engine);

// The key of the engine's service in data/services.conf ("search.baidu" ...); engine 0's for
// an index outside 0 to 3.
const char* SearchServiceKey(int engine);

// The address of the result feed of `word` at `pageIndex` on `engine`, with `itemsPerPage`
// results asked for where the service takes it. In the built-in addresses the word goes in
// byte for byte (the fetch layer percent-encodes it on the wire); a service given an address
// template in data/services.conf gets the template expanded, its word percent-encoded as GBK
// where the template or the service asks for it (Sogou, unless its template's "ie" says
// otherwise), else as UTF-8. An engine index outside 0 to 3 searches with engine 0.
// Thread-safe.
std::string BuildSearchUrl(int pageIndex, int itemsPerPage, int engine, std::string_view word);

// Whether `address` is a search of a service that takes its words in GBK without saying so
// in the query (the Sogou news search): its fetch must set FetchOptions::gbkQuery.
bool ExpectsGbkQuery(std::string_view address);
