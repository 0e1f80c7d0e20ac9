#include "feeds/opml_document.h"

#include <map>
#include <set>

#include "base/ascii.h"
#include "base/clock.h"
#include "base/http_fetch.h"
#include "base/text_util.h"
#include "feeds/search_url.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"
#include "store/sys_data.h"

namespace {

constexpr std::string_view kExtension = ".opml";

// Local time, each number without leading zeros: 2006-5-9 8:3:7.
std::string DateCreatedText(const CalendarTime& now) {
    return std::to_string(now.year) + "-" + std::to_string(now.month) + "-" +
           std::to_string(now.day) + " " + std::to_string(now.hour) + ":" +
           std::to_string(now.minute) + ":" + std::to_string(now.second);
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::vector<XmlNode> ChildOutlines(const XmlNode& node) {
    std::vector<XmlNode> outlines;
    for (const XmlNode& child : node.childNodes()) {
        if (child.IsElement() && child.name() == "outline") {
            outlines.push_back(child);
        }
    }
    return outlines;
}

std::optional<std::string> QuillonAttribute(const XmlNode& node, std::string_view name) {
    return node.getAttributeNS(kQuillonOpmlNamespace, name);
}

bool MarkedAsFolder(const XmlNode& node) {
    return QuillonAttribute(node, "folder") == "true";
}

COpmlOutline RecordOf(const XmlNode& node, const std::vector<std::string>& path) {
    COpmlOutline outline;
    const auto copy = [&node](auto& field, std::size_t limit, const char* name) {
        CopyToCodePageField(field, limit, node.getAttribute(name).value_or(""));
    };
    copy(outline.text, kMaxOutlineFieldBytes, "text");
    copy(outline.title, kMaxOutlineFieldBytes, "title");
    copy(outline.xmlUrl, kMaxOutlineAddressBytes, "xmlUrl");
    copy(outline.htmlUrl, kMaxOutlineAddressBytes, "htmlUrl");
    outline.path = path;
    return outline;
}

// Collects the outline `node` lying in the folders `path`, and what it holds, into `out`.
// True when it is a feed or a folder that is kept (one holding a feed, or one Quillon wrote).
bool CollectOutline(const XmlNode& node, const std::vector<std::string>& path,
                    std::vector<COpmlOutline>& out) {
    COpmlOutline outline = RecordOf(node, path);
    const std::string keyword = QuillonAttribute(node, "keyword").value_or("");
    if (!IsBlank(keyword)) {
        outline.kind = COpmlOutline::kKeyword;
        outline.keyword = CutToCodePageLimit(keyword, kMaxOutlineFieldBytes);
        outline.searchName = QuillonAttribute(node, "searchName") != "false";
        out.push_back(std::move(outline));
        return true;
    }
    if (!IsBlank(outline.xmlUrl)) {
        out.push_back(std::move(outline));
        return true;
    }
    const std::vector<XmlNode> children = ChildOutlines(node);
    const bool marked = MarkedAsFolder(node);
    if (children.empty() && !marked) {
        outline.kind = COpmlOutline::kSkipped;
        out.push_back(std::move(outline));
        return false;
    }
    // An unnamed folder has nothing to call it by: what it holds goes into its parent.
    const std::string name = outline.Name();
    std::vector<std::string> inner = path;
    if (!name.empty()) {
        inner.push_back(name);
    }
    std::vector<COpmlOutline> held;
    bool kept = false;
    for (const XmlNode& child : children) {
        kept = CollectOutline(child, inner, held) || kept;
    }
    kept = kept || marked;
    if (kept && !name.empty()) {
        outline.kind = COpmlOutline::kFolder;
        out.push_back(std::move(outline));
    }
    out.insert(out.end(), std::make_move_iterator(held.begin()),
               std::make_move_iterator(held.end()));
    return kept;
}

// Writes the channel tree with the subscribed feeds into an export's body.
class TreeWriter {
public:
    TreeWriter(CXmlDocument& document, const std::vector<COpmlOutline>& rows,
               const OpmlExportTree& tree)
        : m_document(document), m_rows(rows), m_tree(tree), m_rowWritten(rows.size(), false) {
        for (const OpmlTreeNode& node : tree.nodes) {
            m_children[node.parentId].push_back(&node);
        }
        // The opml table compares keys without regard to ASCII case.
        for (std::size_t i = 0; i < rows.size(); ++i) {
            m_rowsOfKey[AsciiLowered(rows[i].title)].push_back(i);
        }
    }

    void WriteChildren(XmlNode parent, int parentId) {
        const auto children = m_children.find(parentId);
        if (children == m_children.end()) {
            return;
        }
        for (const OpmlTreeNode* node : children->second) {
            if (node->type == NODE_FOLDER) {
                XmlNode folder = Append(parent, node->name);
                folder.setAttribute("quillon:folder", "true");
                ++m_count.folders;
                // A tree file never holds a cycle, but an ID given twice must not loop.
                if (m_visited.insert(node->id).second) {
                    WriteChildren(folder, node->id);
                }
            } else if (node->type == NODE_KEY) {
                WriteChannel(parent, *node);
            }
        }
    }

    // Rows of keys no channel of the tree has: flat, at the end.
    void WriteRemainingRows(XmlNode body) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (!m_rowWritten[i]) {
                WriteFeed(body, m_rows[i].title, m_rows[i]);
            }
        }
    }

