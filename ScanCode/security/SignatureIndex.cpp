#include "ScanCode/security/SignatureIndex.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace tessaly {

namespace {

// The first bytes of a file are read once and serve every window inside them.
constexpr std::int64_t kPrefix = 64 * 1024;

bool readAt(int fd, std::string& out, std::int64_t offset, std::size_t length) {
    out.resize(length);
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, out.data() + done, length - done,
                            static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return done == length;
}

} // namespace

void SignatureIndex::add(const VirusCodeObj& signature) {
    const std::size_t index = codes_.size();
    codes_.push_back(signature);
    const std::size_t length = signature.virus_code.size();
    longestSoFar_.push_back(std::max(length, longestSoFar_.empty() ? 0 : longestSoFar_.back()));
    windows_[{signature.start, length}].emplace(signature.virus_code, index); // keeps the first
}

void SignatureIndex::add(const VirusMD5Obj& digest) {
    if (digest.kind < 0 || digest.kind > 2)
        return;
    digests_[digest.kind][digest.virus_code].push_back(
        {digestCount_++, digest.size, digest.virus_name});
}

std::optional<std::string> SignatureIndex::matchBytes(int fd, std::int64_t size) const {
    if (size <= 0 || codes_.empty())
        return std::nullopt;
    // Only the signatures before the first pattern longer than the file count.
    const auto firstLonger = std::upper_bound(longestSoFar_.begin(), longestSoFar_.end(),
                                              static_cast<std::size_t>(size));
    const auto eligible = static_cast<std::size_t>(firstLonger - longestSoFar_.begin());
    if (eligible == 0)
        return std::nullopt;
    std::string prefix;
    bool prefixRead = false;
    std::string window;
    std::size_t best = std::numeric_limits<std::size_t>::max();
    for (const auto& [key, patterns] : windows_) {
        const auto [offset, length] = key;
        // Tried only when more than the pattern's length remains after the offset.
        if (offset < 0 || offset >= size || size - offset <= static_cast<std::int64_t>(length))
            continue;
        if (offset + static_cast<std::int64_t>(length) <= kPrefix) {
            if (!prefixRead) {
                if (!readAt(fd, prefix, 0, static_cast<std::size_t>(std::min(size, kPrefix))))
                    return std::nullopt;
                prefixRead = true;
            }
            window.assign(prefix, static_cast<std::size_t>(offset), length);
        } else if (!readAt(fd, window, offset, length)) {
            return std::nullopt;
        }
        auto it = patterns.find(window);
        if (it != patterns.end() && it->second < eligible)
            best = std::min(best, it->second);
    }
    if (best == std::numeric_limits<std::size_t>::max())
        return std::nullopt;
    return codes_[best].virus_name;
}

std::vector<int> SignatureIndex::digestKinds() const {
    std::vector<int> kinds;
    for (int k = 0; k < 3; ++k)
        if (!digests_[k].empty())
            kinds.push_back(k);
    return kinds;
}

std::string SignatureIndex::matchDigests(const std::vector<std::optional<std::string>>& byKind,
                                         std::int64_t size) const {
    const DigestEntry* best = nullptr;
    for (int k = 0; k < 3; ++k) {
        if (static_cast<std::size_t>(k) >= byKind.size() || !byKind[static_cast<std::size_t>(k)])
            continue;
        auto it = digests_[k].find(*byKind[static_cast<std::size_t>(k)]);
        if (it == digests_[k].end())
            continue;
        for (const DigestEntry& e : it->second)
            if (!e.size || *e.size == size) {
                if (!best || e.order < best->order)
                    best = &e;
                break; // entries are in table order
            }
    }
    return best ? best->name : std::string();
}

} // namespace tessaly
