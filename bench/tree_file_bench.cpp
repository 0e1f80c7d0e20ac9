// Loading the tree file, document/keywordlist.xml, at 1 000 to 100 000 channels: flat under
// the root (the shape an OPML subscription of a big list gives) and in folders of 100; and
// into the node map as the tree pane keeps it, with the heap the loaded tree holds and the
// process's peak memory (run that case alone for its own peak).
//
//   build/bench/tree_file_bench [--benchmark_filter=...]
// The files are written to $QUILLON_BENCH_DIR/tree-file (default /tmp/quillon-bench).

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/node_map.h"
#include "store/keyword_tree_file.h"
#include "xml/xml_document.h"

namespace {

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return std::string(folder ? folder : "/tmp/quillon-bench") + "/tree-file";
}

std::string Node(int id, const char* type, const std::string& name) {
    return "<KEYWORDNODE><ID>" + std::to_string(id) + "</ID><NODETYPE>" + type +
           "</NODETYPE><TEXT>" + name + "</TEXT>";
}

// A tree file of `channels` channels, flat or in folders of `perFolder` (0: flat), written
// once and then reused.
std::string TreeFile(int channels, int perFolder) {
    const std::string path = BenchFolder() + "/tree-" + std::to_string(channels) + "-" +
                             std::to_string(perFolder) + ".xml";
    if (std::filesystem::exists(path)) {
        return path;
    }
    std::filesystem::create_directories(BenchFolder());
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
        "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>\n";
    int id = 1;
    for (int channel = 0; channel < channels; ++channel) {
        if (perFolder > 0 && channel % perFolder == 0) {
            xml += (channel > 0 ? "</KEYWORDNODE>\n" : "") +
                   Node(id++, "FOLDER", "文件夹 " + std::to_string(channel / perFolder));
        }
        xml += Node(id++, "KEY", "频道 " + std::to_string(channel)) + "</KEYWORDNODE>\n";
    }
    if (perFolder > 0 && channels > 0) {
        xml += "</KEYWORDNODE>";
    }
    std::ofstream(path, std::ios::binary) << xml << "</KEYWORDTREE>\n";
    return path;
}

// Load as the tree pane does it at start: parse, then every node handed on in order.
void Load(benchmark::State& state, int perFolder) {
    InitXmlLibrary();
    const int channels = static_cast<int>(state.range(0));
    const std::string path = TreeFile(channels, perFolder);
    for (auto _ : state) {
        CKeywordTreeFile tree(path);
        int nodes = 0;
        tree.Load([&nodes](const CKeywordNode&, int) { ++nodes; });
        benchmark::DoNotOptimize(nodes);
    }
    state.SetItemsProcessed(state.iterations() * channels);
}

void BM_LoadFlatTree(benchmark::State& state) {
    Load(state, 0);
}
BENCHMARK(BM_LoadFlatTree)
    ->Arg(1000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_LoadTreeInFolders(benchmark::State& state) {
    Load(state, 100);
}
BENCHMARK(BM_LoadTreeInFolders)
    ->Arg(1000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

double HeapMegabytes() {
    return static_cast<double>(mallinfo2().uordblks) / 1e6;
}

// As the tree pane loads it at start: the file, and a record of every node in the node map,
// both kept. "heap MB" is what they hold once loaded, "node map MB" the node map's share of it;
// "peak MB" the process's peak RSS.
void BM_LoadTreeIntoNodeMap(benchmark::State& state) {
    InitXmlLibrary();
    const int channels = static_cast<int>(state.range(0));
    const std::string path = TreeFile(channels, 100);
    double held = 0;
    double map = 0;
    for (auto _ : state) {
        const double before = HeapMegabytes();
        CKeywordTreeFile tree(path);
        CNodeMap nodes;
        CKeywordNode root = CKeywordNode::NewNode("", NODE_FOLDER);
        root.id = 0;
        nodes.Insert(1, CNodeMap::kNoItem, root);
        tree.Load([&](const CKeywordNode& node, int parentId) {
            nodes.Insert(node.id + 1, parentId + 1, node);
        });
        held = HeapMegabytes() - before;
        state.PauseTiming();
        const double loaded = HeapMegabytes();
        nodes.Clear();
        map = loaded - HeapMegabytes();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["heap MB"] = held;
    state.counters["node map MB"] = map;
    state.counters["peak MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
    state.SetItemsProcessed(state.iterations() * channels);
}
BENCHMARK(BM_LoadTreeIntoNodeMap)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// One change on a big tree: every change saves the whole file.
void BM_AddChannelToBigTree(benchmark::State& state) {
    InitXmlLibrary();
    const std::string source = TreeFile(static_cast<int>(state.range(0)), 100);
    const std::string path = BenchFolder() + "/changed.xml";
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
    CKeywordTreeFile tree(path);
    tree.Load({});
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.AddNode(NODE_KEY, 0, "新频道 " + std::to_string(n++)));
    }
}
BENCHMARK(BM_AddChannelToBigTree)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
