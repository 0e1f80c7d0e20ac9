#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Narrow text is UTF-8 throughout the program. These helpers keep fixed-size fields and
// length limits from ever splitting a character.

// The longest prefix of `text` that is at most `maxBytes` long and does not end inside a
// UTF-8 sequence.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Copies `text` into the zero-terminated field `dest` of `destSize` bytes, cut at a
// character boundary to at most destSize - 1 bytes. A destSize of 0 writes nothing.
void CopyToField(char* dest, std::size_t destSize, std::string_view text);

template <std::size_t N>
void CopyToField(char (&dest)[N], std::string_view text) {
    CopyToField(dest, N, text);
}

// UTF-8 <-> UTF-16. A byte that does not start a valid UTF-8 sequence becomes U+FFFD; an
// unpaired surrogate becomes U+FFFD in the other direction.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// ASCII-only case folding, as the tree's name comparisons and the folder loader use it.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// atoi-style: leading blanks, an optional sign, digits up to the first other character;
// no digits gives 0. Values beyond 32 bits saturate.
int ParseLeadingInt(std::string_view text);

// `text` with & < > " and ' as character references: safe as XML or HTML element content
// and inside a quoted attribute.
std::string EscapeMarkup(std::string_view text);
