#include "ScanCode/duplicate/ContentCompare.h"

#include "ScanCode/duplicate/FileDigest.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace tessaly {

namespace {

// Files compared side by side at most; larger sets are first split by a hash of
// their whole contents, then each part is checked against its first file.
constexpr std::size_t kSideBySide = 8;
constexpr std::size_t kChunk = 1u << 20;

// Read buffers kept per thread for the whole run: fresh large buffers for every
// comparison would cost a page fault per page each time.
unsigned char* scratch(std::size_t slot) {
    thread_local std::vector<std::unique_ptr<unsigned char[]>> buffers;
    while (buffers.size() <= slot)
        buffers.emplace_back(new unsigned char[kChunk]);
    return buffers[slot].get();
}

// A file opened for the comparison, only when it still has the expected size.
class File {
public:
    File(const std::string& path, std::int64_t size) : fd_(digest::openForReading(path)) {
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != size)) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0 && size > static_cast<std::int64_t>(kChunk))
            ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~File() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return fd_ >= 0; }

    bool read(unsigned char* out, std::size_t length, std::int64_t offset) const {
        std::size_t done = 0;
        while (done < length) {
            ssize_t got = ::pread(fd_, out + done, length - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (got <= 0)
                return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_;
};

using Set = std::vector<std::size_t>;
using Classes = std::vector<Set>;

struct Context {
    const std::vector<std::string>& paths;
    std::int64_t size;
    const std::function<bool()>& cancelled;
    bool stopped() const { return cancelled && cancelled(); }
    std::size_t length(std::int64_t offset) const {
        return static_cast<std::size_t>(std::min<std::int64_t>(kChunk, size - offset));
    }
};

// Reads a few files chunk by chunk and splits them as soon as they differ.
Classes sideBySide(const Context& c, const Set& set) {
    std::vector<std::unique_ptr<File>> files;
    Set live; // positions in set of the files that opened
    for (std::size_t k = 0; k < set.size(); ++k) {
        files.push_back(std::make_unique<File>(c.paths[set[k]], c.size));
        if (files.back()->ok())
            live.push_back(k);
    }
    Classes classes;
    if (live.size() >= 2)
        classes.push_back(live);
    for (std::int64_t offset = 0; offset < c.size && !classes.empty();) {
        if (c.stopped())
            return {};
        const std::size_t length = c.length(offset);
        Classes next;
        for (const Set& cls : classes) {
            Classes split;
            for (std::size_t k : cls) {
                unsigned char* buffer = scratch(k);
                if (!files[k]->read(buffer, length, offset))
                    continue; // unreadable now: in no class
                auto same = std::find_if(split.begin(), split.end(), [&](const Set& s) {
                    return std::memcmp(scratch(s.front()), buffer, length) == 0;
                });
                if (same == split.end())
                    split.push_back({k});
                else
                    same->push_back(k);
            }
            for (Set& s : split)
                if (s.size() >= 2)
                    next.push_back(std::move(s));
        }
        classes = std::move(next);
        offset += static_cast<std::int64_t>(length);
    }
    for (Set& cls : classes)
        for (std::size_t& k : cls)
            k = set[k];
    return classes;
}

// Whether two open files hold the same bytes.
bool sameBytes(const Context& c, const File& a, const File& b) {
    for (std::int64_t offset = 0; offset < c.size;) {
        if (c.stopped())
            return false;
        const std::size_t length = c.length(offset);
        if (!a.read(scratch(0), length, offset) || !b.read(scratch(1), length, offset) ||
            std::memcmp(scratch(0), scratch(1), length) != 0)
            return false;
        offset += static_cast<std::int64_t>(length);
    }
    return true;
}

// Each file compared with the first one left; those equal to it form a class.
Classes againstFirst(const Context& c, Set rest) {
    Classes out;
    while (rest.size() >= 2 && !c.stopped()) {
        if (rest.size() <= kSideBySide) {
            for (Set& cls : sideBySide(c, rest))
                out.push_back(std::move(cls));
            break;
        }
        File first(c.paths[rest.front()], c.size);
        Set equal{rest.front()}, differ;
        if (first.ok()) {
            for (std::size_t k = 1; k < rest.size(); ++k) {
                File other(c.paths[rest[k]], c.size);
                if (!other.ok())
                    continue;
                (sameBytes(c, first, other) ? equal : differ).push_back(rest[k]);
            }
        } else {
            differ.assign(rest.begin() + 1, rest.end());
        }
        if (equal.size() >= 2)
            out.push_back(std::move(equal));
        rest = std::move(differ);
    }
    return out;
}

// Splits a large set by a (non-cryptographic) hash of each file's whole contents;
// sets of two or more, in the order of their first files.
Classes splitByHash(const Context& c, const Set& set) {
    std::unordered_map<std::size_t, std::size_t> slot;
    Classes parts;
    for (std::size_t i : set) {
        File f(c.paths[i], c.size);
        if (!f.ok())
            continue;
        std::size_t h = 0;
        bool ok = true;
        for (std::int64_t offset = 0; ok && offset < c.size;) {
            if (c.stopped())
                return {};
            const std::size_t length = c.length(offset);
            ok = f.read(scratch(0), length, offset);
            h = h * 1099511628211u ^ std::hash<std::string_view>{}(std::string_view(
                                         reinterpret_cast<const char*>(scratch(0)), length));
            offset += static_cast<std::int64_t>(length);
        }
        if (!ok)
            continue;
        auto [it, added] = slot.emplace(h, parts.size());
        if (added)
            parts.emplace_back();
        parts[it->second].push_back(i);
    }
    parts.erase(
        std::remove_if(parts.begin(), parts.end(), [](const Set& s) { return s.size() < 2; }),
        parts.end());
    return parts;
}

} // namespace

std::vector<std::vector<std::size_t>> partitionByContents(const std::vector<std::string>& paths,
                                                          std::int64_t size,
                                                          const std::function<bool()>& cancelled) {
    const Context c{paths, size, cancelled};
    Set all(paths.size());
    std::iota(all.begin(), all.end(), 0);
    Classes out;
    if (all.size() <= kSideBySide) {
        out = sideBySide(c, all);
    } else {
        for (const Set& part : splitByHash(c, all))
            for (Set& cls :
                 part.size() <= kSideBySide ? sideBySide(c, part) : againstFirst(c, part))
                out.push_back(std::move(cls));
    }
    if (c.stopped())
        return {};
    for (Set& cls : out)
        std::sort(cls.begin(), cls.end());
    std::sort(out.begin(), out.end(),
              [](const Set& a, const Set& b) { return a.front() < b.front(); });
    return out;
}

} // namespace tessaly
