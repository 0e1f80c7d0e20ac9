-- The feed database, data/data.dat. Column order is part of the format: readers address
-- some item and opml columns by position. Dates are ISO text (YYYY-MM-DD) in DATE columns.
-- Widths are the longest values the program writes, in bytes of the Chinese code page (a
-- Chinese character counts two); SQLite does not enforce them, so a file made when addresses
-- were cut at 255 bytes takes whole ones as it is.
--
-- Channel names compare ignoring ASCII letter case, in every statement and in the unique
-- index: "News" and "news" are one channel. Item titles compare ignoring ASCII case and
-- apostrophes, through the index item_by_channel_bare_title. A file made before these rules
-- is brought to them when the program opens it: from user_version 0 its tables are rebuilt,
-- from 1 it gains the feed_validator table, from 2 the index of titles, from 3 the
-- source_status table, from 4 the read state and the search index, every item it holds
-- counting as read, from 5 its unread items are put in the order of their channels, from 6
-- its sources count their 410 answers, from 7 its search index is built again with terms
-- that fold letter case beyond ASCII and leave out apostrophes, from 8 it gains the
-- item_star table, from 9 storing an item adds its unread row with a plain insert, from 10
-- it gains the channel_cleaned table, from 11 the items' rss_pubTime column, from 12 the news
-- rules with the item_hidden and item_colour tables, from 13 the index of each channel's
-- passes, and from 14 the tables of a sync with a server.
PRAGMA journal_mode = WAL;

CREATE TABLE channel (
    ID                 INTEGER PRIMARY KEY,
    rss_title          VARCHAR(511) COLLATE NOCASE,  -- the channel keyword of the tree
    rss_link           VARCHAR(2047),
    rss_description    LONGTEXT,      -- up to 2047 bytes
    rss_language       VARCHAR(255),
    rss_copyright      VARCHAR(255),
    rss_managingEditor VARCHAR(255),
    rss_webMaster      VARCHAR(255),
    rss_pubDate        VARCHAR(255),  -- the feed's own date text, not a date
    rss_lastBuildDate  VARCHAR(255),
    rss_category       VARCHAR(255),
    rss_generator      VARCHAR(255),
    rss_docs           VARCHAR(255),
    rss_image          VARCHAR(255),
    rss_url            VARCHAR(255),
    rss_cloud          VARCHAR(255),
    rss_ttl            VARCHAR(255),
    rss_rating         VARCHAR(255),
    rss_skipHours      VARCHAR(255),
    rss_skipDays       VARCHAR(255)
);

CREATE TABLE item (
    ID              INTEGER PRIMARY KEY,
    rss_channelID   INTEGER,
    rss_title       VARCHAR(255) COLLATE NOCASE,
    rss_link        VARCHAR(2047),
    rss_description LONGTEXT,       -- up to 2047 bytes, cut outside any tag
    rss_author      VARCHAR(255),
    rss_category    VARCHAR(255),
    rss_comments    VARCHAR(2047),
    rss_enclosure   VARCHAR(2047),
    rss_guid        VARCHAR(2047),
    rss_pubDate     DATE,
    rss_source      VARCHAR(255),
    rss_pubTime     TEXT            -- HH:MM:SS on rss_pubDate, local; NULL where none was given
);

CREATE TABLE opml (
    ID            INTEGER PRIMARY KEY,
    opml_key      VARCHAR(511) COLLATE NOCASE,  -- the channel keyword the feed belongs to
    opml_xml_url  VARCHAR(2047),
    opml_html_url VARCHAR(2047)
);

-- What the server of a subscribed feed said of the copy last stored for a channel (its ETag
-- and Last-Modified answers, '' where it gave none), so that the next fetch asks only for a
-- changed copy. Kept per channel: a feed subscribed under two channels is stored in each.
CREATE TABLE feed_validator (
    opml_key      VARCHAR(511) COLLATE NOCASE,
    address       VARCHAR(2047),
    etag          VARCHAR(511),
    last_modified VARCHAR(511),
    PRIMARY KEY (opml_key, address)
);

