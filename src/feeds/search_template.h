#pragma once

#include <string>
#include <string_view>

// The whole address of a news-search service's result feed with placeholders, which a
// search.* value of data/services.conf may give instead of a host:
//
//   {word}   the search word, percent-encoded (see ExpandSearchTemplate)
//   {page}   the page index, counted from 0 as the built-in addresses count it, in decimal
//   {count}  the items asked for per page, in decimal
//
// for example https://news.example/rss/search?q={word}&hl=zh-CN. A placeholder may appear
// more than once, or (except {word}) not at all.

// Whether `value` is such a template: http:// or https://, a host and optional port as a
// host-only value has them, then a path or query ("/" or "?") without blanks or control
// characters, holding {word} at least once and no "{" or "}" other than those of the three
// placeholders. A template without {word} would file the same results under every channel,
// and one with an unknown placeholder would send it as it is: neither is one.
bool IsSearchTemplate(std::string_view value);

// The scheme, host and port of a template (of IsSearchTemplate).
std::string_view SearchTemplateBase(std::string_view addressTemplate);

// The address of one page of results for `word` (UTF-8). The word's bytes, as GBK when
// `gbkWord` (a word GBK cannot hold stays UTF-8), are percent-encoded except for ASCII letters,
// digits and "-._~", so that "&", "#", "+", "=", "%" and blanks stay part of the word.
std::string ExpandSearchTemplate(std::string_view addressTemplate, int pageIndex, int itemsPerPage,
                                 std::string_view word, bool gbkWord);

// Whether the word of `addressTemplate` goes in as GBK: as the "ie" parameter of its query
// says (gb2312, gbk or gb18030: GBK; any other value: UTF-8), else as the service reads words
// it is not told about (`serviceTakesGbk`).
bool TemplateTakesGbk(std::string_view addressTemplate, bool serviceTakesGbk);
