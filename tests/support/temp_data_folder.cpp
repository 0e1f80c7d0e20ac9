#include "support/temp_data_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "store/search_index.h"
#include "store/sys_data.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

std::string TestDataPath(std::string_view relative) {
    return (fs::path(QUILLON_TEST_DATA_DIR) / relative).string();
}

std::string SeedDataPath(std::string_view relative) {
    return (fs::path(QUILLON_SEED_DATA_DIR) / relative).string();
}

std::string ReadTestData(std::string_view relative) {
    return Slurp(TestDataPath(relative));
}

TempDataFolder::TempDataFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillon-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    m_path = pattern;
    fs::create_directories(fs::path(m_path) / "data");
    fs::create_directories(fs::path(m_path) / "document");
}

TempDataFolder::~TempDataFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string TempDataFolder::File(std::string_view relative) const {
    return (fs::path(m_path) / relative).string();
}

void TempDataFolder::CreateDatabase() const {
    CreateDatabaseWith(Slurp(SeedDataPath("schema.sql")));
}

void TempDataFolder::CreateDatabaseWith(const std::string& schema) const {
    sqlite3* db = nullptr;
    const std::string path = File("data/data.dat");
    ASSERT_EQ(
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
        SQLITE_OK);
    std::string installFailure;
    EXPECT_TRUE(InstallSearchIndex(db, &installFailure)) << installFailure;
    char* error = nullptr;
    const int rc = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

void TempDataFolder::CopySeed(std::string_view seedName, std::string_view destination) const {
    fs::copy_file(SeedDataPath(seedName), File(destination), fs::copy_options::overwrite_existing);
}

void TempDataFolder::CopySeedSettings(int engine) const {
    std::string bytes = Slurp(SeedDataPath("sysdata.dat"));
    ASSERT_GE(bytes.size(), 16u);
    for (int b = 0; b < 4; ++b) {
        bytes[static_cast<std::size_t>(12 + b)] = static_cast<char>((engine >> (8 * b)) & 0xFF);
    }
    WriteFile("data/sysdata.dat", bytes);
}

void TempDataFolder::WriteSettings(int engine, int maxPages) const {
    CSysData settings;
    settings.SetSearchEngine(engine);
    settings.SetMaxPages(maxPages);
    const CSysData::Bytes bytes = settings.ToBytes();
    WriteFile("data/sysdata.dat",
              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TempDataFolder::WriteFile(std::string_view relative, std::string_view contents) const {
    const fs::path path = File(relative);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string TempDataFolder::ReadFile(std::string_view relative) const {
    return Slurp(File(relative));
}

bool TempDataFolder::Exists(std::string_view relative) const {
    return fs::exists(File(relative));
}
