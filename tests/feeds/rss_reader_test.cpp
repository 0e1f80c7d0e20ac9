#include "feeds/rss_reader.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstring>

#include <filesystem>
#include <string>

#include "support/local_http_server.h"
#include "support/temp_data_folder.h"

namespace {

// A readable dump of what the reader holds: the item count, whether the document was cut off,
// then every non-empty field.
std::string Dump(CRssReader& reader) {
    std::string out = "itemCount: " + std::to_string(reader.ItemCount()) + "\n";
    if (reader.Partial()) {
        out += "partial: yes\n";
    }
    CRssChannel channel = reader.Channel();
    for (const RssChannelField& field : ChannelFields()) {
        const std::string value = field.field(channel);
        if (!value.empty()) {
            out += "channel." + std::string(field.name) + ": " + value + "\n";
        }
    }
    for (int i = 0; i < reader.ItemCount(); ++i) {
        CRssItem item;
        reader.ReadItem(i, &item);
        for (const RssItemField& field : ItemFields()) {
            const std::string value = field.field(item);
            if (!value.empty()) {
                out += "item[" + std::to_string(i) + "]." + std::string(field.name) + ": " + value +
                       "\n";
            }
        }
    }
    return out;
}

std::string ManyItemsFeed(int count) {
    std::string feed = "<rss version=\"2.0\"><channel><title>many</title>";
    for (int i = 0; i < count; ++i) {
        feed += "<item><title>item " + std::to_string(i) + "</title></item>";
    }
    return feed + "</channel></rss>";
}

}  // namespace

// Every fixture feed (XML, and JSON Feed) beside the dump of what the reader saw in it,
// fetched over HTTP.
TEST(RssReaderGolden, EveryFixtureFeedReadsAsItsExpectedDump) {
    LocalHttpServer server;
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("feeds"))) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".xml" && extension != ".json") {
            continue;
        }
        const std::string name = entry.path().stem().string();
        server.Serve("/" + name, ReadTestData("feeds/" + name + extension),
                     extension == ".xml" ? "application/xml" : "application/feed+json");
        CRssReader reader;
        reader.LoadFromUrl(server.Url("/" + name), AddressOrigin::kTypedByUser);
        EXPECT_EQ(Dump(reader), ReadTestData("feeds/" + name + ".expected")) << name;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST(RssReader, ReadsALocalFileAsWellAsAnAddress) {
    CRssReader reader;
    reader.LoadFromUrl(TestDataPath("feeds/basic.xml"), AddressOrigin::kTypedByUser);
    EXPECT_EQ(reader.ItemCount(), 2);
}

// A reader loaded again keeps nothing of its first document, also when the second load
// fails: its items would point into a document that is gone.
TEST(RssReader, ASecondLoadKeepsNothingOfTheFirst) {
    CRssReader reader;
    reader.LoadFromUrl(TestDataPath("feeds/basic.xml"), AddressOrigin::kTypedByUser);
    ASSERT_EQ(reader.ItemCount(), 2);
    reader.LoadFromUrl(TestDataPath("feeds/no-such-feed.xml"), AddressOrigin::kTypedByUser);
    EXPECT_EQ(reader.ItemCount(), 0);
    EXPECT_STREQ(reader.Channel().title, "");
    CRssItem item;
    reader.ReadItem(0, &item);
    EXPECT_STREQ(item.title, "");
    reader.LoadFromUrl(TestDataPath("feeds/no_channel.xml"), AddressOrigin::kTypedByUser);
    EXPECT_EQ(reader.ItemCount(), 0);
    EXPECT_FALSE(reader.LastError().empty());
}

TEST(RssReader, CountsAtMostAHundredItemsAndReadsTheHundredth) {
    LocalHttpServer server;
    server.Serve("/many", ManyItemsFeed(150));
    CRssReader reader;
    reader.LoadFromUrl(server.Url("/many"), AddressOrigin::kTypedByUser);
    ASSERT_EQ(reader.ItemCount(), 100);
    CRssItem item;
    reader.ReadItem(99, &item);
    EXPECT_STREQ(item.title, "item 99");
}

TEST(RssReader, ReadItemOutsideTheCountLeavesTheRecordAsItWas) {
    CRssReader reader;
    reader.LoadFromUrl(TestDataPath("feeds/basic.xml"), AddressOrigin::kTypedByUser);
    for (int index : {-1, 2, 100, 1000}) {
        CRssItem item;
        std::strcpy(item.title, "untouched");
        reader.ReadItem(index, &item);
        EXPECT_STREQ(item.title, "untouched") << index;
        EXPECT_EQ(item.link[0], '\0');
    }
}

