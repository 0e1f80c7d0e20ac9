#include "store/schema.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/chinese_fold_step.h"
#include "store/schema_definitions.h"
#include "store/sqlite_handle.h"

namespace {

bool Fail(sqlite3* db, int* code, std::string* message) {
    *code = sqlite3_extended_errcode(db);
    *message = sqlite3_errmsg(db);
    return false;
}

bool Exec(sqlite3* db, const char* sql, int* code, std::string* message) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) {
        return true;
    }
    *code = sqlite3_extended_errcode(db);
    *message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    return false;
}

// The single integer a query gives, or nothing when it fails.
bool QueryInt(sqlite3* db, const char* sql, int* value, int* code, std::string* message) {
    const std::optional<std::int64_t> result = QuerySingleInteger(db, sql);
    if (!result) {
        return Fail(db, code, message);
    }
    *value = static_cast<int>(*result);
    return true;
}

// Renames the tables of an earlier schema aside, creates the current ones and copies the
// rows over; the caller runs it inside a transaction.
constexpr char kRebuild[] = R"sql(
DROP INDEX IF EXISTS item_by_channel_title;
DROP INDEX IF EXISTS channel_by_title;
DROP INDEX IF EXISTS item_by_channel_date;
DROP INDEX IF EXISTS opml_by_key;
ALTER TABLE channel RENAME TO earlier_channel;
ALTER TABLE item RENAME TO earlier_item;
CREATE TABLE IF NOT EXISTS opml (ID INTEGER PRIMARY KEY, opml_key, opml_xml_url, opml_html_url);
ALTER TABLE opml RENAME TO earlier_opml;
)sql";

// Run after the current schema. Channels whose names differ only in case become the first of
// them, which takes the others' items. Every row is copied with its ID; then, of two items of
// one channel that are one item, the later goes: their titles are equal, or differ only in
// case and the item rule for untitled items (guid, else link, else description) finds them
// the same. The index of titles finds the candidates.
constexpr char kCopyRows[] = R"sql(
INSERT OR IGNORE INTO channel SELECT * FROM earlier_channel ORDER BY ID;
INSERT INTO item (ID, rss_channelID, rss_title, rss_link, rss_description, rss_author,
                  rss_category, rss_comments, rss_enclosure, rss_guid, rss_pubDate, rss_source)
    SELECT o.ID,
           coalesce((SELECT n.ID FROM channel n, earlier_channel c
                     WHERE c.ID = o.rss_channelID AND n.rss_title = c.rss_title),
                    o.rss_channelID),
           o.rss_title, o.rss_link, o.rss_description, o.rss_author, o.rss_category,
           o.rss_comments, o.rss_enclosure, o.rss_guid, o.rss_pubDate, o.rss_source
    FROM earlier_item o ORDER BY o.ID;
DELETE FROM item WHERE ID IN (
    SELECT o.ID FROM item o, item p
    WHERE p.rss_channelID = o.rss_channelID
      AND replace(p.rss_title, '''', '') = replace(o.rss_title, '''', '') COLLATE NOCASE
      AND p.ID < o.ID
      AND ((o.rss_title <> '' AND p.rss_title = o.rss_title COLLATE BINARY)
           OR CASE
                  WHEN coalesce(p.rss_guid, '') <> '' AND coalesce(o.rss_guid, '') <> ''
                      THEN p.rss_guid = o.rss_guid
                  WHEN coalesce(p.rss_link, '') <> '' AND coalesce(o.rss_link, '') <> ''
                      THEN p.rss_link = o.rss_link
                  ELSE coalesce(p.rss_description, '') = coalesce(o.rss_description, '')
              END));
INSERT INTO opml SELECT * FROM earlier_opml ORDER BY ID;
)sql";

constexpr char kDropEarlier[] = R"sql(
DROP TABLE earlier_channel;
DROP TABLE earlier_item;
DROP TABLE earlier_opml;
)sql";

