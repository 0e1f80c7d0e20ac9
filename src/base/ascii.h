#pragma once

#include <string>
#include <string_view>

// ASCII letter case, the only case the program ever folds: names, titles, labels and address
// schemes compare with A-Z and a-z taken as equal, every other byte (UTF-8 included) as it is.

char AsciiLower(char c);
// `text` with A-Z lowered.
std::string AsciiLowered(std::string_view text);

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
// <0, 0, >0 as `a` sorts before, with or after `b`, bytes compared unsigned after lowering.
int CompareIgnoreAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);
bool ContainsIgnoreAsciiCase(std::string_view text, std::string_view part);

// `text` without the blanks, tabs and line ends at either end (the lines of a key = value file).
std::string_view TrimAsciiBlanks(std::string_view text);

// Orders texts as CompareIgnoreAsciiCase does: for maps keyed by names, as the database keys
// channels.
struct LessIgnoreAsciiCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return CompareIgnoreAsciiCase(a, b) < 0;
    }
};
