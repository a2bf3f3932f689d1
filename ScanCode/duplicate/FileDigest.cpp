#include "ScanCode/duplicate/FileDigest.h"

#include "model/CommonFunction.h"
#include "model/QueueAddition.h"
#include "platform/DirectoryReader.h"
#include "platform/Paths.h"
#include "platform/QuietOpen.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly::digest {

namespace {

constexpr std::size_t kBlock = 4096;
// Files up to this size are read with one call.
constexpr std::size_t kWhole = 16384;

struct CtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_MD_CTX, CtxFree>;

Ctx newContext(const EVP_MD* md) {
    Ctx ctx(EVP_MD_CTX_new());
    if (ctx && EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1)
        ctx.reset();
    return ctx;
}

std::optional<std::string> finish(EVP_MD_CTX* ctx) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx, out, &length) != 1)
        return std::nullopt;
    return hex(out, length);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

enum class Sample { Ok, Empty, Failed };

// Feeds the n sampled blocks of an open file into ctx.
Sample sampleInto(EVP_MD_CTX* ctx, int fd, const std::function<bool()>& stopped) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Sample::Failed;
    const std::int64_t size = st.st_size;
    if (size == 0)
        return Sample::Empty;
    const std::int64_t n = std::min<std::int64_t>(size / static_cast<std::int64_t>(kBlock) + 1, 3);
    const std::int64_t step = size / n;
    if (size <= static_cast<std::int64_t>(kWhole)) {
        // Small enough to read at once; the blocks are cut from it.
        std::array<unsigned char, kWhole> whole;
        ssize_t got = ::pread(fd, whole.data(), static_cast<std::size_t>(size), 0);
        if (got < 0)
            return Sample::Failed;
        for (std::int64_t i = 0; i < n; ++i) {
            const std::int64_t at = i * step;
            const std::int64_t length =
                std::min<std::int64_t>(static_cast<std::int64_t>(kBlock), got - at);
            if (length <= 0)
                continue;
            if (EVP_DigestUpdate(ctx, whole.data() + at, static_cast<std::size_t>(length)) != 1)
                return Sample::Failed;
        }
        return Sample::Ok;
    }
    std::array<unsigned char, kBlock> buffer;
    for (std::int64_t i = 0; i < n; ++i) {
        ssize_t got = ::pread(fd, buffer.data(), kBlock, static_cast<off_t>(i * step));
        if (got < 0)
            return Sample::Failed;
        if (got == 0) {
            if (stopped && stopped())
                break;
            continue;
        }
        if (EVP_DigestUpdate(ctx, buffer.data(), static_cast<std::size_t>(got)) != 1)
            return Sample::Failed;
    }
    return Sample::Ok;
}

// Entry names of a folder in name order, with what the listing tells of each.
struct Listed {
    std::string name;
    bool isDirectory;
    bool isSymlink;
};

std::vector<Listed> listSorted(const std::string& folder, bool& opened) {
    std::vector<Listed> entries;
    DirectoryReader reader(folder);
    opened = reader.isOpen();
    while (reader.next())
        entries.push_back({reader.name(), reader.isDirectory(), reader.isSymlink()});
    std::sort(entries.begin(), entries.end(),
              [](const Listed& a, const Listed& b) { return a.name < b.name; });
    return entries;
}

} // namespace

int openForReading(const std::string& path) {
    return fileops::openQuietly(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
}

std::string hex(const unsigned char* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string s(length * 2, '0');
    for (std::size_t i = 0; i < length; ++i) {
        s[2 * i] = digits[bytes[i] >> 4];
        s[2 * i + 1] = digits[bytes[i] & 0xf];
    }
    return s;
}

std::optional<std::string> MD5File(const std::string& path, const std::function<bool()>& stopped) {
    Fd fd(openForReading(path));
    if (fd.get() < 0)
        return std::nullopt;
    Ctx ctx = newContext(EVP_md5());
    if (!ctx || sampleInto(ctx.get(), fd.get(), stopped) != Sample::Ok)
        return std::nullopt;
    return finish(ctx.get());
}

std::optional<std::string> MD5Dir(const std::string& path, const std::function<bool()>& stopped) {
    Ctx ctx = newContext(EVP_md5());
    if (!ctx)
        return std::nullopt;
    std::vector<std::string> stack;
    dornPush(stack, path);
    while (auto folder = dornPop(stack)) {
        if (stopped && stopped())
            break;
        bool opened = false;
        for (const Listed& e : listSorted(*folder, opened)) {
            if (stopped && stopped())
                break;
            if (CommonFunction::hiddenFile(e.name) || e.isSymlink)
                continue;
            const std::string full = paths::join(*folder, e.name);
            if (e.isDirectory) { // entered later; adds no bytes of its own
                dornPush(stack, full);
                continue;
            }
            Fd fd(openForReading(full));
            if (fd.get() < 0)
                break; // ends this folder's listing
            Sample s = sampleInto(ctx.get(), fd.get(), stopped);
            if (s == Sample::Empty)
                break;
        }
    }
    return finish(ctx.get());
}

std::optional<std::string> bundleContentDigest(const std::string& path,
                                               const std::function<bool()>& stopped) {
    Ctx ctx = newContext(EVP_sha256());
    if (!ctx)
        return std::nullopt;
    auto feed = [&ctx](const std::string& text) {
        // Length first, so that no two sequences of texts feed the same bytes.
        const std::uint64_t n = text.size();
        EVP_DigestUpdate(ctx.get(), &n, sizeof n);
        EVP_DigestUpdate(ctx.get(), text.data(), text.size());
    };
    thread_local std::vector<unsigned char> buffer(1 << 20);
    std::vector<std::string> stack{""};
    while (!stack.empty()) {
        if (stopped && stopped())
            return std::nullopt;
        const std::string relative = stack.back();
        stack.pop_back();
        const std::string folder = relative.empty() ? path : paths::join(path, relative);
        bool opened = false;
        auto entries = listSorted(folder, opened);
        if (!opened)
            return std::nullopt;
        feed("D" + relative);
        for (const Listed& e : entries) {
            const std::string rel = relative.empty() ? e.name : relative + "/" + e.name;
            const std::string full = paths::join(path, rel);
            if (e.isDirectory) {
                stack.push_back(rel);
                continue;
            }
            if (e.isSymlink) {
                std::array<char, 4096> target{};
                ssize_t n = ::readlink(full.c_str(), target.data(), target.size());
                if (n < 0)
                    return std::nullopt;
                feed("L" + rel);
                feed(std::string(target.data(), static_cast<std::size_t>(n)));
                continue;
            }
            Fd fd(openForReading(full));
            struct stat st {};
            if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
                return std::nullopt;
            feed((S_ISREG(st.st_mode) ? "F" : "S") + rel);
            if (!S_ISREG(st.st_mode))
                continue;
            const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
            EVP_DigestUpdate(ctx.get(), &size, sizeof size);
            std::uint64_t total = 0;
            for (;;) {
                ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
                if (got < 0)
                    return std::nullopt;
                if (got == 0)
                    break;
                total += static_cast<std::uint64_t>(got);
                EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<std::size_t>(got));
            }
            if (total != size)
                return std::nullopt; // changed while read
        }
    }
    return finish(ctx.get());
}

} // namespace tessaly::digest
