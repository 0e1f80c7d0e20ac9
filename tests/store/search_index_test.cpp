#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "feeds/feed_store.h"
#include "store/ado_recordset.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/search_text.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

// Takes every queued item into the index, as a search does first.
void IndexQueue(const CAdoConnection& connection) {
    int indexed = 0;
    while ((indexed = IndexQueuedSearchItems(connection)) > 0) {
    }
    EXPECT_EQ(indexed, 0);
}

// The item IDs and titles a search lists, in its order.
// Word parts stay prefix queries, as a search has them, unless `spelledOut` spells them out
// from the index's terms.
std::vector<std::pair<long long, std::string>> Search(const CAdoConnection& connection,
                                                      std::string_view typed,
                                                      bool spelledOut = false) {
    IndexQueue(connection);
    std::vector<std::pair<long long, std::string>> found;
    const std::string match =
        spelledOut ? SpelledOutMatchExpression(connection, typed) : SearchMatchExpression(typed);
    if (match.empty()) {
        return found;
    }
    CAdoRecordset records(connection);
    EXPECT_TRUE(records.Open(SqlSearchItems(match, 1001))) << records.LastError();
    std::int32_t id = 0;
    char title[512] = {};
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    records.BindColumnByName("rss_title", title, sizeof title, kBindText);
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        found.emplace_back(id, title);
    }
    EXPECT_EQ(records.LastError(), "");
    return found;
}

std::vector<std::string> Titles(const CAdoConnection& connection, std::string_view typed) {
    std::vector<std::string> titles;
    for (const auto& [id, title] : Search(connection, typed)) {
        titles.push_back(title);
    }
    return titles;
}

std::string Terms(std::string_view text, SearchTermMode mode) {
    std::string out;
    ForEachSearchTerm(text, mode, [&](const SearchTerm& term) {
        out += (out.empty() ? "" : (term.samePosition ? "+" : " ")) + std::string(term.text);
        return true;
    });
    return out;
}

struct GoldenQuery {
    std::string typed;
    std::vector<std::string> titles;
};

// tests/data/search/queries.golden: blocks of "? typed text" and the titles it lists.
std::vector<GoldenQuery> ReadGolden() {
    std::vector<GoldenQuery> queries;
    std::istringstream in(ReadTestData("search/queries.golden"));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("? ")) {
            queries.push_back({line.substr(2), {}});
        } else if (!line.empty() && !line.starts_with("#") && !queries.empty()) {
            queries.back().titles.push_back(line);
        }
    }
    return queries;
}

}  // namespace

// Stored text gives every Chinese character and, beside it, the pair it begins; a typed phrase
// gives the pairs, or the lone character, and keeps later terms at their stored positions.
TEST(SearchTerms, StoredAndTypedTextAreCutAsTheIndexReadsThem) {
    struct Case {
        const char* text;
        const char* stored;
        const char* typed;
    } cases[] = {
        {"足球", "足+足球 球", "足球"},
        {"足", "足", "足"},
        {"中国足球", "中+中国 国+国足 足+足球 球", "中国 国足 足球"},
        {"中国ABC公司", "中+中国 国 abc 公+公司 司", "中国 国 abc 公司"},
        {"Hello, World! 2024", "hello world 2024", "hello world 2024"},
        {"Ｆｕｌｌ１２", "full12", "full12"},
        {"足，球", "足 球", "足 球"},
        {"ひらがなカナ", "ひ+ひら ら+らが が+がな な+なカ カ+カナ ナ", "ひら らが がな なカ カナ"},
        {"café Ünïcode", "café ünïcode", "café ünïcode"},
        {"МОСКВА Ёлка ΣΟΦΟΣ Łódź ẞ Ở", "москва ёлка σοφοσ łódź ß ở", "москва ёлка σοφοσ łódź ß ở"},
        {"Don't rock ’n’ roll", "dont rock n roll", "dont rock n roll"},
        {"\xff\xfe"
         "ab\xe4"
         "cd",
         "ab cd", "ab cd"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Terms(c.text, SearchTermMode::kStored), c.stored) << c.text;
        EXPECT_EQ(Terms(c.text, SearchTermMode::kTyped), c.typed) << c.text;
    }
}

TEST(SearchTerms, TypedTextBecomesPhrasesThatAllMustMatch) {
    EXPECT_EQ(SearchMatchExpression("足球"), "\"足球\"");
    EXPECT_EQ(SearchMatchExpression("  apple　足球 "), "\"apple\" * AND \"足球\"");
    EXPECT_EQ(SearchMatchExpression("say \"hi\""), "\"say\" * AND \"\"\"hi\"\"\"");
    EXPECT_EQ(SearchMatchExpression("AND OR NOT"), "\"AND\" * AND \"OR\" * AND \"NOT\" *");
    EXPECT_EQ(SearchMatchExpression("c++"), "\"c++\"");
    EXPECT_EQ(SearchMatchExpression("！！ ... "), "");
    EXPECT_EQ(SearchMatchExpression(""), "");
    // A NUL or another control character pasted with the text parts it like a space.
    EXPECT_EQ(SearchMatchExpression(std::string("a\0b\x01"
                                                "c",
                                                5)),
              "\"a\" * AND \"b\" * AND \"c\" *");
}

