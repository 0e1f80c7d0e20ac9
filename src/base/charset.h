#pragma once

#include <string>
#include <string_view>

// Converts `input` from one character set to another with iconv. False when either set is
// unknown or the input holds a sequence that cannot be converted; nothing is replaced by a
// default character.
bool ConvertCharset(const char* from, const char* to, std::string_view input, std::string* output);

// The character set that text labelled `label` is decoded with: the Chinese GB labels
// (gb2312, gbk, gb18030 and their aliases) all mean GB18030, big5 means its Hong Kong
// superset, as browsers do; any other label is returned unchanged. Case-insensitive.
std::string DecodingCharsetFor(std::string_view label);

// What a document whose bytes name no encoding (no byte order mark, no declared encoding, no
// HTTP charset) is read as when its bytes are not valid UTF-8: GB18030 when they are valid
// GB18030 (the old GB2312 and GBK pages of Chinese sites), otherwise windows-1252, in which
// every byte is a character. `*charset`, when given, receives "GB18030" or "windows-1252".
// The result is always valid UTF-8.
std::string DecodeUndeclared(std::string_view bytes, std::string* charset = nullptr);
