#include "xml/xml_document.h"

#include <libxml/encoding.h>
#include <libxml/xmlsave.h>

#include "base/atomic_file.h"
#include "base/charset.h"
#include "base/local_file.h"
#include "base/text_util.h"
#include "xml/xml_path.h"

XmlParseLimits ParseLimitsOf(const FetchOptions& fetch) {
    XmlParseLimits limits;
    limits.stop = fetch.stop;
    return limits;
}

CXmlDocument::CXmlDocument() {
    InitXmlLibrary();
}

CXmlDocument::~CXmlDocument() {
    Reset();
}

void CXmlDocument::Reset() {
    // The holder of unattached elements goes first: freeing a node consults its document.
    if (m_unattached) {
        xmlFreeNode(m_unattached);
        m_unattached = nullptr;
    }
    m_doc.reset();
    m_hasDeclaration = false;
    m_declaredEncoding.clear();
    m_recovered = false;
    m_truncated = false;
}

void CXmlDocument::EnsureDocument() {
    if (!m_doc) {
        m_doc.reset(xmlNewDoc(XmlChars("1.0")));
    }
}

bool CXmlDocument::load(const std::string& source, AddressOrigin origin, const FetchOptions& fetch,
                        XmlParseMode mode) {
    Reset();
    if (IsHttpAddress(source)) {
        FetchResult result = FetchUrl(source, fetch);
        if (!result.ok) {
            m_lastError = result.error;
            return false;
        }
        return loadBytes(result.body, result.charset, ParseLimitsOf(fetch), mode);
    }
    if (origin == AddressOrigin::kFromData) {
        m_lastError = "not an http or https address: " + source;
        return false;
    }
    return loadFile(source, fetch, mode);
}

bool CXmlDocument::loadFile(const std::string& path, const FetchOptions& fetch, XmlParseMode mode) {
    Reset();
    LocalFile file = ReadLocalFile(path, fetch.limits.maxBodyBytes, fetch.stop);
    if (!file.ok()) {
        m_lastError = file.error;
        return false;
    }
    return loadBytes(file.bytes, {}, ParseLimitsOf(fetch), mode);
}

bool CXmlDocument::loadXML(std::string_view text) {
    // The declaration of a string without one of its own says nothing; UTF-8 is assumed.
    return loadBytes(text, "UTF-8");
}

bool CXmlDocument::loadBytes(std::string_view bytes, std::string_view httpCharset,
                             const XmlParseLimits& limits, XmlParseMode mode) {
    Reset();
    ParsedXml parsed = ParseXmlBytes(bytes, httpCharset, limits, mode);
    m_lastError = std::move(parsed.error);
    if (!parsed.doc) {
        return false;
    }
    m_doc = std::move(parsed.doc);
    m_hasDeclaration = parsed.hasDeclaration;
    m_declaredEncoding = std::move(parsed.declaredEncoding);
    m_recovered = parsed.recovered;
    m_truncated = parsed.truncated;
    return true;
}

namespace {

// Whether libxml2 can write text in `encoding`.
bool CanEncode(const std::string& encoding) {
    xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
    if (handler == nullptr) {
        return false;
    }
    xmlCharEncCloseFunc(handler);
    return true;
}

}  // namespace

std::string CXmlDocument::serialize() const {
    if (!m_doc) {
        return {};
    }
    std::string label = m_declaredEncoding.empty() ? "UTF-8" : m_declaredEncoding;
    std::string output = m_hasDeclaration ? DecodingCharsetFor(label) : "UTF-8";
    // A label no encoder knows (hand-edited, or written by another tool) was read as UTF-8:
    // the document is written in UTF-8 and declared so, rather than not at all.
    if (!CanEncode(output)) {
        label = output = "UTF-8";
    }
    int options = XML_SAVE_FORMAT;
    if (!m_hasDeclaration) {
        options |= XML_SAVE_NO_DECL;
    }
    ScopedXmlErrors errors;
    xmlBuffer* buffer = xmlBufferCreate();
    xmlSaveCtxt* save = xmlSaveToBuffer(buffer, output.c_str(), options);
    std::string text;
    if (save != nullptr) {
        xmlSaveDoc(save, m_doc.get());
        xmlSaveClose(save);
        text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<std::size_t>(xmlBufferLength(buffer)));
    }
    xmlBufferFree(buffer);
    if (m_hasDeclaration && output != label) {
        // Written in `output`, but labelled as the file was: a GB2312 file stays GB2312.
        const std::string written = "encoding=\"" + output + "\"";
        const std::size_t at = text.find(written);
        if (at != std::string::npos && at < 200) {
            text.replace(at, written.size(), "encoding=\"" + label + "\"");
        }
    }
    return text;
}

bool CXmlDocument::save(const std::string& path, int* errorNumber) const {
    if (errorNumber) {
        *errorNumber = 0;
    }
    if (!m_doc) {
        return false;
    }
    const std::string text = serialize();
    return !text.empty() && WriteFileAtomically(path, text, 0644, errorNumber);
}

XmlNode CXmlDocument::documentElement() const {
    return XmlNode(m_doc ? xmlDocGetRootElement(m_doc.get()) : nullptr);
}

XmlNode CXmlDocument::selectSingleNode(std::string_view path) const {
    xmlNode* root = documentElement().get();
    const std::vector<std::string_view> steps = SplitPath(path);
    if (!root || steps.empty() || !HasName(root, steps.front())) {
        return XmlNode();
    }
    return XmlNode(FirstByPath(root, steps, 1));
}

std::vector<XmlNode> CXmlDocument::selectNodes(std::string_view path) const {
    std::vector<XmlNode> result;
    xmlNode* root = documentElement().get();
    const std::vector<std::string_view> steps = SplitPath(path);
    if (!root || steps.empty() || !HasName(root, steps.front())) {
        return result;
    }
    for (xmlNode* node : FollowSteps({root}, steps, 1)) {
        result.emplace_back(node);
    }
    return result;
}

std::vector<XmlNode> CXmlDocument::getElementsByTagName(std::string_view name) const {
    std::vector<XmlNode> result;
    xmlNode* root = documentElement().get();
    if (!root) {
        return result;
    }
    const std::size_t slash = name.find('/');
    const std::string_view parentName =
        slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);
    const std::string_view childName =
        slash == std::string_view::npos ? name : name.substr(slash + 1);
    // Pre-order walk without recursion: document order.
    for (xmlNode* node = root; node;) {
        if (HasName(node, childName) && (parentName.empty() || HasName(node->parent, parentName))) {
            result.emplace_back(node);
        }
        if (node->children && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node && node != root && !node->next) {
            node = node->parent;
        }
        node = (node == root || !node) ? nullptr : node->next;
    }
    return result;
}

XmlNode CXmlDocument::createNode(std::string_view name) {
    EnsureDocument();
    if (!m_unattached) {
        m_unattached = xmlNewDocNode(m_doc.get(), nullptr, XmlChars("unattached"), nullptr);
    }
    xmlNode* node = xmlNewDocNode(m_doc.get(), nullptr, XmlChars(std::string(name)), nullptr);
    if (node) {
        xmlAddChild(m_unattached, node);
    }
    return XmlNode(node);
}

void CXmlDocument::setDocumentElement(XmlNode element) {
    EnsureDocument();
    if (element && element.get()->doc == m_doc.get()) {
        xmlUnlinkNode(element.get());
        xmlNode* old = xmlDocSetRootElement(m_doc.get(), element.get());
        if (old && old != element.get()) {
            xmlFreeNode(old);
        }
    }
}
