#include "store/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "feeds/feed_store.h"
#include "feeds/search_template.h"
#include "feeds/search_url.h"
#include "feeds/services_config.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace fs = std::filesystem;

namespace {

// Every file below `folder` with its size and a hash of its contents (a readable failure).
std::map<std::string, std::pair<std::size_t, std::size_t>> Snapshot(const TempDataFolder& folder) {
    std::map<std::string, std::pair<std::size_t, std::size_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path())) {
        if (entry.is_regular_file()) {
            const std::string relative = fs::relative(entry.path(), folder.Path()).string();
            const std::string contents = folder.ReadFile(relative);
            files[relative] = {contents.size(), std::hash<std::string>()(contents)};
        }
    }
    return files;
}

std::string Template() {
    return fs::path(SeedDataPath("schema.sql")).parent_path().string();
}

std::string ReadSeed(const std::string& name) {
    std::ifstream in(SeedDataPath(name), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// Sets or clears an environment variable for one test and puts the old value back after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

TEST(DataFolder, ANewFolderIsLaidOutFromTheTemplateAndAStoreOpensIt) {
    TempDataFolder parent;
    const std::string folder = parent.File("deep/new/quillon");
    const DataFolderStatus status = LayOutDataFolder(folder, Template());
    ASSERT_TRUE(status.Ok()) << DescribeDataFolderStatus(status);

    EXPECT_EQ(parent.ReadFile("deep/new/quillon/data/sysdata.dat"), ReadSeed("sysdata.dat"));
    EXPECT_EQ(parent.ReadFile("deep/new/quillon/data/services.conf"), ReadSeed("services.conf"));
    EXPECT_EQ(parent.ReadFile("deep/new/quillon/document/keywordlist.xml"),
              ReadSeed("document/keywordlist.xml"));
    EXPECT_EQ(QueryRows(folder + "/data/data.dat",
                        "select name from sqlite_master where type = 'table' and name not like "
                        "'item_search_%' order by name"),
              (Rows{{"channel"},
                    {"channel_cleaned"},
                    {"feed_validator"},
                    {"item"},
                    {"item_colour"},
                    {"item_hidden"},
                    {"item_search"},
                    {"item_star"},
                    {"item_unread"},
                    {"news_rule"},
                    {"opml"},
                    {"source_status"},
                    {"sync_applying"},
                    {"sync_category"},
                    {"sync_feed"},
                    {"sync_item"},
                    {"sync_queue"},
                    {"sync_state"},
                    {"sync_unsubscribe"}}));

    CFeedStore store(folder);
    ASSERT_TRUE(store.Open()) << store.LastError();
    store.Close();

    // It searches with addresses that answer today: the four templates are active, and the
    // settings choose the Google slot, Google News' RSS search in Chinese.
    ServicesConfig services;
    EXPECT_TRUE(services.LoadFile(folder + "/data/services.conf").empty());
    for (const char* key : {"search.baidu", "search.google", "search.yahoo", "search.sogou"}) {
        EXPECT_TRUE(IsSearchTemplate(services.SearchTemplate(key))) << key;
    }
    const std::string google = services.SearchTemplate("search.google");
    EXPECT_TRUE(google.starts_with("https://news.google.com/rss/search?q={word}")) << google;
    EXPECT_NE(google.find("hl=zh-CN"), std::string::npos) << google;
    store.LoadSettings();
    EXPECT_EQ(store.Settings().SearchEngine(), kEngineGoogle);
    // Nothing else was left behind: no temporary files.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files += entry.is_regular_file();
    }
    EXPECT_EQ(files, 4u);
}

TEST(DataFolder, FilesThatExistAreNeverTouchedAndOnlyMissingOnesAreAdded) {
    TempDataFolder folder;
    folder.CreateDatabase();
    ExecSql(folder.File("data/data.dat"), "insert into channel (ID, rss_title) values (1, 'x')");
    folder.WriteFile("data/sysdata.dat", "mine");
    folder.WriteFile("document/keywordlist.xml", "<KEYWORDTREE/>");
    const auto before = Snapshot(folder);

    ASSERT_TRUE(LayOutDataFolder(folder.Path(), Template()).Ok());
    auto after = Snapshot(folder);
    EXPECT_EQ(folder.ReadFile("data/services.conf"), ReadSeed("services.conf"));
    after.erase("data/services.conf");
    EXPECT_EQ(after, before);

    // A complete folder needs no template at all.
    EXPECT_TRUE(LayOutDataFolder(folder.Path(), "").Ok());
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"), "select rss_title from channel"),
              (Rows{{"x"}}));
}

