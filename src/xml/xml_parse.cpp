#include "xml/xml_parse.h"

#include <libxml/SAX2.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "base/charset.h"
#include "base/text_util.h"
#include "xml/xml_path.h"
#include "xml/xml_repair.h"

namespace {

// No network, no DTD loading, no entity substitution at parse time (internal entities are
// expanded, within a budget, when text is read), and no messages of the parser's own.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// The parser is fed this much at a time; the stop flag and the time budget are looked at
// between two pieces.
constexpr std::size_t kChunkBytes = 64 * 1024;

// The marks a recovered document's elements carry in their application pointer: set on each
// element an end tag closed while the document was read, then turned into the mark of the
// elements that were left open (see WasLeftOpen).
char g_closedMark;
char g_leftOpenMark;

// The tree builder's end of an element, noting first that the input closed it.
void EndElementNoted(void* user, const xmlChar* localName, const xmlChar* prefix,
                     const xmlChar* uri) {
    auto* context = static_cast<xmlParserCtxt*>(user);
    if (context->node != nullptr) {
        context->node->_private = &g_closedMark;
    }
    xmlSAX2EndElementNs(user, localName, prefix, uri);
}

// Marks every element of the tree below `root` (and `root`) that no end tag closed.
void MarkElementsLeftOpen(xmlNode* root) {
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* element = pending.back();
        pending.pop_back();
        element->_private = element->_private == &g_closedMark ? nullptr : &g_leftOpenMark;
        for (xmlNode* child = element->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                pending.push_back(child);
            }
        }
    }
}

xmlParserInputPtr RefuseExternalResource(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void DropMessage(void*, const char*, ...) {}

void DropStructured(void*, xmlErrorPtr) {}

void KeepStructured(void* user, xmlErrorPtr error) {
    if (error != nullptr && error->message != nullptr) {
        static_cast<ScopedXmlErrors*>(user)->Keep(error->message);
    }
}

struct ParserContextDeleter {
    void operator()(xmlParserCtxt* context) const {
        if (context->myDoc != nullptr) {
            xmlFreeDoc(context->myDoc);
            context->myDoc = nullptr;
        }
        xmlFreeParserCtxt(context);
    }
};
using ParserContext = std::unique_ptr<xmlParserCtxt, ParserContextDeleter>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE || node->content == nullptr) {
        return false;
    }
    for (const xmlChar* c = node->content; *c; ++c) {
        if (!IsBlank(static_cast<char>(*c))) {
            return false;
        }
    }
    return true;
}

// Drops whitespace-only text between elements, as a DOM that does not preserve white space
// does, so that a document reads the same before and after an indented save.
void StripIgnorableBlanks(xmlNode* root) {
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* element = pending.back();
        pending.pop_back();
        bool hasElementChild = false;
        for (xmlNode* child = element->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                hasElementChild = true;
                pending.push_back(child);
            }
        }
        if (!hasElementChild) {
            continue;
        }
        for (xmlNode* child = element->children; child;) {
            xmlNode* next = child->next;
            if (IsBlankText(child)) {
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            }
            child = next;
        }
    }
}

bool IsUtf16(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
           (bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'));
}

// The document's characters below 0x80 as bytes, every other character as 'x': enough to
// read its declaration and its markup. A UTF-16 document is read by code units.
std::string AsciiView(std::string_view bytes, std::size_t maxChars) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (!IsUtf16(bytes)) {
        return std::string(bytes.substr(0, maxChars));
    }
    const bool bigEndian = bytes.starts_with("\xFE\xFF") || bytes[0] == '\0';
    std::string view;
    for (std::size_t i = 0; i + 1 < bytes.size() && view.size() < maxChars; i += 2) {
        const auto high = static_cast<unsigned char>(bigEndian ? bytes[i] : bytes[i + 1]);
        const auto low = static_cast<unsigned char>(bigEndian ? bytes[i + 1] : bytes[i]);
        view.push_back(high == 0 && low < 0x80 ? static_cast<char>(low) : 'x');
    }
    if (view.starts_with("x")) {
        view.erase(0, 1);  // the byte order mark
    }
    return view;
}

