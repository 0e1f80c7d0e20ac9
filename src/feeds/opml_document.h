#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/http_fetch.h"
#include "base/text_util.h"
#include "xml/xml_document.h"

class CAdoConnection;

// The owner name the application writes into every exported file.
inline constexpr char kOpmlOwnerName[] = "VellmarkQuillon";

// One outline of an OPML list: four zero-terminated UTF-8 fields, cut at a character
// boundary. The names hold at most 511 bytes of the Chinese code page (see CodePageLength),
// the two addresses 2047, so that an address is kept whole. A missing attribute leaves its
// field empty.
constexpr std::size_t kMaxOutlineFieldBytes = 511;
constexpr std::size_t kMaxOutlineAddressBytes = 2047;
struct COpmlOutline {
    static constexpr std::size_t kFieldSize = CodePageFieldSize(kMaxOutlineFieldBytes);
    static constexpr std::size_t kAddressSize = CodePageFieldSize(kMaxOutlineAddressBytes);
    char text[kFieldSize] = {};
    char title[kFieldSize] = {};      // on export: the channel keyword the feed belongs to
    char xmlUrl[kAddressSize] = {};   // the feed's address
    char htmlUrl[kAddressSize] = {};  // the feed's web site
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

    // Writes every row of the opml table of `connection`, in the order the database delivers
    // them, as one flat outline each (text and title both the feed's key), to `path` (UTF-8 with
    // its declaration, replacing the file whole). The head carries the local time of the export,
    // `ownerName` and `site` (the publisher's address). False when nothing was written: the
    // database is closed or the file could not be written. A table that cannot be read gives a file
    // with an empty body.
    bool ExportSubscriptions(const CAdoConnection& connection, const std::string& path,
                             std::string_view ownerName, std::string_view site);

    // Loads the list at an http/https address or, where the user typed it, a local path (see
    // AddressOrigin: the subscription dialog's address is kTypedByUser) and collects its
    // top-level outlines; when the body holds exactly one outline, that wrapping folder's
    // children are collected instead (nothing deeper in either case). False, with an empty
    // list, when the list cannot be read or is not well-formed XML; true with an empty list
    // when it holds no outlines.
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
// without leading zeros ("2006-5-9 8:3:7"); `site` goes into description and link.
std::string OpmlHeaderText(std::string_view dateCreated, std::string_view ownerName,
                           std::string_view site);

// `path` with ".opml" appended unless its name already ends in it (in any letter case).
std::string WithOpmlExtension(std::string_view path);
