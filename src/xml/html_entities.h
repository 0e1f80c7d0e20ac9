#pragma once

#include <cstddef>
#include <string_view>

// The code point HTML 4 gives the named character reference `name` (without "&" and ";"):
// the Latin-1 letters and signs, the Greek letters, the mathematical and technical symbols
// and the typographic marks (nbsp, copy, mdash, hellip, laquo ...). Names are
// case-sensitive; 0 when HTML 4 has no such name.
char32_t HtmlEntityCodePoint(std::string_view name);

// The character a character reference at `start` of `html` stands for ("&amp;", "&#20013;",
// "&#x4E2D;", "&apos;"), with the reference's length in `*length`; 0 when no reference of a
// character starts there.
char32_t HtmlReferenceAt(std::string_view html, std::size_t start, std::size_t* length);
