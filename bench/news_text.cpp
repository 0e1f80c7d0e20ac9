#include "news_text.h"

#include <string_view>

namespace {

// Common characters of news text, without 足 and 球: the planted words never form by chance.
constexpr std::string_view kCharacters =
    "的一是不了人我在有他这中大来上个们到说和地也子时道出而要于就下得可你年生自会那后能对着"
    "事其里所去行过十么之当与看天没都好小多然心学部些现成方实经法面定如意全分开理同已工已高"
    "新问发其战力文明点气并与本民主合比结解体制机提制外知正代手由从前产样由关期两向进么重长"
    "电真水各回老重使日相起动内公员只业城市加情第东西南北政治军事科技社会经济市场企业银行投资"
    "股票价格增长报道记者发布消息表示今年目前已经通过系统服务平台用户数据网络信息安全教育医疗"
    "健康环境能源交通旅游文化艺术电影音乐比赛冠军选手队员教练赛季联赛世界亚洲欧洲美国日本韩国"
    "北京上海广州深圳天津重庆杭州南京武汉成都西安城市农村居民政府官员部门委员会会议决定计划"
    "改革开放发展建设项目工程研究专家学者大学学生老师学校考试成绩问题方法结果影响原因情况";

constexpr std::string_view kSyllables[] = {
    "ka", "ro", "mi", "ten", "sa", "lo",  "ver", "na", "di", "pre", "con", "al", "be", "tra",
    "in", "ex", "mo", "ri",  "la", "pen", "ti",  "co", "de", "ra",  "zo",  "ne", "us", "or",
};

std::vector<std::string_view> CharactersOf(std::string_view text) {
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < text.size(); i += 3) {  // all three bytes in UTF-8
        chars.push_back(text.substr(i, 3));
    }
    return chars;
}

// Zipf-like weights: the i-th of `n` is drawn about 1 / (i + 1) as often as the first.
std::discrete_distribution<int> Skewed(std::size_t n) {
    std::vector<double> weights;
    for (std::size_t i = 0; i < n; ++i) {
        weights.push_back(1.0 / static_cast<double>(i + 1));
    }
    return std::discrete_distribution<int>(weights.begin(), weights.end());
}

}  // namespace

NewsTextMaker::NewsTextMaker(unsigned seed) : m_random(seed) {
    const std::vector<std::string_view> chars = CharactersOf(kCharacters);
    std::discrete_distribution<int> pickChar = Skewed(chars.size());
    std::mt19937 vocabulary(7);
    for (int w = 0; w < 8000; ++w) {
        const int length = 1 + static_cast<int>(vocabulary() % 4);
        std::string word;
        for (int c = 0; c < length; ++c) {
            word += chars[static_cast<std::size_t>(pickChar(vocabulary))];
        }
        m_chinese.push_back(word);
    }
    for (int w = 0; w < 3000; ++w) {
        const int length = 1 + static_cast<int>(vocabulary() % 3);
        std::string word;
        for (int s = 0; s < length; ++s) {
            word += kSyllables[vocabulary() % std::size(kSyllables)];
        }
        m_english.push_back(word);
    }
    m_pickChinese = Skewed(m_chinese.size());
    m_pickEnglish = Skewed(m_english.size());
}

std::string NewsTextMaker::Words(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const unsigned roll = m_random() % 100;
        if (roll < 8) {
            text += " " + m_english[static_cast<std::size_t>(m_pickEnglish(m_random))] + " ";
        } else if (roll < 10) {
            text += std::to_string(m_random() % 2030);
        } else if (roll < 18) {
            text += roll < 14 ? "，" : "。";
        } else {
            text += m_chinese[static_cast<std::size_t>(m_pickChinese(m_random))];
        }
    }
    return text;
}

std::string NewsTextMaker::Planted() {
    const unsigned roll = m_random() % 1000;
    if (roll < 10) {
        return kTwoCharacterWord;
    }
    if (roll < 20) {
        return std::string(" ") + kEnglishWord + " ";
    }
    if (roll < 21) {
        return kSixCharacterPhrase;
    }
    return "";
}

std::string NewsTextMaker::Title() {
    return Words(5 + static_cast<int>(m_random() % 5));
}

std::string NewsTextMaker::Description() {
    std::string text = "<p>" + Words(25 + static_cast<int>(m_random() % 30)) + Planted();
    if (m_random() % 3 == 0) {
        text += "</p><p><b>" + Words(3) + "</b> &amp; " + Words(10);
    }
    return text + "</p>";
}
