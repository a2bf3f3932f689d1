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
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// Cache-like entries: each application's folder holds nested folders three deep.
void buildTree(const std::string& root, long files) {
    long made = 0;
    for (long app = 0; made < files; ++app) {
        for (long a = 0; a < 10 && made < files; ++a) {
            for (long b = 0; b < 10 && made < files; ++b) {
                std::string dir = root + "/com.maker.app" + std::to_string(app) + "/Cache/" +
                                  std::to_string(a) + "/" + std::to_string(b);
                tessaly::paths::makeDirectories(dir);
                for (long f = 0; f < 40 && made < files; ++f, ++made) {
                    std::string p = dir + "/f" + std::to_string(f);
                    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                    if (fd < 0)
                        continue;
                    std::string bytes(static_cast<std::size_t>((made * 7919) % 12000 + 1), 'x');
                    if (::write(fd, bytes.data(), bytes.size()) < 0)
                        std::perror("write");
                    ::close(fd);
                }
            }
        }
    }
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
    std::string cmd = "du -s -B1 '" + caches() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("du failed");
}

// Alternating so that both meet the same cache state.
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_userCacheScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    const char* n = std::getenv("TESSALY_BENCH_FILES");
    long files = n ? std::atol(n) : 200000;
    const char* dir = std::getenv("TESSALY_BENCH_DIR");
    bool own = !dir;
    if (dir) {
        home() = dir;
    } else {
        char tmpl[] = "/tmp/tessaly-scan-bench-XXXXXX";
        if (!::mkdtemp(tmpl))
            return 1;
        home() = tmpl;
    }
    ::setenv("TESSALY_HOME", home().c_str(), 1); // the container step looks here
    std::fprintf(stderr, "building %ld files under %s\n", files, caches().c_str());
    buildTree(caches(), files);
    std::string du = "du -s -B1 '" + caches() + "' >&2";
    if (std::system(du.c_str()) != 0)
        std::fprintf(stderr, "du failed\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (own)
        tessaly::fileops::removeItem(home());
    return 0;
}
