#include "feeds/opml_document.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"
#include "store/sys_data.h"
#include "support/local_http_server.h"
#include "support/temp_data_folder.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kSite[] = "http://publisher.example.test";

// A readable dump of a read: the result, then every non-empty field of every outline.
std::string Dump(bool loaded, const COpmlDocument& document) {
    std::string out = std::string("loaded: ") + (loaded ? "true" : "false") + "\n";
    int index = 0;
    for (const COpmlOutline& outline : document.ReadList()) {
        const std::pair<const char*, const char*> fields[] = {
            {"text", outline.text},
            {"title", outline.title},
            {"xmlUrl", outline.xmlUrl},
            {"htmlUrl", outline.htmlUrl},
        };
        const std::string prefix = "outline[" + std::to_string(index) + "].";
        for (const auto& [name, value] : fields) {
            if (*value != '\0') {
                out += prefix + name + ": " + value + "\n";
            }
        }
        const char* const kinds[] = {"feed", "keyword", "folder", "skipped"};
        if (outline.kind != COpmlOutline::kFeed) {
            out += prefix + "kind: " + kinds[outline.kind] + "\n";
        }
        std::string path;
        for (const std::string& step : outline.path) {
            path += (path.empty() ? "" : "/") + step;
        }
        if (!path.empty()) {
            out += prefix + "path: " + path + "\n";
        }
        if (outline.kind == COpmlOutline::kKeyword) {
            out += prefix + "keyword: " + outline.keyword + "\n";
            out += outline.searchName ? "" : prefix + "searchName: false\n";
        }
        ++index;
    }
    return out;
}

// The attribute names of every outline tag of a saved file, in their written order.
Strings OutlineAttributeOrders(const std::string& saved) {
    Strings orders;
    for (std::size_t at = saved.find("<outline "); at != std::string::npos;
         at = saved.find("<outline ", at + 1)) {
        const std::string tag = saved.substr(at, saved.find('>', at) - at);
        std::string names;
        for (std::size_t eq = tag.find("=\""); eq != std::string::npos;
             eq = tag.find("=\"", tag.find('"', eq + 2) + 1)) {
            const std::size_t start = tag.rfind(' ', eq) + 1;
            names += (names.empty() ? "" : " ") + tag.substr(start, eq - start);
        }
        orders.push_back(names);
    }
    return orders;
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

struct Subscription {
    std::string key;
    std::string xmlUrl;
    std::string htmlUrl;
};

class OpmlExport : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
    }
    void Subscribe(const std::vector<Subscription>& rows) {
        for (const Subscription& row : rows) {
            ASSERT_EQ(m_store.Execute(SqlInsertOpml(row.key, row.xmlUrl, row.htmlUrl)), 1)
                << m_store.LastError();
        }
    }

    std::string Out() const { return m_folder.File("feeds.opml"); }

    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

TEST(OpmlHeader, IsBuiltPieceByPiece) {
    EXPECT_EQ(OpmlHeaderText("2006-5-9 8:3:7", kOpmlOwnerName, kSite),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\" "
              "xmlns:quillon=\"http://www.vellmark.com/quillon/opml/1.0\"><head>"
              "<title>Quillon</title><dateCreated>2006-5-9 8:3:7</dateCreated>"
              "<ownerName>VellmarkQuillon</ownerName><ownerEmail></ownerEmail>"
              "<description>http://publisher.example.test</description>"
              "<createdBy>Quillon-Rss</createdBy><link>http://publisher.example.test</link>"
              "</head><body></body></opml>");
    // Whatever the owner name holds, the head still parses and carries it.
    CXmlDocument head;
    ASSERT_TRUE(head.loadXML(OpmlHeaderText("d", "Tom & <Jerry>", kSite)));
    EXPECT_EQ(head.selectSingleNode("opml/head/ownerName").text(), "Tom & <Jerry>");
}

