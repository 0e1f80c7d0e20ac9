// The settings beside sysdata.dat: data/settings.conf, read with defaults, written whole.

#include "store/app_settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "feeds/feed_store.h"
#include "support/temp_data_folder.h"

namespace {

constexpr CAppSettings::IntKey kInterval = CAppSettings::kUpdateIntervalMinutes;

}  // namespace

// Whatever the file holds, a value reads as itself when it is one, else as its default.
TEST(AppSettings, AValueThatIsMissingDamagedOrOutOfRangeReadsAsItsDefault) {
    struct Case {
        const char* file;
        int want;
    };
    const Case cases[] = {
        {"", 30},
        {"update.interval_minutes = 5\n", 5},
        {"  update.interval_minutes=0  # off\n", 0},
        {"update.interval_minutes = 1440\r\n", 1440},
        {"update.interval_minutes = 1441\n", 30},
        {"update.interval_minutes = -1\n", 30},
        {"update.interval_minutes = 5 minutes\n", 30},
        {"update.interval_minutes =\n", 30},
        {"update.interval_minutes 5\n", 30},
        {"\x01\xff\xfe garbage\n\nupdate.interval_minutes = 12\n", 12},
        {"update.interval_minutes = 7\nupdate.interval_minutes = 9\n", 9},
    };
    for (const Case& c : cases) {
        CAppSettings settings;
        settings.FromText(c.file);
        EXPECT_EQ(settings.Get(kInterval), c.want) << c.file;
    }
}

// The store reads the file at start and writes it at exit; sysdata.dat keeps its 52 bytes
// for older builds, and keys this build does not know survive.
TEST(AppSettings, TheStoreKeepsThemInTheirOwnFileBesideTheRecord) {
    TempDataFolder folder;
    folder.CopySeed("sysdata.dat", "data/sysdata.dat");
    const std::string record = folder.ReadFile("data/sysdata.dat");
    folder.WriteFile("data/settings.conf",
                     "# mine\nlayout.future = 3,4\nupdate.interval_minutes = 45\n");
    {
        CFeedStore store(folder.Path());
        store.LoadSettings();
        EXPECT_EQ(store.MoreSettings().Get(kInterval), 45);
        store.MoreSettings().Set(kInterval, 5000);  // brought into range
        EXPECT_EQ(store.MoreSettings().Get(kInterval), 1440);
        store.MoreSettings().Set(kInterval, 0);
        store.SaveSettings();
    }
    EXPECT_EQ(folder.ReadFile("data/sysdata.dat"), record);
    const std::string written = folder.ReadFile("data/settings.conf");
    EXPECT_NE(written.find("update.interval_minutes = 0\n"), std::string::npos) << written;
    EXPECT_NE(written.find("layout.future = 3,4\n"), std::string::npos) << written;

    CFeedStore again(folder.Path());
    again.LoadSettings();
    EXPECT_EQ(again.MoreSettings().Get(kInterval), 0);

    // A folder without the file: the defaults, and the file appears at exit.
    TempDataFolder fresh;
    CFeedStore store(fresh.Path());
    store.LoadSettings();
    EXPECT_EQ(store.MoreSettings().Get(kInterval), 30);
    store.SaveSettings();
    EXPECT_TRUE(fresh.Exists("data/settings.conf"));
    EXPECT_FALSE(fresh.Exists("data/sysdata.dat"));
}

// A settings file that cannot be written (a folder holds its name) is reported with its path
// and the system's reason, once for the store however often it is saved.
TEST(AppSettings, AFileThatCannotBeWrittenIsReportedOnce) {
    TempDataFolder folder;
    folder.WriteFile("data/settings.conf/blocker", "");
    CFeedStore store(folder.Path());
    std::vector<EngineReport> reports;
    store.SetReporter([&](const EngineReport& report) { reports.push_back(report); });
    store.LoadSettings();
    EXPECT_FALSE(store.SaveSettings());
    EXPECT_FALSE(store.SaveSettings());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].kind, EngineReport::kSettingsNotSaved);
    EXPECT_EQ(reports[0].detail, folder.File("data/settings.conf"));
    EXPECT_EQ(reports[0].errorNumber, EISDIR);
}
