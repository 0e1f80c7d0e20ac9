#include "store/sql_text.h"

#include <gtest/gtest.h>

TEST(SqlText, TranslatesDateLiteralsOutsideQuotes) {
    struct Case {
        const char* access;
        const char* sqlite;
    };
    const Case cases[] = {
        {"x>#2006-5-1#", "x>'2006-05-01'"},
        {"a=#2000-1-1# and b=#2024-2-29#", "a='2000-01-01' and b='2024-02-29'"},
        {"t='a #2006-5-1# b'", "t='a #2006-5-1# b'"},
        {"t='it''s #1#' and d=#1999-12-31#", "t='it''s #1#' and d='1999-12-31'"},
        {"no literals", "no literals"},
    };
    for (const Case& c : cases) {
        std::string out;
        std::string error;
        ASSERT_TRUE(TranslateAccessSql(c.access, &out, &error)) << c.access << ": " << error;
        EXPECT_EQ(out, c.sqlite);
    }
}

TEST(SqlText, ImpossibleOrMalformedDatesFail) {
    for (const char* access :
         {"d=#2006-0-1#", "d=#2006-2-30#", "d=#2023-2-29#", "d=#2006-13-1#", "d=#2006-5-0#",
          "d=#2006-5#", "d=#2006-5-1", "d=#abc#", "d=#-1--1--1#", "d=#99-1-1#"}) {
        std::string out;
        std::string error;
        EXPECT_FALSE(TranslateAccessSql(access, &out, &error)) << access;
        EXPECT_NE(error.find("invalid date literal"), std::string::npos);
    }
}

TEST(SqlText, EscapesApostrophesAndWritesLiterals) {
    EXPECT_EQ(SqlEscape("O'Brien's"), "O''Brien''s");
    EXPECT_EQ(SqlEscape("''"), "''''");
    EXPECT_EQ(AccessDateLiteral({2006, 5, 1}), "#2006-5-1#");
    EXPECT_EQ(AccessDateLiteral({2006, 0, 12}), "#2006-0-12#");
}
