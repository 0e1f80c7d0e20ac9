#include <gtest/gtest.h>

#include <array>
#include <set>

#include "feeds/feed_store.h"
#include "store/ado_recordset.h"
#include "store/rule_text.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/simplified_chinese.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

// Each term as "text@start-end", the pairs beside a character marked with "+".
std::string Terms(std::string_view text, SearchTermMode mode) {
    std::string out;
    ForEachSearchTerm(text, mode, [&](const SearchTerm& term) {
        out += (out.empty() ? "" : (term.samePosition ? "+" : " ")) + std::string(term.text) + "@" +
               std::to_string(term.start) + "-" + std::to_string(term.end);
        return true;
    });
    return out;
}

std::set<long long> Found(const CAdoConnection& connection, std::string_view typed) {
    while (IndexQueuedSearchItems(connection) > 0) {
    }
    std::set<long long> found;
    CAdoRecordset records(connection);
    EXPECT_TRUE(records.Open(SqlSearchItems(SearchMatchExpression(typed), 1001)))
        << records.LastError();
    std::int32_t id = 0;
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        found.insert(id);
    }
    return found;
}

}  // namespace

// Traditional characters are read as Simplified, in stored and typed text alike, while the
// offsets stay those of the text as written (a Traditional character may take another count
// of bytes than its Simplified form).
TEST(ChineseFold, TraditionalCharactersBecomeSimplifiedTermsAtTheirOwnOffsets) {
    struct Case {
        const char* text;
        const char* stored;
        const char* typed;
    } cases[] = {
        {"臺灣", "台@0-3+台湾@0-6 湾@3-6", "台湾@0-6"},
        {"台湾", "台@0-3+台湾@0-6 湾@3-6", "台湾@0-6"},
        {"發展", "发@0-3+发展@0-6 展@3-6", "发展@0-6"},
        {"後", "后@0-3", "后@0-3"},
        {"AI發展 Ｆｕｌｌ", "ai@0-2 发@2-5+发展@2-8 展@5-8 full@9-21",
         "ai@0-2 发展@2-8 展@5-8 full@9-21"},
        // Simplified, Japanese kana and characters the tables leave alone stay as they are.
        {"著干里かな",
         "著@0-3+著干@0-6 干@3-6+干里@3-9 里@6-9+里か@6-12 か@9-12+かな@9-15 な@12-15",
         "著干@0-6 干里@3-9 里か@6-12 かな@9-15"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Terms(c.text, SearchTermMode::kStored), c.stored) << c.text;
        EXPECT_EQ(Terms(c.text, SearchTermMode::kTyped), c.typed) << c.text;
    }
    // Folding twice changes nothing: no Simplified form is itself folded further.
    for (char32_t c = 0x3400; c < 0x32000; ++c) {
        ASSERT_EQ(SimplifiedChinese(SimplifiedChinese(c)), SimplifiedChinese(c)) << int(c);
    }
    const CUnfoldedChineseTerms unfolded;
    EXPECT_EQ(Terms("臺灣", SearchTermMode::kTyped), "臺灣@0-6");
}

// A search in either script finds items written in both; an item leaves the index cleanly
// whichever script it was written in.
TEST(ChineseFold, ASearchInEitherScriptFindsBoth) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    std::array<std::string_view, 18> fields{};
    ASSERT_EQ(store.Execute(SqlInsertChannel("news", fields)), 1);
    const char* texts[][2] = {
        {"臺灣新聞", "<p>經濟發展</p>"},      // 1
        {"台湾新闻", "经济发展"},             // 2
        {"Taiwan news", "&#33274;&#28771;"},  // 3: 臺灣 as references
        {"台风", "天气"},                     // 4
    };
    for (int i = 0; i < 4; ++i) {
        ItemValues item;
        item.channelId = 1;
        item.title = texts[i][0];
        item.description = texts[i][1];
        item.pubDate = {2024, 1, 1 + i};
        ASSERT_EQ(store.Execute(SqlInsertItem(item)), 1) << store.LastError();
    }
    EXPECT_EQ(Found(store, "台湾"), (std::set<long long>{1, 2, 3}));
    EXPECT_EQ(Found(store, "臺灣"), (std::set<long long>{1, 2, 3}));
    EXPECT_EQ(Found(store, "发展"), (std::set<long long>{1, 2}));
    EXPECT_EQ(Found(store, "發展 新闻"), (std::set<long long>{1, 2}));
    EXPECT_EQ(Found(store, "颱風"), (std::set<long long>{4}));
    // The stored text keeps its own script.
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"), "SELECT rss_title FROM item WHERE ID = 1"),
              (Rows{{"臺灣新聞"}}));
    ASSERT_EQ(store.Execute("UPDATE item SET rss_title = '後來' WHERE ID = 1"), 1);
    EXPECT_EQ(Found(store, "后来"), (std::set<long long>{1}));
    ASSERT_EQ(store.Execute("DELETE FROM item"), 4);
    ExecSql(folder.File("data/data.dat"),
            "INSERT INTO item_search (item_search) VALUES ('optimize');"
            "CREATE VIRTUAL TABLE temp.terms USING fts5vocab(main, item_search, row);"
            "CREATE TABLE left_over AS SELECT count(*) AS n FROM temp.terms;");
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"), "SELECT n FROM left_over"), (Rows{{"0"}}));
}

// A rule word in one script holds in text of the other.
TEST(ChineseFold, RuleWordsMatchEitherScript) {
    EXPECT_TRUE(RuleTextHolds(RuleFoldedText("台湾新闻", ""), RuleWordPattern("臺灣")));
    EXPECT_TRUE(RuleTextHolds(RuleFoldedText("", "<b>經濟發展</b>"), RuleWordPattern("发展")));
    EXPECT_FALSE(RuleTextHolds(RuleFoldedText("台风", ""), RuleWordPattern("臺灣")));
}
