#include "model/count_refresher.h"

#include <pthread.h>

#include "model/news_age.h"
#include "model/update_texts.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"
#include "store/sys_data.h"

CCountRefresher::CCountRefresher(CAdoConnection& connection, const CSysData& settings,
                                 CNodeMap& nodes, LabelSink setLabels)
    : m_connection(connection),
      m_settings(settings),
      m_nodes(nodes),
      m_setLabels(std::move(setLabels)) {}

CCountRefresher::~CCountRefresher() {
    Stop();
}

void CCountRefresher::Start() {
    Stop();
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_wake = false;
    }
    m_finished = false;
    m_sent.clear();
    m_sourcesRead.reset();
    m_countsRead.reset();
    m_thread = std::thread(&CCountRefresher::Run, this);
}

void CCountRefresher::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_signal.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CCountRefresher::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_wake = true;
        m_changed.all = true;
    }
    m_signal.notify_all();
}

void CCountRefresher::SourcesChanged(std::string_view channel) {
    {
        std::lock_guard lock(m_mutex);
        m_changed.channels.emplace(channel);
        m_wake = true;
    }
    m_signal.notify_all();
}

std::string CCountRefresher::Label(const std::string& name, int count) {
    return name + "|" + std::to_string(count);
}

bool CCountRefresher::Stopping() {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

void CCountRefresher::Run() {
    // Named so that its share of the window process's time can be told apart.
    pthread_setname_np(pthread_self(), "count-refresher");
    while (m_connection.IsOpen()) {
        const std::optional<Inputs> counted = RunPass();
        if (!counted) {
            break;
        }
        ++m_passes;
        if (!WaitForNextPass(*counted, Clock::now())) {
            break;
        }
    }
    m_finished = true;
}

AccessDate CCountRefresher::Cutoff() const {
    AccessDate cutoff;
    DateDaysBefore(m_settings.RetentionDays(), &cutoff.year, &cutoff.month, &cutoff.day);
    return cutoff;
}

std::optional<CCountRefresher::Inputs> CCountRefresher::RunPass() {
    const AccessDate cutoff = Cutoff();
    const std::uint64_t generation = m_nodes.Generation();
    // Taken before the reads: news stored while they run are read again next pass.
    const Changed changed = TakeChanged();
    const bool counted = ReadCounts(cutoff, generation, changed);
    if (Stopping()) {
        return std::nullopt;
    }
    // A statement that fails leaves every count and label as it was.
    if (!counted) {
        m_sourcesRead.reset();  // the changed channels' sources are read with all of them
        return Inputs{};
    }
    const bool sourcesOfAll = ReadSources(generation, changed);
    const CNodeMap::Counts counts = m_nodes.ApplyRecentCounts(m_counts.recent, m_counts.unread);
    std::vector<LabelChange> changes =
        ChangedLabels(counts, m_sources, sourcesOfAll ? nullptr : &changed.channels);
    if (!changes.empty()) {
        m_setLabels(std::move(changes));
    }
    return Inputs{AccessDateLiteral(cutoff), counts.generation};
}

CCountRefresher::Changed CCountRefresher::TakeChanged() {
    Changed changed;
    std::lock_guard lock(m_mutex);
    std::swap(changed, m_changed);
    return changed;
}

bool CCountRefresher::ReadCounts(const AccessDate& cutoff, std::uint64_t generation,
                                 const Changed& changed) {
    const Clock::time_point now = Clock::now();
    const std::string cutoffText = AccessDateLiteral(cutoff);
    // Other processes store news too and tell nobody, and reading changes any channel's.
    const bool all = changed.all || !m_countsRead || cutoffText != m_countsCutoff ||
                     generation != m_countsGeneration || now - *m_countsRead >= kLongestGap ||
                     changed.channels.size() > kMostChannelsReread;
    if (!all && changed.channels.empty()) {
        return true;
    }
    const std::vector<std::string> channels =
        all ? std::vector<std::string>()
            : std::vector<std::string>(changed.channels.begin(), changed.channels.end());
    std::optional<ChannelCounts> read = ReadRecentCounts(cutoff, channels);
    if (!read) {
        m_countsRead.reset();
        return false;
    }
    if (all) {
        m_counts = std::move(*read);
        m_countsCutoff = cutoffText;
        m_countsGeneration = generation;
        m_countsRead = now;
        return true;
    }
    // A channel without a row has no recent news left.
    for (const std::string& channel : channels) {
        m_counts.recent.erase(channel);
        m_counts.unread.erase(channel);
    }
    m_counts.recent.merge(read->recent);
    m_counts.unread.merge(read->unread);
    return true;
}

bool CCountRefresher::ReadSources(std::uint64_t generation, const Changed& changed) {
    const Clock::time_point now = Clock::now();
    // Other processes write sources too and tell nobody; a renamed or removed channel takes
    // its rows along.
    if (!m_sourcesRead || generation != m_sourcesGeneration ||
        now - *m_sourcesRead >= kLongestGap || changed.channels.size() > kMostChannelsReread) {
        // Outcomes that cannot be read leave the tooltips without sources, the counts stand.
        std::optional<SourcesByChannel> all = LoadLatestSourceStatus(m_connection);
        m_sources = all ? std::move(*all) : SourcesByChannel();
        m_sourcesGeneration = generation;
        m_sourcesRead = all ? std::optional<Clock::time_point>(now) : std::nullopt;
        return true;
    }
    if (changed.channels.empty()) {
        return false;
    }
    std::optional<SourcesByChannel> some = LoadLatestSourceStatus(
        m_connection, std::vector<std::string>(changed.channels.begin(), changed.channels.end()));
    if (!some) {
        m_sourcesRead.reset();
        return false;
    }
    for (const std::string& channel : changed.channels) {
        m_sources.erase(channel);
    }
    for (auto& [channel, rows] : *some) {
        m_sources[channel] = std::move(rows);
    }
    return false;
}

std::optional<CCountRefresher::ChannelCounts> CCountRefresher::ReadRecentCounts(
    const AccessDate& cutoff, const std::vector<std::string>& channels) const {
    CAdoRecordset records(m_connection);
    if (!records.Open(SqlCountRecentItemsByChannel(cutoff, channels))) {
        return std::nullopt;
    }
    char name[CodePageFieldSize(kMaxNodeNameCodePageBytes)] = {};
    std::int32_t count = 0;
    std::int32_t unread = 0;
    if (!records.BindColumn(0, name, sizeof name, kBindText) ||
        !records.BindColumn(1, &count, sizeof count, kBindNumber) ||
        !records.BindColumn(2, &unread, sizeof unread, kBindNumber)) {
        return std::nullopt;
    }
    ChannelCounts counts;
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        counts.recent[name] = count;
        counts.unread[name] = unread;
    }
    // A step that failed half-way ends the rows early: those counts would be wrong.
    if (!records.LastError().empty()) {
        return std::nullopt;
    }
    return counts;
}

