#pragma once

#include <string>
#include <string_view>
#include <vector>

// One <link> element of an HTML page: its attributes' values with their character references
// read, as UTF-8 ("" for an attribute it lacks).
struct HtmlLink {
    std::string rel;
    std::string type;
    std::string href;
    std::string title;
};

// What a page's head says of the page: its <link> elements in document order, the href of
// its <base> element ("" for none) and the character set a <meta> element names ("" for
// none).
struct HtmlHead {
    std::vector<HtmlLink> links;
    std::string baseHref;
    std::string metaCharset;
};

// Reads the head of an HTML page: every <link>, <base> and <meta> start tag before the first
// <body> or </head>. Comments and the contents of <script> and <style> are passed over, so
// what they hold is never taken for an element. One pass over the bytes, whatever they hold.
//
// The values are decoded from `httpCharset` when it names a character set, else from the
// charset a <meta> names, else as UTF-8 when they are, else as an undeclared document is (see
// DecodeUndeclared); the markup is read as ASCII, which the character sets of Chinese pages
// (GBK, GB18030, Big5) leave intact.
HtmlHead ReadHtmlHead(std::string_view html, std::string_view httpCharset = {});
