#include "platform/MachOFile.h"

#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace tessaly::macho {

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

// Open descriptor of a regular file, closed on scope exit.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ >= 0 && (::fstat(fd_, &st_) != 0 || !S_ISREG(st_.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReadOnlyFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return fd_; }
    std::uint64_t size() const { return static_cast<std::uint64_t>(st_.st_size); }
    unsigned mode() const { return st_.st_mode & 07777; }

private:
    int fd_;
    struct stat st_ {};
};

std::optional<std::vector<FatSlice>> readSlices(const ReadOnlyFile& file) {
    std::uint8_t header[8];
    if (file.fd() < 0 || !readAt(file.fd(), header, 8, 0))
        return std::nullopt;
    auto magic = static_cast<std::uint32_t>(be(header, 4));
    auto count = static_cast<std::uint32_t>(be(header + 4, 4));
    bool wide = magic == kFatMagic64;
    if ((magic != kFatMagic && !wide) || count == 0 || count > kMaxSlices)
        return std::nullopt;
    const std::size_t entry = wide ? 32 : 20;
    std::vector<std::uint8_t> table(entry * count);
    if (!readAt(file.fd(), table.data(), table.size(), 8))
        return std::nullopt;
    std::vector<FatSlice> slices;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = table.data() + i * entry;
        FatSlice s;
        s.cpuType = static_cast<std::uint32_t>(be(e, 4));
        s.cpuSubtype = static_cast<std::uint32_t>(be(e + 4, 4));
        s.offset = wide ? be(e + 8, 8) : be(e + 8, 4);
        s.size = wide ? be(e + 16, 8) : be(e + 12, 4);
        if (s.offset > file.size() || s.size > file.size() - s.offset)
            return std::nullopt;
        slices.push_back(s);
    }
    return slices;
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

std::optional<std::vector<FatSlice>> readFatSlices(const std::string& path) {
    ReadOnlyFile file(path);
    return readSlices(file);
}

bool thinUniversalFile(const std::string& path, std::uint32_t cpuType) {
    unsigned mode = 0;
    std::vector<std::uint8_t> slice;
    {
        ReadOnlyFile file(path);
        auto slices = readSlices(file);
        if (!slices)
            return false;
        const FatSlice* chosen = nullptr;
        for (const FatSlice& s : *slices)
            if (s.cpuType == cpuType) {
                chosen = &s;
                break;
            }
        if (!chosen || chosen->size == 0 || chosen->size > (std::uint64_t{1} << 32))
            return false;
        slice.resize(static_cast<std::size_t>(chosen->size));
        if (!readAt(file.fd(), slice.data(), slice.size(), chosen->offset))
            return false;
        mode = file.mode();
    }
    return writeFileAtomically(path, slice.data(), slice.size(), nullptr, mode);
}

void thinToMachine(const std::string& path, const std::string& lipoTool) {
    std::string arch = machineArchitecture();
    if (!lipoTool.empty() && ::access(lipoTool.c_str(), X_OK) == 0) {
        runProcess(lipoTool, {path, "-thin", arch, "-output", path}, ChildOutput::Discard);
        return;
    }
    if (auto cpu = machOCpuType(arch))
        thinUniversalFile(path, *cpu);
}

} // namespace tessaly::macho
