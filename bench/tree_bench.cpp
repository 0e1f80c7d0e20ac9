// The channel tree's counts over a big collection (bench/big_collection.h), in the real
// window offscreen: how long after the window is shown every label is final, and how much
// CPU the window process uses over an idle minute once the start-up update has ended, with
// the update timer on at its default interval and every channel's sources failed (the tree
// shows each one's warning mark and tooltip).
//
//   build/bench/tree_bench
// The data folder is $QUILLON_BENCH_DIR/tree (default /tmp/quillon-bench/tree); the idle
// period is $QUILLON_BENCH_IDLE_SECONDS (default 60). The engine's pauses are off, so that the
// start-up update (every fetch refused at once) ends quickly; the tree's own pacing is as in
// real use.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "big_collection.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "model/news_age.h"
#include "model/update_texts.h"
#include "store/ado_recordset.h"
#include "store/source_status.h"
#include "store/statements.h"
#include "views/tree_view.h"
#include "xml/xml_document.h"

namespace {

using namespace std::chrono;

constexpr seconds kLabelTimeout{300};

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return std::string(folder ? folder : "/tmp/quillon-bench") + "/tree";
}

int IdleSeconds() {
    const char* text = std::getenv("QUILLON_BENCH_IDLE_SECONDS");
    return text ? std::max(1, std::atoi(text)) : 60;
}

// CPU seconds of the whole process, every thread.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of the threads named `name` (what /proc shows as their comm), or -1 if none.
double ThreadCpuSeconds(const std::string& name) {
    double total = -1;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name) {
            continue;
        }
        std::ifstream stat(task.path() / "stat");
        std::string field;
        // Fields 14 and 15 are utime and stime in clock ticks; the name (field 2) has no
        // blanks here.
        long ticks = 0;
        for (int i = 1; i <= 15 && stat >> field; ++i) {
            if (i == 14 || i == 15) {
                ticks += std::stol(field);
            }
        }
        total = std::max(total, 0.0) + static_cast<double>(ticks) / sysconf(_SC_CLK_TCK);
    }
    return total;
}

bool AllLabelsFinal(const BigCollection& collection) {
    int matched = 0;
    for (QTreeWidgetItemIterator it(g_pTreeView); *it; ++it) {
        const auto expected = collection.finalLabels.find(g_pTreeView->Lookup(*it).name);
        if (expected == collection.finalLabels.end() ||
            (*it)->text(0).toStdString() != expected->second) {
            return false;
        }
        ++matched;
    }
    return matched == static_cast<int>(collection.finalLabels.size());
}

void RunEventLoopFor(milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_TreeCountsAtScale(benchmark::State& state) {
    auto* app = static_cast<CQuillonApp*>(qApp);
    for (auto _ : state) {
        const BigCollection collection = MakeBigCollection(BenchFolder());
        theStore.Rebase(BenchFolder());
        theStore.Engine().pacing().SetEnabled(false);

        const auto start = steady_clock::now();
        app->InitInstance();
        const auto shown = steady_clock::now();
        bool final = false;
        while (!(final = AllLabelsFinal(collection)) &&
               steady_clock::now() - shown < kLabelTimeout) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        const auto labelled = steady_clock::now();
        state.SetIterationTime(duration<double>(labelled - shown).count());
        state.counters["start_to_shown_ms"] = duration<double, std::milli>(shown - start).count();
        state.counters["shown_to_final_ms"] =
            duration<double, std::milli>(labelled - shown).count();
        if (!final) {
            state.SkipWithError("the labels were not final within the time-out");
        }

        CQuillonApp::WaitWhileServicing([] { return !theStore.Engine().Updating(); });
        state.counters["update_timer_minutes"] =
            app->UpdateTimer().isActive()
                ? duration<double, std::ratio<60>>(app->UpdateTimer().intervalAsDuration()).count()
                : 0;
        const int idle = IdleSeconds();
        const double cpuBefore = ProcessCpuSeconds();
        const double refresherBefore = ThreadCpuSeconds("count-refresher");
        const int passesBefore = g_pTreeView->Refresher()->PassesCompleted();
        RunEventLoopFor(seconds(idle));
        state.counters["idle_refresher_passes"] =
            g_pTreeView->Refresher()->PassesCompleted() - passesBefore;
        const double cpuAfter = ProcessCpuSeconds();
        const double refresherAfter = ThreadCpuSeconds("count-refresher");
        state.counters["idle_cpu_percent"] = 100.0 * (cpuAfter - cpuBefore) / idle;
        if (refresherBefore >= 0) {
            state.counters["idle_refresher_cpu_percent"] =
                100.0 * (refresherAfter - refresherBefore) / idle;
        }
        state.counters["labels_final"] = final ? 1 : 0;
        app->ExitInstance();
    }
}
BENCHMARK(BM_TreeCountsAtScale)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// What one pass asks of the database: every channel's recent count in one grouped statement.
void BM_GroupedCountStatement(benchmark::State& state) {
    MakeBigCollection(BenchFolder());
    CFeedStore store(BenchFolder());
    if (!store.Open()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    AccessDate cutoff;
    DateDaysBefore(BigCollection::kRetentionDays, &cutoff.year, &cutoff.month, &cutoff.day);
    const std::string sql = SqlCountRecentItemsByChannel(cutoff);
    int rows = 0;
    for (auto _ : state) {
        CAdoRecordset records(store);
        records.Open(sql);
        char name[512] = {};
        std::int32_t count = 0;
        records.BindColumn(0, name, sizeof name, kBindText);
        records.BindColumn(1, &count, sizeof count, kBindNumber);
        for (rows = 0; !records.IsEOF(); records.MoveNext(), ++rows) {
            records.Fetch();
        }
    }
    state.counters["channels"] = rows;
}
BENCHMARK(BM_GroupedCountStatement)->Unit(benchmark::kMillisecond);

// What a pass adds for the tooltips and warning marks: the sources of every channel's latest
// update (after BM_TreeCountsAtScale, whose start-up update failed 2 500 search pages) and the
// 551 tooltips made from them.
void BM_SourcesForTooltips(benchmark::State& state) {
    CFeedStore store(BenchFolder());
    if (!store.Open()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    std::size_t rows = 0;
    std::size_t tooltipBytes = 0;
    for (auto _ : state) {
        const SourcesByChannel sources = LoadLatestSourceStatus(store).value_or(SourcesByChannel());
        rows = 0;
        tooltipBytes = 0;
        for (const auto& [channel, list] : sources) {
            rows += list.size();
            tooltipBytes += NodeTooltip(channel, 0, 0, list).size();
        }
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["tooltip_bytes"] = static_cast<double>(tooltipBytes);
}
BENCHMARK(BM_SourcesForTooltips)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    // The recent-file list goes to the benchmark's own folder.
    const std::string config = BenchFolder() + "/config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    InitXmlLibrary();
    CQuillonApp app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
