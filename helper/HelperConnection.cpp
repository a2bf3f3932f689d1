#include "helper/HelperConnection.h"

#include "daemon/HelperProtocol.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

std::vector<std::uint8_t> framed(const std::string& command, PlistValue::Array arguments) {
    PlistValue::Dict request;
    request[proto::kCommandKey] = PlistValue(command);
    request[proto::kArgumentsKey] = PlistValue(std::move(arguments));
    auto body = plist::serialize(PlistValue(std::move(request)), plist::Format::Binary);
    if (!body || body->empty() || body->size() > proto::kMaxMessageBytes)
        throw HelperError("request for " + command + " is too large or cannot be written");
    // Sized once: the prefix, then the body copied in behind it.
    std::vector<std::uint8_t> bytes(proto::kLengthPrefixBytes + body->size());
    proto::putLength(bytes.data(), static_cast<std::uint32_t>(body->size()));
    std::copy(body->begin(), body->end(), bytes.begin() + proto::kLengthPrefixBytes);
    return bytes;
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
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    unreadStopReplies_ = 0;
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
    std::vector<std::uint8_t> request = framed(command, std::move(arguments));
    try {
        std::size_t skip = 0;
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            skip = std::exchange(unreadStopReplies_, 0);
            sendAll(fd_, request.data(), request.size());
        }
        // Replies come in the order of the requests: first those of stops sent
        // before this request, then its own.
        for (std::size_t i = 0;; ++i) {
            std::uint8_t prefix[proto::kLengthPrefixBytes];
            readAll(fd_, prefix, sizeof prefix);
            std::uint32_t n = proto::getLength(prefix);
            if (n == 0 || n > proto::kMaxMessageBytes)
                throw HelperError("the helper's reply has a bad length");
            std::vector<std::uint8_t> replyBytes(n);
            readAll(fd_, replyBytes.data(), n);
            if (i < skip)
                continue;
            auto reply = plist::parse(replyBytes);
            if (!reply || !reply->isDict())
                throw HelperError("the helper's reply is not a dictionary");
            if (const auto* error = reply->find(proto::kErrorKey))
                throw HelperError("the helper refused " + command + ": " + error->toString());
            const auto* value = reply->find(proto::kReplyKey);
            return value ? *value : PlistValue();
        }
    } catch (const HelperError&) {
        close();
        throw;
    }
}

bool HelperConnection::sendStop(const std::string& command) {
    std::vector<std::uint8_t> request = framed(command, {});
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (fd_ < 0)
        return false;
    ssize_t w = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w <= 0)
        return false; // the service reads ahead, so a full socket means it is gone
    try {
        // The rest of a few dozen bytes, so that the framing holds.
        auto done = static_cast<std::size_t>(w);
        sendAll(fd_, request.data() + done, request.size() - done);
    } catch (const HelperError&) {
        return false;
    }
    ++unreadStopReplies_;
    return true;
}

} // namespace tessaly
