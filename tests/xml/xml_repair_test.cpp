#include "xml/xml_repair.h"

#include <gtest/gtest.h>

// What the mending changes, and the parts of a document it must leave as they are.
TEST(RepairMarkup, MendsOnlyWhatIsBroken) {
    const struct {
        const char* name;
        std::string in;
        std::string out;
    } kCases[] = {
        {"well-formed", "<r a='1 &amp; 2'>&lt;&#20013;&#x4E2D;&apos;</r>",
         "<r a='1 &amp; 2'>&lt;&#20013;&#x4E2D;&apos;</r>"},
        {"HTML entities", "<r>&nbsp;&copy;&mdash;&hellip;&laquo;&Omega;&euro;</r>",
         "<r>&#160;&#169;&#8212;&#8230;&#171;&#937;&#8364;</r>"},
        {"bare ampersands", "<r a=\"?x=1&y=2\">R&D & co &</r>",
         "<r a=\"?x=1&amp;y=2\">R&amp;D &amp; co &amp;</r>"},
        {"half references", "<r>&#; &#x; &#12 &nbsp &copy=1 &1x;</r>",
         "<r>&amp;#; &amp;#x; &amp;#12 &amp;nbsp &amp;copy=1 &amp;1x;</r>"},
        {"names nothing defines", "<r>&unknown; &NBSP;</r>", "<r>&amp;unknown; &amp;NBSP;</r>"},
        {"names the document may define", "<!DOCTYPE r [<!ENTITY me \"&#20013;\">]><r>&me; &x;</r>",
         "<!DOCTYPE r [<!ENTITY me \"&#20013;\">]><r>&me; &x;</r>"},
        {"CDATA, comments, instructions",
         "<?pi a & b?><r><!-- & &nbsp; --><![CDATA[& &nbsp; <]]>&nbsp;</r>",
         "<?pi a & b?><r><!-- & &nbsp; --><![CDATA[& &nbsp; <]]>&#160;</r>"},
        {"unterminated CDATA", "<r><![CDATA[& &nbsp;", "<r><![CDATA[& &nbsp;"},
        {"blank lines before the declaration", "\r\n\n  <?xml version=\"1.0\"?><r/>",
         "<?xml version=\"1.0\"?><r/>"},
        {"a byte order mark after blank lines", "\n\xEF\xBB\xBF\n<?xml version=\"1.0\"?><r/>",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?><r/>"},
        {"a byte order mark decides the encoding",
         "\xEF\xBB\xBF\xEF\xBB\xBF<?xml version=\"1.0\" encoding='gb2312'?><r/>",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding='UTF-8'?><r/>"},
        {"text before the markup is kept", "junk <r/>", "junk <r/>"},
        {"end tags close the nearest element of their name",
         "<r><i a='>'><b>x<br>y</i><e/><i>z</x></i></r>",
         "<r><i a='>'><b>x<br>y</br></b></i><e/><i>z</i></r>"},
        {"elements open where the document ends stay open", "<r><i><t>x</t><d>cut",
         "<r><i><t>x</t><d>cut"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(RepairMarkup(c.in), c.out) << c.name;
    }
}

// A document of nothing but ampersands would grow five times over: no feed needs that.
TEST(RepairMarkup, RefusesToMoreThanDoubleADocument) {
    EXPECT_FALSE(RepairMarkup("<r>" + std::string(1000, '&') + "</r>").has_value());
    EXPECT_TRUE(RepairMarkup("<r>" + std::string(200, '&') + std::string(900, 'x') + "</r>"));
    // Checked after the text that follows the last mended "&" too: 3 bytes would give 7.
    EXPECT_FALSE(RepairMarkup(";&p").has_value());
    EXPECT_EQ(RepairMarkup(";&pq"), ";&amp;pq");  // exactly twice as long
}
