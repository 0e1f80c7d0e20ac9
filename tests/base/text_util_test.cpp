#include "base/text_util.h"

#include "base/markup_cut.h"

#include <gtest/gtest.h>

#include "base/charset.h"

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
    char cleared[4] = "old";
    CopyToField(cleared, std::string_view{});  // a default view has no data pointer at all
    EXPECT_STREQ(cleared, "");
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

TEST(TextUtil, LimitsCountCodePageBytes) {
    // ASCII one byte, a common Chinese character or "é" two, a character outside the
    // code page's two-byte range (an emoji, a rare CJK extension character) four.
    struct Case {
        const char* text;
        std::size_t length;
    };
    const Case cases[] = {{"", 0},      {"abc", 3}, {"足球", 4},
                          {"é", 2},     {"😀", 4},   {"\xF0\xA0\x80\x80", 4},
                          {"a足😀b", 8}, {"\xFF", 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(CodePageLength(c.text), c.length) << c.text;
    }

    // A Chinese name of 600 code-page bytes (300 characters) keeps 255 characters: 510
    // bytes, cut before the character that would cross the 511-byte limit.
    std::string chinese;
    for (int i = 0; i < 300; ++i) {
        chinese += "球";
    }
    const std::string_view cut = CutToCodePageLimit(chinese, 511);
    EXPECT_EQ(cut.size(), 255u * 3);
    EXPECT_EQ(CodePageLength(cut), 510u);
    EXPECT_EQ(CutToCodePageLimit("a" + chinese, 511).size(), 1u + 255 * 3);
    EXPECT_EQ(CutToCodePageLimit("ab😀", 5), "ab");
    EXPECT_EQ(CutToCodePageLimit("ab😀", 6), "ab😀");

    // The field sized for 511 code-page bytes holds the longest such text.
    char field[CodePageFieldSize(511)];
    CopyToCodePageField(field, 511, "a" + chinese);
    EXPECT_EQ(std::string(field), "a" + chinese.substr(0, 255 * 3));
}

TEST(TextUtil, BytesThatAreNotUtf8BecomeWindows1252CharactersAndNothingIsLost) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"Zürich 足球", "Zürich 足球"},    // valid text is left alone
        {"Caf\xE9", "Café"},               // a lone Latin-1 byte
        {"\x80\x93x\x94", "€“x”"},         // the bytes windows-1252 gives to symbols
        {"\x81\x9D", "\xC2\x81\xC2\x9D"},  // undefined bytes keep their number
        {"\xE8\xB6\xB3\xE7", "足ç"},       // a sequence cut off at the end
        {"\xC0\xAF", "À¯"},                // an overlong form is two characters
        {"\xED\xA0\x80", "í\xC2\xA0€"},    // a surrogate is not UTF-8
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValidUtf8(c.input), c.expected) << c.input;
        EXPECT_TRUE(IsValidUtf8(ValidUtf8(c.input))) << c.input;
    }
    EXPECT_FALSE(IsValidUtf8("\xFF"));
    EXPECT_EQ(Windows1252ToUtf8("\xE9\x80"), "é€");
}

TEST(Charset, UndeclaredBytesReadAsGb18030WhenTheyAreElseAsWindows1252) {
    std::string charset;
    // "体育" in GBK.
    EXPECT_EQ(DecodeUndeclared("\xCC\xE5\xD3\xFD", &charset), "体育");
    EXPECT_EQ(charset, "GB18030");
    // A lead byte followed by a blank is no GB18030 character.
    EXPECT_EQ(DecodeUndeclared("Caf\xE9 au lait", &charset), "Café au lait");
    EXPECT_EQ(charset, "windows-1252");
    EXPECT_EQ(DecodeUndeclared("\xFF", &charset), "ÿ");
    EXPECT_EQ(charset, "windows-1252");
}

// A description longer than its field is cut where a browser shows the cut as the start of
// the whole: never inside a tag, a comment or a reference, with every tag it leaves open
// closed, and the whole within the limit.
TEST(MarkupCut, CutsOutsideTagsAndClosesWhatItLeavesOpen) {
    const struct {
        std::string html;
        std::size_t limit;
        std::string cut;
    } kCases[] = {
        {"<p>short</p>", 100, "<p>short</p>"},
        {"<p>abc<b>def</b></p>", 14, "<p>abc</p>"},
        {"<p>abc<b>def</b></p>", 18, "<p>abc<b>d</b></p>"},
        {"<p>a &amp; b</p>", 10, "<p>a </p>"},
        {"<p>a &amp; b</p>", 14, "<p>a &amp;</p>"},
        {"<p>ab<img src=\"x>y.png\"/>cd</p>", 28, "<p>ab</p>"},
        {"<p>ab<img src=\"x>y.png\"/>cd</p>", 29, "<p>ab<img src=\"x>y.png\"/></p>"},
        {"<p>a<br>bcdef</p>", 13, "<p>a<br>b</p>"},
        {"<div><p>a</div>bcdef", 14, "<div></div>"},
        {"<div><p>a</div>bcdef", 15, "<div><p>a</div>"},
        {"新闻<!-- note -->正文内容", 18, "新闻<!-- note -->"},
        {"新闻<!-- note -->正文内容", 19, "新闻<!-- note -->正"},
        {"<a href='http://x.test/?a=1&b=2'>链接文字</a>", 40,
         "<a href='http://x.test/?a=1&b=2'>链</a>"},
        {"<script>if (a < b) x();</script>tail", 28, "<script>if (a < b) </script>"},
    };
    for (const auto& c : kCases) {
        const std::string cut = CutMarkupToCodePageLimit(c.html, c.limit);
        EXPECT_EQ(cut, c.cut) << c.html << " at " << c.limit;
        EXPECT_LE(CodePageLength(cut), c.limit) << c.html;
    }
}
