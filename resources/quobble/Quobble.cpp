// Quobble: releases memory that can be released without harm, then exits.
//
//   Quobble [--max-seconds N] [--no-drop-caches]
//
// 1. Writes dirty pages back (sync), so that what follows only meets clean ones.
// 2. As root (unless --no-drop-caches), asks the kernel to drop the clean page
//    cache (/proc/sys/vm/drop_caches = 1): file data it can read back when needed.
// 3. Otherwise, one bounded pass that takes memory from the clean cache and the
//    inactive pages: anonymous memory is touched page by page and given back at
//    the end, so the kernel reclaims what it holds least dear to make room, and
//    that room is free afterwards (with half of all memory free already, there is
//    nothing worth the work and it ends at once). The pass never takes more than what
//    /proc/meminfo calls available, less a reserve of a tenth of all memory,
//    stops at once when swap starts being used or the reserve is reached, and
//    ends within the time limit (20 seconds unless told).
// A termination signal ends it at once; whatever it held goes back with it.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The fields of /proc/meminfo, in kilobytes.
std::map<std::string, std::int64_t> meminfo() {
    std::map<std::string, std::int64_t> out;
    std::ifstream in("/proc/meminfo");
    std::string key;
    std::int64_t value = 0;
    std::string unit;
    while (in >> key >> value) {
        std::getline(in, unit);
        if (!key.empty() && key.back() == ':')
            key.pop_back();
        out[key] = value;
    }
    return out;
}

bool dropCaches() {
    std::ofstream f("/proc/sys/vm/drop_caches");
    if (!f)
        return false;
    f << "1\n";
    return static_cast<bool>(f.flush());
}

void reclaimPass(std::chrono::steady_clock::time_point deadline) {
    auto m = meminfo();
    const std::int64_t total = m["MemTotal"] * 1024, reserve = total / 10;
    const std::int64_t available = m["MemAvailable"] * 1024, free = m["MemFree"] * 1024;
    const std::int64_t swapFree = m["SwapFree"];
    // With half of all memory free there is nothing worth the work.
    if (free * 2 >= total)
        return;
    // Taking what is free and then what the kernel can reclaim makes it reclaim.
    const std::int64_t target = available - reserve;
    if (target <= 0)
        return;
    const auto size = static_cast<std::size_t>(target);
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED)
        return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t step = std::size_t{64} << 20; // look again every 64 MiB
    auto* bytes = static_cast<volatile unsigned char*>(block);
    for (std::size_t at = 0; at < size; at += page) {
        bytes[at] = 1;
        if (at % step != 0)
            continue;
        if (std::chrono::steady_clock::now() > deadline)
            break;
        auto now = meminfo();
        if (now["MemAvailable"] * 1024 < reserve || now["SwapFree"] < swapFree)
            break; // the reserve is reached, or swapping began
    }
    ::munmap(block, size);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    bool mayDrop = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--max-seconds") == 0 && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--no-drop-caches") == 0)
            mayDrop = false;
        else {
            std::fprintf(stderr, "usage: Quobble [--max-seconds N] [--no-drop-caches]\n");
            return 2;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    ::sync();
    if (mayDrop && ::geteuid() == 0 && dropCaches())
        return 0;
    reclaimPass(deadline);
    return 0;
}