TEST(RssReader, FailedFetchesGiveNoItemsAndAnEmptyChannel) {
    LocalHttpServer server;
    server.Handle("/error", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content(ManyItemsFeed(3), "application/xml");
    });
    for (const std::string path : {"/missing", "/error"}) {
        CRssReader reader;
        reader.LoadFromUrl(server.Url(path), AddressOrigin::kTypedByUser);
        EXPECT_EQ(reader.ItemCount(), 0) << path;
        EXPECT_EQ(reader.Channel().title[0], '\0') << path;
    }
    CRssReader unreachable;
    unreachable.LoadFromUrl("http://127.0.0.1:1/feed", AddressOrigin::kTypedByUser);
    EXPECT_EQ(unreachable.ItemCount(), 0);
}

TEST(RssReader, UsesTheHttpCharsetWhenTheDocumentDeclaresNone) {
    LocalHttpServer server;
    std::string gbk = ReadTestData("feeds/gbk.xml");
    gbk = gbk.substr(gbk.find("?>") + 2);  // drop the declaration
    server.Serve("/gbk", gbk, "text/xml; charset=GBK");
    CRssReader reader;
    reader.LoadFromUrl(server.Url("/gbk"), AddressOrigin::kTypedByUser);
    ASSERT_EQ(reader.ItemCount(), 1);
    EXPECT_STREQ(reader.Channel().title, "財經");
}

// Fields hold 255 bytes of the Chinese code page (a description and an address 2047), as they
// always did: a Chinese character counts two, one GB18030 writes in four bytes four, ASCII
// one. A description is cut outside any tag, and the tags it leaves open are closed.
TEST(RssReader, CutsLongTextsAtTheCodePageLimit) {
    const auto repeat = [](std::string_view piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += piece;
        }
        return text;
    };
    const std::string title = repeat("长", 200);
    const std::string author = "a" + repeat("长", 200);
    const std::string source = repeat("😀", 70);  // four code-page bytes each
    const std::string category = repeat("长", 127) + "x";
    const std::string description = repeat("新", 1100);
    LocalHttpServer server;
    server.Serve("/long", "<rss><channel><title>" + repeat("频", 300) + "</title><item><title>" +
                              title + "</title><author>" + author + "</author><source>" + source +
                              "</source><category>" + category + "</category><description>" +
                              description + "</description></item></channel></rss>");
    CRssReader reader;
    reader.LoadFromUrl(server.Url("/long"), AddressOrigin::kTypedByUser);
    CRssItem item;
    reader.ReadItem(0, &item);
    EXPECT_EQ(std::string(item.title), repeat("长", 127));  // 127, not 85, characters
    EXPECT_EQ(std::string(item.author), "a" + repeat("长", 127));
    EXPECT_EQ(std::string(item.source), repeat("😀", 63));
    EXPECT_EQ(std::string(item.category), repeat("长", 127) + "x");
    EXPECT_EQ(std::string(item.description), repeat("新", 1023));  // not 682
    EXPECT_EQ(std::string(reader.Channel().title), repeat("频", 127));

    // Atom and RSS 1.0 fill the same fields with the same limits, markup and attributes too.
    server.Serve("/atom", "<feed xmlns='http://www.w3.org/2005/Atom'><title>" + repeat("频", 300) +
                              "</title><entry><title>" + title + "</title><link href='" +
                              repeat("链", 200) +
                              "'/><content type='xhtml'><div xmlns="
                              "'http://www.w3.org/1999/xhtml'><p>" +
                              description + "</p></div></content></entry></feed>");
    server.Serve("/rdf",
                 "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
                 "xmlns='http://purl.org/rss/1.0/'><item rdf:about='" +
                     author + "'><description>" + description + "</description></item></rdf:RDF>");
    reader.LoadFromUrl(server.Url("/atom"), AddressOrigin::kTypedByUser);
    CRssItem atom;
    reader.ReadItem(0, &atom);
    EXPECT_EQ(std::string(reader.Channel().title), repeat("频", 127));
    EXPECT_EQ(std::string(atom.title), repeat("长", 127));
    EXPECT_EQ(std::string(atom.link), repeat("链", 200));
    EXPECT_EQ(std::string(atom.description), "<p>" + repeat("新", 1020) + "</p>");
    reader.LoadFromUrl(server.Url("/rdf"), AddressOrigin::kTypedByUser);
    CRssItem rdf;
    reader.ReadItem(0, &rdf);
    EXPECT_EQ(std::string(rdf.guid), author);
    EXPECT_EQ(std::string(rdf.description), repeat("新", 1023));
}

