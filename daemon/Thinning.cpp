#include "daemon/Thinning.h"

#include "daemon/FileOps.h"
#include "daemon/UniqueFd.h"
#include "platform/MachOFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

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

} // namespace

bool thinToMachineAt(int dirFd, const std::string& name, std::string* why) {
    why->clear();
    auto cpu = tessaly::macho::machOCpuType(tessaly::macho::machineArchitecture());
    if (!cpu)
        return false;
    UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        *why = errno == ELOOP ? "a link" : "cannot be opened";
        return false;
    }
    if (!S_ISREG(st.st_mode))
        return false;
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
        if (s.size == 0 || s.size > (std::uint64_t{1} << 32))
            return false;
        std::vector<std::uint8_t> slice(static_cast<std::size_t>(s.size));
        if (!readAt(fd.get(), slice.data(), slice.size(), s.offset)) {
            *why = "cannot read its slice";
            return false;
        }
        return replaceFileAt(dirFd, name, slice.data(), slice.size(), st.st_uid, st.st_gid, why);
    }
    return false;
}

} // namespace dorn
