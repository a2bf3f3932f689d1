#include "helper/HelperConnection.h"

#include "daemon/HelperProtocol.h"
#include "platform/PropertyList.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessaly {

namespace proto = dorn::protocol;

namespace {

void sendAll(int fd, const std::uint8_t* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t w = ::send(fd, p + done, n - done, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            throw HelperError("the connection to the helper failed while sending");
        done += static_cast<std::size_t>(w);
    }
}

void readAll(int fd, std::uint8_t* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::recv(fd, p + done, n - done, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            throw HelperError("the connection to the helper closed before its reply");
        done += static_cast<std::size_t>(r);
    }
}

} // namespace

HelperConnection::~HelperConnection() {
    close();
}

std::string HelperConnection::socketPath() {
    const char* v = std::getenv(proto::kSocketEnvironment);
    return (v && *v) ? std::string(v) : std::string(proto::kDefaultSocketPath);
}

void HelperConnection::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool HelperConnection::connectTo(const std::string& path) {
    close();
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool HelperConnection::lookup(const std::string& command, const std::string& path) {
    if (!connectTo(path))
        return false;
    try {
        return respondsToSelector(command);
    } catch (const HelperError&) {
        close();
        return false;
    }
}

bool HelperConnection::respondsToSelector(const std::string& command) {
    return call(proto::kRespondsToSelector, {PlistValue(command)}).toBool(false);
}

PlistValue HelperConnection::call(const std::string& command, PlistValue::Array arguments) {
    if (fd_ < 0)
        throw HelperError("not connected to the helper");
    PlistValue::Dict request;
    request[proto::kCommandKey] = PlistValue(command);
    request[proto::kArgumentsKey] = PlistValue(std::move(arguments));
    auto body = plist::serialize(PlistValue(std::move(request)), plist::Format::Binary);
    if (!body || body->empty() || body->size() > proto::kMaxMessageBytes)
        throw HelperError("request for " + command + " is too large or cannot be written");
    std::uint8_t prefix[proto::kLengthPrefixBytes];
    proto::putLength(prefix, static_cast<std::uint32_t>(body->size()));
    try {
        sendAll(fd_, prefix, sizeof prefix);
        sendAll(fd_, body->data(), body->size());
        readAll(fd_, prefix, sizeof prefix);
        std::uint32_t n = proto::getLength(prefix);
        if (n == 0 || n > proto::kMaxMessageBytes)
            throw HelperError("the helper's reply has a bad length");
        std::vector<std::uint8_t> replyBytes(n);
        readAll(fd_, replyBytes.data(), n);
        auto reply = plist::parse(replyBytes);
        if (!reply || !reply->isDict())
            throw HelperError("the helper's reply is not a dictionary");
        if (const auto* error = reply->find(proto::kErrorKey))
            throw HelperError("the helper refused " + command + ": " + error->toString());
        const auto* value = reply->find(proto::kReplyKey);
        return value ? *value : PlistValue();
    } catch (const HelperError&) {
        close();
        throw;
    }
}

} // namespace tessaly
