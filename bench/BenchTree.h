#pragma once

// What the folder-walk benchmarks share: where their generated tree lives, how it
// is built, and timing `du` over it.

#include <benchmark/benchmark.h>
#include <functional>
#include <string>

namespace tessaly::bench {

// The folder to build in: TESSALY_BENCH_DIR when set (kept afterwards), else a new
// folder under /tmp named after prefix (removed by ~BenchFolder).
class BenchFolder {
public:
    explicit BenchFolder(const char* prefix);
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
    bool own_ = false;
};

// Writes a file of `size` bytes ("x"), replacing what was there.
void writeBenchFile(const std::string& path, std::size_t size);

// TESSALY_BENCH_FILES, else 200,000.
long benchFileCount();

// Builds `files` small files in nested folders: folder(a, b) names the folder (under
// root) for outer index a and inner index b (0..inner-1), each folder holding up to
// perFolder files of 1..maxBytes bytes.
void buildNestedTree(const std::string& root, long files, long inner, long perFolder, long maxBytes,
                     const std::function<std::string(long, long)>& folder);

// One benchmark iteration per `du -s -B1 folder` run (in a child process).
void timeDu(benchmark::State& state, const std::string& folder);

} // namespace tessaly::bench
