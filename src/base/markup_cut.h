#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `html` cut to at most `maxCodePageBytes` bytes of the Chinese code page (see
// CodePageLength), as a description field holds it. A text that fits comes back as it is. A
// longer one is cut at a character boundary outside any tag, comment or character reference,
// and the elements still open there are closed, innermost first, so that what is kept
// renders as the start of the whole; the closing tags count towards the limit.
std::string CutMarkupToCodePageLimit(std::string_view html, std::size_t maxCodePageBytes);

// Where the tag that starts at `pos` (its "<") ends, just past its ">", stepping over quoted
// values; the end of the text when it has none.
std::size_t MarkupTagEnd(std::string_view html, std::size_t pos);
