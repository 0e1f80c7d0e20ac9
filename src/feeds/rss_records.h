#pragma once

#include <array>
#include <string_view>

// The channel and item fields of an RSS 2.0 feed as fixed, zero-terminated UTF-8 fields.
// Field widths are limits in bytes; a longer text is cut at a character boundary.

struct CRssChannel {
    char title[256] = {};
    char link[256] = {};
    char description[2048] = {};
    char language[256] = {};
    char copyright[256] = {};
    char managingEditor[256] = {};
    char webMaster[256] = {};
    char pubDate[256] = {};
    char lastBuildDate[256] = {};
    char category[256] = {};
    char generator[256] = {};
    char docs[256] = {};
    char image[256] = {};
    char url[256] = {};
    char cloud[256] = {};
    char ttl[256] = {};
    char rating[256] = {};
    char skipHours[256] = {};
    char skipDays[256] = {};
};

struct CRssItem {
    char title[256] = {};
    char link[256] = {};
    char description[2048] = {};
    char author[256] = {};
    char category[256] = {};
    char comments[256] = {};
    char enclosure[256] = {};
    char guid[256] = {};
    char pubDate[256] = {};
    char source[256] = {};
};

// Each field with the element name it is read from, in record order. Used to read feeds,
// to build the channel row and to print what a feed holds.
struct RssChannelField {
    std::string_view name;
    char* (*field)(CRssChannel&);
    std::size_t size;
};
struct RssItemField {
    std::string_view name;
    char* (*field)(CRssItem&);
    std::size_t size;
};

const std::array<RssChannelField, 19>& ChannelFields();
const std::array<RssItemField, 10>& ItemFields();
