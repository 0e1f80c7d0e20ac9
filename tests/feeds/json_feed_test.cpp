// JSON Feed as the reader takes it beside XML: what is and is not a JSON Feed, its versions,
// encodings a server may send it in, and documents of the wrong shape.

#include <gtest/gtest.h>

#include <string>

#include "base/charset.h"
#include "feeds/rss_reader.h"

namespace {

struct JsonCase {
    const char* what;
    std::string bytes;
    std::string httpCharset;
    int items;               // -1: the load fails
    const char* format;      // FormatName after the load
    const char* firstTitle;  // the first item's title
};

std::string Feed(const std::string& version, const std::string& items) {
    return "{\"version\": \"" + version + "\", \"title\": \"T\", \"items\": [" + items + "]}";
}

std::string Gbk(const std::string& utf8) {
    std::string gbk;
    ConvertCharset("UTF-8", "GB18030", utf8, &gbk);
    return gbk;
}

}  // namespace

TEST(JsonFeed, IsToldFromItsBytesAndReadInEveryShapeItComesIn) {
    const std::string chinese =
        Feed("https://jsonfeed.org/version/1.1", R"({"id": "1", "title": "新闻标题"})");
    const JsonCase cases[] = {
        {"version 1", Feed("https://jsonfeed.org/version/1", R"({"id":"a","title":"one"})"), "", 1,
         "JSON Feed 1.0", "one"},
        {"version 1.1", Feed("https://jsonfeed.org/version/1.1", R"({"id":"a","title":"x"})"), "",
         1, "JSON Feed 1.1", "x"},
        {"an early feed's http version", Feed("http://jsonfeed.org/version/1", R"({"id":1})"), "",
         1, "JSON Feed 1.0", ""},
        {"byte order mark and blanks first", "\xEF\xBB\xBF \n" + chinese, "", 1, "JSON Feed 1.1",
         "新闻标题"},
        {"GBK bytes the server names", Gbk(chinese), "gbk", 1, "JSON Feed 1.1", "新闻标题"},
        {"GBK bytes nobody names", Gbk(chinese), "", 1, "JSON Feed 1.1", "新闻标题"},
        {"items that are no objects are passed over",
         Feed("https://jsonfeed.org/version/1.1", R"("text", 3, null, {"title": "kept"})"), "", 1,
         "JSON Feed 1.1", "kept"},
        {"members of the wrong kind fill nothing",
         Feed("https://jsonfeed.org/version/1.1",
              R"({"title": ["a"], "url": 5, "tags": "x", "authors": {"name": 1}})"),
         "", 1, "JSON Feed 1.1", ""},
        {"no items", Feed("https://jsonfeed.org/version/1.1", ""), "", 0, "JSON Feed 1.1", ""},
        {"items that are no array", R"({"version":"https://jsonfeed.org/version/1","items":{}})",
         "", 0, "JSON Feed 1.0", ""},
        {"JSON of another kind", R"({"title": "x", "items": [{"title": "y"}]})", "", -1, "", ""},
        {"another site's version", R"({"version": "https://example.org/version/1"})", "", -1, "",
         ""},
        {"broken JSON", "{\"version\": \"https://jsonfeed.org/version/1\", \"items\": [", "", -1,
         "", ""},
    };
    for (const JsonCase& test : cases) {
        CRssReader reader;
        reader.LoadFromBytes(test.bytes, test.httpCharset);
        EXPECT_EQ(reader.LoadFailed(), test.items < 0) << test.what;
        EXPECT_EQ(reader.ItemCount(), std::max(test.items, 0)) << test.what;
        EXPECT_EQ(reader.FormatName(), test.format) << test.what;
        if (test.items < 0) {
            EXPECT_FALSE(reader.LastError().empty()) << test.what;
        }
        if (test.items > 0) {
            CRssItem item;
            reader.ReadItem(0, &item);
            EXPECT_STREQ(item.title, test.firstTitle) << test.what;
        }
        EXPECT_FALSE(reader.Recovered()) << test.what;
        EXPECT_FALSE(reader.Partial()) << test.what;
    }
}

// An XML feed read after a JSON one, and the other way round, keeps nothing of the first.
TEST(JsonFeed, AReaderLoadedAgainWithXmlOrJsonKeepsNothingOfTheOther) {
    CRssReader reader;
    reader.LoadFromBytes(Feed("https://jsonfeed.org/version/1", R"({"title":"json"})"), "");
    ASSERT_EQ(reader.ItemCount(), 1);
    reader.LoadFromBytes(
        "<rss><channel><title>c</title><item><title>xml</title></item>"
        "</channel></rss>",
        "");
    ASSERT_EQ(reader.ItemCount(), 1);
    EXPECT_EQ(reader.FormatName(), "RSS 2.0");
    CRssItem item;
    reader.ReadItem(0, &item);
    EXPECT_STREQ(item.title, "xml");
    reader.LoadFromBytes("{}", "");
    EXPECT_EQ(reader.ItemCount(), 0);
    EXPECT_STREQ(reader.Channel().title, "");
}

TEST(JsonFeed, CountsAtMostAHundredItemsAsForXml) {
    std::string items;
    for (int i = 0; i < 150; ++i) {
        items += (i ? "," : "") + std::string(R"({"id":")") + std::to_string(i) + "\"}";
    }
    CRssReader reader;
    reader.LoadFromBytes(Feed("https://jsonfeed.org/version/1.1", items), "");
    ASSERT_EQ(reader.ItemCount(), CRssReader::kMaxItems);
    CRssItem item;
    reader.ReadItem(99, &item);
    EXPECT_STREQ(item.guid, "99");
}
