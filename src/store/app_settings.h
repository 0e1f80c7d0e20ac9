#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

// The settings that sysdata.dat has no room for, in data/settings.conf: one "key = value" a
// line, "#" starts a comment, written whole (and atomically) by Save. sysdata.dat keeps its
// 52 bytes for the builds that read it.
//
// A key is declared once, as a constant of its kind with its name, its default and its
// range (see kUpdateIntervalMinutes); that line is all a new key needs. A value that is
// missing, not understood or out of range reads as the default, so a damaged file costs
// the values it garbles and nothing else. Lines of keys this build does not know are kept
// and written back, so a newer build's settings survive a run of an older one.
//
// Thread rule: any thread may read or set values; the values are guarded by m_mutex. Load
// and Save are called by the store's start-up and shutdown.
class CAppSettings {
public:
    struct IntKey {
        const char* name;
        int defaultValue;
        int minimum;
        int maximum;
    };
    struct TextKey {
        const char* name;
        const char* defaultValue;
    };

    // "自动更新间隔（分钟）": minutes between timed updates; 0 turns them off.
    static constexpr IntKey kUpdateIntervalMinutes{"update.interval_minutes", 30, 0, 1440};
    // "自动清理：删除早于 N 天的新闻" (off unless turned on), its N, and "保留未读新闻" (on).
    static constexpr IntKey kAutoClean{"clean.auto", 0, 0, 1};
    static constexpr IntKey kCleanDays{"clean.days", 90, 1, 36500};
    static constexpr IntKey kCleanKeepUnread{"clean.keep_unread", 1, 0, 1};
    // The local day (YYYY-MM-DD) of the last automatic clean-up: it runs once a day at most,
    // since compacting rewrites the whole file.
    static constexpr TextKey kLastAutoCleanDay{"clean.last_auto_day", ""};

    int Get(const IntKey& key) const;
    void Set(const IntKey& key, int value);  // brought into the key's range
    std::string Get(const TextKey& key) const;
    // A value is one line: line breaks become blanks. It must hold no "#", which would start a
    // comment in the file.
    void Set(const TextKey& key, std::string_view value);

    // Replaces every value with the file's (defaults for those it lacks); a missing or
    // unreadable file gives the defaults.
    void Load(const std::string& path);
    // Writes every value set or read from the file (those of unknown keys among them),
    // replacing the file whole. False when it could not be written, with the system's reason
    // (an errno value) in `errorNumber` (may be null).
    bool Save(const std::string& path, int* errorNumber = nullptr) const;

    // The file's text for the values (what Save writes) and the values of a text (Load).
    std::string ToText() const;
    void FromText(std::string_view text);

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_values;  // guarded by m_mutex
};