TEST_F(OpmlExport, AnEmptyTableGivesAValidFileWithAnEmptyBody) {
    const ScopedFixedClock clock(LocalTime(2006, 5, 9, 8, 3, 7));
    COpmlDocument document;
    ASSERT_TRUE(document.ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite));

    const std::string saved = m_folder.ReadFile("feeds.opml");
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>")) << saved;
    CXmlDocument file;
    ASSERT_TRUE(file.loadFile(Out()));
    EXPECT_EQ(file.documentElement().getAttribute("version"), "1.0");
    Strings head;
    for (const XmlNode& child : file.selectSingleNode("opml/head").childNodes()) {
        head.push_back(child.name() + "=" + child.text());
    }
    EXPECT_EQ(head,
              (Strings{"title=Quillon", "dateCreated=2006-5-9 8:3:7", "ownerName=VellmarkQuillon",
                       "ownerEmail=", std::string("description=") + kSite, "createdBy=Quillon-Rss",
                       std::string("link=") + kSite}));
    EXPECT_EQ(file.selectSingleNode("opml/body").childCount(), 0u);

    COpmlDocument reader;
    EXPECT_TRUE(reader.ReadOutlines(Out(), AddressOrigin::kTypedByUser));
    EXPECT_TRUE(reader.ReadList().empty());
}

TEST_F(OpmlExport, EveryRowBecomesAnOutlineThatReadsBack) {
    Subscribe({
        {"O'Reilly", "http://feeds.example.test/radar?a=1&b=2", "http://radar.example.test/"},
        {"足球", "http://rss.example.test/体育/足球.xml", "http://sports.example.test/it's"},
        {"Ben & Jerry's", "http://bj.example.test/feed", ""},
    });
    const ScopedFixedClock clock(LocalTime(2010, 11, 23, 17, 45, 59));
    COpmlDocument document;
    ASSERT_TRUE(document.ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite));

    const std::string saved = m_folder.ReadFile("feeds.opml");
    EXPECT_NE(saved.find("<dateCreated>2010-11-23 17:45:59</dateCreated>"), std::string::npos);
    // Attributes in their fixed order; Chinese is written as UTF-8, not as references.
    const std::string order = "text title type xmlUrl htmlUrl description";
    EXPECT_EQ(OutlineAttributeOrders(saved), (Strings{order, order, order})) << saved;
    // The text every reader lists an outline by is its title.
    EXPECT_EQ(Occurrences(saved, "text=\"\""), 0);
    EXPECT_NE(saved.find("text=\"O'Reilly\" title=\"O'Reilly\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("text=\"足球\" title=\"足球\""), std::string::npos);
    EXPECT_NE(saved.find("text=\"Ben &amp; Jerry's\""), std::string::npos);
    EXPECT_EQ(Occurrences(saved, "type=\"rss\""), 3);
    EXPECT_EQ(Occurrences(saved, "description=\"\""), 3);
    EXPECT_NE(saved.find("title=\"足球\""), std::string::npos);

    COpmlDocument reader;
    ASSERT_TRUE(reader.ReadOutlines(Out(), AddressOrigin::kTypedByUser));
    EXPECT_EQ(Dump(true, reader),
              "loaded: true\n"
              "outline[0].text: O'Reilly\n"
              "outline[0].title: O'Reilly\n"
              "outline[0].xmlUrl: http://feeds.example.test/radar?a=1&b=2\n"
              "outline[0].htmlUrl: http://radar.example.test/\n"
              "outline[1].text: 足球\n"
              "outline[1].title: 足球\n"
              "outline[1].xmlUrl: http://rss.example.test/体育/足球.xml\n"
              "outline[1].htmlUrl: http://sports.example.test/it's\n"
              "outline[2].text: Ben & Jerry's\n"
              "outline[2].title: Ben & Jerry's\n"
              "outline[2].xmlUrl: http://bj.example.test/feed\n");
}

