#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_util.h"
#include "model/news_age.h"
#include "store/automation_date.h"

// Each text field of a list row holds at most this many bytes of the Chinese code page (see
// CodePageLength), cut at a character boundary.
constexpr std::size_t kMaxNewsRowFieldBytes = 127;
constexpr std::size_t kNewsRowFieldSize = CodePageFieldSize(kMaxNewsRowFieldBytes);
// The title is held as long as it is stored (255 code-page bytes), so that its tooltip shows
// it whole.
constexpr std::size_t kMaxNewsRowTitleBytes = 255;

// What the list and the item page show for an item that has no title.
inline constexpr char kUntitledText[] = "（无标题）";

// The list's columns, in display order.
enum NewsColumn : int {
    kColumnCategory = 0,
    kColumnTitle = 1,
    kColumnChannel = 2,
    kColumnDate = 3,
    kColumnAuthor = 4,
    kColumnSource = 5,
};
constexpr int kNewsColumnCount = 6;

// One row of the news list as the loaders build it. The six text fields are what the
// columns show: UTF-8 cut at a character boundary, the title to at most 255 code-page bytes,
// the others, zero-terminated, to at most 127.
// The category name and date text are fixed when the row is built; the colour is not (see
// RowAgeCategory).
struct CNewsRow {
    char categoryName[kNewsRowFieldSize] = {};
    std::string title;
    char channel[kNewsRowFieldSize] = {};
    char dateText[kNewsRowFieldSize] = {};
    char author[kNewsRowFieldSize] = {};
    char source[kNewsRowFieldSize] = {};
    double dateValue = 0.0;  // automation date; meaningful only while dateStatus is valid
    std::int32_t dateStatus = kNewsDateNull;  // kNewsDateValid, kNewsDateInvalid, kNewsDateNull
    int secondsOfDay = -1;  // the local time of day it was published; -1 where it is unknown

    // What the item is looked up by: its ID when the row was read with one, else its uncut
    // title within the channel. The title field above may have lost its end; these never do.
    std::int64_t itemId = -1;  // the item's ID; -1 when unknown
    std::string storedTitle;   // the item's rss_title as read
    std::string channelName;   // the tree node's name the row was loaded for
    bool read = true;          // false while the item's page has not been shown
    bool starred = false;      // the user starred the item
    std::string colour;        // the row colour a rule gave the item, #rrggbb; "" for none
    bool hidden = false;       // a rule hid the item (listed only where hidden items are asked)
    // The item has no title (IsUntitled): the title field shows the first words of its text
    // (UseExcerptAsTitle), or kUntitledText without any, and the list greys it.
    bool untitled = false;
};

// Builds a row from an item's texts and its date as the recordset read it. A date whose
// status is valid but whose value has no calendar date counts as invalid. An untitled item
// (see IsUntitled) shows kUntitledText as its title.
CNewsRow MakeNewsRow(std::string_view title, std::string_view author, std::string_view source,
                     const CAdoDateValue& date, std::string_view channel, std::int64_t itemId = -1);

// An untitled row shows at most this many characters of its item's text as its title.
constexpr std::size_t kUntitledExcerptChars = 40;
// Puts the first words of `description` (its text without markup, kUntitledExcerptChars at
// most) into the title field of an untitled row; a titled row, or a description without text,
// keeps its title.
void UseExcerptAsTitle(CNewsRow& row, std::string_view description);

// Gives the row the time of day its item was published ("HH:MM:SS" as stored), and shows it
// (as HH:MM) after the date of a row of today or yesterday, where a day alone says too little.
// An empty or malformed time leaves the row as it is.
void SetTimeOfDay(CNewsRow& row, std::string_view time);

// The row's calendar date; -1, -1, -1 (and false) unless its date is valid.
bool RowDate(const CNewsRow& row, int* year, int* month, int* day);

// The age category of the row's date against today's clock, for painting: unlike the
// category name it moves on when the day does.
NewsAge RowAgeCategory(const CNewsRow& row);

// The text of `column` (NewsColumn); empty for any other number.
std::string_view NewsRowColumnText(const CNewsRow& row, int column);

// The folder list's order: rows with a valid date first, newer calendar days first, then
// the channel name ascending ignoring ASCII case. A strict weak order; rows equal in all of
// these compare equal.
bool NewsRowBefore(const CNewsRow& a, const CNewsRow& b);
