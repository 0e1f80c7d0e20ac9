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