// Characters no XML 1.0 document may hold (a control character pasted into a name) are
// dropped, so that the file reads back; everything else stays.
TEST_F(OpmlExport, CharactersXmlForbidsAreDroppedSoTheFileReadsBack) {
    Subscribe({{"足\x01球\x1f\tline",
                "http://a.example.test/\x7f?x=\x0b"
                "1",
                "http://h.test/\x08"},
               {"plain", "http://b.example.test/", ""}});
    COpmlDocument document;
    ASSERT_TRUE(document.ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite));
    COpmlDocument reader;
    ASSERT_TRUE(reader.ReadOutlines(Out(), AddressOrigin::kTypedByUser));
    ASSERT_EQ(reader.ReadList().size(), 2u);
    EXPECT_STREQ(reader.ReadList()[0].title, "足球\tline");
    EXPECT_STREQ(reader.ReadList()[0].xmlUrl, "http://a.example.test/\x7f?x=1");
    EXPECT_STREQ(reader.ReadList()[0].htmlUrl, "http://h.test/");
}

TEST_F(OpmlExport, AClosedDatabaseWritesNothingAnUnreadableTableAnEmptyBody) {
    m_folder.WriteFile("feeds.opml", "old contents");
    m_store.Close();
    COpmlDocument closed;
    EXPECT_FALSE(closed.ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite));
    EXPECT_EQ(m_folder.ReadFile("feeds.opml"), "old contents");
    COpmlDocument neverOpened;
    EXPECT_FALSE(
        neverOpened.ExportSubscriptions(m_store, m_folder.File("new.opml"), kOpmlOwnerName, kSite));
    EXPECT_FALSE(m_folder.Exists("new.opml"));

    ASSERT_TRUE(m_store.Open());
    ASSERT_EQ(m_store.Execute("drop table opml"), 0) << m_store.LastError();
    COpmlDocument noTable;
    EXPECT_TRUE(noTable.ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite));
    CXmlDocument file;
    ASSERT_TRUE(file.loadFile(Out()));
    EXPECT_EQ(file.selectSingleNode("opml/body").childCount(), 0u);

    // A file that cannot be written is reported, and nothing is left behind.
    COpmlDocument unwritable;
    EXPECT_FALSE(unwritable.ExportSubscriptions(m_store, m_folder.File("no/such/folder/x.opml"),
                                                kOpmlOwnerName, kSite));
}

// The tree goes out as nested outlines other readers follow: a channel that searches for its
// name as its search address with quillon:keyword, its feeds as feed outlines beside it.
TEST_F(OpmlExport, TheTreeGoesOutNestedWithKeywordChannelsAsTheirSearch) {
    Subscribe({{"足球", "http://sports.example.test/rss", "http://sports.example.test/"},
               {"Orphan", "http://orphan.example.test/rss", ""}});
    OpmlExportTree tree;
    tree.nodes = {{1, 0, NODE_FOLDER, "体育", true},
                  {2, 1, NODE_KEY, "足球", true},
                  {3, 1, NODE_FOLDER, "空", true},
                  {4, 0, NODE_KEY, "AI & 机器", true}};
    tree.searchAddress = [](std::string_view word) {
        return "http://search.example.test/rss?q=" + std::string(word);
    };
    OpmlExportCount count;
    ASSERT_TRUE(
        COpmlDocument().ExportSubscriptions(m_store, Out(), kOpmlOwnerName, kSite, tree, &count));
    EXPECT_EQ(count.feeds, 4);
    EXPECT_EQ(count.folders, 2);
    CXmlDocument file;
    ASSERT_TRUE(file.loadFile(Out()));
    Strings outlines;
    for (const XmlNode& node : file.getElementsByTagName("outline")) {
        std::string line = node.getAttribute("text").value_or("?") + " in " +
                           node.parentNode().getAttribute("text").value_or("body") + ":";
        line += " " + node.getAttribute("xmlUrl").value_or("-");
        line += " " + node.getAttributeNS(kQuillonOpmlNamespace, "keyword").value_or("-");
        line += " " + node.getAttributeNS(kQuillonOpmlNamespace, "folder").value_or("-");
        outlines.push_back(line);
    }
    EXPECT_EQ(outlines,
              (Strings{"体育 in body: - - true",
                       "足球 in 体育: http://search.example.test/rss?q=足球 足球 -",
                       "足球 in 体育: http://sports.example.test/rss - -", "空 in 体育: - - true",
                       "AI & 机器 in body: http://search.example.test/rss?q=AI & 机器 AI & 机器 -",
                       "Orphan in body: http://orphan.example.test/rss - -"}));
}

