#include "store/sys_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "base/file_descriptor.h"

namespace {

constexpr std::int32_t kDefaults[CSysData::kFieldCount] = {
    50,          // items per page
    5,           // maximum pages
    30,          // retention days
    0,           // search engine
    0x00FA6464,  // today
    0x00FA64FA,  // yesterday
    0x00DCFADC,  // this week
    0x00FAC896,  // last week
    0x00B432FA,  // this month
    0x00DCDC96,  // last month
    0x00C896FA,  // this year
    0x00F0FA96,  // early
    0x00DCDCDC,  // spare
};

}  // namespace

void CSysData::ResetToDefaults() {
    for (int i = 0; i < kFieldCount; ++i) {
        Set(i, kDefaults[i]);
    }
}

void CSysData::CopyFrom(const CSysData& other) {
    for (int i = 0; i < kFieldCount; ++i) {
        Set(i, other.Get(i));
    }
}

std::uint32_t CSysData::CategoryColour(int slot) const {
    if (slot < 0 || slot >= kCategoryCount) {
        return 0;
    }
    return static_cast<std::uint32_t>(Get(kFirstColour + slot));
}

void CSysData::SetCategoryColour(int slot, std::uint32_t colour) {
    if (slot >= 0 && slot < kCategoryCount) {
        Set(kFirstColour + slot, static_cast<std::int32_t>(colour));
    }
}

CSysData::Bytes CSysData::ToBytes() const {
    Bytes bytes{};
    for (int i = 0; i < kFieldCount; ++i) {
        const auto value = static_cast<std::uint32_t>(Get(i));
        for (int b = 0; b < 4; ++b) {
            bytes[static_cast<std::size_t>(i * 4 + b)] =
                static_cast<unsigned char>(value >> (8 * b));
        }
    }
    return bytes;
}

void CSysData::ClampToSaneRanges() {
    SetItemsPerPage(std::clamp(ItemsPerPage(), kMinItemsPerPage, kMaxItemsPerPage));
    SetMaxPages(std::clamp(MaxPages(), kMinMaxPages, kMaxMaxPages));
    SetRetentionDays(std::clamp(RetentionDays(), kMinRetentionDays, kMaxRetentionDays));
    if (SearchEngine() < 0 || SearchEngine() >= kEngineCount) {
        SetSearchEngine(0);
    }
}

void CSysData::OverlayBytes(const unsigned char* bytes, std::size_t size) {
    Bytes image = ToBytes();
    for (std::size_t i = 0; i < size && i < kFileSize; ++i) {
        image[i] = bytes[i];
    }
    for (int i = 0; i < kFieldCount; ++i) {
        std::uint32_t value = 0;
        for (int b = 3; b >= 0; --b) {
            value = (value << 8) | image[static_cast<std::size_t>(i * 4 + b)];
        }
        Set(i, static_cast<std::int32_t>(value));
    }
}

void ReadSettingsFile(const std::string& path, CSysData* settings) {
    CSysData loaded;  // defaults
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() >= 0) {
        unsigned char buffer[CSysData::kFileSize];
        std::size_t total = 0;
        while (total < sizeof buffer) {
            const ssize_t got = ::read(file.get(), buffer + total, sizeof buffer - total);
            if (got <= 0) {
                break;
            }
            total += static_cast<std::size_t>(got);
        }
        loaded.OverlayBytes(buffer, total);
        loaded.ClampToSaneRanges();
    }
    settings->CopyFrom(loaded);
}

bool WriteSettingsFile(const std::string& path, const CSysData& settings) {
    const CSysData::Bytes bytes = settings.ToBytes();
    // No O_CREAT and no O_TRUNC: a missing file stays missing, bytes after the 52nd stay.
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::pwrite(file.get(), bytes.data() + written, bytes.size() - written,
                                     static_cast<off_t>(written));
        if (put <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(put);
    }
    return true;
}
