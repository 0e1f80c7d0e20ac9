#include "store/rule_text.h"

#include "store/search_terms.h"
#include "store/search_text.h"

namespace {

// Stands between terms that are not two characters of one run, and at either end.
constexpr char kSeparator = '\x1F';
// Stands, between two separators, where punctuation or a line break parts a word from a
// Chinese character: "5G，手机" and "5G</p><p>手机" do not hold "5G手机", which "5G 手机"
// does, while each holds "5G" and "手机".
constexpr char kBreak = '\x1E';

// Whether the text between two terms holds more than blanks.
bool BreaksBetween(std::string_view gap) {
    return gap.find_first_not_of(" \t") != std::string_view::npos;
}

// The terms of `text` in the folded form, with `*firstIdeograph` and `*lastIdeograph` saying
// what the first and last term are.
std::string Folded(std::string_view text, bool* firstIdeograph, bool* lastIdeograph) {
    std::string out(1, kSeparator);
    bool previousIdeograph = false;
    int previousEnd = -1;
    bool any = false;
    ForEachSearchTerm(text, SearchTermMode::kStored, [&](const SearchTerm& term) {
        if (term.samePosition) {
            return true;  // the pairs beside the characters add nothing here
        }
        const bool sameRun = term.ideograph && previousIdeograph && term.start == previousEnd;
        if (any && !sameRun) {
            out += kSeparator;
            const auto gap = text.substr(static_cast<std::size_t>(previousEnd),
                                         static_cast<std::size_t>(term.start - previousEnd));
            // Set between separators, so that either word still stands whole.
            if (term.ideograph != previousIdeograph && BreaksBetween(gap)) {
                out += kBreak;
                out += kSeparator;
            }
        }
        if (!any && firstIdeograph) {
            *firstIdeograph = term.ideograph;
        }
        out += term.text;
        previousIdeograph = term.ideograph;
        previousEnd = term.end;
        any = true;
        return true;
    });
    if (!any) {
        return {};
    }
    if (lastIdeograph) {
        *lastIdeograph = previousIdeograph;
    }
    return out + kSeparator;
}

}  // namespace

std::string RuleFoldedText(std::string_view title, std::string_view descriptionHtml) {
    // A separator between the two, so that no word runs from the title into the text.
    std::string text(title);
    text += '\n';
    text += SearchTextOfHtml(descriptionHtml);
    return Folded(text, nullptr, nullptr);
}

std::string RuleWordPattern(std::string_view word) {
    bool firstIdeograph = false;
    bool lastIdeograph = false;
    std::string pattern = Folded(word, &firstIdeograph, &lastIdeograph);
    if (pattern.empty()) {
        return pattern;
    }
    // A word must start and end where the text's words do; a run of characters may be found
    // anywhere inside a longer run.
    if (lastIdeograph) {
        pattern.pop_back();
    }
    if (firstIdeograph) {
        pattern.erase(0, 1);
    }
    return pattern;
}

std::vector<std::string> SearchTextPatterns(std::string_view typed) {
    std::vector<std::string> patterns;
    for (std::string_view part : SearchParts(typed)) {
        bool word = false;
        bool ideograph = false;
        // Cut as stored text is, each term says what it is: a word, a character or a pair.
        ForEachSearchTerm(part, SearchTermMode::kStored, [&](const SearchTerm& term) {
            word = word || (!term.ideograph && !term.samePosition);
            ideograph = ideograph || term.ideograph;
            return true;
        });
        if (word && ideograph) {
            patterns.push_back(RuleWordPattern(part));
        }
    }
    return patterns;
}
