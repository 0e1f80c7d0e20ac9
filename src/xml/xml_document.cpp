#include "xml/xml_document.h"

#include <libxml/entities.h>
#include <libxml/xmlsave.h>

#include "base/atomic_file.h"
#include "base/charset.h"
#include "base/local_file.h"
#include "base/text_util.h"

namespace {

// Entity references nested deeper than this are not followed when reading text.
constexpr int kMaxEntityDepth = 16;

const xmlChar* Xml(std::string_view text) {
    return reinterpret_cast<const xmlChar*>(text.data());
}

std::string_view View(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Whether the element's qualified name is `name`.
bool HasName(const xmlNode* node, std::string_view name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) {
        return false;
    }
    const std::string_view local = View(node->name);
    if (node->ns == nullptr || node->ns->prefix == nullptr) {
        return local == name;
    }
    const std::string_view prefix = View(node->ns->prefix);
    return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.ends_with(local);
}

// Whether the element is `localName` in the namespace `namespaceUri`.
bool IsNamed(const xmlNode* node, std::string_view namespaceUri, std::string_view localName) {
    return node->type == XML_ELEMENT_NODE && node->ns && View(node->ns->href) == namespaceUri &&
           View(node->name) == localName;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> steps;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        steps.push_back(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return steps;
}

// Elements reached from `starts` by following the child steps, in document order.
std::vector<xmlNode*> FollowSteps(std::vector<xmlNode*> current,
                                  const std::vector<std::string_view>& steps, std::size_t first) {
    for (std::size_t i = first; i < steps.size() && !current.empty(); ++i) {
        std::vector<xmlNode*> next;
        for (xmlNode* node : current) {
            for (xmlNode* child = node->children; child; child = child->next) {
                if (HasName(child, steps[i])) {
                    next.push_back(child);
                }
            }
        }
        current = std::move(next);
    }
    return current;
}

// Appends `text` as far as it fits. libxml2 keeps what recovery read from a document that was
// not valid in its encoding byte for byte; such bytes reach the caller as the windows-1252
// characters they would be (ValidUtf8), so every text handed out is valid UTF-8.
void AppendLimited(std::string& out, std::string_view text, std::size_t maxBytes) {
    if (out.size() >= maxBytes) {
        return;
    }
    if (IsValidUtf8(text)) {
        out.append(CutAtCharBoundary(text, maxBytes - out.size()));
    } else {
        out.append(CutAtCharBoundary(ValidUtf8(text), maxBytes - out.size()));
    }
}

void CollectText(const xmlNode* first, std::string& out, std::size_t maxBytes, int depth);

void CollectNodeText(const xmlNode* node, std::string& out, std::size_t maxBytes, int depth) {
    switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            AppendLimited(out, View(node->content), maxBytes);
            break;
        case XML_ENTITY_REF_NODE: {
            const xmlEntity* entity = xmlGetDocEntity(node->doc, node->name);
            // Only internal entities are expanded; an external one never reads anything.
            if (entity && entity->etype == XML_INTERNAL_GENERAL_ENTITY && depth < kMaxEntityDepth) {
                if (entity->children) {
                    CollectText(entity->children, out, maxBytes, depth + 1);
                } else {
                    AppendLimited(out, View(entity->content), maxBytes);
                }
            }
            break;
        }
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_DOCUMENT_NODE:
            CollectText(node->children, out, maxBytes, depth);
            break;
        default:
            break;
    }
}

void CollectText(const xmlNode* first, std::string& out, std::size_t maxBytes, int depth) {
    for (const xmlNode* node = first; node && out.size() < maxBytes; node = node->next) {
        CollectNodeText(node, out, maxBytes, depth);
    }
}

}  // namespace

// ---- XmlNode ----

bool XmlNode::IsElement() const {
    return m_node && m_node->type == XML_ELEMENT_NODE;
}

std::string XmlNode::name() const {
    if (!IsElement()) {
        return {};
    }
    std::string qualified;
    if (m_node->ns && m_node->ns->prefix) {
        qualified.append(View(m_node->ns->prefix)).push_back(':');
    }
    qualified.append(View(m_node->name));
    return qualified;
}

std::string XmlNode::text(std::size_t maxBytes) const {
    std::string out;
    if (m_node) {
        CollectNodeText(m_node, out, maxBytes, 0);
    }
    return out;
}

std::string XmlNode::innerXml(std::size_t maxBytes) const {
    std::string out;
    xmlBuffer* buffer = xmlBufferCreate();
    for (xmlNode* child = m_node ? m_node->children : nullptr; child; child = child->next) {
        xmlBufferEmpty(buffer);
        // Without formatting, in UTF-8: the text is the document's, character for character.
        if (xmlNodeDump(buffer, m_node->doc, child, 0, 0) < 0) {
            continue;
        }
        const std::string_view markup = View(xmlBufferContent(buffer));
        const bool full = out.size() + markup.size() > maxBytes;
        AppendLimited(out, markup, maxBytes);
        if (full) {
            break;
        }
    }
    xmlBufferFree(buffer);
    return out;
}