struct Declaration {
    bool present = false;
    std::string encoding;
};

Declaration ReadDeclaration(std::string_view bytes) {
    Declaration declaration;
    const std::string prefix = AsciiView(bytes, 512);
    if (!prefix.starts_with("<?xml") || prefix.size() < 6 || !IsBlank(prefix[5])) {
        return declaration;
    }
    const std::size_t end = prefix.find("?>");
    if (end == std::string::npos) {
        return declaration;
    }
    declaration.present = true;
    const std::string_view inside = std::string_view(prefix).substr(0, end);
    const std::size_t key = inside.find("encoding");
    if (key == std::string_view::npos) {
        return declaration;
    }
    std::size_t pos = inside.find_first_not_of(" \t\r\n", key + 8);
    if (pos == std::string_view::npos || inside[pos] != '=') {
        return declaration;
    }
    pos = inside.find_first_not_of(" \t\r\n", pos + 1);
    if (pos == std::string_view::npos || (inside[pos] != '"' && inside[pos] != '\'')) {
        return declaration;
    }
    const std::size_t close = inside.find(inside[pos], pos + 1);
    if (close != std::string_view::npos) {
        declaration.encoding = std::string(inside.substr(pos + 1, close - pos - 1));
    }
    return declaration;
}

// Byte order marks and UTF-16 without one are left to libxml2's own detection.
bool LeaveEncodingToParser(std::string_view bytes) {
    return bytes.starts_with("\xEF\xBB\xBF") || IsUtf16(bytes);
}

// Whether nothing names the document's encoding: no byte order mark, no UTF-16 layout, no
// encoding in its declaration and no HTTP charset. Blank lines in front are looked past, as
// the mending of a broken feed drops them.
bool NamesNoEncoding(std::string_view bytes, std::string_view httpCharset) {
    while (!bytes.empty() && IsBlank(bytes.front())) {
        bytes.remove_prefix(1);
    }
    return httpCharset.empty() && !LeaveEncodingToParser(bytes) &&
           ReadDeclaration(bytes).encoding.empty();
}

// Whether some start tag of the document holds more than `limit` attributes. Counts the "="
// signs outside quoted values in each tag; comments, CDATA sections, processing instructions
// and declarations are stepped over.
bool HasCrowdedElement(std::string_view bytes, std::size_t limit) {
    // Other encodings keep every byte below 0x40 for the ASCII character it stands for.
    std::string converted;
    if (IsUtf16(bytes)) {
        converted = AsciiView(bytes, bytes.size());
    }
    const std::string_view text = IsUtf16(bytes) ? std::string_view(converted) : bytes;
    const auto skipTo = [&](std::size_t from, std::string_view end) {
        const std::size_t at = text.find(end, from);
        return at == std::string_view::npos ? text.size() : at + end.size();
    };
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        const std::string_view rest = text.substr(pos);
        if (rest.starts_with("<!--")) {
            pos = skipTo(pos + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            pos = skipTo(pos + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            pos = skipTo(pos + 2, "?>");
        } else if (rest.starts_with("<!")) {
            pos = skipTo(pos + 2, ">");
        } else {
            std::size_t attributes = 0;
            char quote = 0;
            for (++pos; pos < text.size() && (quote != 0 || text[pos] != '>'); ++pos) {
                const char c = text[pos];
                if (quote != 0) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=' && ++attributes > limit) {
                    return true;
                }
            }
        }
    }
    return false;
}