std::vector<CCountRefresher::LabelChange> CCountRefresher::ChangedLabels(
    const CNodeMap::Counts& counts, const SourcesByChannel& sources,
    const std::set<std::string, LessIgnoreAsciiCase>* sourcesOf) {
    if (counts.generation != m_sentGeneration) {
        m_sent.clear();
        m_sentGeneration = counts.generation;
    }
    static const std::vector<SourceStatus> kNoSources;
    std::vector<LabelChange> changes;
    for (const CNodeMap::NodeCount& node : counts.nodes) {
        // A label, its tooltip and its mark change only with the counts and the sources.
        const auto before = m_sent.find(node.item);
        if (before != m_sent.end() && before->second.count == node.count &&
            before->second.unread == node.unread &&
            (node.type != NODE_KEY || (sourcesOf != nullptr && sourcesOf->count(node.name) == 0))) {
            continue;
        }
        const auto found = node.type == NODE_KEY ? sources.find(node.name) : sources.end();
        const std::vector<SourceStatus>& mine = found == sources.end() ? kNoSources : found->second;
        Sent now{Label(node.name, node.count),
                 NodeTooltip(node.name, node.count, node.unread, mine), FailureMarkShown(mine),
                 node.unread, node.count};
        Sent& sent = m_sent[node.item];
        if (sent != now) {
            sent = now;
            changes.push_back({node.item, std::move(now.label), std::move(now.tooltip), now.warning,
                               node.unread, counts.generation});
        }
    }
    return changes;
}

bool CCountRefresher::PassDue(const Inputs& last, Clock::time_point lastPassEnd) const {
    // A closed database ends the refresher at the start of the pass.
    return !m_connection.IsOpen() || Clock::now() - lastPassEnd >= kLongestGap ||
           Inputs{AccessDateLiteral(Cutoff()), m_nodes.Generation()} != last;
}

bool CCountRefresher::WaitForNextPass(const Inputs& last, Clock::time_point lastPassEnd) {
    std::unique_lock lock(m_mutex);
    while (!m_signal.wait_for(lock, kInterval, [this] { return m_stop || m_wake; })) {
        lock.unlock();
        const bool due = PassDue(last, lastPassEnd);
        lock.lock();
        if (due) {
            break;
        }
    }
    if (m_wake) {
        m_signal.wait_until(lock, lastPassEnd + kLeastGap, [this] { return m_stop; });
        // Only news of channels: a busy update relabels once a second. A Wake (the user read
        // news, or changed the tree) cuts the wait short.
        m_signal.wait_until(lock, lastPassEnd + kLeastGapForNews,
                            [this] { return m_stop || m_changed.all; });
    }
    m_wake = false;
    return !m_stop;
}
