#include "xml/html_links.h"

#include <gtest/gtest.h>

#include "base/charset.h"

namespace {

std::vector<std::string> Hrefs(const HtmlHead& head) {
    std::vector<std::string> hrefs;
    for (const HtmlLink& link : head.links) {
        hrefs.push_back(link.href);
    }
    return hrefs;
}

}  // namespace

TEST(HtmlHead, ReadsTheLinksOfTheHeadAsTheyAreWritten) {
    const HtmlHead head = ReadHtmlHead(
        "<!DOCTYPE html><HTML><Head><meta charset=utf-8><base href='/blog/'>"
        "<LINK REL=\"alternate\" TYPE=\"application/rss+xml\" title=\"Posts &amp; notes\" "
        "href=\"feed.xml\">"
        "<link rel=alternate type=application/atom+xml href=/atom.xml title=原子/>"
        "<!-- <link rel=alternate href=commented.xml> -->"
        "<script>var s = '<link rel=alternate href=script.xml>';</script>"
        "<style>/* <link href=style.xml> */</style>"
        "<link rel='alternate stylesheet' href=\"x.css\" title='a &#20013;&#x6587; b'>"
        "</head><body><link rel=alternate href=body.xml></body></HTML>");
    EXPECT_EQ(Hrefs(head), (std::vector<std::string>{"feed.xml", "/atom.xml", "x.css"}));
    EXPECT_EQ(head.baseHref, "/blog/");
    EXPECT_EQ(head.metaCharset, "utf-8");
    ASSERT_EQ(head.links.size(), 3u);
    EXPECT_EQ(head.links[0].rel, "alternate");
    EXPECT_EQ(head.links[0].type, "application/rss+xml");
    EXPECT_EQ(head.links[0].title, "Posts & notes");
    EXPECT_EQ(head.links[1].title, "原子/");
    EXPECT_EQ(head.links[2].rel, "alternate stylesheet");
    EXPECT_EQ(head.links[2].title, "a 中文 b");
}

// Chinese pages in GBK: the title is decoded from the charset the page or the server names.
TEST(HtmlHead, DecodesValuesFromTheCharsetThePageNames) {
    std::string page;
    ASSERT_TRUE(ConvertCharset("UTF-8", "GB18030",
                               "<html><head><meta http-equiv=\"Content-Type\" "
                               "content=\"text/html; charset=gb2312\">"
                               "<link rel=\"alternate\" type=\"application/rss+xml\" "
                               "title=\"新闻频道\" href=\"/rss.xml\"></head></html>",
                               &page));
    EXPECT_EQ(ReadHtmlHead(page).links.at(0).title, "新闻频道");
    EXPECT_EQ(ReadHtmlHead(page, "gbk").links.at(0).title, "新闻频道");
    EXPECT_EQ(ReadHtmlHead(page).metaCharset, "gb2312");
}

TEST(HtmlHead, BrokenMarkupEndsWithoutReadingPastIt) {
    for (const char* page : {"<link rel=alternate href=\"unterminated", "<link", "<", "<<<<",
                             "<!-- never closed <link href=a>", "<script><link href=a>", ""}) {
        const HtmlHead head = ReadHtmlHead(page);
        EXPECT_LE(head.links.size(), 1u) << page;
    }
    EXPECT_EQ(ReadHtmlHead("<link rel=alternate href=\"unterminated").links.at(0).href,
              "unterminated");
}
