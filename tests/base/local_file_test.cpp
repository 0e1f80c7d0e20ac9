#include "base/local_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_data_folder.h"

namespace {

TEST(LocalFile, ReadsARegularFileWhole) {
    TempDataFolder folder;
    const std::string bytes = std::string("<rss>\0</rss>", 12) + std::string(200000, 'x');
    folder.WriteFile("feed.xml", bytes);
    const LocalFile file = ReadLocalFile(folder.File("feed.xml"), bytes.size());
    ASSERT_TRUE(file.ok()) << file.error;
    EXPECT_EQ(file.bytes, bytes);
    EXPECT_EQ(file.error, "");
}

TEST(LocalFile, RefusesWhatIsNotAWholeRegularFileWithinItsLimit) {
    TempDataFolder folder;
    folder.WriteFile("big.xml", std::string(1001, 'b'));
    ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
    const struct {
        std::string path;
        LocalFile::Outcome outcome;
    } kCases[] = {
        {folder.File("missing.xml"), LocalFile::kMissing},
        {folder.File("missing/inside.xml"), LocalFile::kMissing},
        {folder.File("big.xml"), LocalFile::kTooLarge},
        {folder.File("data"), LocalFile::kNotRegular},
        // A named pipe with no writer would block a plain open for ever.
        {folder.File("pipe"), LocalFile::kNotRegular},
        {"/dev/zero", LocalFile::kNotRegular},
    };
    for (const auto& c : kCases) {
        const LocalFile file = ReadLocalFile(c.path, 1000);
        EXPECT_EQ(file.outcome, c.outcome) << c.path;
        EXPECT_TRUE(file.bytes.empty()) << c.path;
        EXPECT_NE(file.error.find(c.path), std::string::npos) << file.error;
    }
    EXPECT_EQ(ReadLocalFile(folder.File("big.xml"), 1001).outcome, LocalFile::kRead);
}

TEST(LocalFile, AnUnreadableFileAndASetStopFlagReadNothing) {
    TempDataFolder folder;
    folder.WriteFile("feed.xml", "<rss/>");
    const std::atomic<bool> stop{true};
    EXPECT_EQ(ReadLocalFile(folder.File("feed.xml"), 100, &stop).outcome, LocalFile::kAbandoned);
    if (::geteuid() != 0) {  // root reads whatever the permissions say
        std::filesystem::permissions(folder.File("feed.xml"), std::filesystem::perms::none);
        EXPECT_EQ(ReadLocalFile(folder.File("feed.xml"), 100).outcome, LocalFile::kUnreadable);
    }
}

}  // namespace
