#include "store/simplified_chinese.h"

#include <algorithm>
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

}  // namespace

char32_t SimplifiedChinese(char32_t c) {
    if (c < kFirst || c > kLast) {
        return c;
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
