#include "feeds/feed_store.h"

#include <filesystem>
#include <system_error>

namespace {

std::string CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

}  // namespace

CFeedStore theStore;

CFeedStore::CFeedStore() : CFeedStore(CurrentDirectory()) {}

CFeedStore::CFeedStore(std::string startDirectory) : m_startDirectory(std::move(startDirectory)) {
    SetConnectionString(DataPath("data/data.dat"));
}

CFeedStore::~CFeedStore() {
    Close();
}

std::string CFeedStore::DataPath(std::string_view relative) const {
    return (std::filesystem::path(m_startDirectory) / relative).string();
}

void CFeedStore::LoadSettings() {
    ReadSettingsFile(DataPath("data/sysdata.dat"), &m_settings);
}

void CFeedStore::SaveSettings() {
    WriteSettingsFile(DataPath("data/sysdata.dat"), m_settings);
}
