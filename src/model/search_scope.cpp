#include "model/search_scope.h"

#include <unordered_set>

#include "base/ascii.h"
#include "store/ado_recordset.h"

namespace {

// Channel names are far shorter; the buffer only has to hold them whole.
constexpr int kTitleBufferSize = 512;

}  // namespace

std::vector<std::int64_t> ChannelsNotInTree(const CAdoConnection& connection,
                                            const std::vector<std::string>& treeNames) {
    std::unordered_set<std::string> inTree;
    for (const std::string& name : treeNames) {
        inTree.insert(AsciiLowered(name));
    }
    std::vector<std::int64_t> ids;
    CAdoRecordset channels(connection);
    if (!channels.Open("select ID, rss_title from channel")) {
        return ids;
    }
    std::int32_t id = 0;
    char title[kTitleBufferSize] = {};
    while (!channels.IsEOF()) {
        channels.BindColumn(0, &id, sizeof id, kBindNumber);
        channels.BindColumn(1, title, sizeof title, kBindText);
        title[0] = '\0';
        channels.Fetch();
        if (inTree.count(AsciiLowered(title)) == 0) {
            ids.push_back(id);
        }
        channels.MoveNext();
    }
    return ids;
}