    OpmlExportCount Count() const { return m_count; }

private:
    XmlNode Append(XmlNode parent, std::string_view name) {
        XmlNode outline = m_document.createNode("outline");
        parent.appendChild(outline);
        // Other readers list an outline by its text: it carries the title too.
        outline.setAttribute("text", name);
        outline.setAttribute("title", name);
        return outline;
    }

    void WriteFeed(XmlNode parent, std::string_view name, const COpmlOutline& row) {
        XmlNode outline = Append(parent, name);
        outline.setAttribute("type", "rss");
        outline.setAttribute("xmlUrl", row.xmlUrl);
        outline.setAttribute("htmlUrl", row.htmlUrl);
        outline.setAttribute("description", "");
        ++m_count.feeds;
    }

    void WriteChannel(XmlNode parent, const OpmlTreeNode& node) {
        const auto rows = m_rowsOfKey.find(AsciiLowered(node.name));
        const bool hasFeeds = rows != m_rowsOfKey.end();
        if (node.searchName || !hasFeeds) {
            // Its search, so that another reader can follow it; one that searches nothing and
            // has no feeds is still written, to keep it.
            XmlNode outline = Append(parent, node.name);
            outline.setAttribute("type", "rss");
            const std::string address =
                m_tree.searchAddress ? m_tree.searchAddress(node.name) : std::string();
            outline.setAttribute("xmlUrl", address);
            outline.setAttribute("description", "");
            outline.setAttribute("quillon:keyword", node.name);
            if (!node.searchName) {
                outline.setAttribute("quillon:searchName", "false");
            }
            ++m_count.feeds;
        }
        if (hasFeeds) {
            for (std::size_t i : rows->second) {
                // Two channels of one name share their feeds: they are written for each.
                m_rowWritten[i] = true;
                WriteFeed(parent, node.name, m_rows[i]);
            }
        }
    }

    CXmlDocument& m_document;
    const std::vector<COpmlOutline>& m_rows;
    const OpmlExportTree& m_tree;
    std::vector<bool> m_rowWritten;
    std::map<int, std::vector<const OpmlTreeNode*>> m_children;
    std::map<std::string, std::vector<std::size_t>> m_rowsOfKey;
    std::set<int> m_visited;
    OpmlExportCount m_count;
};

}  // namespace

std::string COpmlOutline::Name() const {
    if (!IsBlank(title)) {
        return title;
    }
    return IsBlank(text) ? std::string() : std::string(text);
}

// The owner name and site address are ours to choose, but a stray '&' or '<' in them must
// not turn the head into a document that no longer parses.
std::string OpmlHeaderText(std::string_view dateCreated, std::string_view ownerName,
                           std::string_view site) {
    const std::string siteText = EscapeMarkup(site);
    std::string header;
    header += "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\" xmlns:quillon=\"";
    header += kQuillonOpmlNamespace;
    header += "\">";
    header += "<head><title>Quillon</title><dateCreated>";
    header += EscapeMarkup(dateCreated);
    header += "</dateCreated><ownerName>";
    header += EscapeMarkup(ownerName);
    header += "</ownerName><ownerEmail></ownerEmail>";
    header += "<description>" + siteText + "</description>";
    header += "<createdBy>Quillon-Rss</createdBy>";
    header += "<link>" + siteText + "</link></head><body></body></opml>";
    return header;
}

