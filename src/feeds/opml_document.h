#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/http_fetch.h"
#include "base/text_util.h"
#include "xml/xml_document.h"

class CAdoConnection;

// The owner name the application writes into every exported file.
inline constexpr char kOpmlOwnerName[] = "VellmarkQuillon";

// The namespace of the attributes only Quillon reads in its exports (prefix "quillon"):
// keyword="..." on the outline of a channel that searches for its name, searchName="false"
// on one that does not, folder="true" on every folder, so that an empty one is kept.
inline constexpr char kQuillonOpmlNamespace[] = "http://www.vellmark.com/quillon/opml/1.0";

// One outline of an OPML list: four zero-terminated UTF-8 fields, cut at a character
// boundary, and where it stands in the list. The names hold at most 511 bytes of the Chinese
// code page (see CodePageLength), the two addresses 2047, so that an address is kept whole. A
// missing attribute leaves its field empty.
constexpr std::size_t kMaxOutlineFieldBytes = 511;
constexpr std::size_t kMaxOutlineAddressBytes = 2047;
struct COpmlOutline {
    enum Kind {
        kFeed,     // a feed: it has an xmlUrl
        kKeyword,  // a channel Quillon exported as its search word (quillon:keyword)
        kFolder,   // an outline that holds a feed, at any depth (or a folder Quillon exported)
        kSkipped,  // neither a feed nor holding one
    };
    static constexpr std::size_t kFieldSize = CodePageFieldSize(kMaxOutlineFieldBytes);
    static constexpr std::size_t kAddressSize = CodePageFieldSize(kMaxOutlineAddressBytes);
    char text[kFieldSize] = {};
    char title[kFieldSize] = {};      // on export: the channel keyword the feed belongs to
    char xmlUrl[kAddressSize] = {};   // the feed's address
    char htmlUrl[kAddressSize] = {};  // the feed's web site
    Kind kind = kFeed;
    // The names of the folders it lies in, outermost first (a list's wrapping outline is
    // not one of them).
    std::vector<std::string> path;
    // Of a kKeyword outline: the search word, and whether the channel searches for it.
    std::string keyword;
    bool searchName = true;

    // What the outline is called: its title, else its text (many lists name their feeds
    // only by text); "" when both are blank.
    std::string Name() const;
};

// A node of the channel tree as the export writes it, in tree order (a folder before its
// children, siblings in display order); the root (ID 0) is not one of them.
struct OpmlTreeNode {
    int id = -1;
    int parentId = 0;
    int type = 0;  // NODE_FOLDER or NODE_KEY
    std::string name;
    bool searchName = true;
};

// What the export writes besides the subscribed feeds.
struct OpmlExportTree {
    std::vector<OpmlTreeNode> nodes;
    // The address another reader follows for a channel that searches for `word` ("" gives
    // none: the outline then has no xmlUrl).
    std::function<std::string(std::string_view word)> searchAddress;
};

// What an export wrote.
struct OpmlExportCount {
    int feeds = 0;    // feed outlines, a channel's search address included
    int folders = 0;  // folder outlines
};

// Exports the subscribed feeds (the opml table) as an OPML 1.0 file, or reads the outlines
// of an OPML list. An object serves one operation and is then destroyed; it belongs to the
// thread that made it.
class COpmlDocument {
public:
    COpmlDocument();
    ~COpmlDocument();
    COpmlDocument(const COpmlDocument&) = delete;
    COpmlDocument& operator=(const COpmlDocument&) = delete;

    // Writes the channel tree `tree` with the subscribed feeds (the opml table of `connection`)
    // to `path` (UTF-8 with its declaration, replacing the file whole): a folder is an outline
    // holding its children; a channel is one feed outline per feed it subscribes (text and
    // title its name), and, when it searches for its name, an outline of its search address
    // carrying quillon:keyword before them. Rows of channels not in the tree follow at the
    // end, flat, in the order the database delivers them. The head carries the local time of
    // the export, `ownerName` and `site` (the publisher's address). False when nothing was
    // written: the database is closed or the file could not be written. A table that cannot
    // be read gives the tree without feeds. `count` (when given) receives what was written.
    bool ExportSubscriptions(const CAdoConnection& connection, const std::string& path,
                             std::string_view ownerName, std::string_view site,
                             const OpmlExportTree& tree = {}, OpmlExportCount* count = nullptr);

    // Loads the list at an http/https address or, where the user typed it, a local path (see
    // AddressOrigin: the subscription dialog's address is kTypedByUser) and collects its
    // outlines at every depth, in document order, a folder before what it holds. When the
    // body holds exactly one outline that holds others and is neither a feed nor a folder
    // Quillon wrote, it wraps the list: it is left out and its children are read as the top.
    // An outline that holds no feed at any depth is no folder: it is left out and what it
    // holds is read as skipped. False, with an empty list, when the list cannot be read or is
    // not well-formed XML; true with an empty list when it holds no outlines.
    bool ReadOutlines(const std::string& address, AddressOrigin origin,
                      const FetchOptions& fetch = {});

    // ReadOutlines for a document already fetched: `bytes` as they came, with the answer's
    // HTTP charset ("" for none). False, with an empty list, when they are not well-formed XML.
    bool ReadOutlinesFromBytes(std::string_view bytes, std::string_view httpCharset,
                               const XmlParseLimits& limits);
    // Whether the document last read is an OPML document: its root element is <opml>.
    bool IsOpml() const;

    // The outlines of the last ReadOutlines, in document order.
    const std::vector<COpmlOutline>& ReadList() const { return m_readList; }

private:
    // Collects the outlines of the document just loaded.
    void CollectOutlines();

    CXmlDocument m_document;
    std::vector<COpmlOutline> m_readList;
    std::vector<COpmlOutline> m_writeList;
};

// The head of an exported file, up to an empty body: the date is local time written
// without leading zeros ("2006-5-9 8:3:7"); `site` goes into description and link. The opml
// element declares the prefix "quillon" for kQuillonOpmlNamespace.
std::string OpmlHeaderText(std::string_view dateCreated, std::string_view ownerName,
                           std::string_view site);

// `path` with ".opml" appended unless its name already ends in it (in any letter case).
std::string WithOpmlExtension(std::string_view path);

class CSysData;

// The export's tree: the tree file at `treePath` (empty when missing or damaged), each channel
// that searches for its name followed at the address of its first search page in the service
// `settings` choose, as it goes on the wire.
OpmlExportTree ReadExportTree(const std::string& treePath, const CSysData& settings);
// The address another reader follows for a channel searching for `word` (see ReadExportTree).
std::string FollowableSearchAddress(const CSysData& settings, std::string_view word);
