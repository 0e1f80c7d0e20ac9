#include "store/schema.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/chinese_fold_step.h"
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

// Version 1 to 2: the subscribed feeds' validators, in a table of their own (as in
// data/schema.sql); nothing else changes, so the step costs nothing on a big file.
constexpr char kAddFeedValidator[] = R"sql(
CREATE TABLE IF NOT EXISTS feed_validator (
    opml_key      VARCHAR(511) COLLATE NOCASE,
    address       VARCHAR(2047),
    etag          VARCHAR(511),
    last_modified VARCHAR(511),
    PRIMARY KEY (opml_key, address)
);
)sql";

// Version 2 to 3: items are found by their titles without apostrophes (stored titles keep
// them now), and the item index is no longer unique (untitled items, and titles that differ
// only in case, may stand side by side). Every row stays as it is.
constexpr char kIndexBareTitles[] = R"sql(
DROP INDEX IF EXISTS item_by_channel_title;
CREATE INDEX IF NOT EXISTS item_by_channel_bare_title
    ON item (rss_channelID, replace(rss_title, '''', '') COLLATE NOCASE);
)sql";

// Version 3 to 4: what became of each source, in a table of its own (as in data/schema.sql).
constexpr char kAddSourceStatus[] = R"sql(
CREATE TABLE IF NOT EXISTS source_status (
    channel      VARCHAR(511) COLLATE NOCASE,
    address      VARCHAR(4095),
    service      VARCHAR(31),
    outcome      VARCHAR(15),
    http_status  INTEGER,
    new_items    INTEGER,
    last_attempt VARCHAR(20),
    last_success VARCHAR(20),
    failures     INTEGER,
    retry_after  VARCHAR(20),
    pass_time    VARCHAR(20),
    PRIMARY KEY (channel, address)
);
)sql";

// Version 4 to 5: the read state and the search index. Everything stored before counts as
// read, so that an upgrade does not greet the user with every old item: the table of unread
// items starts empty (a file rebuilt from version 0 has the copied items in it, and loses
// them). Every item is queued for the index (the copy from version 0 queued them already), to
// be indexed behind the window by its indexer (and by the first search that needs it), so that
// a big file opens at once.
constexpr int kReadStateAndSearchVersion = 5;

// The table of unread items as version 5 made it, keyed by item; the step to version 6 below
// puts it in the order of channels.
constexpr char kAddReadState[] = R"sql(
CREATE TABLE IF NOT EXISTS item_unread (
    item_id    INTEGER PRIMARY KEY,
    channel_id INTEGER,
    pub_date   DATE
);
CREATE INDEX IF NOT EXISTS item_unread_by_channel ON item_unread (channel_id, pub_date);
CREATE TRIGGER IF NOT EXISTS item_unread_insert AFTER INSERT ON item BEGIN
    INSERT OR REPLACE INTO item_unread (item_id, channel_id, pub_date)
        VALUES (new.ID, new.rss_channelID, new.rss_pubDate);
END;
CREATE TRIGGER IF NOT EXISTS item_unread_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_unread WHERE item_id = old.ID;
END;
CREATE TRIGGER IF NOT EXISTS item_unread_update AFTER UPDATE OF ID, rss_channelID, rss_pubDate
    ON item BEGIN
    UPDATE item_unread SET item_id = new.ID, channel_id = new.rss_channelID,
        pub_date = new.rss_pubDate WHERE item_id = old.ID;
END;
DELETE FROM item_unread;
)sql";
// As in data/schema.sql.
constexpr char kAddSearchIndex[] = R"sql(
CREATE VIRTUAL TABLE item_search USING fts5(
    title, description, content = '', columnsize = 0, tokenize = 'quillon');
CREATE TABLE item_search_queue (
    item_id INTEGER PRIMARY KEY  -- item.ID of an item not in item_search yet
);
CREATE TRIGGER item_search_insert AFTER INSERT ON item BEGIN
    INSERT OR IGNORE INTO item_search_queue (item_id) VALUES (new.ID);
END;
CREATE TRIGGER item_search_delete AFTER DELETE ON item BEGIN
    INSERT INTO item_search (item_search, rowid, title, description)
        SELECT 'delete', quillon_search_key(old.rss_pubDate, old.ID), old.rss_title,
               quillon_search_text(old.rss_description)
        WHERE NOT EXISTS (SELECT 1 FROM item_search_queue WHERE item_id = old.ID);
    DELETE FROM item_search_queue WHERE item_id = old.ID;
END;
CREATE TRIGGER item_search_update AFTER UPDATE OF ID, rss_title, rss_description, rss_pubDate
    ON item BEGIN
    INSERT INTO item_search (item_search, rowid, title, description)
        SELECT 'delete', quillon_search_key(old.rss_pubDate, old.ID), old.rss_title,
               quillon_search_text(old.rss_description)
        WHERE NOT EXISTS (SELECT 1 FROM item_search_queue WHERE item_id = old.ID);
    INSERT INTO item_search (rowid, title, description)
        SELECT quillon_search_key(new.rss_pubDate, new.ID), new.rss_title,
               quillon_search_text(new.rss_description)
        WHERE NOT EXISTS (SELECT 1 FROM item_search_queue WHERE item_id = old.ID);
    UPDATE item_search_queue SET item_id = new.ID WHERE item_id = old.ID;
END;
INSERT OR IGNORE INTO item_search_queue (item_id) SELECT ID FROM item;
)sql";

// Version 5 to 6: the unread items in the order of channel, date and ID (as in
// data/schema.sql), so that marking a folder read deletes rows that lie together instead of
// rows spread over the whole table. The rows are copied; their triggers are made anew.
constexpr int kUnreadByChannelVersion = 6;

constexpr char kClusterReadState[] = R"sql(
DROP TRIGGER item_unread_insert;
DROP TRIGGER item_unread_delete;
DROP TRIGGER item_unread_update;
DROP INDEX item_unread_by_channel;
ALTER TABLE item_unread RENAME TO earlier_item_unread;
CREATE TABLE item_unread (
    item_id    INTEGER NOT NULL,
    channel_id INTEGER NOT NULL,
    pub_date   DATE NOT NULL,
    PRIMARY KEY (channel_id, pub_date, item_id)
) WITHOUT ROWID;
INSERT OR IGNORE INTO item_unread (item_id, channel_id, pub_date)
    SELECT item_id, ifnull(channel_id, 0), ifnull(pub_date, '') FROM earlier_item_unread;
DROP TABLE earlier_item_unread;
CREATE TRIGGER item_unread_insert AFTER INSERT ON item BEGIN
    INSERT OR REPLACE INTO item_unread (item_id, channel_id, pub_date)
        VALUES (new.ID, ifnull(new.rss_channelID, 0), ifnull(new.rss_pubDate, ''));
END;
CREATE TRIGGER item_unread_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_unread WHERE channel_id = ifnull(old.rss_channelID, 0)
        AND pub_date = ifnull(old.rss_pubDate, '') AND item_id = old.ID;
END;
CREATE TRIGGER item_unread_update AFTER UPDATE OF ID, rss_channelID, rss_pubDate ON item BEGIN
    UPDATE item_unread SET item_id = new.ID, channel_id = ifnull(new.rss_channelID, 0),
        pub_date = ifnull(new.rss_pubDate, '')
        WHERE channel_id = ifnull(old.rss_channelID, 0)
        AND pub_date = ifnull(old.rss_pubDate, '') AND item_id = old.ID;
END;
)sql";

// Version 6 to 7: a source counts the 410 answers in a row, so that one answer of a server
// for a minute does not give a feed up for good. A source a 410 gave up before counts none:
// it is asked once more.
constexpr int kGoneCountVersion = 7;
constexpr char kAddGoneCount[] =
    "ALTER TABLE source_status ADD COLUMN gone_count INTEGER NOT NULL DEFAULT 0";

// Version 7 to 8: search terms fold letter case beyond ASCII (Cyrillic, Greek, accented Latin)
// and leave out apostrophes. The index removes an item by cutting its text again, so terms
// cut the old way cannot stay beside the new: the index is emptied and every item queued,
// to be indexed again in the background (and by the first search that needs it).
constexpr int kFoldedTermsVersion = 8;
constexpr char kRequeueSearchIndex[] = R"sql(
INSERT INTO item_search (item_search) VALUES ('delete-all');
INSERT OR IGNORE INTO item_search_queue (item_id) SELECT ID FROM item;
)sql";

// Version 8 to 9: the starred items, in a table of their own (as in data/schema.sql); no item
// row changes. A file rebuilt from version 0 has them from the current schema already.
constexpr int kStarVersion = 9;
constexpr char kAddStars[] = R"sql(
CREATE TABLE IF NOT EXISTS item_star (
    item_id INTEGER PRIMARY KEY  -- item.ID
);
CREATE TRIGGER IF NOT EXISTS item_star_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_star WHERE item_id = old.ID;
END;
CREATE TRIGGER IF NOT EXISTS item_star_update AFTER UPDATE OF ID ON item BEGIN
    UPDATE item_star SET item_id = new.ID WHERE item_id = old.ID;
END;
)sql";

// Version 9 to 10: storing an item adds its unread row with a plain insert. A replacing insert
// cost a conflict check that deletes (with the recursive triggers every handle turns on) for a
// row that can only be there with the same values; nothing stored changes.
constexpr int kCheapUnreadTriggerVersion = 10;
constexpr char kCheapUnreadTrigger[] = R"sql(
DROP TRIGGER item_unread_insert;
CREATE TRIGGER item_unread_insert AFTER INSERT ON item BEGIN
    INSERT OR IGNORE INTO item_unread (item_id, channel_id, pub_date)
        VALUES (new.ID, ifnull(new.rss_channelID, 0), ifnull(new.rss_pubDate, ''));
END;
)sql";

// Version 10 to 11: the day before which a clean-up removed a channel's old news, so that an
// item it removed is not stored again while the channel's feed still carries it (as in
// data/schema.sql); no item row changes.
constexpr int kCleanedVersion = 11;
constexpr char kAddChannelCleaned[] = R"sql(
CREATE TABLE IF NOT EXISTS channel_cleaned (
    channel_id INTEGER PRIMARY KEY,  -- channel.ID
    before_day DATE NOT NULL
);
)sql";

// Version 11 to 12: the local time of day an item was published, beside its day, for the
// lists to show; items stored before have none (NULL), as have items whose feed gave no time.
constexpr int kPubTimeVersion = 12;
constexpr char kAddPubTime[] = "ALTER TABLE item ADD COLUMN rss_pubTime TEXT";

// Version 12 to 13: the news rules, and the items they hid or coloured, in tables of their
// own (as in data/schema.sql); no item row changes.
constexpr int kNewsRulesVersion = 13;
constexpr char kAddNewsRules[] = R"sql(
CREATE TABLE IF NOT EXISTS news_rule (
    ID     INTEGER PRIMARY KEY,
    scope  VARCHAR(15),
    place  VARCHAR(511),
    match  VARCHAR(15),
    words  LONGTEXT,
    action VARCHAR(15),
    colour VARCHAR(15)
);
CREATE TABLE IF NOT EXISTS item_hidden (
    item_id INTEGER PRIMARY KEY
);
CREATE TABLE IF NOT EXISTS item_colour (
    item_id INTEGER PRIMARY KEY,
    colour  VARCHAR(15) NOT NULL
);
CREATE TRIGGER IF NOT EXISTS item_rule_marks_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_hidden WHERE item_id = old.ID;
    DELETE FROM item_colour WHERE item_id = old.ID;
END;
CREATE TRIGGER IF NOT EXISTS item_rule_marks_update AFTER UPDATE OF ID ON item BEGIN
    UPDATE item_hidden SET item_id = new.ID WHERE item_id = old.ID;
    UPDATE item_colour SET item_id = new.ID WHERE item_id = old.ID;
END;
)sql";

// Version 13 to 14: the index that finds each channel's latest pass.
constexpr int kSourcePassesVersion = 14;
constexpr char kIndexSourcePasses[] =
    "CREATE INDEX IF NOT EXISTS source_status_by_pass ON source_status (channel, pass_time);";

// Version 14 to 15: the tables and triggers of a sync with a server (as in data/schema.sql);
// no row of an earlier table changes.
constexpr int kSyncVersion = 15;
constexpr char kAddSync[] = R"sql(
CREATE TABLE IF NOT EXISTS sync_feed (
    feed_id INTEGER PRIMARY KEY,                   -- the server's feed id
    channel VARCHAR(511) COLLATE NOCASE NOT NULL,  -- channel.rss_title
    address VARCHAR(2047) NOT NULL,                -- the feed's address (opml_xml_url)
    watched INTEGER NOT NULL DEFAULT 0             -- 1: a keyword channel's search address
);
CREATE TABLE IF NOT EXISTS sync_item (
    article_id INTEGER PRIMARY KEY,  -- the server's article id
    item_id    INTEGER NOT NULL,     -- item.ID
    feed_id    INTEGER NOT NULL,     -- sync_feed.feed_id
    unread     INTEGER NOT NULL,     -- 1 unread on the server, 0 read
    starred    INTEGER NOT NULL      -- 1 starred on the server
);
CREATE INDEX IF NOT EXISTS sync_item_by_item ON sync_item (item_id);
CREATE TABLE IF NOT EXISTS sync_queue (
    article_id INTEGER NOT NULL,  -- sync_item.article_id
    field      VARCHAR(7) NOT NULL,  -- 'unread' or 'starred'
    value      INTEGER NOT NULL,     -- the state to send: 1 unread (starred), 0 not
    PRIMARY KEY (article_id, field)
);
CREATE TABLE IF NOT EXISTS sync_applying (flag INTEGER);
CREATE TABLE IF NOT EXISTS sync_state (
    name  VARCHAR(31) PRIMARY KEY,  -- 'since_id': the newest article of the last whole pass
    value INTEGER NOT NULL
);
CREATE TRIGGER IF NOT EXISTS sync_queue_read AFTER DELETE ON item_unread
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = old.item_id)
        AND EXISTS (SELECT 1 FROM item WHERE ID = old.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'unread' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = old.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'unread', 0 FROM sync_item WHERE item_id = old.item_id;
END;
CREATE TRIGGER IF NOT EXISTS sync_queue_unread AFTER INSERT ON item_unread
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = new.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'unread' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = new.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'unread', 1 FROM sync_item WHERE item_id = new.item_id;
END;
CREATE TRIGGER IF NOT EXISTS sync_queue_star AFTER INSERT ON item_star
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = new.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'starred' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = new.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'starred', 1 FROM sync_item WHERE item_id = new.item_id;
END;
CREATE TRIGGER IF NOT EXISTS sync_queue_unstar AFTER DELETE ON item_star
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = old.item_id)
        AND EXISTS (SELECT 1 FROM item WHERE ID = old.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'starred' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = old.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'starred', 0 FROM sync_item WHERE item_id = old.item_id;
END;)sql";

// Version 15 to 16: what the sync needs to follow the server's renames and to unsubscribe
// there the feeds whose channels were deleted here (as in data/schema.sql).
constexpr int kSyncFollowVersion = 16;
constexpr char kAddSyncFollow[] = R"sql(
CREATE TABLE IF NOT EXISTS sync_unsubscribe (
    feed_id INTEGER PRIMARY KEY  -- sync_feed.feed_id
);
CREATE TABLE IF NOT EXISTS sync_category (
    cat_id INTEGER PRIMARY KEY,   -- the server's category id
    title  VARCHAR(511) NOT NULL  -- its title there
);)sql";
constexpr char kAddSyncFeedTitles[] =
    "ALTER TABLE sync_feed ADD COLUMN title VARCHAR(511);"
    "ALTER TABLE sync_feed ADD COLUMN cat_id INTEGER;";

// Version 16 to 17: search terms read Traditional Chinese as Simplified; the items indexed
// otherwise are indexed again (chinese_fold_step.h).
constexpr int kChineseFoldVersion = 17;

bool Holds(sqlite3* db, const char* sql, int* code, std::string* message) {
    int count = 0;
    return QueryInt(db, sql, &count, code, message) && count > 0;
}

bool AddReadStateAndSearch(sqlite3* db, int* code, std::string* message) {
    const bool hasIndex =
        Holds(db, "SELECT count(*) FROM sqlite_master WHERE name = 'item_search'", code, message);
    return Exec(db, kAddReadState, code, message) &&
           (hasIndex || Exec(db, kAddSearchIndex, code, message));
}

// Every step from `version` to the current one, in order.
bool Upgrade(sqlite3* db, int version, SchemaUpgrade* upgrade, int* code, std::string* message) {
    upgrade->fromVersion = version;
    if (version < 1 && !UpgradeToVersion1(db, upgrade, code, message)) {
        return false;
    }
    if (version < 2 && !Exec(db, kAddFeedValidator, code, message)) {
        return false;
    }
    if (version < 3 && !Exec(db, kIndexBareTitles, code, message)) {
        return false;
    }
    if (version < 4 && !Exec(db, kAddSourceStatus, code, message)) {
        return false;
    }
    if (version < kReadStateAndSearchVersion && !AddReadStateAndSearch(db, code, message)) {
        return false;
    }
    if (version < kUnreadByChannelVersion && !Exec(db, kClusterReadState, code, message)) {
        return false;
    }
    // A file rebuilt from version 0 has the column from the current schema already.
    if (version < kGoneCountVersion &&
        !Holds(db,
               "SELECT count(*) FROM pragma_table_info('source_status') WHERE name = 'gone_count'",
               code, message) &&
        !Exec(db, kAddGoneCount, code, message)) {
        return false;
    }
    // A file that gained the index in this upgrade has it cut the new way already.
    if (version >= kReadStateAndSearchVersion && version < kFoldedTermsVersion &&
        !Exec(db, kRequeueSearchIndex, code, message)) {
        return false;
    }
    if (version < kStarVersion && !Exec(db, kAddStars, code, message)) {
        return false;
    }
    // Every earlier file has the replacing trigger by now: of its own or of the step to 6.
    if (version < kCheapUnreadTriggerVersion && !Exec(db, kCheapUnreadTrigger, code, message)) {
        return false;
    }
    if (version < kCleanedVersion && !Exec(db, kAddChannelCleaned, code, message)) {
        return false;
    }
    // A file rebuilt from version 0 has the column from the current schema already.
    if (version < kPubTimeVersion &&
        !Holds(db, "SELECT count(*) FROM pragma_table_info('item') WHERE name = 'rss_pubTime'",
               code, message) &&
        !Exec(db, kAddPubTime, code, message)) {
        return false;
    }
    if (version < kNewsRulesVersion && !Exec(db, kAddNewsRules, code, message)) {
        return false;
    }
    if (version < kSourcePassesVersion && !Exec(db, kIndexSourcePasses, code, message)) {
        return false;
    }
    if (version < kSyncVersion && !Exec(db, kAddSync, code, message)) {
        return false;
    }
    // A file rebuilt from version 0 has the columns from the current schema already.
    if (version < kSyncFollowVersion &&
        (!Exec(db, kAddSyncFollow, code, message) ||
         (!Holds(db, "SELECT count(*) FROM pragma_table_info('sync_feed') WHERE name = 'title'",
                 code, message) &&
          !Exec(db, kAddSyncFeedTitles, code, message)))) {
        return false;
    }
    // A file that gained the index in this upgrade has it cut the new way already.
    if (version >= kReadStateAndSearchVersion && version < kChineseFoldVersion &&
        !RequeueTraditionalChineseItems(db, code, message)) {
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