// The number of rows of `table`, or -1 when it cannot be counted.
int RowCount(sqlite3* db, const std::string& table, int* code, std::string* message) {
    int count = -1;
    const std::string sql = "SELECT count(*) FROM " + table;
    return QueryInt(db, sql.c_str(), &count, code, message) ? count : -1;
}

// Version 0 to 1: channel names and item titles compare ignoring ASCII case. The tables are
// made from the current schema, so this step also does the work of every later one, and those
// are written to change nothing where their work is done.
bool UpgradeToVersion1(sqlite3* db, SchemaUpgrade* upgrade, int* code, std::string* message) {
    if (!Exec(db, kRebuild, code, message) || !Exec(db, kSchemaSql, code, message) ||
        !Exec(db, kCopyRows, code, message)) {
        return false;
    }
    const int channelsBefore = RowCount(db, "earlier_channel", code, message);
    const int itemsBefore = RowCount(db, "earlier_item", code, message);
    const int channelsAfter = RowCount(db, "channel", code, message);
    const int itemsAfter = RowCount(db, "item", code, message);
    if (channelsBefore < 0 || itemsBefore < 0 || channelsAfter < 0 || itemsAfter < 0) {
        return false;
    }
    upgrade->channelsMerged = channelsBefore - channelsAfter;
    upgrade->itemsMerged = itemsBefore - itemsAfter;
    return Exec(db, kDropEarlier, code, message);
}

// Version 4 to 5: the read state and the search index. Everything stored before counts as
// read, so that an upgrade does not greet the user with every old item: the table of unread
// items starts empty (a file rebuilt from version 0 has the copied items in it, and loses
// them). Every item is queued for the index (the copy from version 0 queued them already), to
// be indexed behind the window by its indexer (and by the first search that needs it), so that
// a big file opens at once.
constexpr int kReadStateAndSearchVersion = 5;
constexpr char kForgetUnread[] = "DELETE FROM item_unread";
// The queue made anew in the order of its key: SQLite then appends each row instead of
// seeking its place, five times faster at a million items than adding to what it holds.
constexpr char kQueueEveryItem[] = R"sql(
DELETE FROM item_search_queue;
INSERT INTO item_search_queue (item_id) SELECT ID FROM item ORDER BY ID;
)sql";

// Version 5 to 6: the unread items in the order of channel, date and ID, so that marking a
// folder read deletes rows that lie together instead of rows spread over the whole table. The
// rows are copied into the table as the schema has it; its triggers are made anew.
constexpr int kUnreadByChannelVersion = 6;
constexpr char kSetUnreadAside[] = R"sql(
DROP TRIGGER IF EXISTS item_unread_insert;
DROP TRIGGER IF EXISTS item_unread_delete;
DROP TRIGGER IF EXISTS item_unread_update;
DROP INDEX IF EXISTS item_unread_by_channel;
ALTER TABLE item_unread RENAME TO earlier_item_unread;
)sql";
constexpr char kCopyUnread[] = R"sql(
INSERT OR IGNORE INTO item_unread (item_id, channel_id, pub_date)
    SELECT item_id, ifnull(channel_id, 0), ifnull(pub_date, '') FROM earlier_item_unread;
DROP TABLE earlier_item_unread;
)sql";

// Version 6 to 7: a source counts the 410 answers in a row, so that one answer of a server
// for a minute does not give a feed up for good. A source a 410 gave up before counts none:
// it is asked once more.
constexpr int kGoneCountVersion = 7;

// Version 7 to 8: search terms fold letter case beyond ASCII (Cyrillic, Greek, accented Latin)
// and leave out apostrophes. The index removes an item by cutting its text again, so terms
// cut the old way cannot stay beside the new: the index is emptied and every item queued,
// to be indexed again in the background (and by the first search that needs it).
constexpr int kFoldedTermsVersion = 8;
constexpr char kRequeueSearchIndex[] =
    "INSERT INTO item_search (item_search) VALUES ('delete-all')";

// Version 8 to 9: the starred items, in a table of their own; no item row changes.
constexpr int kStarVersion = 9;

