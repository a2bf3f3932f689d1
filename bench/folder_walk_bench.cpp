// Times the shared folder-size walk beside `du` on the same generated tree, in one
// run. The tree (nested cache-like folders) is built once in a temporary folder:
//   TESSALY_BENCH_FILES   number of files (default 200000)
//   TESSALY_BENCH_DIR     where to build it (default: a new folder under /tmp)
#include "model/FolderWalk.h"
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string& treeRoot() {
    static std::string root;
    return root;
}

void buildTree(const std::string& root, long files) {
    long perFolder = 50;
    long made = 0;
    for (long a = 0; made < files; ++a) {
        for (long b = 0; b < 20 && made < files; ++b) {
            std::string dir = root + "/app" + std::to_string(a) + "/Cache.db/" + std::to_string(b);
            tessaly::paths::makeDirectories(dir);
            for (long f = 0; f < perFolder && made < files; ++f, ++made) {
                std::string p = dir + "/f" + std::to_string(f);
                int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0)
                    continue;
                std::string bytes(static_cast<std::size_t>((made * 7919) % 9000 + 1), 'x');
                if (::write(fd, bytes.data(), bytes.size()) < 0)
                    std::perror("write");
                ::close(fd);
            }
        }
    }
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
    std::string cmd = "du -s -B1 '" + treeRoot() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("du failed");
}

BENCHMARK(BM_directorySize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_du)->Unit(benchmark::kMillisecond)->UseRealTime(); // du runs in a child process

} // namespace

int main(int argc, char** argv) {
    const char* n = std::getenv("TESSALY_BENCH_FILES");
    long files = n ? std::atol(n) : 200000;
    const char* dir = std::getenv("TESSALY_BENCH_DIR");
    bool own = !dir;
    if (dir) {
        treeRoot() = dir;
    } else {
        char tmpl[] = "/tmp/tessaly-bench-XXXXXX";
        if (!::mkdtemp(tmpl))
            return 1;
        treeRoot() = tmpl;
    }
    std::fprintf(stderr, "building %ld files under %s\n", files, treeRoot().c_str());
    buildTree(treeRoot(), files);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (own)
        tessaly::fileops::removeItem(treeRoot());
    return 0;
}
