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
-- source_status table.
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
    rss_source      VARCHAR(255)
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
-- 0 where no answer came; failures counts the failed attempts since the last success.
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
    PRIMARY KEY (channel, address)
);

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

PRAGMA user_version = 4;