std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// A push parser for `bytes`, switched to the character set they are decoded with. The first
// bytes the parser is given (for its own encoding detection) are counted in `consumed`.
ParserContext CreateParser(std::string_view bytes, std::string_view httpCharset,
                           const Declaration& declaration, bool recover, std::size_t* consumed) {
    int options = kParseOptions | (recover ? XML_PARSE_RECOVER : 0);
    std::string encoding;
    *consumed = 0;
    if (LeaveEncodingToParser(bytes)) {
        *consumed = std::min<std::size_t>(bytes.size(), 4);
    } else {
        encoding = !declaration.encoding.empty() ? DecodingCharsetFor(declaration.encoding)
                   : !httpCharset.empty()        ? DecodingCharsetFor(httpCharset)
                                                 : std::string("UTF-8");
        options |= XML_PARSE_IGNORE_ENC;
    }
    ParserContext context(xmlCreatePushParserCtxt(nullptr, nullptr, bytes.data(),
                                                  static_cast<int>(*consumed), nullptr));
    if (!context) {
        return context;
    }
    xmlCtxtUseOptions(context.get(), options);
    if (recover && context->sax != nullptr) {
        context->sax->endElementNs = EndElementNoted;
    }
    if (!encoding.empty()) {
        // An unknown label leaves the document to be read as UTF-8.
        if (xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str())) {
            xmlSwitchToEncoding(context.get(), handler);
        }
    }
    return context;
}

// Feeds the rest of `bytes` to the parser piece by piece. False, with the reason, when the
// stop flag or the time budget ends it first. A parser in recovery mode goes on after errors.
bool FeedParser(xmlParserCtxt* context, std::string_view bytes, std::size_t pos,
                const XmlParseLimits& limits, std::string* error) {
    const std::chrono::nanoseconds started = ThreadCpuTime();
    while (true) {
        const std::size_t piece = std::min(kChunkBytes, bytes.size() - pos);
        const bool last = pos + piece == bytes.size();
        xmlParseChunk(context, bytes.data() + pos, static_cast<int>(piece), last ? 1 : 0);
        pos += piece;
        if (last || (!context->wellFormed && !context->recovery) || context->disableSAX) {
            return true;
        }
        if (limits.stop && limits.stop->load(std::memory_order_relaxed)) {
            *error = "abandoned";
            return false;
        }
        if (ThreadCpuTime() - started > limits.cpuBudget) {
            *error = "not parsed within " + std::to_string(limits.cpuBudget.count()) +
                     " ms of processor time";
            return false;
        }
    }
}

// Why the parser failed. The first message names the cause (a character the encoding cannot
// hold, say); what the parser says last is often only a consequence.
std::string FailureReason(xmlParserCtxt* context, const ScopedXmlErrors& errors) {
    const xmlError* error = xmlCtxtGetLastError(context);
    std::string reason = !errors.FirstMessage().empty() ? errors.FirstMessage()
                         : error && error->message      ? std::string(error->message)
                                                        : std::string();
    while (!reason.empty() && IsBlank(reason.back())) {
        reason.pop_back();
    }
    return reason.empty() ? "not well-formed" : reason;
}

// Why `bytes` are refused before the parser sees them; "" when they are not.
std::string RefusedUnparsed(std::string_view bytes, const XmlParseLimits& limits) {
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return "document too large";
    }
    if (HasCrowdedElement(bytes, limits.maxAttributesPerElement)) {
        return "an element with more than " + std::to_string(limits.maxAttributesPerElement) +
               " attributes";
    }
    return {};
}

