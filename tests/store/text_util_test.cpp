#include "store/text_util.h"

#include <gtest/gtest.h>

TEST(TextUtil, CutsOnlyAtCharacterBoundaries) {
    const std::string text = "a足球b";  // 1 + 3 + 3 + 1 bytes
    struct Case {
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {{0, ""},    {1, "a"},     {2, "a"},      {3, "a"},       {4, "a足"},
                          {6, "a足"}, {7, "a足球"}, {8, "a足球b"}, {100, "a足球b"}};
    for (const Case& c : cases) {
        EXPECT_EQ(CutAtCharBoundary(text, c.limit), c.expected) << c.limit;
    }
    char field[5];
    CopyToField(field, "a足球b");
    EXPECT_STREQ(field, "a足");
    char one[1];
    CopyToField(one, "x");
    EXPECT_STREQ(one, "");
}

TEST(TextUtil, ConvertsBetweenUtf8AndUtf16) {
    const std::string text = "Zürich 足球 😀";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide.size(), 12u);  // the emoji takes a surrogate pair
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf8ToUtf16("\xFF"
                          "a"),
              u"\uFFFD"
              u"a");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(TextUtil, ParsesLeadingIntegersLikeAtoi) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {{"42", 42},     {"  -7x", -7},
                          {"+3", 3},      {"", 0},
                          {"abc", 0},     {"99999999999", 2147483647},
                          {"\t12 5", 12}, {"-99999999999", -2147483647 - 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLeadingInt(c.text), c.expected) << c.text;
    }
    EXPECT_TRUE(EqualsIgnoreAsciiCase("News", "nEWS"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("News", "New"));
}
