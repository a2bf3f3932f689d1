#include "ScanCode/duplicate/ContentCompare.h"

#include "ScanCode/duplicate/FileDigest.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace tessaly {

namespace {

// Above this many files at once the comparison reopens each file per chunk, so
// that a large group never runs out of descriptors.
constexpr std::size_t kMaxOpen = 128;
// Memory for one round of chunks across all files of a class.
constexpr std::size_t kRoundBudget = 16u << 20;
constexpr std::size_t kMaxChunk = 1u << 20;
constexpr std::size_t kMinChunk = 64u << 10;

struct Member {
    std::size_t index;
    int fd = -1;
    std::vector<unsigned char> chunk;
};

int openChecked(const std::string& path, std::int64_t size) {
    int fd = digest::openForReading(path);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != size) {
        ::close(fd);
        return -1;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

bool readFully(int fd, unsigned char* out, std::size_t length, std::int64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

std::vector<std::vector<std::size_t>> partitionByContents(const std::vector<std::string>& paths,
                                                          std::int64_t size,
                                                          const std::function<bool()>& cancelled) {
    const bool keepOpen = paths.size() <= kMaxOpen;
    std::vector<Member> members;
    members.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        int fd = openChecked(paths[i], size);
        if (fd < 0)
            continue;
        if (!keepOpen) {
            ::close(fd);
            fd = -1;
        }
        members.push_back({i, fd, {}});
    }
    auto closeAll = [&members] {
        for (auto& m : members)
            if (m.fd >= 0)
                ::close(m.fd);
    };

    // Each class holds positions in members.
    std::vector<std::vector<std::size_t>> classes;
    if (members.size() >= 2) {
        classes.emplace_back();
        for (std::size_t k = 0; k < members.size(); ++k)
            classes.back().push_back(k);
    }
    const std::size_t chunk =
        std::clamp(kRoundBudget / std::max<std::size_t>(members.size(), 1), kMinChunk, kMaxChunk);
    for (std::int64_t offset = 0; offset < size && !classes.empty();) {
        if (cancelled && cancelled()) {
            closeAll();
            return {};
        }
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::int64_t>(chunk, size - offset));
        std::vector<std::vector<std::size_t>> next;
        for (const auto& cls : classes) {
            std::vector<std::vector<std::size_t>> split;
            // Subclasses by a hash of the chunk, so that a large class is split
            // without comparing every chunk with every other.
            // Small classes (the usual pair) compare directly.
            std::unordered_multimap<std::size_t, std::size_t> byHash;
            const bool hashed = cls.size() > 8;
            for (std::size_t k : cls) {
                Member& m = members[k];
                m.chunk.resize(length);
                int fd = m.fd >= 0 ? m.fd : openChecked(paths[m.index], size);
                const bool ok = fd >= 0 && readFully(fd, m.chunk.data(), length, offset);
                if (m.fd < 0 && fd >= 0)
                    ::close(fd);
                if (!ok)
                    continue; // unreadable now: in no class
                const std::size_t h =
                    hashed ? std::hash<std::string_view>{}(std::string_view(
                                 reinterpret_cast<const char*>(m.chunk.data()), length))
                           : 0;
                auto [first, last] = byHash.equal_range(h);
                auto same = std::find_if(first, last, [&](const auto& entry) {
                    const Member& rep = members[split[entry.second].front()];
                    return std::memcmp(rep.chunk.data(), m.chunk.data(), length) == 0;
                });
                if (same == last) {
                    byHash.emplace(h, split.size());
                    split.push_back({k});
                } else {
                    split[same->second].push_back(k);
                }
            }
            for (auto& s : split) {
                if (s.size() >= 2) {
                    next.push_back(std::move(s));
                } else {
                    Member& lone = members[s.front()];
                    lone.chunk = {};
                    if (lone.fd >= 0) {
                        ::close(lone.fd);
                        lone.fd = -1;
                    }
                }
            }
        }
        classes = std::move(next);
        offset += static_cast<std::int64_t>(length);
    }
    closeAll();

    std::vector<std::vector<std::size_t>> result;
    for (const auto& cls : classes) {
        std::vector<std::size_t> indices;
        for (std::size_t k : cls)
            indices.push_back(members[k].index);
        std::sort(indices.begin(), indices.end());
        result.push_back(std::move(indices));
    }
    std::sort(result.begin(), result.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return result;
}

} // namespace tessaly
