#include "model/database_texts.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "store/ado_error.h"

namespace {

// What the user reads names the trouble and what to do, never the error text itself.
TEST(DatabaseTexts, EachTroubleHasItsOwnWordsInBothLanguages) {
    const struct {
        int code;
        const char* chinese;
        const char* english;
    } cases[] = {
        {SQLITE_FULL, "磁盘已满", "the disk is full"},
        {SQLITE_IOERR_WRITE, "读写磁盘时出错", "reading or writing the disk failed"},
        {SQLITE_BUSY, "另一个程序锁定", "keeps the database locked"},
        {SQLITE_LOCKED, "另一个程序锁定", "keeps the database locked"},
        {SQLITE_READONLY, "只能读取", "can only be read"},
        {SQLITE_READONLY_DIRECTORY, "只能读取", "can only be read"},
        {SQLITE_CORRUPT, "已损坏", "is damaged"},
        {SQLITE_NOTADB, "已损坏", "is damaged"},
        {SQLITE_CANTOPEN, "读写权限", "cannot be opened"},
        {SQLITE_NOMEM, "内存不足", "out of memory"},
        {SQLITE_MISMATCH, "错误代码 20", "SQLite error 20"},
    };
    for (const auto& c : cases) {
        const std::string error = FormatAdoError(c.code, "database or disk is full: INSERT ...");
        const std::string chinese = DatabaseFailureText(error);
        const std::string english = DatabaseFailureEnglish(error);
        EXPECT_NE(chinese.find(c.chinese), std::string::npos) << c.code << ": " << chinese;
        EXPECT_NE(english.find(c.english), std::string::npos) << c.code << ": " << english;
        for (const std::string& text : {chinese, english}) {
            EXPECT_EQ(text.find("Code="), std::string::npos) << text;
            EXPECT_EQ(text.find("INSERT"), std::string::npos) << text;
        }
    }
}

TEST(DatabaseTexts, TheErrorTextIsTakenApartAndAnotherTextKeptWhole) {
    const AdoErrorParts parts =
        ParseAdoError(FormatAdoError(SQLITE_IOERR_WRITE, "disk I/O error: Description=x"));
    EXPECT_EQ(parts.code, SQLITE_IOERR_WRITE);
    EXPECT_EQ(parts.description, "disk I/O error: Description=x");

    for (const char* other : {"data.dat is empty", "Code=12",
                              "Code=zz000000 Source=SQLite "
                              "Description=y"}) {
        const AdoErrorParts kept = ParseAdoError(other);
        EXPECT_EQ(kept.code, SQLITE_ERROR) << other;
        EXPECT_EQ(kept.description, other);
    }
}

}  // namespace
