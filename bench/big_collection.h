#pragma once

#include <map>
#include <string>

// A user with a big collection: 50 folders of 10 channels under the root (551 tree nodes)
// and 200 000 stored items spread unevenly over the channels and over the last year.
struct BigCollection {
    static constexpr int kFolders = 50;
    static constexpr int kChannelsPerFolder = 10;
    static constexpr int kItems = 200000;
    static constexpr int kRetentionDays = 30;  // the default setting

    // The label every node must end with: "name|count", keyed by the node's name.
    std::map<std::string, std::string> finalLabels;
};

// Lays out a data folder at `folder` (tree file, database, services pointing at a closed
// port on 127.0.0.1 so that every fetch fails at once) and returns the final labels,
// counted from the generated dates and the default retention period. The filled database is
// cached beside the folder, so a second run copies it instead of filling it again.
BigCollection MakeBigCollection(const std::string& folder);
