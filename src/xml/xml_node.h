#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A node of a CXmlDocument: a non-owning handle that stays valid while its document lives
// and the node is not removed. A null handle stands for "not found".
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(xmlNode* node) : m_node(node) {}

    bool IsNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XmlNode& other) const { return m_node == other.m_node; }
    xmlNode* get() const { return m_node; }

    bool IsElement() const;
    // The qualified name of an element ("prefix:local" or "local"); "" for other nodes.
    std::string name() const;

    // All descendant text joined with nothing between, internal entities expanded, at most
    // `maxBytes` long (cut at a character boundary). External entities give nothing.
    std::string text(std::size_t maxBytes = kMaxTextBytes) const;
    // The markup of the node's children as XML, in UTF-8, at most `maxBytes` long (cut at a
    // character boundary). Namespaces declared above the node are not repeated; entity
    // references stay references.
    std::string innerXml(std::size_t maxBytes = kMaxTextBytes) const;
    // Replaces the node's children by one text node holding `text`. Here and in
    // setAttribute, characters XML 1.0 forbids are dropped (WithoutXmlForbiddenChars), so a
    // saved document always reads back.
    void put_text(std::string_view text);

    // Of a recovered document (CXmlDocument::recovered): whether the input never closed this
    // element, so that it may hold only the start of what was meant. False otherwise.
    bool leftOpen() const;

    XmlNode parentNode() const;
    // Child nodes in order; whitespace between elements is not kept by the parser.
    std::vector<XmlNode> childNodes() const;
    std::size_t childCount() const;

    // Plain child paths, "a/b/c", relative to this node. A path that matches nothing gives a
    // null node or an empty list.
    XmlNode selectSingleNode(std::string_view path) const;
    std::vector<XmlNode> selectNodes(std::string_view path) const;
    // The first child element named `localName` in the namespace `namespaceUri`, whatever
    // prefix the document gives it; a null node when there is none.
    XmlNode selectChildNS(std::string_view namespaceUri, std::string_view localName) const;
    // Every such child element, in document order.
    std::vector<XmlNode> selectChildrenNS(std::string_view namespaceUri,
                                          std::string_view localName) const;
    // An element's name without its prefix, and the address of its namespace ("" for none).
    std::string localName() const;
    std::string namespaceUri() const;

    // Appends `child` as the last child; a child that already has a parent is moved. Refused
    // (false) for a null node, a node of another document, or a node that contains this one.
    bool appendChild(XmlNode child);
    // Removes `child` (one of this node's children) and frees it with everything below it.
    bool removeChild(XmlNode child);

    // The value of the attribute `name`, or nothing when the element has none.
    std::optional<std::string> getAttribute(std::string_view name) const;
    // The value of the attribute `localName` in the namespace `namespaceUri`, whatever prefix
    // the document gives it, or nothing.
    std::optional<std::string> getAttributeNS(std::string_view namespaceUri,
                                              std::string_view localName) const;
    // Sets an attribute; a new attribute goes after the existing ones.
    void setAttribute(std::string_view name, std::string_view value);

    static constexpr std::size_t kMaxTextBytes = 16u * 1024 * 1024;

private:
    xmlNode* m_node = nullptr;
};
