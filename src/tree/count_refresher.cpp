#include "tree/count_refresher.h"

#include "news/news_age.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"
#include "store/sys_data.h"

namespace {

constexpr int kPauseAfterNodeMs = 100;
constexpr int kPauseAfterPassMs = 500;

}  // namespace

CCountRefresher::CCountRefresher(CAdoConnection& connection, const CSysData& settings,
                                 CNodeMap& nodes, LabelSink setLabel)
    : m_connection(connection),
      m_settings(settings),
      m_nodes(nodes),
      m_setLabel(std::move(setLabel)) {}

CCountRefresher::~CCountRefresher() {
    Stop();
}

void CCountRefresher::Start() {
    Stop();
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
    }
    m_finished = false;
    m_thread = std::thread(&CCountRefresher::Run, this);
}

void CCountRefresher::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_stopped.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::string CCountRefresher::Label(const std::string& name, int count) {
    return name + "|" + std::to_string(count);
}

bool CCountRefresher::Pause(int ms) {
    std::unique_lock lock(m_mutex);
    if (m_pauses) {
        m_stopped.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
    }
    return !m_stop;
}

void CCountRefresher::Run() {
    while (m_connection.IsOpen()) {
        for (CNodeMap::Handle item : m_nodes.Handles()) {
            if (!Pause(0)) {
                m_finished = true;
                return;
            }
            RefreshNode(item);
            if (!Pause(kPauseAfterNodeMs)) {
                m_finished = true;
                return;
            }
        }
        ++m_passes;
        if (!Pause(kPauseAfterPassMs)) {
            break;
        }
    }
    m_finished = true;
}

int CCountRefresher::CountRecent(const std::string& name, bool* ran) const {
    AccessDate cutoff;
    DateDaysBefore(m_settings.RetentionDays(), &cutoff.year, &cutoff.month, &cutoff.day);
    CAdoRecordset records(m_connection);
    *ran = records.Open(SqlCountRecentItems(name, cutoff));
    return *ran ? records.GetRecordCount() : 0;
}

void CCountRefresher::RefreshNode(CNodeMap::Handle item) {
    const CKeywordNode record = m_nodes.Lookup(item);
    if (record.type == NODE_KEY) {
        bool ran = false;
        const int count = CountRecent(record.name, &ran);
        if (ran) {
            m_nodes.SetRecentCount(item, count);
            m_setLabel(item, Label(record.name, count));
        }
    } else if (record.type == NODE_FOLDER) {
        m_setLabel(item, Label(record.name, m_nodes.SumBelow(item)));
    }
}
