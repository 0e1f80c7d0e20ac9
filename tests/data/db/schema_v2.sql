-- The feed database, data/data.dat. Column order is part of the format: readers address
-- some item and opml columns by position. Dates are ISO text (YYYY-MM-DD) in DATE columns.
-- Widths are the longest values the program writes, in bytes of the Chinese code page (a
-- Chinese character counts two); SQLite does not enforce them.
--
-- Channel names and item titles compare ignoring ASCII letter case, in every statement and
-- in the unique indexes: "News" and "news" are one channel. A file made before this rule
-- (user_version 0) is brought to it when the program opens it, and a file without the
-- feed_validator table (user_version 1) gains it.
PRAGMA journal_mode = WAL;

CREATE TABLE channel (
    ID                 INTEGER PRIMARY KEY,
    rss_title          VARCHAR(511) COLLATE NOCASE,  -- the channel keyword of the tree
    rss_link           VARCHAR(255),
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
    rss_link        VARCHAR(255),
    rss_description LONGTEXT,
    rss_author      VARCHAR(255),
    rss_category    VARCHAR(255),
    rss_comments    VARCHAR(255),
    rss_enclosure   VARCHAR(255),
    rss_guid        VARCHAR(255),
    rss_pubDate     DATE,
    rss_source      VARCHAR(255)
);

CREATE TABLE opml (
    ID            INTEGER PRIMARY KEY,
    opml_key      VARCHAR(511) COLLATE NOCASE,  -- the channel keyword the feed belongs to
    opml_xml_url  VARCHAR(511),
    opml_html_url VARCHAR(511)
);

-- What the server of a subscribed feed said of the copy last stored for a channel (its ETag
-- and Last-Modified answers, '' where it gave none), so that the next fetch asks only for a
-- changed copy. Kept per channel: a feed subscribed under two channels is stored in each.
CREATE TABLE feed_validator (
    opml_key      VARCHAR(511) COLLATE NOCASE,
    address       VARCHAR(511),
    etag          VARCHAR(511),
    last_modified VARCHAR(511),
    PRIMARY KEY (opml_key, address)
);

-- The duplicate checks. They are unique, so that two feeds of one channel stored at the
-- same time cannot both add the channel row or the same item: the second insert fails as a
-- duplicate and is skipped.
CREATE UNIQUE INDEX item_by_channel_title ON item (rss_channelID, rss_title);
CREATE UNIQUE INDEX channel_by_title ON channel (rss_title);
-- A channel's news newest first, and counted by date.
CREATE INDEX item_by_channel_date ON item (rss_channelID, rss_pubDate);
CREATE INDEX opml_by_key ON opml (opml_key);

PRAGMA user_version = 2;