std::string WithOpmlExtension(std::string_view path) {
    std::string result(path);
    if (path.size() < kExtension.size() ||
        !EqualsIgnoreAsciiCase(path.substr(path.size() - kExtension.size()), kExtension)) {
        result += kExtension;
    }
    return result;
}

COpmlDocument::COpmlDocument() = default;

COpmlDocument::~COpmlDocument() = default;

bool COpmlDocument::ExportSubscriptions(const CAdoConnection& connection, const std::string& path,
                                        std::string_view ownerName, std::string_view site,
                                        const OpmlExportTree& tree, OpmlExportCount* count) {
    if (!connection.IsOpen()) {
        return false;
    }
    m_writeList.clear();
    CAdoRecordset rows(connection);
    if (rows.Open(SqlSelectAllOpml())) {
        // Positions 1 to 3 are opml_key, opml_xml_url and opml_html_url; 0 is the row's key.
        // Bound once: bindings accumulate, and every Fetch fills all of them.
        COpmlOutline row;
        rows.BindColumn(1, row.title, sizeof row.title, kBindText);
        rows.BindColumn(2, row.xmlUrl, sizeof row.xmlUrl, kBindText);
        rows.BindColumn(3, row.htmlUrl, sizeof row.htmlUrl, kBindText);
        for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
            row = COpmlOutline();
            rows.Fetch();
            m_writeList.push_back(row);
        }
        rows.Close();
    }

    const std::string header = OpmlHeaderText(DateCreatedText(LocalNow()), ownerName, site);
    if (!m_document.loadXML(header)) {
        return false;
    }
    TreeWriter writer(m_document, m_writeList, tree);
    writer.WriteChildren(m_document.selectSingleNode("opml/body"), 0);
    writer.WriteRemainingRows(m_document.selectSingleNode("opml/body"));
    if (count) {
        *count = writer.Count();
    }
    return m_document.save(path);
}

bool COpmlDocument::ReadOutlines(const std::string& address, AddressOrigin origin,
                                 const FetchOptions& fetch) {
    m_readList.clear();
    if (!m_document.load(address, origin, fetch)) {
        return false;
    }
    CollectOutlines();
    return true;
}

bool COpmlDocument::ReadOutlinesFromBytes(std::string_view bytes, std::string_view httpCharset,
                                          const XmlParseLimits& limits) {
    m_readList.clear();
    if (!m_document.loadBytes(bytes, httpCharset, limits)) {
        return false;
    }
    CollectOutlines();
    return true;
}

bool COpmlDocument::IsOpml() const {
    return m_document.documentElement().name() == "opml";
}

void COpmlDocument::CollectOutlines() {
    std::vector<XmlNode> outlines = ChildOutlines(m_document.selectSingleNode("opml/body"));
    if (outlines.size() == 1) {
        const XmlNode& only = outlines.front();
        const bool feed = !IsBlank(only.getAttribute("xmlUrl").value_or("")) ||
                          QuillonAttribute(only, "keyword").has_value();
        std::vector<XmlNode> inner = ChildOutlines(only);
        if (!feed && !MarkedAsFolder(only) && !inner.empty()) {
            // A single outline that holds the others is the list's own wrapping folder.
            outlines = std::move(inner);
        }
    }
    for (const XmlNode& node : outlines) {
        CollectOutline(node, {}, m_readList);
    }
}

std::string FollowableSearchAddress(const CSysData& settings, std::string_view word) {
    const int engine = settings.SearchEngine();
    const std::string address = BuildSearchUrl(
        0, settings.ItemsPerPage(),
        engine >= 0 && engine < CSysData::kEngineCount ? engine : kEngineBaidu, word);
    return ToWireUrl(address, ExpectsGbkQuery(address));
}

OpmlExportTree ReadExportTree(const std::string& treePath, const CSysData& settings) {
    OpmlExportTree tree;
    CKeywordTreeFile file(treePath);
    file.Load([&tree](const CKeywordNode& node, int parentId) {
        tree.nodes.push_back({node.id, parentId, node.type, node.name, node.searchName});
    });
    tree.searchAddress = [&settings](std::string_view word) {
        return FollowableSearchAddress(settings, word);
    };
    return tree;
}
