#include "daemon/Thinning.h"

#include "daemon/Beneath.h"
#include "daemon/FileOps.h"
#include "daemon/UniqueFd.h"
#include "platform/MachOFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

// The copy goes through one block of this size, whatever the slice's size.
constexpr std::size_t kCopyBlock = 1u << 20;

bool readAt(int fd, std::uint8_t* out, std::size_t n, std::uint64_t offset) {
    for (std::size_t done = 0; done < n;) {
        ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

// Copies [offset, offset + size) of in to the start of out, block by block;
// holes of the source stay holes.
bool copyRange(int in, int out, std::uint64_t offset, std::uint64_t size, std::string* why) {
    std::vector<std::uint8_t> block(kCopyBlock);
    const std::uint64_t end = offset + size;
    for (std::uint64_t at = offset; at < end;) {
        off_t data = ::lseek(in, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // only a hole to the end
        std::uint64_t from = data < 0 ? at : static_cast<std::uint64_t>(data);
        if (from >= end)
            break;
        auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, end - from));
        if (!readAt(in, block.data(), n, from)) {
            *why = "cannot read its slice";
            return false;
        }
        if (!writeAllAt(out, block.data(), n, from - offset)) {
            *why = "cannot write its slice";
            return false;
        }
        at = from + n;
    }
    if (::ftruncate(out, static_cast<off_t>(size)) != 0) {
        *why = "cannot size its slice";
        return false;
    }
    return true;
}

} // namespace

bool thinToMachineAt(int dirFd, const std::string& name, std::string* why) {
    why->clear();
    auto cpu = tessaly::macho::machOCpuType(tessaly::macho::machineArchitecture());
    if (!cpu)
        return false;
    UniqueFd fd = openRegularAt(dirFd, name, O_RDONLY);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        if (errno != EINVAL) // another kind of file has nothing to thin
            *why = errno == ELOOP ? "a link" : "cannot be opened";
        return false;
    }
    if (st.st_mode & (S_ISUID | S_ISGID)) {
        *why = "a setuid or setgid file";
        return false;
    }
    std::vector<std::uint8_t> header(tessaly::macho::kMaxHeaderBytes);
    ssize_t got = ::pread(fd.get(), header.data(), header.size(), 0);
    if (got <= 0)
        return false;
    auto fileSize = static_cast<std::uint64_t>(st.st_size);
    auto slices =
        tessaly::macho::parseFatSlices(header.data(), static_cast<std::size_t>(got), fileSize);
    if (!slices)
        return false;
    for (const auto& s : *slices) {
        if (s.cpuType != *cpu)
            continue;
        if (s.size == 0 || s.offset > fileSize || s.size > fileSize - s.offset) {
            *why = "its slice lies outside the file";
            return false;
        }
        // The thinned file takes the place of exactly the file read here.
        auto fill = [&](int out, std::string* failure) {
            return copyRange(fd.get(), out, s.offset, s.size, failure);
        };
        return replaceFileAt(dirFd, name, fill, st.st_uid, st.st_gid, &st, why);
    }
    return false;
}

} // namespace dorn