TEST(DataFolder, AnUnusableDatabaseIsRefusedAndTheFolderLeftAsItWas) {
    struct Case {
        const char* name;
        std::function<void(const TempDataFolder&)> make;
        DataFolderFault fault;
        const char* detail;
    };
    const Case cases[] = {
        {"empty", [](const TempDataFolder& f) { f.WriteFile("data/data.dat", ""); },
         DataFolderFault::kDatabaseEmpty, ""},
        {"not a database",
         [](const TempDataFolder& f) { f.WriteFile("data/data.dat", "hello, world"); },
         DataFolderFault::kDatabaseUnreadable, "not a database"},
        {"lacking tables",
         [](const TempDataFolder& f) {
             f.CreateDatabase();
             ExecSql(f.File("data/data.dat"), "drop table item; drop table opml");
         },
         DataFolderFault::kDatabaseLacksTables, "item, opml"},
        {"a folder", [](const TempDataFolder& f) { fs::create_directory(f.File("data/data.dat")); },
         DataFolderFault::kDatabaseUnreadable, "folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDataFolder folder;
        fs::remove(folder.File("document"));
        c.make(folder);
        const auto before = Snapshot(folder);
        const DataFolderStatus status = LayOutDataFolder(folder.Path(), Template());
        EXPECT_EQ(status.fault, c.fault);
        EXPECT_EQ(status.path, folder.File("data/data.dat"));
        EXPECT_NE(status.detail.find(c.detail), std::string::npos) << status.detail;
        EXPECT_NE(DescribeDataFolderStatus(status).find(folder.File("data/data.dat")),
                  std::string::npos);
        EXPECT_EQ(Snapshot(folder), before);
        EXPECT_FALSE(folder.Exists("document"));
    }
}

TEST(DataFolder, WithoutATemplateOrAPlaceForTheFolderItFailsAndSaysWhy) {
    TempDataFolder folder;
    DataFolderStatus status = LayOutDataFolder(folder.Path(), "");
    EXPECT_EQ(status.fault, DataFolderFault::kNoTemplate);
    EXPECT_FALSE(folder.Exists("data/data.dat"));

    TempDataFolder partial;
    partial.CopySeed("schema.sql", "schema.sql");
    status = LayOutDataFolder(folder.Path(), partial.Path());
    EXPECT_EQ(status.fault, DataFolderFault::kNoTemplate);
    EXPECT_EQ(status.path, folder.File("data/sysdata.dat"));

    folder.WriteFile("blocked", "a file where a folder should be");
    status = LayOutDataFolder(folder.File("blocked/quillon"), Template());
    EXPECT_EQ(status.fault, DataFolderFault::kCannotCreateFolder);

    EXPECT_EQ(LayOutDataFolder("", Template()).fault, DataFolderFault::kNoFolder);
}

TEST(DataFolder, TheEnvironmentNamesTheFolder) {
    ScopedEnvironment home("HOME", "/home/someone");
    {
        ScopedEnvironment data("QUILLON_DATA", nullptr);
        ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(DefaultDataFolder(), "/home/someone/.local/share/quillon");
    }
    {
        ScopedEnvironment data("QUILLON_DATA", "");
        ScopedEnvironment xdg("XDG_DATA_HOME", "/xdg");
        EXPECT_EQ(DefaultDataFolder(), "/xdg/quillon");
    }
    {
        // The XDG rules ignore a relative XDG_DATA_HOME.
        ScopedEnvironment data("QUILLON_DATA", nullptr);
        ScopedEnvironment xdg("XDG_DATA_HOME", "relative");
        EXPECT_EQ(DefaultDataFolder(), "/home/someone/.local/share/quillon");
    }
    {
        ScopedEnvironment data("QUILLON_DATA", "/chosen/folder");
        ScopedEnvironment xdg("XDG_DATA_HOME", "/xdg");
        EXPECT_EQ(DefaultDataFolder(), "/chosen/folder");
    }
    {
        ScopedEnvironment data("QUILLON_DATA", "chosen/../here");
        EXPECT_EQ(DefaultDataFolder(), (fs::current_path() / "here").string());
    }
}

TEST(DataFolder, TheTemplateIsFoundBesideAnInstalledProgramElseInTheSourceTree) {
    // This test program lies in the build tree: the repository's data/ is its template.
    EXPECT_EQ(FindDataTemplate(), Template());

    TempDataFolder prefix;
    const fs::path bin = fs::path(prefix.Path()) / "bin";
    const fs::path share = (bin / QUILLON_TEMPLATE_FROM_BINDIR).lexically_normal();
    fs::create_directories(share);
    prefix.CopySeed("schema.sql", fs::relative(share / "schema.sql", prefix.Path()).string());
    EXPECT_EQ(FindDataTemplate((bin / "quillon").string()), share.string());

    // An unknown program place never makes the search depend on the current directory.
    const fs::path start = fs::current_path();
    fs::create_directories(bin);
    fs::current_path(bin);
    const std::string unknown = FindDataTemplate("");
    fs::current_path(start);
    EXPECT_TRUE(unknown.empty() || fs::path(unknown).is_absolute()) << unknown;
    EXPECT_NE(fs::path(unknown), share);
}
