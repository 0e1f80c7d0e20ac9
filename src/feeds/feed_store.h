#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/engine_report.h"
#include "feeds/feed_date.h"
#include "store/ado_connection.h"
#include "store/app_settings.h"
#include "store/keyword_tree_file.h"
#include "store/news_rules.h"
#include "store/sys_data.h"

class CSearchIndexer;
class UpdateEngine;

// The process-wide store object: the database connection, the settings record, the start
// directory (the data folder) under which every data file is found, and the update engine
// that fills the database.
class CFeedStore : public CAdoConnection {
public:
    // Takes the data folder the environment names (DefaultDataFolder) as the start directory;
    // it is not laid out or opened here.
    CFeedStore();
    explicit CFeedStore(std::string startDirectory);
    ~CFeedStore() override;

    CSysData& Settings() { return m_settings; }
    const CSysData& Settings() const { return m_settings; }
    // The settings beyond the record's 52 bytes (data/settings.conf).
    CAppSettings& MoreSettings() { return m_moreSettings; }
    const CAppSettings& MoreSettings() const { return m_moreSettings; }
    const std::string& StartDirectory() const { return m_startDirectory; }
    // start directory + "/" + relative, e.g. DataPath("data/data.dat").
    std::string DataPath(std::string_view relative) const;

    // Reads data/sysdata.dat into the settings (defaults where it has nothing), and
    // data/settings.conf into the settings beyond them.
    void LoadSettings();
    // Writes the settings into the existing data/sysdata.dat (never creating it), and those
    // beyond them into data/settings.conf (created when missing). False when a file could not
    // be written (a full disk, a folder in the file's place); the first such failure of the
    // store is reported (kSettingsNotSaved), later ones are not, so the user hears of it once.
    bool SaveSettings();

    // Loads the settings and data/services.conf (reporting every line it does not understand),
    // (re)opens the database and, with `startUpdate`, starts the update passes over the
    // keyword list. False when the database cannot be opened (LastError says why): then no
    // pass runs. A second call stops the passes of the first before starting new ones.
    bool Startup(bool startUpdate = true);
    // Saves the settings, then stops the passes (fetches in flight are abandoned) and waits
    // for every engine thread to end.
    void Shutdown();
    // Fetches page 0 of the keyword's search feed and its subscribed feeds once more and
    // stores what is new; returns at once. The channel's failing and gone sources are tried
    // again (UpdateEngine::RefreshChannel).
    void RefreshChannel(const std::string& keyword);
    // Starts an update of every channel, as at start, unless one runs or the database is not
    // open.
    enum class UpdateStart { kStarted, kAlreadyRunning, kNoDatabase };
    UpdateStart UpdateAll();
    // Appends a channel keyword to the list the passes fetch.
    void AddKeyword(const std::string& keyword, bool searchName = true);
    // Replaces that list: the tree's channels once it changed, so that updates fetch no
    // channel that was deleted or renamed.
    void SetKeywords(std::vector<ChannelKeyword> channels);

    // The thread that takes stored news into the search index; runs from Startup to Shutdown,
    // unless SetIndexInBackground(false) came first: a short-lived tool leaves the queue to
    // the next search, which indexes it first, or to the window.
    CSearchIndexer& Indexer() { return *m_indexer; }
    void SetIndexInBackground(bool indexInBackground) { m_indexInBackground = indexInBackground; }

    // `listener` is called on an engine thread each time a feed has added news to the
    // database or a source's outcome was recorded, with the channel; with channel "" when
    // news of any channel may have changed. Null: nobody is told. It must return promptly and must
    // not call back into the store. Once this returns, the previous listener is not running and is
    // not called again.
    void SetNewsStoredListener(std::function<void(std::string_view channel)> listener);
    // Tells the listener; called by the engine's threads. `channel` "": any channel's.
    void NotifyNewsStored(std::string_view channel = {});
    void NotifySourceRecorded(std::string_view channel);

    // Where reports go (see EngineReport); none are made while no reporter is set. Set by the
    // window or the tool before Startup; may be replaced at any time.
    void SetReporter(EngineReporter reporter);
    // Hands `report` to the reporter, on the calling thread.
    void Report(const EngineReport& report) const;

    // Points the store at another data folder with an empty keyword list, as a fresh start
    // of the program would find it: for a folder chosen at start (the CLI's --data), and for
    // tests and tools that open the window more than once in one process. The engine must
    // be shut down.
    void Rebase(std::string startDirectory);

    static CFeedDate ParseFeedDate(std::string_view text) { return ::ParseFeedDate(text); }

    UpdateEngine& Engine() { return *m_engine; }

    // The rules applied to news as it is stored: read from the database, with the folders of
    // the tree file, by LoadNewsRules (Startup calls it; call it again once the rules or the
    // tree changed). The rows that could not be read are skipped and kept in DamagedRules.
    // False, with the reason in `failure`, when the rules could not be read: none apply then.
    bool LoadNewsRules(std::string* failure = nullptr);
    // Any thread; the set is never changed once made, and stays valid while held.
    std::shared_ptr<const NewsRuleSet> NewsRules() const;
    std::vector<DamagedRule> DamagedRules() const;

private:
    mutable std::mutex m_reporterMutex;
    EngineReporter m_reporter;  // guarded by m_reporterMutex; called outside it

    CSysData m_settings;
    CAppSettings m_moreSettings;
    // Set by the first SaveSettings that failed; SaveSettings may run on any thread.
    std::atomic<bool> m_settingsFailureReported{false};
    std::string m_startDirectory;  // changed only by Rebase, while no engine thread runs
    std::unique_ptr<UpdateEngine> m_engine;
    std::unique_ptr<CSearchIndexer> m_indexer;
    bool m_indexInBackground = true;  // set before Startup, by the thread that calls it

    // Held while the listener runs, so that replacing it waits for a call in progress.
    std::mutex m_listenerMutex;
    std::function<void(std::string_view)> m_newsStored;  // guarded by m_listenerMutex

    mutable std::mutex m_rulesMutex;
    std::shared_ptr<const NewsRuleSet> m_rules;  // guarded by m_rulesMutex; replaced, never changed
    std::vector<DamagedRule> m_damagedRules;     // guarded by m_rulesMutex
};
