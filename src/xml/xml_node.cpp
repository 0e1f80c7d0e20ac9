#include "xml/xml_node.h"

#include <libxml/entities.h>

#include "base/text_util.h"
#include "xml/xml_parse.h"
#include "xml/xml_path.h"

namespace {

// Entity references nested deeper than this are not followed when reading text.
constexpr int kMaxEntityDepth = 16;

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
            AppendLimited(out, XmlView(node->content), maxBytes);
            break;
        case XML_ENTITY_REF_NODE: {
            const xmlEntity* entity = xmlGetDocEntity(node->doc, node->name);
            // Only internal entities are expanded; an external one never reads anything.
            if (entity && entity->etype == XML_INTERNAL_GENERAL_ENTITY && depth < kMaxEntityDepth) {
                if (entity->children) {
                    CollectText(entity->children, out, maxBytes, depth + 1);
                } else {
                    AppendLimited(out, XmlView(entity->content), maxBytes);
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

bool XmlNode::IsElement() const {
    return m_node && m_node->type == XML_ELEMENT_NODE;
}

std::string XmlNode::name() const {
    if (!IsElement()) {
        return {};
    }
    std::string qualified;
    if (m_node->ns && m_node->ns->prefix) {
        qualified.append(XmlView(m_node->ns->prefix)).push_back(':');
    }
    qualified.append(XmlView(m_node->name));
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
        const std::string_view markup = XmlView(xmlBufferContent(buffer));
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
    const std::string allowed = WithoutXmlForbiddenChars(text);
    xmlAddChild(m_node,
                xmlNewDocTextLen(m_node->doc, XmlChars(allowed), static_cast<int>(allowed.size())));
}

bool XmlNode::leftOpen() const {
    return IsElement() && WasLeftOpen(m_node);
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
    if (!m_node || path.empty()) {
        return XmlNode();
    }
    return XmlNode(FirstByPath(m_node, SplitPath(path), 0));
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
    return IsElement() ? std::string(XmlView(m_node->name)) : std::string();
}

std::string XmlNode::namespaceUri() const {
    return IsElement() && m_node->ns ? std::string(XmlView(m_node->ns->href)) : std::string();
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
            qualified.append(XmlView(attribute->ns->prefix)).push_back(':');
        }
        qualified.append(XmlView(attribute->name));
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
        if (attribute->ns && XmlView(attribute->ns->href) == namespaceUri &&
            XmlView(attribute->name) == localName) {
            std::string value;
            CollectText(attribute->children, value, kMaxTextBytes, 0);
            return value;
        }
    }
    return std::nullopt;
}

void XmlNode::setAttribute(std::string_view name, std::string_view value) {
    if (IsElement()) {
        xmlSetProp(m_node, XmlChars(std::string(name)), XmlChars(WithoutXmlForbiddenChars(value)));
    }
}

// ---- CXmlDocument ----
