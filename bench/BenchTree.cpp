#include "bench/BenchTree.h"

#include "platform/FileRemoval.h"
#include "platform/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tessaly::bench {

BenchFolder::BenchFolder(const char* prefix) {
    if (const char* dir = std::getenv("TESSALY_BENCH_DIR")) {
        path_ = dir;
        return;
    }
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    if (::mkdtemp(tmpl.data())) {
        path_ = tmpl;
        own_ = true;
    }
}

BenchFolder::~BenchFolder() {
    if (own_)
        fileops::removeItem(path_);
}

long benchFileCount() {
    const char* n = std::getenv("TESSALY_BENCH_FILES");
    return n ? std::atol(n) : 200000;
}

void writeBenchFile(const std::string& path, std::size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    std::string bytes(size, 'x');
    if (::write(fd, bytes.data(), bytes.size()) < 0)
        std::perror("write");
    ::close(fd);
}

void buildNestedTree(const std::string& root, long files, long inner, long perFolder, long maxBytes,
                     const std::function<std::string(long, long)>& folder) {
    long made = 0;
    for (long a = 0; made < files; ++a) {
        for (long b = 0; b < inner && made < files; ++b) {
            std::string dir = root + "/" + folder(a, b);
            paths::makeDirectories(dir);
            for (long f = 0; f < perFolder && made < files; ++f, ++made) {
                writeBenchFile(dir + "/f" + std::to_string(f),
                               static_cast<std::size_t>((made * 7919) % maxBytes + 1));
            }
        }
    }
}

void timeDu(benchmark::State& state, const std::string& folder) {
    std::string cmd = "du -s -B1 '" + folder + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("du failed");
}

} // namespace tessaly::bench
