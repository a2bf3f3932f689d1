// Writes the Old Files Finder's benchmark tree: many small files in nested
// folders, a few large (sparse) files last opened long ago, and large files
// opened lately; prints what it made.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool make(const fs::path& path, off_t size, long daysAgo) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = size <= 64
                  ? ::write(fd, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
                            static_cast<size_t>(size)) == size
                  : ::ftruncate(fd, size) == 0;
    struct timespec when {
        ::time(nullptr) - daysAgo * 86400, 0
    };
    struct timespec times[2] = {when, when};
    ok = ::futimens(fd, times) == 0 && ok;
    ::close(fd);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [FILES]\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const long files = argc > 2 ? std::max(1000L, std::atol(argv[2])) : 300000;
    long made = 0, old = 0, recent = 0;
    for (long f = 0; made < files; ++f) {
        const fs::path folder = root / ("d" + std::to_string(f % 50)) / ("e" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < 100 && made < files; ++i, ++made)
            if (!make(folder / ("f" + std::to_string(i) + ".txt"), 1 + (i * 37) % 60, 400))
                return 1;
        if (f % 97 == 0) {
            // Old and large (listed), recent and large (not), old but small (not).
            make(folder / "old-archive.zip", 5'000'000 + f * 4096, 40 + f % 900);
            make(folder / "recent-video.mkv", 50'000'000, 3);
            make(folder / "old-note.bin", 4'999'999, 400);
            ++old;
            ++recent;
        }
    }
    std::printf("%ld small files, %ld old large files, %ld recent large files\n", made, old,
                recent);
    return 0;
}