// Another reader gets the search address as it goes on the wire: the word percent-encoded,
// in GBK where the service's query declares it.
TEST(OpmlExportTree, AKeywordIsFollowedAtItsEncodedSearchAddress) {
    const CSysData settings;
    const std::string address = FollowableSearchAddress(settings, "足球 新闻");
    EXPECT_TRUE(address.starts_with("http")) << address;
    EXPECT_NE(address.find("%D7%E3%C7%F2%20%D0%C2%CE%C5"), std::string::npos) << address;
    for (const unsigned char c : address) {
        EXPECT_TRUE(c > ' ' && c < 0x80) << address;
    }
}

// Every fixture list beside the dump of what the reader collected from it.
TEST(OpmlRead, EveryFixtureListReadsAsItsExpectedDump) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("opml"))) {
        if (entry.path().extension() != ".opml") {
            continue;
        }
        const std::string name = entry.path().stem().string();
        COpmlDocument document;
        const bool loaded =
            document.ReadOutlines(entry.path().string(), AddressOrigin::kTypedByUser);
        EXPECT_EQ(Dump(loaded, document), ReadTestData("opml/" + name + ".expected")) << name;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST(OpmlRead, ReadsAnAddressAndEmptiesTheListWhenALoadFails) {
    LocalHttpServer server;
    server.Serve("/subscriptions.opml", ReadTestData("opml/gb2312.opml"), "text/x-opml");
    COpmlDocument document;
    ASSERT_TRUE(
        document.ReadOutlines(server.Url("/subscriptions.opml"), AddressOrigin::kTypedByUser));
    EXPECT_EQ(Dump(true, document), ReadTestData("opml/gb2312.expected"));

    EXPECT_FALSE(document.ReadOutlines(server.Url("/missing.opml"), AddressOrigin::kTypedByUser));
    EXPECT_TRUE(document.ReadList().empty());
    EXPECT_FALSE(
        document.ReadOutlines(TestDataPath("opml/no-such-file.opml"), AddressOrigin::kTypedByUser));
    EXPECT_TRUE(document.ReadList().empty());

    std::string closedPort;
    {
        LocalHttpServer gone;
        closedPort = gone.Url("/list.opml");
    }
    EXPECT_FALSE(document.ReadOutlines(closedPort, AddressOrigin::kTypedByUser));
    EXPECT_TRUE(document.ReadList().empty());
}

TEST(OpmlRead, OverlongAttributesAreCutAtTheCodePageLimit) {
    std::string title;
    for (int i = 0; i < 300; ++i) {
        title += "新";  // two code-page bytes each: 255 of them fit in 511
    }
    // An address is kept whole up to 2047 bytes.
    const std::string url = "http://x.example.test/" + std::string(2100, 'a');
    TempDataFolder folder;
    folder.WriteFile("long.opml", "<opml><body><outline title=\"" + title + "\" xmlUrl=\"" + url +
                                      "\"/><outline text=\"short\"/></body></opml>");
    COpmlDocument document;
    ASSERT_TRUE(document.ReadOutlines(folder.File("long.opml"), AddressOrigin::kTypedByUser));
    ASSERT_EQ(document.ReadList().size(), 2u);
    const COpmlOutline& first = document.ReadList()[0];
    EXPECT_EQ(std::string(first.title), title.substr(0, 255 * 3));
    EXPECT_EQ(std::string(first.xmlUrl), url.substr(0, 2047));
    EXPECT_STREQ(document.ReadList()[1].text, "short");
}

TEST(OpmlFileName, GetsTheExtensionOnlyWhenItLacksIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"feeds", "feeds.opml"},
        {"feeds.opml", "feeds.opml"},
        {"/home/u/Feeds.OPML", "/home/u/Feeds.OPML"},
        {"feeds.opml.bak", "feeds.opml.bak.opml"},
        {"dir.opml/feeds", "dir.opml/feeds.opml"},
        {"feeds.xml", "feeds.xml.opml"},
        {"opml", "opml.opml"},
        {"订阅", "订阅.opml"},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(WithOpmlExtension(path), expected) << path;
    }
}
