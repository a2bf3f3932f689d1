// Times the System Cleanup's User Cache scan (one folder-size walk per cache
// entry) on a generated cache tree, beside `du -s` over the same folder, in one
// run. The tree is a fixture home whose Library/Caches holds nested folders of
// small files, built once in a temporary folder:
//   TESSALY_BENCH_FILES   number of files (default 200000)
//   TESSALY_BENCH_DIR     where to build the home (default: a new folder under /tmp)
// The counters show the walk's total (file sizes rounded up to the block size)
// and du's (allocated blocks, which also count the folders' own blocks).
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "bench/BenchTree.h"
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string& home() {
    static std::string h;
    return h;
}

std::string caches() {
    return home() + "/Library/Caches";
}

void BM_userCacheScan(benchmark::State& state) {
    tessaly::SettingModel::shareSettingModel().blockSize =
        tessaly::fileattr::preferredBlockSize(caches());
    tessaly::ScanInputObject place;
    place.path = caches();
    place.isCheck = true;
    auto places = std::make_shared<std::vector<tessaly::ScanInputObject>>(1, place);
    std::int64_t total = 0;
    std::size_t entries = 0;
    for (auto _ : state) {
        tessaly::ScanFileOperation op(places, tessaly::sysmodule::UserCache, nullptr);
        auto items = op.scanFiles();
        total = tessaly::totalSize(items);
        entries = items.size();
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = static_cast<double>(total);
    state.counters["entries"] = static_cast<double>(entries);
}

void BM_du(benchmark::State& state) {
    tessaly::bench::timeDu(state, caches());
}

// Alternating so that both meet the same cache state.
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_userCacheScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    tessaly::bench::BenchFolder folder("tessaly-scan-bench");
    if (!folder.ok())
        return 1;
    home() = folder.path();
    ::setenv("TESSALY_HOME", home().c_str(), 1); // the container step looks here
    long files = tessaly::bench::benchFileCount();
    std::fprintf(stderr, "building %ld files under %s\n", files, caches().c_str());
    // Cache-like entries: each application's folder holds nested folders three deep.
    tessaly::bench::buildNestedTree(caches(), files, 100, 40, 12000, [](long app, long ab) {
        return "com.maker.app" + std::to_string(app) + "/Cache/" + std::to_string(ab / 10) + "/" +
               std::to_string(ab % 10);
    });
    std::string du = "du -s -B1 '" + caches() + "' >&2";
    if (std::system(du.c_str()) != 0)
        std::fprintf(stderr, "du failed\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
