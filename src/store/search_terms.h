#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the search index cuts text into terms, and how typed text becomes a query.
//
// Chinese, Japanese and Korean characters are taken one by one: in stored text every such
// character is a term, and beside it, at the same position, stands the pair it begins with
// the next character of its run. A search for one character then looks up that character's
// term and a search for two or more the pairs in a row, so a short search reads the index
// as a long one does. Traditional Chinese characters are read as their Simplified forms
// (simplified_chinese.h), in the index and in a query alike, so that either finds both; the
// stored text keeps its own. Runs of other letters and digits are words, ASCII letters lowered
// and full-width ASCII letters and digits read as ASCII. Everything else (spaces, punctuation,
// symbols, bytes that are no UTF-8) only separates terms.

enum class SearchTermMode {
    kStored,  // text going into the index: characters, and pairs beside them
    kTyped,   // one phrase of a query: the pairs of a run, or its character when alone
};

struct SearchTerm {
    std::string_view text;  // lowered and folded; valid only during the call
    int start = 0;          // byte offsets of the term's text in the input
    int end = 0;
    bool samePosition = false;  // stands at the position of the term before it
    bool ideograph = false;     // one character of a run of ideographs, not a word or a pair
};

// While one lives, its thread cuts terms as files of an earlier version were indexed: with
// Traditional Chinese characters as they are. Only for taking such terms out of the index
// again (store/chinese_fold_step.h).
class CUnfoldedChineseTerms {
public:
    CUnfoldedChineseTerms();
    ~CUnfoldedChineseTerms();
    CUnfoldedChineseTerms(const CUnfoldedChineseTerms&) = delete;
    CUnfoldedChineseTerms& operator=(const CUnfoldedChineseTerms&) = delete;
};

// Calls `sink` with every term of `text` in order, until it returns false. Returns whether
// every term was handed over.
bool ForEachSearchTerm(std::string_view text, SearchTermMode mode,
                       const std::function<bool(const SearchTerm&)>& sink);

// A query reads at most this many bytes of the typed text and this many of its parts: each
// part is a phrase the index must merge, and a pasted page of them would run for minutes.
constexpr std::size_t kSearchTextLimit = 512;
constexpr int kSearchPartLimit = 32;

// The parts of what the user typed that a search looks for: the text between blanks that
// holds a term, within the limits above (`cut`, when given, says whether any was left out).
std::vector<std::string_view> SearchParts(std::string_view typed, bool* cut = nullptr);

// The full-text query for what the user typed: every part between blanks is a phrase the
// item must hold (as one run of characters and words), and a part that ends in a word also
// finds longer words that begin with it. Empty when the text holds no term at all. Text
// beyond the limits above is left out; `cut`, when given, says whether any was.
std::string SearchMatchExpression(std::string_view typed, bool* cut = nullptr);

// Gives the index's terms that begin with a word part (folded as the index folds it), or
// nothing when the part should stay a prefix query.
using SearchPrefixTerms = std::function<std::optional<std::vector<std::string>>(std::string_view)>;

// The same expression with each part that ends in a word spelled out as the phrases it can
// be, one for each of `prefixTerms`' terms, joined by OR. The index reads such a list lazily,
// newest first, where a prefix query first merges every matching term's whole list of items.
std::string SearchMatchExpression(std::string_view typed, bool* cut,
                                  const SearchPrefixTerms& prefixTerms);
