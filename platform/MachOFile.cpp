#include "platform/MachOFile.h"

#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"
#include "platform/QuietOpen.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace tessaly::macho {

namespace {

constexpr std::uint32_t kFatMagic = 0xCAFEBABE;
constexpr std::uint32_t kFatMagic64 = 0xCAFEBABF;
constexpr std::uint32_t kFatCigam = 0xBEBAFECA;
constexpr std::uint32_t kFatCigam64 = 0xBFBAFECA;
constexpr std::uint32_t kMachMagic = 0xFEEDFACE;
constexpr std::uint32_t kMachMagic64 = 0xFEEDFACF;
constexpr std::uint32_t kMachCigam = 0xCEFAEDFE;
constexpr std::uint32_t kMachCigam64 = 0xCFFAEDFE;
// More slices than this: not a universal file (Java class files share the magic
// and hold their version number where the slice count would be).
constexpr std::uint32_t kMaxSlices = 30;
constexpr std::uint32_t kCpuArch64 = 0x01000000;
// A plain Mach-O header: magic, cpu type, subtype, file type, command count,
// command size, flags (and a reserved word in the 64-bit form).
constexpr std::size_t kMachHeader = 28;
constexpr std::size_t kMachHeader64 = 32;

static_assert(kMaxHeaderBytes == 8 + kMaxSlices * 32);

// An unsigned number of `width` bytes in the given byte order.
std::uint64_t number(const std::uint8_t* p, unsigned width, bool bigEndian = true) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | p[bigEndian ? i : width - 1 - i];
    return v;
}

std::uint32_t word(const std::uint8_t* p, bool bigEndian = true) {
    return static_cast<std::uint32_t>(number(p, 4, bigEndian));
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
        : fd_(fileops::openQuietly(path, O_RDONLY | O_CLOEXEC)) {
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

// The first bytes of a file, up to its longest possible header.
std::vector<std::uint8_t> headerBytes(const ReadOnlyFile& file) {
    if (file.fd() < 0)
        return {};
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kMaxHeaderBytes)));
    if (!readAt(file.fd(), bytes.data(), bytes.size(), 0))
        return {};
    return bytes;
}

std::optional<std::vector<FatSlice>> readSlices(const ReadOnlyFile& file) {
    std::vector<std::uint8_t> bytes = headerBytes(file);
    return parseFatSlices(bytes.data(), bytes.size(), file.size());
}

} // namespace

std::optional<std::vector<FatSlice>> parseFatSlices(const std::uint8_t* data, std::size_t size,
                                                    std::uint64_t fileSize) {
    if (!data || size < 8)
        return std::nullopt;
    const std::uint32_t magic = word(data);
    const bool wide = magic == kFatMagic64 || magic == kFatCigam64;
    const bool big = magic == kFatMagic || magic == kFatMagic64;
    if (!wide && !big && magic != kFatCigam)
        return std::nullopt;
    const std::uint32_t count = word(data + 4, big);
    const std::size_t entry = wide ? 32 : 20;
    if (count == 0 || count > kMaxSlices || size - 8 < entry * count)
        return std::nullopt;
    std::vector<FatSlice> slices;
    slices.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = data + 8 + i * entry;
        FatSlice s;
        s.cpuType = word(e, big);
        s.cpuSubtype = word(e + 4, big);
        s.offset = wide ? number(e + 8, 8, big) : word(e + 8, big);
        s.size = wide ? number(e + 16, 8, big) : word(e + 12, big);
        if (s.offset > fileSize || s.size > fileSize - s.offset)
            return std::nullopt;
        slices.push_back(s);
    }
    return slices;
}

std::vector<std::uint32_t> executableArchitectures(const std::uint8_t* data, std::size_t size,
                                                   std::uint64_t fileSize) {
    if (!data || size < 8 || fileSize < size)
        return {};
    if (auto slices = parseFatSlices(data, size, fileSize)) {
        std::vector<std::uint32_t> types;
        for (const FatSlice& s : *slices)
            types.push_back(s.cpuType);
        return types;
    }
    const std::uint32_t magic = word(data);
    const bool big = magic == kMachMagic || magic == kMachMagic64;
    const bool wide = magic == kMachMagic64 || magic == kMachCigam64;
    if (!big && magic != kMachCigam && magic != kMachCigam64)
        return {};
    if (size < (wide ? kMachHeader64 : kMachHeader))
        return {};
    return {word(data + 4, big)};
}

std::vector<std::uint32_t> executableArchitectures(const std::string& path) {
    ReadOnlyFile file(path);
    std::vector<std::uint8_t> bytes = headerBytes(file);
    return executableArchitectures(bytes.data(), bytes.size(), file.size());
}

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

bool thinToMachine(const std::string& path, const std::string& lipoTool) {
    std::string arch = machineArchitecture();
    if (!lipoTool.empty() && ::access(lipoTool.c_str(), X_OK) == 0)
        return runProcess(lipoTool, {path, "-thin", arch, "-output", path}, ChildOutput::Discard) ==
               0;
    auto cpu = machOCpuType(arch);
    return cpu && thinUniversalFile(path, *cpu);
}

bool holdsOneArchitecture(const std::string& path) {
    return executableArchitectures(path).size() <= 1;
}

} // namespace tessaly::macho
