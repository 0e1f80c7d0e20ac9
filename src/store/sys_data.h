#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// The settings record: thirteen 32-bit fields, stored as 52 little-endian bytes with no
// header in data/sysdata.dat.
//
// Thread rule: one instance lives in the program's store for the whole run; the window thread
// writes fields (the settings dialogs) while worker threads read them. Every field is a relaxed
// atomic, so a reader sees either the old or the new value of a field, never a mix.
class CSysData {
public:
    static constexpr int kFieldCount = 13;
    static constexpr std::size_t kFileSize = 52;
    static constexpr int kCategoryCount = 8;

    using Bytes = std::array<unsigned char, kFileSize>;

    CSysData() { ResetToDefaults(); }
    CSysData(const CSysData& other) { CopyFrom(other); }
    CSysData& operator=(const CSysData& other) {
        CopyFrom(other);
        return *this;
    }

    void ResetToDefaults();
    void CopyFrom(const CSysData& other);

    // The sane range of each numeric setting. Outside it a value can only do harm: a search
    // pass of two billion pages runs for days, a retention too long for the calendar fails
    // every count, an engine index outside the table has no address.
    static constexpr int kMinItemsPerPage = 1;
    static constexpr int kMaxItemsPerPage = 100;
    static constexpr int kMinMaxPages = 0;  // 0: no search pages; subscribed feeds still come
    static constexpr int kMaxMaxPages = 100;
    static constexpr int kMinRetentionDays = 1;
    static constexpr int kMaxRetentionDays = 36500;
    static constexpr int kEngineCount = 4;
    // Brings items per page, maximum pages and retention days into their ranges (the nearer
    // end); a search engine outside 0 to 3 becomes 0. Colours are left as they are.
    void ClampToSaneRanges();

    // "新闻每页条目": results asked for per search-result page.
    int ItemsPerPage() const { return Get(kItemsPerPage); }
    void SetItemsPerPage(int value) { Set(kItemsPerPage, value); }
    // "新闻最大页码": result pages per keyword, and passes over the subscribed feeds.
    int MaxPages() const { return Get(kMaxPages); }
    void SetMaxPages(int value) { Set(kMaxPages, value); }
    // "新闻保留时间": only items newer than this many days are listed and counted.
    int RetentionDays() const { return Get(kRetentionDays); }
    void SetRetentionDays(int value) { Set(kRetentionDays, value); }
    // "新闻当前频道": 0 Baidu, 1 Google, 2 Yahoo, 3 Sogou.
    int SearchEngine() const { return Get(kSearchEngine); }
    void SetSearchEngine(int value) { Set(kSearchEngine, value); }

    // Colour references (red in the lowest byte, then green, then blue) of the eight age
    // categories in stored order: slot 0 today ... slot 6 this year, slot 7 early.
    std::uint32_t CategoryColour(int slot) const;
    void SetCategoryColour(int slot, std::uint32_t colour);
    // Loaded and written back like the others; nothing reads it.
    std::uint32_t SpareColour() const { return static_cast<std::uint32_t>(Get(kSpareColour)); }

    Bytes ToBytes() const;
    // Overlays the first `size` bytes (at most 52) on the record, byte for byte; the rest
    // keeps its values.
    void OverlayBytes(const unsigned char* bytes, std::size_t size);

private:
    enum Field {
        kItemsPerPage = 0,
        kMaxPages = 1,
        kRetentionDays = 2,
        kSearchEngine = 3,
        kFirstColour = 4,
        kSpareColour = 12,
    };

    int Get(int field) const { return m_fields[field].load(std::memory_order_relaxed); }
    void Set(int field, int value) { m_fields[field].store(value, std::memory_order_relaxed); }

    std::array<std::atomic<std::int32_t>, kFieldCount> m_fields;
};

// Reads up to 52 bytes of `path` over the defaults: a missing or unreadable file gives the
// defaults, a short one overrides only what it covers, bytes after the 52nd are ignored.
void ReadSettingsFile(const std::string& path, CSysData* settings);
// Writes the 52 bytes at the start of the existing file `path`, without truncating it.
// A missing file is never created. Returns whether the bytes were written.
bool WriteSettingsFile(const std::string& path, const CSysData& settings);