// One reading of `bytes`, strict or in libxml2's recovery mode.
ParsedXml ParseOnce(std::string_view bytes, std::string_view httpCharset,
                    const XmlParseLimits& limits, bool recover) {
    ParsedXml parsed;
    parsed.error = RefusedUnparsed(bytes, limits);
    if (!parsed.error.empty()) {
        return parsed;
    }
    const Declaration declaration = ReadDeclaration(bytes);
    ScopedXmlErrors errors;
    std::size_t consumed = 0;
    ParserContext context = CreateParser(bytes, httpCharset, declaration, recover, &consumed);
    if (!context) {
        parsed.error = "out of memory";
        return parsed;
    }
    if (!FeedParser(context.get(), bytes, consumed, limits, &parsed.error)) {
        return parsed;
    }
    parsed.malformed = true;
    if ((!context->wellFormed && !recover) || context->myDoc == nullptr) {
        parsed.error = FailureReason(context.get(), errors);
        return parsed;
    }
    parsed.doc.reset(context->myDoc);
    context->myDoc = nullptr;
    if (xmlDocGetRootElement(parsed.doc.get()) == nullptr) {
        parsed.doc.reset();
        parsed.error = "no document element";
        return parsed;
    }
    parsed.malformed = false;
    if (recover) {
        MarkElementsLeftOpen(xmlDocGetRootElement(parsed.doc.get()));
        parsed.truncated = WasLeftOpen(xmlDocGetRootElement(parsed.doc.get()));
    }
    StripIgnorableBlanks(xmlDocGetRootElement(parsed.doc.get()));
    parsed.hasDeclaration = declaration.present;
    parsed.declaredEncoding = declaration.encoding;
    return parsed;
}

// What the stream's callbacks reach through the parser's private pointer.
struct StreamState {
    XmlStreamHandler* handler = nullptr;
    bool sawRoot = false;
    bool hasDoctype = false;
};

StreamState* StateOf(void* user) {
    return static_cast<StreamState*>(static_cast<xmlParserCtxt*>(user)->_private);
}

void StreamStart(void* user, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
                 const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
    StreamState* state = StateOf(user);
    state->sawRoot = true;
    state->handler->StartElement(XmlStreamElement(localName, prefix, attributeCount, attributes));
}

void StreamEnd(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
    StateOf(user)->handler->EndElement();
}

void StreamText(void* user, const xmlChar* text, int length) {
    StateOf(user)->handler->Text(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)),
        false);
}

void StreamCdata(void* user, const xmlChar* text, int length) {
    StateOf(user)->handler->Text(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)),
        true);
}

void StreamComment(void* user, const xmlChar*) {
    StateOf(user)->handler->Markup();
}

void StreamInstruction(void* user, const xmlChar*, const xmlChar*) {
    StateOf(user)->handler->Markup();
}

void StreamDoctype(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
    StateOf(user)->hasDoctype = true;
    xmlStopParser(static_cast<xmlParserCtxt*>(user));
}

// Bytes that name no encoding and are not UTF-8, decoded as ParseXmlBytes reads them; `bytes`
// is then pointed at `decoded`.
void DecodeIfUndeclared(std::string_view& bytes, std::string_view httpCharset,
                        std::string& decoded) {
    if (NamesNoEncoding(bytes, httpCharset) && !IsValidUtf8(bytes)) {
        decoded = DecodeUndeclared(bytes);
        bytes = decoded;
    }
}

}  // namespace

bool WasLeftOpen(const xmlNode* element) {
    return element != nullptr && element->_private == &g_leftOpenMark;
}

ScopedXmlErrors::ScopedXmlErrors() {
    xmlSetGenericErrorFunc(nullptr, DropMessage);
    xmlSetStructuredErrorFunc(this, KeepStructured);
}

ScopedXmlErrors::~ScopedXmlErrors() {
    xmlSetStructuredErrorFunc(nullptr, DropStructured);
}

void ScopedXmlErrors::Keep(std::string_view message) {
    if (!m_first.empty()) {
        return;
    }
    while (!message.empty() && IsBlank(message.back())) {
        message.remove_suffix(1);
    }
    m_first = std::string(message);
}

void InitXmlLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalResource);
        xmlThrDefSetGenericErrorFunc(nullptr, DropMessage);
        xmlThrDefSetStructuredErrorFunc(nullptr, DropStructured);
        xmlSetGenericErrorFunc(nullptr, DropMessage);
        xmlSetStructuredErrorFunc(nullptr, DropStructured);
    });
}

