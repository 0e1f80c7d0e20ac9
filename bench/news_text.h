#pragma once

#include <random>
#include <string>
#include <vector>

// Titles and descriptions that read like the news a Chinese reader keeps: Chinese words of
// one to four characters drawn with the skew of real text (a few very common, most rare),
// English words and numbers among them, descriptions with some markup and character
// references. A few planted words and phrases appear in the descriptions at known rates, for
// the search benchmarks; the random words never form them.
class NewsTextMaker {
public:
    // Planted in the share of items given, in the title or the description.
    static constexpr char kTwoCharacterWord[] = "足球";            // 1 in 100 items
    static constexpr char kSixCharacterPhrase[] = "国家足球协会";  // 1 in 1000 items
    static constexpr char kEnglishWord[] = "football";             // 1 in 100 items

    explicit NewsTextMaker(unsigned seed);

    // The English word drawn most often, which also begins longer words.
    const std::string& CommonEnglishWord() const { return m_english.front(); }

    // About 12 to 24 characters.
    std::string Title();
    // About 80 to 200 characters of text in one or two paragraphs.
    std::string Description();

private:
    std::string Words(int count);
    std::string Planted();

    std::mt19937 m_random;
    std::vector<std::string> m_chinese;
    std::vector<std::string> m_english;
    std::discrete_distribution<int> m_pickChinese;
    std::discrete_distribution<int> m_pickEnglish;
};