// A part that ends in a word becomes an OR of the phrases it can be, each with a whole word in
// place of the part's last; a part with no terms to spell out stays a prefix query.
TEST(SearchTerms, WordPartsAreSpelledOutAsTheTermsGiven) {
    std::vector<std::string> asked;
    const SearchPrefixTerms terms =
        [&](std::string_view prefix) -> std::optional<std::vector<std::string>> {
        asked.emplace_back(prefix);
        if (prefix == "iph") {
            return std::vector<std::string>{"iphone", "iphones"};
        }
        if (prefix == "ma") {
            return std::vector<std::string>{"ma"};
        }
        return prefix == "none" ? std::optional<std::vector<std::string>>{}
                                : std::vector<std::string>{};
    };
    EXPECT_EQ(SearchMatchExpression("中国IPH 足球 Ma", nullptr, terms),
              "(\"中国iphone\" OR \"中国iphones\") AND \"足球\" AND (\"ma\")");
    EXPECT_EQ(SearchMatchExpression("a\"b.iph none empty", nullptr, terms),
              "(\"a\"\"b.iphone\" OR \"a\"\"b.iphones\") AND \"none\" * AND \"empty\" *");
    EXPECT_EQ(asked, (std::vector<std::string>{"iph", "ma", "iph", "none", "empty"}));
}

// A pasted page of parts is searched for its first parts only, and the caller hears so.
TEST(SearchTerms, TypedTextBeyondTheLimitsIsLeftOutAndSaidSo) {
    struct Case {
        std::string typed;
        int phrases;
        bool cut;
    } cases[] = {
        {"a b c", 3, false},
        {std::string(kSearchPartLimit * 2, ' ') + "x", 1, false},
        {[] {
             std::string many;
             for (int i = 0; i < 60000; ++i) {
                 many += "x ";
             }
             return many;
         }(),
         kSearchPartLimit, true},
        {std::string(kSearchTextLimit + 100, 'w'), 1, true},
        {"！ ！ " + std::string(kSearchTextLimit, ' ') + "beyond", 0, true},
    };
    for (const Case& c : cases) {
        bool cut = !c.cut;
        const std::string match = SearchMatchExpression(c.typed, &cut);
        int phrases = match.empty() ? 0 : 1;
        for (std::size_t at = match.find(" AND "); at != std::string::npos;
             at = match.find(" AND ", at + 1)) {
            ++phrases;
        }
        EXPECT_EQ(phrases, c.phrases) << c.typed.substr(0, 40);
        EXPECT_EQ(cut, c.cut) << c.typed.substr(0, 40);
        EXPECT_LE(match.size(), kSearchTextLimit * 2 + kSearchPartLimit * 9);
    }
}

