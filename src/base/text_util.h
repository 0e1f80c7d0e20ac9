#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/ascii.h"

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

// The length of the UTF-8 sequence at `pos` with its code point in `codePoint`, or 0 when no
// valid sequence starts there (or `pos` is past the end).
std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, char32_t* codePoint);

// Length limits of names and record fields count bytes of the Chinese code page the program
// was written for (GB18030): an ASCII character takes one byte, a character of the code
// page's two-byte range (every common Chinese character) two, any other character four. An
// invalid UTF-8 byte counts one.
std::size_t CodePageCharBytes(char32_t c);
std::size_t CodePageLength(std::string_view text);

// The longest prefix of `text` that takes at most `maxCodePageBytes` code-page bytes, cut at
// a character boundary.
std::string_view CutToCodePageLimit(std::string_view text, std::size_t maxCodePageBytes);

// The size of a zero-terminated UTF-8 field that holds any text of `codePageBytes` code-page
// bytes: a two-byte character takes at most three bytes of UTF-8, one and four-byte characters
// no more than in the code page.
constexpr std::size_t CodePageFieldSize(std::size_t codePageBytes) {
    return codePageBytes * 3 / 2 + 1;
}

// Copies `text` into `dest`, cut to at most `maxCodePageBytes` code-page bytes and to the
// field's size.
template <std::size_t N>
void CopyToCodePageField(char (&dest)[N], std::size_t maxCodePageBytes, std::string_view text) {
    CopyToField(dest, N, CutToCodePageLimit(text, maxCodePageBytes));
}

// Appends the UTF-8 form of the code point `c` (at most U+10FFFF, not a surrogate).
void AppendUtf8(std::string& out, char32_t c);

// UTF-8 <-> UTF-16. A byte that does not start a valid UTF-8 sequence becomes U+FFFD; an
// unpaired surrogate becomes U+FFFD in the other direction.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Whether `text` is well-formed UTF-8: no stray or missing continuation byte, no overlong
// form, no surrogate, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// `bytes` read as windows-1252, one character per byte, as UTF-8. The five bytes that
// windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters
// of the same number, so that every byte is some character.
std::string Windows1252ToUtf8(std::string_view bytes);

// `text` with every byte that does not begin a valid UTF-8 sequence read as its windows-1252
// character (as Windows1252ToUtf8 does); valid text comes back unchanged. The result is always
// valid UTF-8, and no byte is dropped or replaced by a default character.
std::string ValidUtf8(std::string_view text);

// atoi-style: leading blanks, an optional sign, digits up to the first other character;
// no digits gives 0. Values beyond 32 bits saturate.
int ParseLeadingInt(std::string_view text);

// `text` with & < > " and ' as character references: safe as XML or HTML element content
// and inside a quoted attribute.
std::string EscapeMarkup(std::string_view text);

// `text` without what an XML 1.0 document cannot hold: control characters other than tab,
// line feed and carriage return, U+FFFE, U+FFFF, and bytes that start no UTF-8 character.
// A document written from such text always reads back.
std::string WithoutXmlForbiddenChars(std::string_view text);
