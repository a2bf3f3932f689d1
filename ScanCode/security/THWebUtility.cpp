#include "ScanCode/security/THWebUtility.h"

#include "ScanCode/duplicate/FileDigest.h"

#include <cerrno>
#include <openssl/evp.h>
#include <unistd.h>

namespace tessaly {

namespace {

const EVP_MD* algorithm(int kind) {
    switch (kind) {
    case 0:
        return EVP_md5();
    case 1:
        return EVP_sha1();
    case 2:
        return EVP_sha256();
    case 3:
        return EVP_sha512();
    default:
        return nullptr;
    }
}

} // namespace

struct MultiDigest::Context {
    int kind;
    EVP_MD_CTX* ctx;
};

MultiDigest::MultiDigest(const std::vector<int>& kinds) {
    for (int kind : kinds) {
        const EVP_MD* md = algorithm(kind);
        EVP_MD_CTX* ctx = md ? EVP_MD_CTX_new() : nullptr;
        if (!ctx || EVP_DigestInit_ex(ctx, md, nullptr) != 1) {
            if (ctx)
                EVP_MD_CTX_free(ctx);
            ok_ = false;
            continue;
        }
        contexts_.push_back(new Context{kind, ctx});
    }
}

MultiDigest::~MultiDigest() {
    for (Context* c : contexts_) {
        EVP_MD_CTX_free(c->ctx);
        delete c;
    }
}

void MultiDigest::update(const void* bytes, std::size_t length) {
    for (Context* c : contexts_)
        if (EVP_DigestUpdate(c->ctx, bytes, length) != 1)
            ok_ = false;
}

std::vector<std::optional<std::string>> MultiDigest::finish() {
    std::vector<std::optional<std::string>> out(4);
    for (Context* c : contexts_) {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int n = 0;
        if (ok_ && EVP_DigestFinal_ex(c->ctx, md, &n) == 1)
            out[static_cast<std::size_t>(c->kind)] = digest::hex(md, n);
    }
    return out;
}

bool digestFile(int fd, MultiDigest& digest) {
    unsigned char buffer[64 * 1024];
    off_t at = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return digest.ok();
        digest.update(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

std::optional<std::string> THWebUtility::hashFile(const std::string& path, int kind) {
    if (!algorithm(kind))
        return std::nullopt;
    int fd = digest::openForReading(path);
    if (fd < 0)
        return std::nullopt;
    MultiDigest d({kind});
    bool read = digestFile(fd, d);
    ::close(fd);
    if (!read)
        return std::nullopt;
    return d.finish()[static_cast<std::size_t>(kind)];
}

std::optional<std::string> THWebUtility::hashData(const std::vector<std::uint8_t>& bytes,
                                                  int kind) {
    if (!algorithm(kind) || bytes.empty())
        return std::nullopt;
    MultiDigest d({kind});
    d.update(bytes.data(), bytes.size());
    return d.finish()[static_cast<std::size_t>(kind)];
}

std::optional<std::string> THWebUtility::hashString(const std::string& text, int kind) {
    return hashData(std::vector<std::uint8_t>(text.begin(), text.end()), kind);
}

} // namespace tessaly