-- What became of each source the last time it was fetched: a channel's search addresses
-- (service names the search service) and its subscribed feeds (service ''). outcome is one
-- of ok, not-modified, http-error, network-error, not-a-feed, gone, deferred; http_status is
-- 0 where no answer came; failures counts the failed attempts since the last success, and
-- gone_count the 410 answers among the latest of them (the source is given up at three).
-- Moments are UTC text, YYYY-MM-DDTHH:MM:SSZ, '' for never: retry_after is when a deferred
-- source may be fetched again, pass_time when the pass or refresh that last took the source
-- in hand began (a channel's rows of its latest pass_time are its sources now).
CREATE TABLE source_status (
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
    gone_count   INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (channel, address)
);
-- A channel's latest pass is found in it, not by reading every row of the channel.
CREATE INDEX source_status_by_pass ON source_status (channel, pass_time);

-- The duplicate checks. The channel's is unique, so that two feeds of one keyword stored at
-- the same time cannot both add its row: the second insert fails as a duplicate and is
-- skipped. An item is added by one statement that looks for the same item first (items
-- without a title are told apart by guid, link or description, and two titles that differ
-- only in case may both be kept from an old file), so the item index is not unique.
CREATE INDEX item_by_channel_bare_title
    ON item (rss_channelID, replace(rss_title, '''', '') COLLATE NOCASE);
CREATE UNIQUE INDEX channel_by_title ON channel (rss_title);
-- A channel's news newest first, and counted by date.
CREATE INDEX item_by_channel_date ON item (rss_channelID, rss_pubDate);
CREATE INDEX opml_by_key ON opml (opml_key);

-- The items whose page has not been shown yet, one row each, with the item's channel and
-- date: the tree's unread counts and marking news read read and write only this small table,
-- never the item rows. Its rows are kept in the order of channel, date and ID, so that a
-- channel's unread items lie together: counting them, and marking a folder of ten thousand
-- read, touch only their own pages. A row is found by those three values of its item row (a
-- missing channel or date is kept as 0 or ''). An item is unread when stored (the trigger
-- below adds it); showing its page, or marking its channel read, deletes its row. Every item
-- of a file made before the read state counts as read.
CREATE TABLE item_unread (
    item_id    INTEGER NOT NULL,  -- item.ID
    channel_id INTEGER NOT NULL,  -- item.rss_channelID
    pub_date   DATE NOT NULL,     -- item.rss_pubDate
    PRIMARY KEY (channel_id, pub_date, item_id)
) WITHOUT ROWID;
CREATE TRIGGER item_unread_insert AFTER INSERT ON item BEGIN
    INSERT OR IGNORE INTO item_unread (item_id, channel_id, pub_date)
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

-- The search index over every item's title and description text. Its terms are cut by the
-- program's tokenizer "quillon" (characters and pairs of Chinese, lowered words), the
-- description read as the page shows it (quillon_search_text: no markup, references
-- replaced), and its row key, quillon_search_key(date, ID), orders it newest first. The index
-- keeps no text of its own. A stored item is queued in item_search_queue by the trigger that
-- stores it, and indexed later in batches (by a thread of the program, and before every
-- search), so that storing news costs little more than it did; an item changed or removed
-- leaves the index, or the queue, in the same statement. The index and the queue together
-- always hold every item once. Tokenizer and functions are the program's: a connection without
-- them cannot write items. Changing how they cut or key text needs a schema step that builds
-- the index again.
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

-- The items the user starred, one row each: kept until the star is taken off or the item is
-- deleted (the trigger below). A table of its own, so that starring writes no item row and
-- the starred list reads only its own rows and their items.
CREATE TABLE item_star (
    item_id INTEGER PRIMARY KEY  -- item.ID
);
CREATE TRIGGER item_star_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_star WHERE item_id = old.ID;
END;
CREATE TRIGGER item_star_update AFTER UPDATE OF ID ON item BEGIN
    UPDATE item_star SET item_id = new.ID WHERE item_id = old.ID;
END;

-- Per channel, the day before which the last clean-up removed its old news: an item dated
-- before it is not stored again, so that news removed while its feed still carries it does
-- not come back as new. Kept by channel ID, never by title: a recurring title of a later day
-- still arrives.
CREATE TABLE channel_cleaned (
    channel_id INTEGER PRIMARY KEY,  -- channel.ID
    before_day DATE NOT NULL         -- YYYY-MM-DD
);

-- The rules applied to news as it arrives, in the order of their IDs. scope is all, folder
-- or channel, and place names the folder or the channel ('' for all); match is any (the
-- item's title or text holds one of the words) or none (it holds none of them); words are
-- one per line; action is read, star, colour or hide, and colour is #rrggbb for a colour
-- rule ('' otherwise). A row the program cannot read is skipped, and named, never applied.
CREATE TABLE news_rule (
    ID     INTEGER PRIMARY KEY,
    scope  VARCHAR(15),
    place  VARCHAR(511),
    match  VARCHAR(15),
    words  LONGTEXT,
    action VARCHAR(15),
    colour VARCHAR(15)
);

-- The items a rule hid, and the row colours rules gave, one row each: kept until the item
-- is deleted (the triggers below). A hidden item is listed nowhere but where hidden items
-- are asked for; it is stored, so it never comes back as new.
CREATE TABLE item_hidden (
    item_id INTEGER PRIMARY KEY  -- item.ID
);
CREATE TABLE item_colour (
    item_id INTEGER PRIMARY KEY,  -- item.ID
    colour  VARCHAR(15) NOT NULL  -- #rrggbb
);
CREATE TRIGGER item_rule_marks_delete AFTER DELETE ON item BEGIN
    DELETE FROM item_hidden WHERE item_id = old.ID;
    DELETE FROM item_colour WHERE item_id = old.ID;
END;
CREATE TRIGGER item_rule_marks_update AFTER UPDATE OF ID ON item BEGIN
    UPDATE item_hidden SET item_id = new.ID WHERE item_id = old.ID;
    UPDATE item_colour SET item_id = new.ID WHERE item_id = old.ID;
END;

-- What a sync with a Tiny Tiny RSS server keeps between runs. sync_feed: the channel each
-- server feed's articles go to: a channel of the server's folder in the tree, or a keyword
-- channel whose search address the sync subscribed on the server (watched), so that the
-- server keeps fetching it. sync_item: each server article and the item it was stored as
-- (or found as, by the duplicate rule), with its feed and its read and starred state as the
-- server last said them. sync_queue: the read and starred changes made here to synced items,
-- not yet sent; the triggers below fill it, whatever changed the state, in the same
-- transaction, so a change survives a crash or a server that is down for days. A change made
-- by the sync itself from the server's state is not queued: the sync holds a row in
-- sync_applying while it writes (uncommitted, so no other connection sees it). An item that
-- is deleted here queues nothing: its rows go with it, not its read state. A trigger deletes
-- the queued change before it adds the new one: a replacing insert would become an ignoring
-- one under a statement that ignores conflicts itself (marking unread does), and keep the
-- older change. sync_state: the
-- newest server article of the last pass that stored every new article, from which the next
-- pass asks (a pass cut short asks again from the same one).
-- Each trigger first looks for the item among the synced ones, so that storing or marking
-- any other item costs that one look-up and nothing more.
CREATE TABLE sync_feed (
    feed_id INTEGER PRIMARY KEY,                   -- the server's feed id
    channel VARCHAR(511) COLLATE NOCASE NOT NULL,  -- channel.rss_title
    address VARCHAR(2047) NOT NULL,                -- the feed's address (opml_xml_url)
    watched INTEGER NOT NULL DEFAULT 0,            -- 1: a keyword channel's search address
    title   VARCHAR(511),                          -- the feed's title on the server, last seen
    cat_id  INTEGER                                -- and its category there (NULL: not yet)
);
CREATE TABLE sync_item (
    article_id INTEGER PRIMARY KEY,  -- the server's article id
    item_id    INTEGER NOT NULL,     -- item.ID
    feed_id    INTEGER NOT NULL,     -- sync_feed.feed_id
    unread     INTEGER NOT NULL,     -- 1 unread on the server, 0 read
    starred    INTEGER NOT NULL      -- 1 starred on the server
);
CREATE INDEX sync_item_by_item ON sync_item (item_id);
CREATE TABLE sync_queue (
    article_id INTEGER NOT NULL,  -- sync_item.article_id
    field      VARCHAR(7) NOT NULL,  -- 'unread' or 'starred'
    value      INTEGER NOT NULL,     -- the state to send: 1 unread (starred), 0 not
    PRIMARY KEY (article_id, field)
);
CREATE TABLE sync_applying (flag INTEGER);
CREATE TABLE sync_state (
    name  VARCHAR(31) PRIMARY KEY,  -- 'since_id': the newest article of the last whole pass
    value INTEGER NOT NULL
);
-- The server's feeds whose channel was deleted here, to be unsubscribed on the server by the
-- next sync that reaches it; and the title of each server category when last seen, so that a
-- category renamed there renames its folder here. A feed's title and category, as last seen,
-- are in its sync_feed row.
CREATE TABLE sync_unsubscribe (
    feed_id INTEGER PRIMARY KEY  -- sync_feed.feed_id
);
CREATE TABLE sync_category (
    cat_id INTEGER PRIMARY KEY,   -- the server's category id
    title  VARCHAR(511) NOT NULL  -- its title there
);
CREATE TRIGGER sync_queue_read AFTER DELETE ON item_unread
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = old.item_id)
        AND EXISTS (SELECT 1 FROM item WHERE ID = old.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'unread' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = old.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'unread', 0 FROM sync_item WHERE item_id = old.item_id;
END;
CREATE TRIGGER sync_queue_unread AFTER INSERT ON item_unread
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = new.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'unread' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = new.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'unread', 1 FROM sync_item WHERE item_id = new.item_id;
END;
CREATE TRIGGER sync_queue_star AFTER INSERT ON item_star
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = new.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'starred' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = new.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'starred', 1 FROM sync_item WHERE item_id = new.item_id;
END;
CREATE TRIGGER sync_queue_unstar AFTER DELETE ON item_star
    WHEN NOT EXISTS (SELECT 1 FROM sync_applying)
        AND EXISTS (SELECT 1 FROM sync_item WHERE item_id = old.item_id)
        AND EXISTS (SELECT 1 FROM item WHERE ID = old.item_id) BEGIN
    DELETE FROM sync_queue WHERE field = 'starred' AND article_id IN
        (SELECT article_id FROM sync_item WHERE item_id = old.item_id);
    INSERT INTO sync_queue (article_id, field, value)
        SELECT article_id, 'starred', 0 FROM sync_item WHERE item_id = old.item_id;
END;

PRAGMA user_version = 17;
