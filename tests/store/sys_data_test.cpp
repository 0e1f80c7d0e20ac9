#include "store/sys_data.h"

#include <gtest/gtest.h>

#include "feeds/feed_store.h"
#include "support/temp_data_folder.h"

namespace {

std::string LittleEndian(std::initializer_list<std::uint32_t> values) {
    std::string bytes;
    for (std::uint32_t v : values) {
        for (int b = 0; b < 4; ++b) {
            bytes.push_back(static_cast<char>((v >> (8 * b)) & 0xFF));
        }
    }
    return bytes;
}

void ExpectDefaults(const CSysData& s) {
    EXPECT_EQ(s.ItemsPerPage(), 50);
    EXPECT_EQ(s.MaxPages(), 5);
    EXPECT_EQ(s.RetentionDays(), 30);
    EXPECT_EQ(s.SearchEngine(), 0);
    const std::uint32_t colours[] = {0x00FA6464, 0x00FA64FA, 0x00DCFADC, 0x00FAC896,
                                     0x00B432FA, 0x00DCDC96, 0x00C896FA, 0x00F0FA96};
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(s.CategoryColour(slot), colours[slot]) << slot;
    }
    EXPECT_EQ(s.SpareColour(), 0x00DCDCDCu);
}

}  // namespace

TEST(SettingsFile, AMissingFileGivesDefaultsAndIsNeverCreated) {
    TempDataFolder folder;
    CFeedStore store(folder.Path());
    store.Settings().SetMaxPages(9);
    store.LoadSettings();
    ExpectDefaults(store.Settings());
    store.Settings().SetItemsPerPage(10);
    store.SaveSettings();
    EXPECT_FALSE(folder.Exists("data/sysdata.dat"));
}

TEST(SettingsFile, AShortFileOverridesOnlyWhatItCovers) {
    TempDataFolder folder;
    folder.WriteFile("data/sysdata.dat", LittleEndian({20, 2, 7, 1}));
    CFeedStore store(folder.Path());
    store.LoadSettings();
    EXPECT_EQ(store.Settings().ItemsPerPage(), 20);
    EXPECT_EQ(store.Settings().MaxPages(), 2);
    EXPECT_EQ(store.Settings().RetentionDays(), 7);
    EXPECT_EQ(store.Settings().SearchEngine(), 1);
    EXPECT_EQ(store.Settings().CategoryColour(0), 0x00FA6464u);
    store.SaveSettings();
    const std::string saved = folder.ReadFile("data/sysdata.dat");
    ASSERT_EQ(saved.size(), 52u);
    EXPECT_EQ(saved.substr(0, 16), LittleEndian({20, 2, 7, 1}));
    EXPECT_EQ(saved.substr(16, 4), LittleEndian({0x00FA6464}));
}

TEST(SettingsFile, APartlyCoveredFieldTakesItsBytesOverTheDefault) {
    TempDataFolder folder;
    folder.WriteFile("data/sysdata.dat", std::string("\x01\x00\x00\x00\x02", 5));
    CFeedStore store(folder.Path());
    store.LoadSettings();
    EXPECT_EQ(store.Settings().ItemsPerPage(), 1);
    EXPECT_EQ(store.Settings().MaxPages(), 2);  // low byte 2 over the default 5's zeros
    EXPECT_EQ(store.Settings().RetentionDays(), 30);
}

TEST(SettingsFile, BytesAfterTheFiftySecondAreKept) {
    TempDataFolder folder;
    std::string contents(52, '\0');
    contents += "TRAILING";
    contents.replace(0, 4, LittleEndian({77}));
    folder.WriteFile("data/sysdata.dat", contents);
    CFeedStore store(folder.Path());
    store.LoadSettings();
    EXPECT_EQ(store.Settings().ItemsPerPage(), 77);
    EXPECT_EQ(store.Settings().CategoryColour(3), 0u);
    store.Settings().SetSearchEngine(3);
    store.Settings().SetCategoryColour(7, 0x00123456);
    store.SaveSettings();
    const std::string saved = folder.ReadFile("data/sysdata.dat");
    ASSERT_EQ(saved.size(), 60u);
    EXPECT_EQ(saved.substr(52), "TRAILING");
    EXPECT_EQ(saved.substr(12, 4), LittleEndian({3}));
    EXPECT_EQ(saved.substr(44, 4), LittleEndian({0x00123456}));

    CFeedStore reloaded(folder.Path());
    reloaded.LoadSettings();
    EXPECT_EQ(reloaded.Settings().SearchEngine(), 3);
    EXPECT_EQ(reloaded.Settings().ItemsPerPage(), 77);
}

// A new data folder searches with the Google slot, whose template answers today; every other
// setting is the record's default.
TEST(SettingsFile, TheSeedFileHoldsTheDefaultsButTheGoogleSlot) {
    TempDataFolder folder;
    folder.CopySeed("sysdata.dat", "data/sysdata.dat");
    EXPECT_EQ(folder.ReadFile("data/sysdata.dat").size(), 52u);
    CFeedStore store(folder.Path());
    store.Settings().SetRetentionDays(1);
    store.LoadSettings();
    EXPECT_EQ(store.Settings().SearchEngine(), 1);
    store.Settings().SetSearchEngine(0);
    ExpectDefaults(store.Settings());
}

TEST(SettingsFile, ValuesOutsideTheirRangesAreBroughtIntoThemWhenRead) {
    struct Case {
        std::uint32_t items, pages, retention, engine;  // as stored
        int wantItems, wantPages, wantRetention, wantEngine;
    };
    const Case cases[] = {
        {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 4, 100, 100, 36500, 0},
        {0, 0, 0, 0xFFFFFFFF, 1, 0, 1, 0},
        {0x80000000, 0xFFFFFFFF, 0xFFFFFFF6, 3, 1, 0, 1, 3},
        {100, 100, 36500, 2, 100, 100, 36500, 2},
    };
    for (const Case& c : cases) {
        TempDataFolder folder;
        folder.WriteFile("data/sysdata.dat",
                         LittleEndian({c.items, c.pages, c.retention, c.engine}));
        CFeedStore store(folder.Path());
        store.LoadSettings();
        EXPECT_EQ(store.Settings().ItemsPerPage(), c.wantItems);
        EXPECT_EQ(store.Settings().MaxPages(), c.wantPages);
        EXPECT_EQ(store.Settings().RetentionDays(), c.wantRetention);
        EXPECT_EQ(store.Settings().SearchEngine(), c.wantEngine);
    }
}