void XmlNode::put_text(std::string_view text) {
    if (!m_node) {
        return;
    }
    while (m_node->children) {
        xmlNode* child = m_node->children;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    xmlAddChild(m_node, xmlNewDocTextLen(m_node->doc, Xml(text), static_cast<int>(text.size())));
}

XmlNode XmlNode::parentNode() const {
    // The document node is no parent here, nor the holder of a document's unattached
    // elements (the only element without a parent of its own).
    if (!m_node || !m_node->parent || m_node->parent->type == XML_DOCUMENT_NODE ||
        m_node->parent->parent == nullptr) {
        return XmlNode();
    }
    return XmlNode(m_node->parent);
}

std::vector<XmlNode> XmlNode::childNodes() const {
    std::vector<XmlNode> children;
    for (xmlNode* child = m_node ? m_node->children : nullptr; child; child = child->next) {
        children.emplace_back(child);
    }
    return children;
}

std::size_t XmlNode::childCount() const {
    std::size_t count = 0;
    for (xmlNode* child = m_node ? m_node->children : nullptr; child; child = child->next) {
        ++count;
    }
    return count;
}

XmlNode XmlNode::selectSingleNode(std::string_view path) const {
    const std::vector<XmlNode> nodes = selectNodes(path);
    return nodes.empty() ? XmlNode() : nodes.front();
}

std::vector<XmlNode> XmlNode::selectNodes(std::string_view path) const {
    std::vector<XmlNode> result;
    if (!m_node || path.empty()) {
        return result;
    }
    for (xmlNode* node : FollowSteps({m_node}, SplitPath(path), 0)) {
        result.emplace_back(node);
    }
    return result;
}

XmlNode XmlNode::selectChildNS(std::string_view namespaceUri, std::string_view localName) const {
    for (xmlNode* child = m_node ? m_node->children : nullptr; child; child = child->next) {
        if (IsNamed(child, namespaceUri, localName)) {
            return XmlNode(child);
        }
    }
    return XmlNode();
}

std::vector<XmlNode> XmlNode::selectChildrenNS(std::string_view namespaceUri,
                                               std::string_view localName) const {
    std::vector<XmlNode> children;
    for (xmlNode* child = m_node ? m_node->children : nullptr; child; child = child->next) {
        if (IsNamed(child, namespaceUri, localName)) {
            children.emplace_back(child);
        }
    }
    return children;
}

std::string XmlNode::localName() const {
    return IsElement() ? std::string(View(m_node->name)) : std::string();
}

std::string XmlNode::namespaceUri() const {
    return IsElement() && m_node->ns ? std::string(View(m_node->ns->href)) : std::string();
}

bool XmlNode::appendChild(XmlNode child) {
    if (!m_node || !child.m_node || child.m_node->doc != m_node->doc) {
        return false;
    }
    for (xmlNode* ancestor = m_node; ancestor; ancestor = ancestor->parent) {
        if (ancestor == child.m_node) {
            return false;
        }
    }
    xmlUnlinkNode(child.m_node);
    xmlAddChild(m_node, child.m_node);
    return true;
}

bool XmlNode::removeChild(XmlNode child) {
    if (!m_node || !child.m_node || child.m_node->parent != m_node) {
        return false;
    }
    xmlUnlinkNode(child.m_node);
    xmlFreeNode(child.m_node);
    return true;
}

std::optional<std::string> XmlNode::getAttribute(std::string_view name) const {
    if (!IsElement()) {
        return std::nullopt;
    }
    for (xmlAttr* attribute = m_node->properties; attribute; attribute = attribute->next) {
        std::string qualified;
        if (attribute->ns && attribute->ns->prefix) {
            qualified.append(View(attribute->ns->prefix)).push_back(':');
        }
        qualified.append(View(attribute->name));
        if (qualified == name) {
            std::string value;
            CollectText(attribute->children, value, kMaxTextBytes, 0);
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::string> XmlNode::getAttributeNS(std::string_view namespaceUri,
                                                   std::string_view localName) const {
    if (!IsElement()) {
        return std::nullopt;
    }
    for (xmlAttr* attribute = m_node->properties; attribute; attribute = attribute->next) {
        if (attribute->ns && View(attribute->ns->href) == namespaceUri &&
            View(attribute->name) == localName) {
            std::string value;
            CollectText(attribute->children, value, kMaxTextBytes, 0);
            return value;
        }
    }
    return std::nullopt;
}

void XmlNode::setAttribute(std::string_view name, std::string_view value) {
    if (IsElement()) {
        xmlSetProp(m_node, Xml(std::string(name)), Xml(std::string(value)));
    }
}

// ---- CXmlDocument ----

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
}

void CXmlDocument::EnsureDocument() {
    if (!m_doc) {
        m_doc.reset(xmlNewDoc(Xml("1.0")));
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
    return true;
}

std::string CXmlDocument::serialize() const {
    if (!m_doc) {
        return {};
    }
    const std::string label = m_declaredEncoding.empty() ? "UTF-8" : m_declaredEncoding;
    const std::string output = m_hasDeclaration ? DecodingCharsetFor(label) : "UTF-8";
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

bool CXmlDocument::save(const std::string& path) const {
    if (!m_doc) {
        return false;
    }
    const std::string text = serialize();
    return !text.empty() && WriteFileAtomically(path, text);
}

XmlNode CXmlDocument::documentElement() const {
    return XmlNode(m_doc ? xmlDocGetRootElement(m_doc.get()) : nullptr);
}

XmlNode CXmlDocument::selectSingleNode(std::string_view path) const {
    const std::vector<XmlNode> nodes = selectNodes(path);
    return nodes.empty() ? XmlNode() : nodes.front();
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
        m_unattached = xmlNewDocNode(m_doc.get(), nullptr, Xml("unattached"), nullptr);
    }
    xmlNode* node = xmlNewDocNode(m_doc.get(), nullptr, Xml(std::string(name)), nullptr);
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
