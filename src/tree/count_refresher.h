#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tree/node_map.h"

class CAdoConnection;
class CSysData;

// Relabels every tree node with its count of recent news, "name|count", over and over:
// a channel's count is the number of its items newer than the retention period, a folder's
// the sum over every channel below it. Ends when the database is found closed at the start
// of a pass, or when stopped.
//
// The refresher runs on a thread of its own and reaches the window only through `setLabel`,
// which must not wait for the window thread (the tree posts it to its own thread), so the
// window thread can stop and join the refresher at any time without the two waiting for each
// other.
class CCountRefresher {
public:
    using LabelSink = std::function<void(CNodeMap::Handle item, const std::string& label)>;

    CCountRefresher(CAdoConnection& connection, const CSysData& settings, CNodeMap& nodes,
                    LabelSink setLabel);
    ~CCountRefresher();
    CCountRefresher(const CCountRefresher&) = delete;
    CCountRefresher& operator=(const CCountRefresher&) = delete;

    void Start();
    // Sets the stop flag, wakes a pause and joins the thread.
    void Stop();
    bool Finished() const { return m_finished.load(); }
    // The pauses between nodes (100 ms) and passes (500 ms); tests switch them off.
    void SetPausesEnabled(bool enabled) { m_pauses = enabled; }
    int PassesCompleted() const { return m_passes.load(); }

    // One label text: "name|count".
    static std::string Label(const std::string& name, int count);

private:
    void Run();
    void RefreshNode(CNodeMap::Handle item);
    int CountRecent(const std::string& name, bool* ran) const;
    // Sleeps `ms` unless stopped; false once stopped.
    bool Pause(int ms);

    CAdoConnection& m_connection;
    const CSysData& m_settings;
    CNodeMap& m_nodes;
    LabelSink m_setLabel;

    std::thread m_thread;
    std::atomic<bool> m_pauses{true};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_passes{0};
    // The stop flag, guarded by m_mutex so that a pause wakes at once when it is set.
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stop = false;
};
