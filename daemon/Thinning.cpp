#include "daemon/Thinning.h"

#include "daemon/FileOps.h"
#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

constexpr std::uint32_t kFatMagic = 0xCAFEBABE;
constexpr std::uint32_t kFatMagic64 = 0xCAFEBABF;
// More slices than this: not a universal file (Java class files share the magic
// and hold their version number where the slice count would be).
constexpr std::uint32_t kMaxSlices = 30;
constexpr std::uint32_t kCpuArch64 = 0x01000000;

std::uint64_t be(const std::uint8_t* p, unsigned width) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool readAt(int fd, std::uint8_t* out, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

} // namespace

std::string machineArchitecture() {
    struct utsname u {};
    if (::uname(&u) != 0)
        return {};
    char name[100] = {};
    for (std::size_t i = 0; i + 1 < sizeof name && u.machine[i]; ++i)
        name[i] = u.machine[i];
    return name;
}

std::optional<std::uint32_t> machOCpuType(const std::string& m) {
    if (m == "x86_64" || m == "amd64")
        return 7 | kCpuArch64;
    if (m == "i386" || m == "i486" || m == "i586" || m == "i686")
        return 7;
    if (m == "arm64" || m == "aarch64")
        return 12 | kCpuArch64;
    if (m.rfind("arm", 0) == 0)
        return 12;
    if (m == "ppc64")
        return 18 | kCpuArch64;
    if (m == "ppc")
        return 18;
    return std::nullopt;
}

bool thinUniversalFile(const std::string& path, std::uint32_t cpuType) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    std::uint8_t header[8];
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !readAt(fd, header, 8, 0)) {
        ::close(fd);
        return false;
    }
    auto magic = static_cast<std::uint32_t>(be(header, 4));
    auto slices = static_cast<std::uint32_t>(be(header + 4, 4));
    bool wide = magic == kFatMagic64;
    if ((magic != kFatMagic && !wide) || slices == 0 || slices > kMaxSlices) {
        ::close(fd);
        return false;
    }
    const std::size_t entry = wide ? 32 : 20;
    std::vector<std::uint8_t> table(entry * slices);
    if (!readAt(fd, table.data(), table.size(), 8)) {
        ::close(fd);
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t offset = 0, size = 0;
    bool found = false;
    for (std::uint32_t i = 0; i < slices && !found; ++i) {
        const std::uint8_t* e = table.data() + i * entry;
        if (static_cast<std::uint32_t>(be(e, 4)) != cpuType)
            continue;
        offset = wide ? be(e + 8, 8) : be(e + 8, 4);
        size = wide ? be(e + 16, 8) : be(e + 12, 4);
        found = true;
    }
    if (!found || size == 0 || offset > fileSize || size > fileSize - offset ||
        size > (std::uint64_t{1} << 32)) {
        ::close(fd);
        return false;
    }
    std::vector<std::uint8_t> slice(static_cast<std::size_t>(size));
    bool ok = readAt(fd, slice.data(), slice.size(), offset);
    ::close(fd);
    return ok && writeKeepingMode(path, slice.data(), slice.size());
}

void thinToMachine(const std::string& path, const std::string& lipoTool) {
    std::string arch = machineArchitecture();
    if (!lipoTool.empty() && ::access(lipoTool.c_str(), X_OK) == 0) {
        tessaly::runProcess(lipoTool, {path, "-thin", arch, "-output", path},
                            tessaly::ChildOutput::Discard);
        return;
    }
    if (auto cpu = machOCpuType(arch))
        thinUniversalFile(path, *cpu);
}

} // namespace dorn
