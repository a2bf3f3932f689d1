#include "daemon/Server.h"

#include "daemon/HelperProtocol.h"
#include "daemon/WireFormat.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace dorn {

namespace {

constexpr std::size_t kMaxConnections = 64;
constexpr int kSendTimeoutMs = 10'000;

} // namespace

Server::Server(CommandRunner& runner, std::string socketPath, std::set<uid_t> allowedUids)
    : runner_(runner), socketPath_(std::move(socketPath)), allowed_(std::move(allowedUids)) {
    allowed_.insert(0);
}

Server::~Server() {
    for (auto& c : connections_)
        ::close(c.fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

bool Server::listen(std::string* error) {
    sockaddr_un addr{};
    if (socketPath_.empty() || socketPath_.size() >= sizeof addr.sun_path) {
        *error = "socket path is empty or too long";
        return false;
    }
    auto slash = socketPath_.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        tessaly::paths::makeDirectories(socketPath_.substr(0, slash));
    struct stat st {};
    if (::lstat(socketPath_.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = "something other than a socket is at " + socketPath_;
            return false;
        }
        ::unlink(socketPath_.c_str()); // left over from an earlier run
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        *error = std::strerror(errno);
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.size());
    mode_t old = ::umask(0);
    int rc = ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    if (rc != 0 || ::chmod(socketPath_.c_str(), 0666) != 0 || ::listen(listenFd_, 16) != 0) {
        *error = std::string("cannot listen on ") + socketPath_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Server::run() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        for (const auto& c : connections_)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            tessaly::log::line(std::string("poll failed: ") + std::strerror(errno));
            return;
        }
        // Connections in the order poll lists them; each one's requests in order.
        std::vector<int> closing;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            auto& c = connections_[i - 1];
            if (!readFrom(c))
                closing.push_back(c.fd);
        }
        for (int fd : closing) {
            ::close(fd);
            std::erase_if(connections_, [fd](const Connection& c) { return c.fd == fd; });
        }
        if (fds[0].revents & POLLIN)
            accept();
    }
}

void Server::accept() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) {
            tessaly::log::line("refused a caller whose credentials cannot be read");
            ::close(fd);
            continue;
        }
        if (!allowed_.count(cred.uid)) {
            tessaly::log::line("refused a caller with user id " + std::to_string(cred.uid) +
                               " (process " + std::to_string(cred.pid) + ")");
            ::close(fd);
            continue;
        }
        if (connections_.size() >= kMaxConnections) {
            tessaly::log::line("refused a caller: too many connections");
            ::close(fd);
            continue;
        }
        connections_.push_back({fd, {}});
    }
}

bool Server::readFrom(Connection& c) {
    std::uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.input.insert(c.input.end(), buf, buf + n);
            // Serve what is complete before reading on, so that a stream of
            // requests never piles up more than one message.
            if (!serveFrames(c))
                return false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false; // closed by the caller, or failed
    }
}

bool Server::serveFrames(Connection& c) {
    std::size_t used = 0;
    bool keep = true;
    while (keep && c.input.size() - used >= protocol::kLengthPrefixBytes) {
        std::uint32_t n = protocol::getLength(c.input.data() + used);
        if (n == 0 || n > protocol::kMaxMessageBytes) {
            send(c.fd, encodeError(n == 0 ? "empty message" : "message too large"));
            return false; // the rest of the stream cannot be trusted to be framed
        }
        if (c.input.size() - used - protocol::kLengthPrefixBytes < n)
            break;
        const std::uint8_t* body = c.input.data() + used + protocol::kLengthPrefixBytes;
        used += protocol::kLengthPrefixBytes + n;
        std::string why;
        auto request = decodeRequest(body, n, &why);
        if (!request) {
            keep = send(c.fd, encodeError(why));
            continue;
        }
        Reply reply = runner_.perform(request->command, request->arguments);
        if (!reply.error.empty())
            keep = send(c.fd, encodeError(reply.error));
        else if (reply.value)
            keep = send(c.fd, encodeReply(*reply.value));
        else
            keep = send(c.fd, encodeEmptyReply());
    }
    c.input.erase(c.input.begin(), c.input.begin() + static_cast<std::ptrdiff_t>(used));
    return keep;
}

bool Server::send(int fd, const std::vector<std::uint8_t>& body) {
    if (body.empty())
        return false;
    std::vector<std::uint8_t> bytes = frame(body);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kSendTimeoutMs) > 0)
                continue;
        }
        return false;
    }
    return true;
}

} // namespace dorn
