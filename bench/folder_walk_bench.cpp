// Times the shared folder-size walk beside `du` on the same generated tree, in one
// run. The tree (nested cache-like folders) is built once in a temporary folder:
//   TESSALY_BENCH_FILES   number of files (default 200000)
//   TESSALY_BENCH_DIR     where to build it (default: a new folder under /tmp)
#include "bench/BenchTree.h"
#include "model/FolderWalk.h"
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

namespace {

std::string& treeRoot() {
    static std::string root;
    return root;
}

void BM_directorySize(benchmark::State& state) {
    tessaly::SettingModel::shareSettingModel().blockSize =
        tessaly::fileattr::preferredBlockSize(treeRoot());
    std::int64_t size = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(size = tessaly::directorySize(treeRoot()));
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_du(benchmark::State& state) {
    tessaly::bench::timeDu(state, treeRoot());
}

BENCHMARK(BM_directorySize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime(); // du runs in a child process

} // namespace

int main(int argc, char** argv) {
    tessaly::bench::BenchFolder folder("tessaly-bench");
    if (!folder.ok())
        return 1;
    treeRoot() = folder.path();
    long files = tessaly::bench::benchFileCount();
    std::fprintf(stderr, "building %ld files under %s\n", files, treeRoot().c_str());
    tessaly::bench::buildNestedTree(treeRoot(), files, 20, 50, 9000, [](long a, long b) {
        return "app" + std::to_string(a) + "/Cache.db/" + std::to_string(b);
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
