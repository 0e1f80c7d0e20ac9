#include "store/simplified_chinese.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

#include "base/text_util.h"

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
// HoldsTraditionalChinese skips every byte below the lead byte of U+3000.
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

bool HoldsTraditionalChinese(std::string_view utf8) {
    // Every character of the table takes three or four bytes, with a lead byte of 0xE3 or more:
    // the text between such bytes is skipped without decoding.
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t pos = 0; pos < utf8.size(); ++pos) {
        if (bytes[pos] < 0xE3) {
            continue;
        }
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(utf8, pos, &c);
        if (length > 0) {
            if (SimplifiedChinese(c) != c) {
                return true;
            }
            pos += length - 1;
        }
    }
    return false;
}
