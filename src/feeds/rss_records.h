#pragma once

#include <array>
#include <string_view>

#include "base/text_util.h"

// The channel and item fields of a feed, named after RSS 2.0's elements (Atom and RSS 1.0 fill
// the same records, see FeedFormat), as fixed, zero-terminated UTF-8 fields.
// Each holds at most kMaxFieldBytes bytes of the Chinese code page, as the records always did
// (see CodePageLength); a description and the addresses (links, guid, comments, enclosure)
// hold kMaxLongFieldBytes, so that an address is never cut short of working. A longer text
// is cut at a character boundary, a description outside any tag with its open tags closed.
constexpr std::size_t kMaxFieldBytes = 255;
constexpr std::size_t kMaxLongFieldBytes = 2047;
constexpr std::size_t kMaxDescriptionBytes = kMaxLongFieldBytes;
constexpr std::size_t kFieldSize = CodePageFieldSize(kMaxFieldBytes);
constexpr std::size_t kLongFieldSize = CodePageFieldSize(kMaxLongFieldBytes);
constexpr std::size_t kDescriptionSize = kLongFieldSize;
// How much of a description a feed format reads, so that a cut one is known to be cut.
constexpr std::size_t kDescriptionReadBytes = 2 * kDescriptionSize;

// The code-page bytes a record field of `fieldSize` bytes holds.
constexpr std::size_t CodePageLimitOf(std::size_t fieldSize) {
    return fieldSize == kLongFieldSize ? kMaxLongFieldBytes : kMaxFieldBytes;
}

// Puts `text` into a field of a record, cut to what the field holds.
template <std::size_t N>
void PutField(char (&field)[N], std::string_view text) {
    CopyToCodePageField(field, CodePageLimitOf(N), text);
}

// Puts the HTML of a description into its field, cut as CutMarkupToCodePageLimit cuts.
void PutDescription(char (&field)[kDescriptionSize], std::string_view html);

struct CRssChannel {
    char title[kFieldSize] = {};
    char link[kLongFieldSize] = {};
    char description[kDescriptionSize] = {};
    char language[kFieldSize] = {};
    char copyright[kFieldSize] = {};
    char managingEditor[kFieldSize] = {};
    char webMaster[kFieldSize] = {};
    char pubDate[kFieldSize] = {};
    char lastBuildDate[kFieldSize] = {};
    char category[kFieldSize] = {};
    char generator[kFieldSize] = {};
    char docs[kFieldSize] = {};
    char image[kFieldSize] = {};
    char url[kFieldSize] = {};
    char cloud[kFieldSize] = {};
    char ttl[kFieldSize] = {};
    char rating[kFieldSize] = {};
    char skipHours[kFieldSize] = {};
    char skipDays[kFieldSize] = {};
};

struct CRssItem {
    char title[kFieldSize] = {};
    char link[kLongFieldSize] = {};
    char description[kDescriptionSize] = {};
    char author[kFieldSize] = {};
    char category[kFieldSize] = {};
    char comments[kLongFieldSize] = {};
    char enclosure[kLongFieldSize] = {};
    char guid[kLongFieldSize] = {};
    char pubDate[kFieldSize] = {};
    char source[kFieldSize] = {};
};

// Each field with the element name it is read from, in record order, its size in bytes
// and the code-page bytes it holds. Used to read feeds, to build the channel row and to print
// what a feed holds.
struct RssChannelField {
    std::string_view name;
    char* (*field)(CRssChannel&);
    std::size_t size;
    std::size_t codePageLimit;
};
struct RssItemField {
    std::string_view name;
    char* (*field)(CRssItem&);
    std::size_t size;
    std::size_t codePageLimit;
};

const std::array<RssChannelField, 19>& ChannelFields();
const std::array<RssItemField, 10>& ItemFields();
