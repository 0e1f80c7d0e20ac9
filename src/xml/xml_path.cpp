#include "xml/xml_path.h"

const xmlChar* XmlChars(std::string_view text) {
    return reinterpret_cast<const xmlChar*>(text.data());
}

std::string_view XmlView(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

bool HasName(const xmlNode* node, std::string_view name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) {
        return false;
    }
    return IsQualifiedName(node->ns != nullptr ? XmlView(node->ns->prefix) : "",
                           XmlView(node->name), name);
}

bool IsQualifiedName(std::string_view prefix, std::string_view local, std::string_view name) {
    if (prefix.empty()) {
        return local == name;
    }
    return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.ends_with(local);
}

bool IsNamed(const xmlNode* node, std::string_view namespaceUri, std::string_view localName) {
    return node->type == XML_ELEMENT_NODE && node->ns && XmlView(node->ns->href) == namespaceUri &&
           XmlView(node->name) == localName;
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

xmlNode* FirstByPath(xmlNode* node, const std::vector<std::string_view>& steps, std::size_t first) {
    if (first == steps.size()) {
        return node;
    }
    for (xmlNode* child = node->children; child; child = child->next) {
        if (HasName(child, steps[first])) {
            if (xmlNode* found = FirstByPath(child, steps, first + 1)) {
                return found;
            }
        }
    }
    return nullptr;
}

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
