#pragma once

#include <libxml/tree.h>

#include <string_view>
#include <vector>

// The child-path subset of XPath that XmlNode and CXmlDocument read: "a/b/c", each step an
// element's qualified name.

// The bytes of `text` as libxml2 takes them; `text` must end with a zero byte.
const xmlChar* XmlChars(std::string_view text);
// A libxml2 string as a view; null gives an empty view.
std::string_view XmlView(const xmlChar* text);

// Whether the element's qualified name is `name`.
bool HasName(const xmlNode* node, std::string_view name);
// Whether `name` is "prefix:local", or `local` alone for an empty prefix.
bool IsQualifiedName(std::string_view prefix, std::string_view local, std::string_view name);
// Whether the element is `localName` in the namespace `namespaceUri`.
bool IsNamed(const xmlNode* node, std::string_view namespaceUri, std::string_view localName);
// The steps of a child path, "a/b" giving "a" and "b".
std::vector<std::string_view> SplitPath(std::string_view path);
// The first element, in document order, reached from `node` by following the child steps
// from `first` on; null when none is. Stops at the first match, so a look-up among many
// siblings costs only the siblings before it.
xmlNode* FirstByPath(xmlNode* node, const std::vector<std::string_view>& steps, std::size_t first);
// Elements reached from `current` by following the child steps from `first` on, in document
// order.
std::vector<xmlNode*> FollowSteps(std::vector<xmlNode*> current,
                                  const std::vector<std::string_view>& steps, std::size_t first);
