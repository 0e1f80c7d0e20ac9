// Writes the characters of the Basic Multilingual Plane that the Chinese code page (GB18030)
// writes in two bytes, as the 1 024 words of a bitset, asked of iconv at build time: asking
// at run time took every program some 7 ms of 65 536 conversions before its first feed.
//
// Usage: code_page_table_gen OUTPUT

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: code_page_table_gen OUTPUT\n");
        return 2;
    }
    const iconv_t converter = iconv_open("GB18030", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        std::perror("code_page_table_gen: iconv_open GB18030");
        return 1;
    }
    std::array<std::uint64_t, 0x10000 / 64> words{};
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        std::string utf8 = Utf8(c);
        std::array<char, 8> encoded{};
        char* in = utf8.data();
        std::size_t inLeft = utf8.size();
        char* out = encoded.data();
        std::size_t outLeft = encoded.size();
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) &&
            encoded.size() - outLeft == 2) {
            words[c / 64] |= std::uint64_t{1} << (c % 64);
        }
    }
    iconv_close(converter);
    std::FILE* file = std::fopen(argv[1], "w");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(file, "// Made by tools/code_page_table_gen.cpp; do not edit.\n");
    for (std::uint64_t word : words) {
        std::fprintf(file, "0x%016llxull,\n", static_cast<unsigned long long>(word));
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
