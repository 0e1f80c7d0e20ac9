#include "big_collection.h"

#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "bench_database.h"
#include "news_text.h"
#include "store/search_index.h"

namespace fs = std::filesystem;

namespace {

constexpr char kRootName[] = "我的频道";
constexpr int kChannels = BigCollection::kFolders * BigCollection::kChannelsPerFolder;
constexpr int kDaysSpread = 365;

std::string FolderName(int folder) {
    return BigCollectionFolderName(folder);
}

std::string ChannelName(int folder, int channel) {
    return BigCollectionChannelName(folder, channel);
}

std::string IsoDaysAgo(std::time_t now, int days) {
    const std::time_t when = now - static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    localtime_r(&when, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

void WriteTreeFile(const fs::path& path) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
        "<NODETYPE>FOLDER</NODETYPE><TEXT>" +
        std::string(kRootName) + "</TEXT>";
    int id = 1;
    for (int f = 0; f < BigCollection::kFolders; ++f) {
        xml += "<KEYWORDNODE><ID>" + std::to_string(id++) +
               "</ID><NODETYPE>FOLDER</NODETYPE><TEXT>" + FolderName(f) + "</TEXT>";
        for (int c = 0; c < BigCollection::kChannelsPerFolder; ++c) {
            xml += "<KEYWORDNODE><ID>" + std::to_string(id++) +
                   "</ID><NODETYPE>KEY</NODETYPE><TEXT>" + ChannelName(f, c) +
                   "</TEXT></KEYWORDNODE>";
        }
        xml += "</KEYWORDNODE>";
    }
    xml += "</KEYWORDTREE>";
    std::ofstream(path, std::ios::binary) << xml;
}

// Channel c (0-based, folder c / 10) gets a share of the items that grows with its
// position in the folder, so counts differ widely; dates spread evenly over a year.
std::vector<int> FillDatabase(const std::string& path, std::time_t now, int items,
                              const std::string& schemaPath) {
    sqlite3* db = CreateDatabase(path, schemaPath);
    CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int c = 0; c < kChannels; ++c) {
        const std::string sql = "insert into channel (ID, rss_title, rss_link) values(" +
                                std::to_string(c + 1) + ", '" +
                                ChannelName(c / BigCollection::kChannelsPerFolder,
                                            c % BigCollection::kChannelsPerFolder) +
                                "', 'http://c.test/')";
        CheckSqlite(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "channel");
    }
    std::vector<int> weights;
    for (int c = 0; c < kChannels; ++c) {
        weights.push_back(1 + c % BigCollection::kChannelsPerFolder);
    }
    std::discrete_distribution<int> pickChannel(weights.begin(), weights.end());
    std::mt19937 random(13);
    sqlite3_stmt* insert = nullptr;
    CheckSqlite(sqlite3_prepare_v2(db,
                                   "insert into item (rss_channelID, rss_title, rss_link, "
                                   "rss_description, rss_author, rss_pubDate, rss_source) "
                                   "values(?, ?, 'http://news.test/item', ?, '记者', ?, 'source')",
                                   -1, &insert, nullptr),
                db, "prepare");
    NewsTextMaker text(29);
    std::vector<int> recent(kChannels, 0);
    for (int i = 0; i < items; ++i) {
        const int channel = pickChannel(random);
        const int daysAgo = static_cast<int>(random() % kDaysSpread);
        // Numbered, as no two titles of a channel may be the same.
        const std::string title = text.Title() + "（" + std::to_string(i) + "）";
        const std::string description = text.Description();
        const std::string date = IsoDaysAgo(now, daysAgo);
        sqlite3_bind_int(insert, 1, channel + 1);
        sqlite3_bind_text(insert, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, description.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, date.c_str(), -1, SQLITE_TRANSIENT);
        CheckSqlite(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
        // Counted when newer than the cut-off date, retention days before today.
        if (daysAgo < BigCollection::kRetentionDays) {
            ++recent[static_cast<std::size_t>(channel)];
        }
    }
    sqlite3_finalize(insert);
    // As the search indexer would have by now: the index holds every item (a schema without
    // the index has no queue, and this ends at once).
    while (IndexQueuedItems(db, kIndexBatchSize) > 0) {
    }
    CheckSqlite(
        sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr), db,
        "commit");
    sqlite3_close(db);
    return recent;
}

std::string Label(const std::string& name, int count) {
    return name + "|" + std::to_string(count);
}

BigCollection LabelsOf(const std::vector<int>& recent) {
    BigCollection collection;
    int total = 0;
    for (int f = 0; f < BigCollection::kFolders; ++f) {
        int sum = 0;
        for (int c = 0; c < BigCollection::kChannelsPerFolder; ++c) {
            const int count =
                recent[static_cast<std::size_t>(f * BigCollection::kChannelsPerFolder + c)];
            collection.finalLabels[ChannelName(f, c)] = Label(ChannelName(f, c), count);
            sum += count;
        }
        collection.finalLabels[FolderName(f)] = Label(FolderName(f), sum);
        total += sum;
    }
    collection.finalLabels[kRootName] = Label(kRootName, total);
    return collection;
}

}  // namespace

std::string BigCollectionFolderName(int folder) {
    return "文件夹" + std::to_string(folder);
}

std::string BigCollectionChannelName(int folder, int channel) {
    return "频道" + std::to_string(folder) + "-" + std::to_string(channel);
}

BigCollection MakeBigCollection(const std::string& folder, int items,
                                const std::string& schemaPath) {
    MakeDataFolder(folder);
    const fs::path base(folder);
    WriteTreeFile(base / "document" / "keywordlist.xml");
    std::ofstream(base / "data" / "services.conf")
        << "search.baidu = http://127.0.0.1:1\nsite.publisher = http://127.0.0.1:1\n";

    // The cache is per day: the recent counts depend on today's date; and per schema text, so
    // that a changed schema never reuses a file of the one before.
    const std::time_t now = std::time(nullptr);
    std::ostringstream schema;
    schema << std::ifstream(schemaPath).rdbuf();
    const std::size_t schemaHash = std::hash<std::string>{}(schema.str()) % 1'000'000;
    // Beside the folder, so that the folders of one benchmark share it.
    const fs::path cache =
        base.parent_path() /
        ("big-" + fs::path(schemaPath).stem().string() + "-" + std::to_string(schemaHash) + "-" +
         std::to_string(items) + "-" + IsoDaysAgo(now, 0) + ".dat");
    const fs::path counts = cache.string() + ".counts";
    std::vector<int> recent;
    if (!fs::exists(cache) || !fs::exists(counts)) {
        std::fprintf(stderr, "filling a database with %d items...\n", items);
        const fs::path filling = cache.string() + ".filling";
        fs::remove(filling);
        recent = FillDatabase(filling.string(), now, items, schemaPath);
        std::ofstream out(counts);
        for (int count : recent) {
            out << count << "\n";
        }
        out.close();
        fs::rename(filling, cache);
    } else {
        std::ifstream in(counts);
        for (int count = 0; in >> count;) {
            recent.push_back(count);
        }
    }
    const fs::path database = base / "data" / "data.dat";
    fs::remove(database);
    fs::remove(database.string() + "-wal");
    fs::remove(database.string() + "-shm");
    fs::copy_file(cache, database);
    return LabelsOf(recent);
}
