#pragma once

#include <string_view>

// The code point HTML 4 gives the named character reference `name` (without "&" and ";"):
// the Latin-1 letters and signs, the Greek letters, the mathematical and technical symbols
// and the typographic marks (nbsp, copy, mdash, hellip, laquo ...). Names are
// case-sensitive; 0 when HTML 4 has no such name.
char32_t HtmlEntityCodePoint(std::string_view name);
