#include "base/ascii.h"

#include <algorithm>

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = AsciiLower(c);
    }
    return lowered;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareIgnoreAsciiCase(a, b) == 0;
}

int CompareIgnoreAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsIgnoreAsciiCase(std::string_view text, std::string_view part) {
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (EqualsIgnoreAsciiCase(text.substr(i, part.size()), part)) {
            return true;
        }
    }
    return false;
}

std::string_view TrimAsciiBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}
