#pragma once

#include <vector>

// Traditional Chinese characters read as their Simplified forms, one character for one, so
// that a search for 台湾 finds 臺灣 as well. The table is made at build time from the
// converter library's character tables (tools/fold_table_gen.cpp); characters it does not
// name, Simplified ones among them, stay as they are. Folding twice changes nothing.
char32_t SimplifiedChinese(char32_t c);

// Every character SimplifiedChinese changes, in order.
std::vector<char32_t> TraditionalChineseCharacters();