// Version 9 to 10: storing an item adds its unread row with a plain insert. A replacing insert
// cost a conflict check that deletes (with the recursive triggers every handle turns on) for a
// row that can only be there with the same values; nothing stored changes.
constexpr int kCheapUnreadTriggerVersion = 10;

// Version 10 to 11: the day before which a clean-up removed a channel's old news, so that an
// item it removed is not stored again while the channel's feed still carries it; no item row
// changes.
constexpr int kCleanedVersion = 11;

// Version 11 to 12: the local time of day an item was published, beside its day, for the
// lists to show; items stored before have none (NULL), as have items whose feed gave no time.
constexpr int kPubTimeVersion = 12;

// Version 12 to 13: the news rules, and the items they hid or coloured, in tables of their
// own; no item row changes.
constexpr int kNewsRulesVersion = 13;

// Version 13 to 14: the index that finds each channel's latest pass.
constexpr int kSourcePassesVersion = 14;

// Version 14 to 15: the tables and triggers of a sync with a server; no row of an earlier
// table changes.
constexpr int kSyncVersion = 15;

// Version 15 to 16: what the sync needs to follow the server's renames (the feeds' and the
// categories' names there) and to unsubscribe there the feeds whose channels were deleted here.
constexpr int kSyncFollowVersion = 16;

// Version 16 to 17: search terms read Traditional Chinese as Simplified; the items indexed
// otherwise are indexed again (chinese_fold_step.h).
constexpr int kChineseFoldVersion = 17;

// Version 17 to 18: the table of the search index's words (search_words.h).
constexpr int kSearchWordsVersion = 18;
constexpr char kReadWordsLater[] = "INSERT INTO item_search_word_fill (next_term) VALUES ('')";

// Every step from `version` to the current one, in order. Each creates what it adds as the
// current schema has it (schema_definitions.h), so a step finds the work of an earlier one that
// made the same thing already done.
bool Upgrade(sqlite3* db, int version, SchemaUpgrade* upgrade, int* code, std::string* message) {
    upgrade->fromVersion = version;
    const auto create = [&](std::initializer_list<const char*> names) {
        return CreateMissing(db, names, code, message);
    };
    const auto exec = [&](const char* sql) { return Exec(db, sql, code, message); };
    const bool done =
        (version >= 1 || UpgradeToVersion1(db, upgrade, code, message)) &&
        // The subscribed feeds' validators; nothing else changes.
        (version >= 2 || create({"feed_validator"})) &&
        // Items are found by their titles without apostrophes (stored titles keep them now),
        // and the item index is no longer unique: untitled items, and titles that differ only
        // in case, may stand side by side. Every row stays as it is.
        (version >= 3 || (exec("DROP INDEX IF EXISTS item_by_channel_title") &&
                          create({"item_by_channel_bare_title"}))) &&
        // What became of each source.
        (version >= 4 || create({"source_status"})) &&
        (version >= kReadStateAndSearchVersion ||
         (create({"item_unread", "item_unread_insert", "item_unread_delete", "item_unread_update",
                  "item_search", "item_search_queue", "item_search_insert", "item_search_delete",
                  "item_search_update"}) &&
          exec(kForgetUnread) && exec(kQueueEveryItem))) &&
        (version >= kUnreadByChannelVersion ||
         (exec(kSetUnreadAside) && create({"item_unread"}) && exec(kCopyUnread) &&
          create({"item_unread_insert", "item_unread_delete", "item_unread_update"}))) &&
        (version >= kGoneCountVersion || AddMissingColumns(db, "source_status", code, message)) &&
        // A file that gained the index in this upgrade has it cut the new way already.
        (version < kReadStateAndSearchVersion || version >= kFoldedTermsVersion ||
         (exec(kRequeueSearchIndex) && exec(kQueueEveryItem))) &&
        (version >= kStarVersion ||
         create({"item_star", "item_star_delete", "item_star_update"})) &&
        (version >= kCheapUnreadTriggerVersion ||
         RecreateTrigger(db, "item_unread_insert", code, message)) &&
        (version >= kCleanedVersion || create({"channel_cleaned"})) &&
        (version >= kPubTimeVersion || AddMissingColumns(db, "item", code, message)) &&
        (version >= kNewsRulesVersion ||
         create({"news_rule", "item_hidden", "item_colour", "item_rule_marks_delete",
                 "item_rule_marks_update"})) &&
        (version >= kSourcePassesVersion || create({"source_status_by_pass"})) &&
        (version >= kSyncVersion ||
         create({"sync_feed", "sync_item", "sync_item_by_item", "sync_queue", "sync_applying",
                 "sync_state", "sync_queue_read", "sync_queue_unread", "sync_queue_star",
                 "sync_queue_unstar"})) &&
        (version >= kSyncFollowVersion || (create({"sync_unsubscribe", "sync_category"}) &&
                                           AddMissingColumns(db, "sync_feed", code, message))) &&
        // A file that gained the index in this upgrade has it cut the new way already.
        (version < kReadStateAndSearchVersion || version >= kChineseFoldVersion ||
         RequeueTraditionalChineseItems(db, code, message)) &&
        (version >= kSearchWordsVersion ||
         (create({"item_search_word", "item_search_word_fill"}) &&
          // The words of what the index holds are read from it later; what it takes in from
          // now on brings its own. A file that gained the index in this upgrade holds none.
          (version < kReadStateAndSearchVersion || exec(kReadWordsLater))));
    if (!done) {
        return false;
    }
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    return Exec(db, setVersion.c_str(), code, message);
}

