#include "platform/FileOverwrite.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::string failed(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

} // namespace

FileOverwrite::FileOverwrite(const std::uint8_t* pattern, std::size_t blockSize,
                             std::function<bool()> stopped, Sync sync)
    : pattern_(pattern), blockSize_(blockSize), stopped_(std::move(stopped)),
      sync_(std::move(sync)) {
    if (!stopped_)
        stopped_ = [] { return false; };
    if (!sync_)
        sync_ = [](int fd) { return ::fdatasync(fd); };
}

bool FileOverwrite::overwrite(int fd, std::string* why) const {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *why = failed("cannot read its attributes");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        return false;
    }
    if (st.st_nlink > 1) {
        *why = "it has several hard links";
        return false;
    }
    const std::int64_t size = st.st_size;
    std::int64_t at = 0;
    bool stopped = false;
    while (at < size && !(stopped = stopped_())) {
        // The next extent holding data, [data, hole).
        off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // only a hole up to the end
        off_t hole = data < 0 ? size : ::lseek(fd, data, SEEK_HOLE);
        if (data < 0) {
            if (errno != EINVAL) {
                *why = failed("cannot find its data");
                return false;
            }
            data = at; // a file system without extent queries: all of it
        }
        if (hole < 0) {
            *why = failed("cannot find its data");
            return false;
        }
        std::int64_t end = std::min<std::int64_t>(hole, size);
        if (!writeRange(fd, data, end, &stopped, why))
            return false;
        if (stopped)
            break;
        at = end;
    }
    if (sync_(fd) != 0) {
        *why = failed("cannot sync it to the disk");
        return false;
    }
    if (stopped) {
        *why = kStoppedReason;
        return false;
    }
    return true;
}

bool FileOverwrite::overwritePath(const std::string& path, std::string* why) const {
    int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = failed("cannot open it");
        return false;
    }
    bool done = overwrite(fd, why);
    if (::close(fd) != 0 && done) {
        *why = failed("cannot close it");
        return false;
    }
    return done;
}

bool FileOverwrite::writeRange(int fd, std::int64_t from, std::int64_t to, bool* stopped,
                               std::string* why) const {
    const auto block = static_cast<std::int64_t>(blockSize_);
    for (std::int64_t at = from; at < to;) {
        if ((*stopped = stopped_()))
            return true;
        auto chunk = static_cast<std::size_t>(std::min(block, to - at));
        for (std::size_t done = 0; done < chunk;) {
            ssize_t w = ::pwrite(fd, pattern_ + done, chunk - done, at + static_cast<off_t>(done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                *why = failed("cannot write");
                return false;
            }
            done += static_cast<std::size_t>(w);
        }
        at += static_cast<std::int64_t>(chunk);
    }
    return true;
}

} // namespace tessaly
