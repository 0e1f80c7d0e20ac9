#pragma once

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/http_fetch.h"
#include "xml/xml_node.h"
#include "xml/xml_parse.h"

// Who gave an address decides what it may name. An address from data (a row of the opml
// table, an outline of an OPML document) is fetched only as http or https: such data must not
// point the reader at local files. A local path is read only where the user typed it (a
// feed or list address given on the command line or in the subscription dialog), and then
// only a regular file, up to the body limit.
enum class AddressOrigin {
    kFromData,
    kTypedByUser,
};

// The parse limits of a load: its stop flag, the default time and attribute budgets.
XmlParseLimits ParseLimitsOf(const FetchOptions& fetch);

// An XML document: loaded from a local file, an http or https address, or a string, then
// read and changed through its nodes and saved.
//
// Parsing never reads a file or the network on the document's behalf (no DTD, no external
// entities), keeps libxml2's limits on entity expansion, honours the stop flag and gives up
// after ten seconds of processor time (see ParseXmlBytes). The character set is decided by
// the byte order mark or the XML declaration, else by the HTTP charset, else UTF-8 (or, for
// bytes that are not UTF-8, GB18030 or windows-1252); the GB labels are decoded as GB18030.
// Every text, attribute and markup a node hands out is valid UTF-8. A saved document keeps
// the declaration it was loaded with.
class CXmlDocument {
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Loads synchronously from an http/https address or, when the user typed it, a local
    // path; false when the source cannot be read or is not well-formed XML (in kForgiving
    // mode: cannot be recovered either, see ParseXmlBytes). The previous document is dropped
    // either way.
    bool load(const std::string& source, AddressOrigin origin, const FetchOptions& fetch = {},
              XmlParseMode mode = XmlParseMode::kStrict);
    // Loads a local regular file of at most the fetch limit's body size.
    bool loadFile(const std::string& path, const FetchOptions& fetch = {},
                  XmlParseMode mode = XmlParseMode::kStrict);
    // Parses a document held in a UTF-8 string.
    bool loadXML(std::string_view text);
    // Parses raw bytes as they came from a file or the network.
    bool loadBytes(std::string_view bytes, std::string_view httpCharset = {},
                   const XmlParseLimits& limits = {}, XmlParseMode mode = XmlParseMode::kStrict);

    bool IsLoaded() const { return m_doc != nullptr; }
    // Whether the loaded document was not well-formed and is what recovery made of it.
    bool recovered() const { return m_recovered; }
    // Whether the recovered document ended before its document element was closed: it was cut
    // off (or its end tags do not match), and what it holds is partial.
    bool truncated() const { return m_truncated; }
    // Why the last load failed, for diagnostics; after a recovered load, why the document is
    // not well-formed.
    const std::string& lastError() const { return m_lastError; }

    // Writes the document to `path` through a temporary file renamed over it, so the old
    // file stays whole if writing fails. False when nothing was written; `errorNumber` (may be
    // null) then gets the system's reason, an errno value (0 when there was nothing to write).
    // A document whose declared encoding no encoder knows is written in UTF-8, declared so.
    bool save(const std::string& path, int* errorNumber = nullptr) const;
    // The document as it would be saved.
    std::string serialize() const;

    XmlNode documentElement() const;
    // Child paths whose first step is the document element: "rss/channel".
    XmlNode selectSingleNode(std::string_view path) const;
    std::vector<XmlNode> selectNodes(std::string_view path) const;
    // Every element named `name` at any depth, in document order; "A/B" gives every B
    // element whose parent is an A element.
    std::vector<XmlNode> getElementsByTagName(std::string_view name) const;

    // A new element of this document, not yet in the tree (append it with appendChild).
    // Creating one on an empty document starts a document with no declaration.
    XmlNode createNode(std::string_view name);
    // Makes `element` the document element (of an empty document created by createNode).
    void setDocumentElement(XmlNode element);

private:
    void Reset();
    void EnsureDocument();

    XmlDocPtr m_doc;
    // The XML declaration of the loaded document, kept for save; empty label when the
    // declaration names no encoding.
    bool m_hasDeclaration = false;
    std::string m_declaredEncoding;
    bool m_recovered = false;
    bool m_truncated = false;
    // Holds the elements made by createNode until they are appended somewhere; freed,
    // with whatever it still holds, with the document.
    xmlNode* m_unattached = nullptr;
    std::string m_lastError;
};