bool Migrate(sqlite3* db, SchemaUpgrade* upgrade, int* code, std::string* message) {
    if (!Exec(db, "BEGIN IMMEDIATE", code, message)) {
        return false;
    }
    int version = 0;
    // Another process may have brought the file up to date while this one waited.
    const bool done = QueryInt(db, "PRAGMA user_version", &version, code, message) &&
                      (version >= kSchemaVersion || Upgrade(db, version, upgrade, code, message));
    if (!done) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return Exec(db, "COMMIT", code, message);
}

}  // namespace

int StoredSchemaVersion(const std::string& path) {
    sqlite3* raw = nullptr;
    // Read-write, as every other opening: a read-only last connection would leave the -wal
    // and -shm files behind.
    const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const SqliteDb db(raw);
    int version = -1;
    int code = 0;
    std::string message;
    if (opened != SQLITE_OK ||
        !QueryInt(db.get(), "PRAGMA user_version", &version, &code, &message)) {
        return -1;
    }
    return version;
}

bool CheckDatabaseTables(sqlite3* db, int* code, std::string* message) {
    // Reading the catalogue is the first read: a file that is no database fails here.
    int tables = 0;
    if (!QueryInt(db,
                  "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                  "name IN ('channel', 'item')",
                  &tables, code, message)) {
        return false;
    }
    if (tables != 2) {
        *code = SQLITE_NOTFOUND;
        *message = "the file holds no channel and item tables (an empty file holds none)";
        return false;
    }
    return true;
}

bool PrepareDatabase(sqlite3* db, int* code, std::string* message, SchemaUpgrade* upgrade,
                     const SchemaProgress& /*progress*/) {
    // No step takes long since the search index is built behind the window; the listener
    // stays for a step that will.
    SchemaUpgrade ignored;
    upgrade = upgrade ? upgrade : &ignored;
    *upgrade = SchemaUpgrade();
    if (!CheckDatabaseTables(db, code, message)) {
        return false;
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        *code = SQLITE_READONLY;
        *message = "the file can only be read: no news could be stored in it";
        return false;
    }
    int version = 0;
    // WAL is a property of the file and survives; asking again is cheap.
    return Exec(db, "PRAGMA journal_mode=WAL", code, message) &&
           QueryInt(db, "PRAGMA user_version", &version, code, message) &&
           (version >= kSchemaVersion || Migrate(db, upgrade, code, message));
}
