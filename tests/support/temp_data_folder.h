#pragma once

#include <string>
#include <string_view>

// A data folder of its own for one test: data/ and document/ below a fresh directory in
// the system's temporary folder, removed with everything in it when the object dies.
// It has the layout the programs give a real one; tests fill in the files they need.
class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Absolute path of a file given relative to the folder, e.g. "data/data.dat".
    std::string File(std::string_view relative) const;

    // Creates data/data.dat from the seed schema. Aborts the test on failure.
    void CreateDatabase() const;
    // Creates data/data.dat from the statements `schema`.
    void CreateDatabaseWith(const std::string& schema) const;
    // Copies a file of the seed folder (the repository's data/), e.g. "sysdata.dat" or
    // "document/keywordlist.xml", to `destination` here, e.g. "data/sysdata.dat".
    void CopySeed(std::string_view seedName, std::string_view destination) const;
    // Writes data/sysdata.dat as the seed's, but searching with `engine` (the seed asks the
    // Google slot, whose built-in address is no local one).
    void CopySeedSettings(int engine = 0) const;
    // Writes data/sysdata.dat with the default settings but `engine` and `maxPages`.
    void WriteSettings(int engine, int maxPages) const;

    void WriteFile(std::string_view relative, std::string_view contents) const;
    std::string ReadFile(std::string_view relative) const;
    bool Exists(std::string_view relative) const;

private:
    std::string m_path;
};

// Reads a fixture below tests/data.
std::string ReadTestData(std::string_view relative);
std::string TestDataPath(std::string_view relative);
std::string SeedDataPath(std::string_view relative);
