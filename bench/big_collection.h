#pragma once

#include <map>
#include <string>

// A user with a big collection: 50 folders of 10 channels under the root (551 tree nodes)
// and 200 000 stored items (or as many as asked) spread unevenly over the channels and over
// the last year, with titles and descriptions of Chinese and English news text
// (news_text.h).
struct BigCollection {
    static constexpr int kFolders = 50;
    static constexpr int kChannelsPerFolder = 10;
    static constexpr int kItems = 200000;
    static constexpr int kRetentionDays = 30;  // the default setting

    // The label every node must end with: "name|count", keyed by the node's name.
    std::map<std::string, std::string> finalLabels;
};

// Lays out a data folder at `folder` (tree file, database of `items` items, services
// pointing at a closed port on 127.0.0.1 so that every fetch fails at once) and returns the
// final labels, counted from the generated dates and the default retention period. The
// filled database is cached beside the folder (shared by the folders of one parent), so a
// second run copies it instead of filling it again. `schemaPath` makes the database of another
// schema (an earlier build's).
BigCollection MakeBigCollection(const std::string& folder, int items = BigCollection::kItems,
                                const std::string& schemaPath = QUILLON_SCHEMA_PATH);

// The folder and channel names of the collection.
std::string BigCollectionFolderName(int folder);
std::string BigCollectionChannelName(int folder, int channel);
