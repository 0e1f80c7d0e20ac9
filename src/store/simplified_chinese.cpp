#include "store/simplified_chinese.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <type_traits>

namespace {

struct FoldPair {
    char32_t from;
    char32_t to;
};

// Sorted by `from`.
constexpr FoldPair kTraditionalToSimplified[] = {
#include "store/t2s_table.inc"
};

static_assert(std::is_sorted(std::begin(kTraditionalToSimplified),
                             std::end(kTraditionalToSimplified),
                             [](const FoldPair& a, const FoldPair& b) { return a.from < b.from; }));

constexpr char32_t kFirst = std::begin(kTraditionalToSimplified)->from;
constexpr char32_t kLast = std::prev(std::end(kTraditionalToSimplified))->from;
// The terms fold only from U+3000 up.
static_assert(kFirst >= 0x3000);

// Which characters of the common ideographs (U+3400 to U+9FFF, where nearly all text lies)
// the table names, one bit each: most characters of Simplified text are answered by one test
// instead of a search of the table.
constexpr char32_t kBitsFirst = 0x3400;
constexpr char32_t kBitsEnd = 0xA000;
constexpr auto kFoldable = [] {
    std::array<std::uint64_t, (kBitsEnd - kBitsFirst + 63) / 64> bits{};
    for (const FoldPair& pair : kTraditionalToSimplified) {
        if (pair.from >= kBitsFirst && pair.from < kBitsEnd) {
            const char32_t bit = pair.from - kBitsFirst;
            bits[bit / 64] |= std::uint64_t{1} << (bit % 64);
        }
    }
    return bits;
}();

}  // namespace

char32_t SimplifiedChinese(char32_t c) {
    if (c < kFirst || c > kLast) {
        return c;
    }
    if (c >= kBitsFirst && c < kBitsEnd) {
        const char32_t bit = c - kBitsFirst;
        if ((kFoldable[bit / 64] & (std::uint64_t{1} << (bit % 64))) == 0) {
            return c;
        }
    }
    const auto* found =
        std::lower_bound(std::begin(kTraditionalToSimplified), std::end(kTraditionalToSimplified),
                         c, [](const FoldPair& pair, char32_t key) { return pair.from < key; });
    return found != std::end(kTraditionalToSimplified) && found->from == c ? found->to : c;
}

std::vector<char32_t> TraditionalChineseCharacters() {
    std::vector<char32_t> characters;
    characters.reserve(std::size(kTraditionalToSimplified));
    for (const FoldPair& pair : kTraditionalToSimplified) {
        characters.push_back(pair.from);
    }
    return characters;
}
