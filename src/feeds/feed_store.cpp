#include "feeds/feed_store.h"

#include <cerrno>
#include <filesystem>

#include "feeds/search_indexer.h"
#include "feeds/services_config.h"
#include "feeds/update_engine.h"
#include "store/data_folder.h"

CFeedStore::CFeedStore() : CFeedStore(DefaultDataFolder()) {}

CFeedStore::CFeedStore(std::string startDirectory)
    : m_startDirectory(std::move(startDirectory)),
      m_engine(std::make_unique<UpdateEngine>(*this)),
      m_indexer(std::make_unique<CSearchIndexer>(*this)) {
    SetConnectionString(DataPath("data/data.dat"));
}

CFeedStore::~CFeedStore() {
    // The engine's threads and the indexer use the connection: they end before it closes.
    m_indexer->Stop();
    m_engine.reset();
    Close();
}

std::string CFeedStore::DataPath(std::string_view relative) const {
    return (std::filesystem::path(m_startDirectory) / relative).string();
}

void CFeedStore::LoadSettings() {
    ReadSettingsFile(DataPath("data/sysdata.dat"), &m_settings);
    m_moreSettings.Load(DataPath("data/settings.conf"));
}

bool CFeedStore::SaveSettings() {
    // Only into an existing data folder: a store that never found its folder writes nothing.
    if (!std::filesystem::is_directory(DataPath("data"))) {
        return true;
    }
    EngineReport failure = ReportOf(EngineReport::kSettingsNotSaved);
    const std::string record = DataPath("data/sysdata.dat");
    const bool recordWritten = WriteSettingsFile(record, m_settings);
    const int recordError = errno;
    // A missing sysdata.dat is not written (see WriteSettingsFile): no failure.
    if (!recordWritten && std::filesystem::exists(record)) {
        failure.detail = record;
        failure.errorNumber = recordError;
    }
    const std::string more = DataPath("data/settings.conf");
    if (int error = 0; !m_moreSettings.Save(more, &error)) {
        failure.detail = more;
        failure.errorNumber = error;
    }
    if (failure.detail.empty()) {
        return true;
    }
    if (!m_settingsFailureReported.exchange(true)) {
        Report(failure);
    }
    return false;
}

bool CFeedStore::Startup(bool startUpdate) {
    LoadSettings();
    for (const ServicesConfig::BadLine& bad : Services().LoadFile(DataPath("data/services.conf"))) {
        EngineReport report = ReportOf(EngineReport::kServicesLine, bad.text);
        report.line = bad.number;
        Report(report);
    }
    // Passes of an earlier start end before the connection they use is replaced.
    m_engine->Stop();
    m_indexer->Stop();
    if (!Open()) {
        return false;
    }
    if (m_indexInBackground) {
        m_indexer->Start();
    }
    m_engine->LoadServiceResults();
    LoadNewsRules();
    if (const SchemaUpgrade upgrade = LastUpgrade();
        upgrade.channelsMerged > 0 || upgrade.itemsMerged > 0) {
        EngineReport report = ReportOf(EngineReport::kRowsMerged);
        report.channelsMerged = upgrade.channelsMerged;
        report.itemsMerged = upgrade.itemsMerged;
        Report(report);
    }
    if (startUpdate) {
        m_engine->Start();
    }
    return true;
}

void CFeedStore::Shutdown() {
    SaveSettings();
    m_engine->Stop();
    m_indexer->Stop();
}

void CFeedStore::Rebase(std::string startDirectory) {
    m_indexer->Stop();
    m_engine.reset();
    Close();
    m_startDirectory = std::move(startDirectory);
    SetConnectionString(DataPath("data/data.dat"));
    m_settings.ResetToDefaults();
    m_moreSettings.FromText("");
    m_engine = std::make_unique<UpdateEngine>(*this);
}

void CFeedStore::RefreshChannel(const std::string& keyword) {
    m_engine->RefreshChannel(keyword);
}

CFeedStore::UpdateStart CFeedStore::UpdateAll() {
    if (!IsOpen()) {
        return UpdateStart::kNoDatabase;
    }
    return m_engine->StartIfIdle() ? UpdateStart::kStarted : UpdateStart::kAlreadyRunning;
}

bool CFeedStore::LoadNewsRules(std::string* failure) {
    std::vector<NewsRule> rules;
    std::vector<DamagedRule> damaged;
    std::string reason;
    const bool read = ReadNewsRules(*this, &rules, &damaged, &reason);
    // The tree file is read only when a rule may need its folders.
    std::map<std::string, std::vector<std::string>> folders;
    if (!rules.empty()) {
        folders = ReadTreeFolders(DataPath("document/keywordlist.xml"));
    }
    auto set = std::make_shared<const NewsRuleSet>(std::move(rules), std::move(folders));
    {
        std::lock_guard lock(m_rulesMutex);
        m_rules = std::move(set);
        m_damagedRules = std::move(damaged);
    }
    if (failure) {
        *failure = reason;
    }
    return read;
}

std::shared_ptr<const NewsRuleSet> CFeedStore::NewsRules() const {
    std::lock_guard lock(m_rulesMutex);
    return m_rules;
}

std::vector<DamagedRule> CFeedStore::DamagedRules() const {
    std::lock_guard lock(m_rulesMutex);
    return m_damagedRules;
}

void CFeedStore::SetKeywords(std::vector<ChannelKeyword> channels) {
    m_engine->SetKeywords(std::move(channels));
}

void CFeedStore::AddKeyword(const std::string& keyword, bool searchName) {
    m_engine->AddKeyword(keyword, searchName);
}

void CFeedStore::SetNewsStoredListener(std::function<void(std::string_view)> listener) {
    std::lock_guard lock(m_listenerMutex);
    m_newsStored = std::move(listener);
}

void CFeedStore::NotifyNewsStored(std::string_view channel) {
    m_indexer->Wake();
    std::lock_guard lock(m_listenerMutex);
    if (m_newsStored) {
        m_newsStored(channel);
    }
}

void CFeedStore::NotifySourceRecorded(std::string_view channel) {
    std::lock_guard lock(m_listenerMutex);
    if (m_newsStored) {
        m_newsStored(channel);
    }
}

void CFeedStore::SetReporter(EngineReporter reporter) {
    std::lock_guard lock(m_reporterMutex);
    m_reporter = std::move(reporter);
}

void CFeedStore::Report(const EngineReport& report) const {
    EngineReporter reporter;
    {
        std::lock_guard lock(m_reporterMutex);
        reporter = m_reporter;
    }
    if (reporter) {
        reporter(report);
    }
}