ParsedXml ParseXmlBytes(std::string_view bytes, std::string_view httpCharset,
                        const XmlParseLimits& limits, XmlParseMode mode) {
    InitXmlLibrary();
    const std::chrono::nanoseconds started = ThreadCpuTime();
    // Read as UTF-8, such bytes would fail, and what recovery made of them would carry them
    // into the text as they are.
    std::string decoded;
    DecodeIfUndeclared(bytes, httpCharset, decoded);
    ParsedXml parsed = ParseOnce(bytes, httpCharset, limits, false);
    if (parsed.doc || !parsed.malformed || mode == XmlParseMode::kStrict) {
        return parsed;
    }
    // The two readings together keep to the time one may take.
    XmlParseLimits rest = limits;
    rest.cpuBudget -=
        std::chrono::duration_cast<std::chrono::milliseconds>(ThreadCpuTime() - started);
    std::optional<std::string> repaired;
    if (!IsUtf16(bytes)) {
        repaired = RepairMarkup(bytes);
        if (!repaired) {
            return parsed;
        }
    }
    if (rest.cpuBudget.count() <= 0) {
        return parsed;
    }
    ParsedXml recovered = ParseOnce(repaired ? *repaired : bytes, httpCharset, rest, true);
    if (!recovered.doc) {
        return parsed;  // the first reason is the one that matters
    }
    recovered.recovered = true;
    recovered.error = std::move(parsed.error);
    return recovered;
}

XmlStreamElement::XmlStreamElement(const xmlChar* localName, const xmlChar* prefix,
                                   int attributeCount, const xmlChar** attributes)
    : m_localName(localName),
      m_prefix(prefix),
      m_attributeCount(attributeCount),
      m_attributes(attributes) {}

std::string XmlStreamElement::QualifiedName() const {
    std::string name;
    if (m_prefix != nullptr) {
        name.append(reinterpret_cast<const char*>(m_prefix)).push_back(':');
    }
    return name.append(reinterpret_cast<const char*>(m_localName));
}

std::optional<std::string> XmlStreamElement::Attribute(std::string_view name) const {
    for (int i = 0; i < m_attributeCount; ++i) {
        const xmlChar** attribute = m_attributes + 5 * i;
        if (IsQualifiedName(XmlView(attribute[1]), XmlView(attribute[0]), name)) {
            return std::string(reinterpret_cast<const char*>(attribute[3]),
                               reinterpret_cast<const char*>(attribute[4]));
        }
    }
    return std::nullopt;
}

StreamedXml StreamXmlBytes(std::string_view bytes, const XmlParseLimits& limits,
                           XmlStreamHandler& handler) {
    InitXmlLibrary();
    StreamedXml streamed;
    std::string decoded;
    DecodeIfUndeclared(bytes, {}, decoded);
    streamed.error = RefusedUnparsed(bytes, limits);
    if (!streamed.error.empty()) {
        return streamed;
    }
    ScopedXmlErrors errors;
    std::size_t consumed = 0;
    ParserContext context = CreateParser(bytes, {}, ReadDeclaration(bytes), false, &consumed);
    if (!context || context->sax == nullptr) {
        streamed.error = "out of memory";
        return streamed;
    }
    StreamState state;
    state.handler = &handler;
    context->_private = &state;
    xmlSAXHandler* sax = context->sax;
    sax->startElementNs = StreamStart;
    sax->endElementNs = StreamEnd;
    sax->characters = StreamText;
    sax->ignorableWhitespace = StreamText;
    sax->cdataBlock = StreamCdata;
    sax->comment = StreamComment;
    sax->processingInstruction = StreamInstruction;
    sax->internalSubset = StreamDoctype;
    if (!FeedParser(context.get(), bytes, consumed, limits, &streamed.error)) {
        return streamed;
    }
    if (state.hasDoctype) {
        streamed.hasDoctype = true;
        streamed.error = "a document type declaration";
    } else if (!context->wellFormed) {
        streamed.error = FailureReason(context.get(), errors);
    } else if (!state.sawRoot) {
        streamed.error = "no document element";
    }
    return streamed;
}