// The engine counts a load that gives no feed as a failed fetch; a feed without items is none.
// What recovery makes of a broken document counts only when it is a feed with items.
TEST(RssReader, OnlyALoadThatGivesNoFeedFails) {
    struct Case {
        const char* name;
        std::string body;
        int items;
        bool failed;
        const char* reason;
    };
    const std::string brokenItem = "<item><title>a&nbsp;b</item>";
    const Case cases[] = {
        {"Atom without entries",
         "<feed xmlns='http://www.w3.org/2005/Atom'><title>t</title></feed>", 0, false,
         "the feed has no items"},
        {"RSS 1.0 without items",
         "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
         "xmlns='http://purl.org/rss/1.0/'><channel><title>t</title></channel></rdf:RDF>",
         0, false, "the feed has no items"},
        {"RDF without RSS 1.0",
         "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><item/></rdf:RDF>", 0,
         true, "not a feed: its root is <rdf:RDF> in http://www.w3.org/1999/02/22-rdf-syntax-ns#"},
        {"rss without channel", "<rss><item><title>x</title></item></rss>", 0, true,
         "the feed has no channel"},
        {"broken RSS with items", "<rss><channel><title>t</title>" + brokenItem, 1, false, ""},
        {"broken Atom with entries",
         "<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>a & b</title></entry>", 1, false,
         ""},
        {"broken RSS without items", "<rss><channel><title>a&nbsp;b</title>", 0, true,
         "not well-formed: "},
        {"broken page", "<html><body><p>" + brokenItem + "</body></html>", 0, true,
         "not well-formed: "},
    };
    LocalHttpServer server;
    for (const Case& c : cases) {
        server.Serve("/feed", c.body);
        CRssReader reader;
        reader.LoadFromUrl(server.Url("/feed"), AddressOrigin::kTypedByUser);
        EXPECT_EQ(reader.ItemCount(), c.items) << c.name;
        EXPECT_EQ(reader.LoadFailed(), c.failed) << c.name;
        EXPECT_TRUE(reader.LastError().starts_with(c.reason))
            << c.name << ": " << reader.LastError();
        if (c.failed) {
            EXPECT_STREQ(reader.Channel().title, "") << c.name;
            EXPECT_EQ(reader.FormatName(), "") << c.name;
        }
    }
}

// Mending a broken feed lifts none of the limits on hostile input.
TEST(RssReaderHostile, ABrokenFeedIsMendedWithinEveryLimit) {
    TempDataFolder folder;
    folder.WriteFile("secret.txt", "TOP-SECRET");
    LocalHttpServer server;
    server.Serve("/secret", "TOP-SECRET");
    std::string crowded = "<rss><channel><item><title>a & b</title><link";
    for (int i = 0; i < 1500; ++i) {
        crowded += " a" + std::to_string(i) + "='v'";
    }
    server.Serve("/crowded", crowded + "/></item></channel></rss>");
    CRssReader reader;
    reader.LoadFromUrl(server.Url("/crowded"), AddressOrigin::kTypedByUser);
    EXPECT_EQ(reader.ItemCount(), 0);
    EXPECT_NE(reader.LastError().find("1000 attributes"), std::string::npos) << reader.LastError();

    for (const std::string& source :
         {"file://" + folder.File("secret.txt"), server.Url("/secret")}) {
        server.Serve("/external", "<!DOCTYPE rss [<!ENTITY x SYSTEM \"" + source +
                                      "\">]><rss><channel><item><title>&x; & &nbsp;</title>"
                                      "<description>&x;</description></item></channel></rss>");
        reader.LoadFromUrl(server.Url("/external"), AddressOrigin::kTypedByUser);
        ASSERT_EQ(reader.ItemCount(), 1) << reader.LastError();
        CRssItem item;
        reader.ReadItem(0, &item);
        EXPECT_EQ(std::string(item.title).find("SECRET"), std::string::npos) << item.title;
        EXPECT_EQ(std::string(item.description).find("SECRET"), std::string::npos);
    }
    EXPECT_EQ(server.HitCount("/secret"), 0);
}

TEST(WideText, MidFollowsItsBoundRule) {
    struct Case {
        std::u16string text;
        int start;
        int count;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"abc", 2, 2, u"bc"}, {u"abc", 3, 2, u" "}, {u"abc", 0, 4, u"abc"}, {u"abc", 1, 3, u"abc"},
        {u"abc", 1, 0, u""},   {u"abc", 2, -1, u""}, {u"", 0, 1, u""},       {u"", 1, 1, u" "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WideMid(c.text, c.start, c.count), c.expected) << c.start << "," << c.count;
    }
    EXPECT_EQ(WideMid(std::u16string(400, u'x'), 1, 300).size(), 255u);
}

TEST(WideText, RemoveAllScansLeftToRightWithoutOverlaps) {
    EXPECT_EQ(WideRemoveAll(u"aaa", u"aa"), u"a");
    EXPECT_EQ(WideRemoveAll(u"&quot;A&quot;", u"&quot"), u";A;");
    EXPECT_EQ(WideRemoveAll(u"<b>x</b>", u"<b>"), u"x</b>");
    EXPECT_EQ(WideRemoveAll(u"ab", u"abc"), u"ab");
    EXPECT_EQ(WideRemoveAll(u"It's", u"'"), u"Its");
    // Longer texts than the 255-character results of the old helpers lose nothing.
    const std::u16string longText(3000, u'y');
    EXPECT_EQ(WideRemoveAll(longText + u"'", u"'"), longText);
}