TEST(SearchText, DescriptionsAreReadAsTheirText) {
    struct Case {
        const char* html;
        const char* text;
    } cases[] = {
        {"<p>Clear <b>skies</b></p>", "\nClear skies\n"},
        {"中<b>超</b>联赛<br/>今天", "中超联赛\n今天"},
        {"a &amp; b &lt;i&gt; &#20013;&#x56FD; &nbsp;&apos;", "a & b <i> 中国 \u00a0'"},
        {"&unknown; &#xD800; &#99999999; & alone", "&unknown; &#xD800; &#99999999; & alone"},
        {"<script>var x = '</p>';</script>after<STYLE>p{}</STYLE>end", "\nafter\nend"},
        {"<!-- hidden -->shown<!-- open", " shown "},
        {"1 < 2 and <a title=\"x>y\">link</a>", "1 < 2 and link"},
        {"<unclosed", "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchTextOfHtml(c.html), c.text) << c.html;
    }
}

// Sort keys: newer days first, then later stored first; undated last; IDs come back.
TEST(SearchIndex, KeysOrderNewerDaysFirstAndGiveBackTheItem) {
    const auto key = [](const char* date, std::int64_t id) {
        return SearchKey(reinterpret_cast<const unsigned char*>(date), id);
    };
    EXPECT_LT(key("2024-03-01", 1), key("2024-02-29", 9));
    EXPECT_LT(key("2024-02-29", 9), key("2024-02-29", 8));
    EXPECT_LT(key("0001-01-01", 1), key("someday", 1));
    EXPECT_EQ(key("2024-13-01", 5), key(nullptr, 5));
    EXPECT_GE(key(nullptr, 0), 0);
    for (std::int64_t id : {1LL, 123456789LL, (1LL << 40) - 1}) {
        EXPECT_EQ(ItemIdOfSearchKey(key("2006-05-01", id)), id);
    }
}

TEST(Search, GoldenQueriesOverASmallStore) {
    TempDataFolder folder;
    folder.CreateDatabase();
    ExecSql(folder.File("data/data.dat"), ReadTestData("search/items.sql"));
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    const std::vector<GoldenQuery> queries = ReadGolden();
    ASSERT_GT(queries.size(), 20u);
    for (const GoldenQuery& query : queries) {
        EXPECT_EQ(Titles(store, query.typed), query.titles) << "? " << query.typed;
    }
}

// Whatever adds, changes or removes items, queued or indexed, the index lists exactly the
// items whose text holds the characters searched for.
TEST(Search, TheIndexStaysInStepAsItemsAreStoredChangedAndRemoved) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    std::array<std::string_view, 18> fields{};
    ASSERT_EQ(store.Execute(SqlInsertChannel("news", fields)), 1);
    const char* words[] = {"足球", "篮球", "新闻", "比赛", "<b>足</b>球"};
    for (int i = 0; i < 60; ++i) {
        ItemValues item;
        item.channelId = 1;
        const std::string title = std::string(words[i % 5]) + " 标题 " + std::to_string(i);
        const std::string description = std::string(words[(i / 5) % 5]) + "的描述";
        item.title = title;
        item.description = description;
        item.pubDate = {2020, 1 + i % 12, 1 + i % 28};
        ASSERT_EQ(store.Execute(SqlInsertItem(item)), 1);
    }
    // Half of them indexed, half still queued, as the indexer may leave them; a batch that
    // must give way to a writer commits after its first chunk.
    ASSERT_EQ(IndexQueuedSearchItems(store, 30, 10, [] { return true; }), 10);
    ASSERT_EQ(IndexQueuedSearchItems(store, 20, 8, [] { return false; }), 20);
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"), "select count(*) from item_search_queue"),
              (Rows{{"30"}}));
    ASSERT_GE(store.Execute("delete from item where ID % 3 = 0"), 0);
    ASSERT_GE(store.Execute("update item set rss_title = '改过的足球' || ID where ID % 7 = 1"), 0);
    ASSERT_GE(store.Execute("update item set rss_pubDate = '2021-06-01' where ID % 5 = 2"), 0);
    // A replaced row leaves the index with the row it replaces.
    ASSERT_GE(
        store.Execute("insert or replace into item (ID, rss_channelID, rss_title, "
                      "rss_description, rss_pubDate) values (4, 1, '换了', '', '2020-01-01')"),
        0);

    const std::string db = folder.File("data/data.dat");
    for (const char* typed : {"足球", "足", "篮球", "新闻", "换了", "描述"}) {
        std::set<long long> expected;
        for (const Row& row : QueryRows(db, "select ID, rss_title, rss_description from item")) {
            const std::string text = row[1] + " " + SearchTextOfHtml(row[2]);
            if (text.find(typed) != std::string::npos) {
                expected.insert(std::stoll(row[0]));
            }
        }
        std::set<long long> found;
        for (const auto& [id, title] : Search(store, typed)) {
            found.insert(id);
        }
        EXPECT_EQ(found, expected) << typed;
    }
    ExecSql(db, "insert into item_search (item_search) values ('integrity-check')");
}

// Whether a word part is spelled out as the index's terms or, when too many begin with it,
// left a prefix query, a search lists the same items in the same order.
TEST(Search, SpelledOutWordPartsFindWhatThePrefixQueryFinds) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    std::array<std::string_view, 18> fields{};
    ASSERT_EQ(store.Execute(SqlInsertChannel("news", fields)), 1);
    for (int i = 0; i < 300; ++i) {
        ItemValues item;
        item.channelId = 1;
        const std::string title =
            "K" + std::to_string(i % 150) + " 中国k" + std::to_string(i % 7) + " 标题";
        const std::string description = "<p>kx" + std::to_string(i % 13) + "</p>";
        item.title = title;
        item.description = description;
        item.pubDate = {2020, 1 + i % 12, 1 + i % 28};
        ASSERT_EQ(store.Execute(SqlInsertItem(item)), 1);
    }
    IndexQueue(store);
    // 170 terms begin with k, more than are spelled out; 11 with k5, none with q.
    EXPECT_EQ(SpelledOutMatchExpression(store, "k"), "\"k\" *");
    EXPECT_EQ(SpelledOutMatchExpression(store, "q"), "\"q\" *");
    std::string k5 = "(\"k5\"";
    for (int i = 50; i < 60; ++i) {
        k5 += " OR \"k" + std::to_string(i) + "\"";
    }
    EXPECT_EQ(SpelledOutMatchExpression(store, "K5 标题"), k5 + ") AND \"标题\"");
    for (const char* typed :
         {"k", "k1", "K5", "kx1", "中国k", "中国k3 kx", "k2 kx12", "标题 k59"}) {
        const auto spelled = Search(store, typed, true);
        EXPECT_FALSE(spelled.empty()) << typed;
        EXPECT_EQ(spelled, Search(store, typed)) << typed;
    }
}
