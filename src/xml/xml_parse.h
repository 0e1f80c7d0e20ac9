#pragma once

#include <libxml/tree.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Turns the bytes of an XML document into a libxml2 tree, with the limits untrusted input
// needs. Used by CXmlDocument; nothing else parses XML.

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

struct XmlParseLimits {
    // When set and true, parsing is abandoned between two chunks. Owned by the caller.
    const std::atomic<bool>* stop = nullptr;
    // The processor time a parse may take on its thread; a document not parsed within it
    // fails.
    std::chrono::milliseconds cpuBudget{10'000};
    // A start tag with more attributes than this is refused before parsing: libxml2 checks
    // duplicate attributes in time that grows with the square of their count.
    std::size_t maxAttributesPerElement = 1000;
};

// What a parse does with a document that is not well-formed.
enum class XmlParseMode {
    kStrict,     // it fails
    kForgiving,  // it is mended and read again (see ParseXmlBytes)
};

struct ParsedXml {
    XmlDocPtr doc;  // null when parsing failed
    // The document's XML declaration, kept so that a save writes the same one; an empty
    // label when the declaration names no encoding.
    bool hasDeclaration = false;
    std::string declaredEncoding;
    // Why parsing failed; "" on success. For a recovered document: why the document as it
    // came is not well-formed.
    std::string error;
    // The parse failed on the document's markup, not on a limit (size, attributes, stop
    // flag, time).
    bool malformed = false;
    // The document is not well-formed, and `doc` is what libxml2's recovery mode made of it
    // once mended (see RepairMarkup).
    bool recovered = false;
    // Of a recovered document: the input ended before its document element was closed (it was
    // cut off, or its end tags do not match). Which elements were left open tells WasLeftOpen.
    bool truncated = false;
};

// Parses `bytes`. The character set is decided by the byte order mark or the XML declaration,
// else by `httpCharset`, else UTF-8; the GB labels are decoded as GB18030. Bytes that name no
// encoding in any of these ways and are not valid UTF-8 are read as GB18030 when they are
// valid GB18030, otherwise as windows-1252 (DecodeUndeclared). The document is
// read without network or file access and without DTD loading; whitespace-only text between
// elements is dropped. A document without a document element fails.
//
// kForgiving reads a document that fails as not well-formed once more: mended by
// RepairMarkup (UTF-16 documents as they are), in libxml2's recovery mode, with every limit
// of the first reading and what is left of its processor time. A document refused by a limit
// is not read again.
ParsedXml ParseXmlBytes(std::string_view bytes, std::string_view httpCharset,
                        const XmlParseLimits& limits, XmlParseMode mode = XmlParseMode::kStrict);

// An element's start tag as StreamXmlBytes hands it on; valid during the call only.
class XmlStreamElement {
public:
    XmlStreamElement(const xmlChar* localName, const xmlChar* prefix, int attributeCount,
                     const xmlChar** attributes);
    // The name as the document writes it: "prefix:local", or the local name alone.
    std::string QualifiedName() const;
    // The value of the attribute of that name as written ("prefix:local"); nothing if none.
    std::optional<std::string> Attribute(std::string_view name) const;

private:
    const xmlChar* m_localName;
    const xmlChar* m_prefix;
    int m_attributeCount;
    const xmlChar** m_attributes;  // libxml2's five pointers per attribute
};

// Receives a document as StreamXmlBytes reads it. A text node of the tree is one run of Text
// calls; a run ends at any other call.
class XmlStreamHandler {
public:
    virtual ~XmlStreamHandler() = default;
    virtual void StartElement(const XmlStreamElement& element) = 0;
    virtual void EndElement() = 0;
    // Character data in UTF-8, in pieces; `cdata` for a CDATA section's.
    virtual void Text(std::string_view text, bool cdata) = 0;
    // A comment or processing instruction: only ends a text run.
    virtual void Markup() {}
};

struct StreamedXml {
    std::string error;  // "" when the document was read to its end
    // Read no further than a document type declaration: its entities are expanded only in a
    // tree, so such a document has to be parsed with ParseXmlBytes.
    bool hasDoctype = false;
};

// Reads `bytes` as ParseXmlBytes does in strict mode, with the same encodings and limits,
// but hands each element and text to `handler` instead of building a tree, so that memory
// does not grow with the document. Blank text is handed on too.
StreamedXml StreamXmlBytes(std::string_view bytes, const XmlParseLimits& limits,
                           XmlStreamHandler& handler);

// Whether `element`, of a recovered document, was never closed by an end tag in the input:
// recovery gives such an element whatever the input held of it, which may be only its start.
// False for every element of a well-formed document.
bool WasLeftOpen(const xmlNode* element);

// While one lives, libxml2's messages on the calling thread are kept here instead of going
// anywhere; the first is available as FirstMessage. libxml2 keeps its handlers per thread,
// so every thread that parses or saves makes one.
class ScopedXmlErrors {
public:
    ScopedXmlErrors();
    ~ScopedXmlErrors();
    ScopedXmlErrors(const ScopedXmlErrors&) = delete;
    ScopedXmlErrors& operator=(const ScopedXmlErrors&) = delete;

    const std::string& FirstMessage() const { return m_first; }
    void Keep(std::string_view message);

private:
    std::string m_first;
};

// Initialises libxml2 for the process: called from main before any thread starts (and
// again harmlessly by the first CXmlDocument). Installs the entity loader that refuses every
// external resource, and error handlers that print nothing, for this thread and every
// thread started later.
void InitXmlLibrary();
