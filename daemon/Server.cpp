#include "daemon/Server.h"

#include "daemon/HelperProtocol.h"
#include "daemon/LogText.h"
#include "daemon/WireFormat.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace dorn {

namespace {

constexpr std::size_t kMaxConnections = 64;
// Replies held for a caller that does not read them; past this its requests wait.
constexpr std::size_t kMaxPendingOutput = 256u << 10;
// Input held for all connections together; past this nothing more is read until
// messages are served or their senders time out.
constexpr std::size_t kInputBudget = 64u << 20;
constexpr std::size_t kReadChunk = 64u << 10;

Caller peerOf(int fd, bool* ok) {
    Caller caller;
    ucred cred{};
    socklen_t len = sizeof cred;
    *ok = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && len == sizeof cred;
    caller.uid = cred.uid;
    caller.gid = cred.gid;
    caller.pid = cred.pid;
    std::vector<gid_t> groups(64);
    for (int attempt = 0; attempt < 4; ++attempt) {
        socklen_t size = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) == 0) {
            groups.resize(size / sizeof(gid_t));
            caller.groups = std::move(groups);
            return caller;
        }
        if (errno != ERANGE)
            break;
        groups.resize(size / sizeof(gid_t) + 1);
    }
    *ok = false; // without its groups the caller's rights are not known
    return caller;
}

std::vector<std::uint8_t> encoded(const Reply& reply) {
    if (!reply.error.empty())
        return encodeError(reply.error);
    if (reply.value)
        return encodeReply(*reply.value);
    return encodeEmptyReply();
}

} // namespace

Server::Server(CommandRunner& runner, std::string socketPath, ServerOptions options)
    : runner_(runner), socketPath_(std::move(socketPath)), options_(std::move(options)),
      workers_(std::max<std::size_t>(1, options_.workers), 4 * kMaxConnections) {
    options_.allowedUids.insert(0);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Server::~Server() {
    for (auto& c : connections_)
        ::close(c->fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool Server::listen(std::string* error) {
    sockaddr_un addr{};
    if (wakeFd_ < 0) {
        *error = std::string("cannot make an event descriptor: ") + std::strerror(errno);
        return false;
    }
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
    if (rc != 0 || ::chmod(socketPath_.c_str(), 0666) != 0 || ::listen(listenFd_, 64) != 0) {
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
        fds.push_back({wakeFd_, POLLIN, 0});
        for (const auto& c : connections_) {
            short events = 0;
            bool mayRead = !c->busy && !c->closeWhenWritten && pending(*c) < kMaxPendingOutput &&
                           buffered_ < kInputBudget;
            if (mayRead)
                events |= POLLIN;
            if (pending(*c) > 0)
                events |= POLLOUT;
            // A busy connection is left alone until its reply is ready.
            fds.push_back({c->busy ? -1 : c->fd, events, 0});
        }
        if (::poll(fds.data(), fds.size(), pollTimeout(Clock::now())) < 0) {
            if (errno == EINTR)
                continue;
            logLine(std::string("poll failed: ") + std::strerror(errno));
            return;
        }
        if (fds[1].revents)
            takeFinished();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents || fds[i].fd < 0)
                continue;
            // takeFinished() above only appends to connections_; indices hold.
            Connection& c = *connections_[i - 2];
            if (fds[i].revents & POLLOUT)
                writeTo(c);
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                readFrom(c);
        }
        Clock::time_point now = Clock::now();
        for (auto& c : connections_)
            expire(*c, now);
        std::erase_if(connections_, [this](const std::unique_ptr<Connection>& c) {
            if (!c->gone || c->busy)
                return false;
            buffered_ -= c->input.size();
            ::close(c->fd);
            return true;
        });
        if (fds[0].revents & POLLIN)
            accept();
    }
}

int Server::pollTimeout(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    for (const auto& c : connections_) {
        if (c->busy || c->gone)
            continue;
        next = std::min(next, c->lastActivity + options_.idleLimit);
        if (c->messageStarted)
            next = std::min(next, *c->messageStarted + options_.messageLimit);
    }
    if (next == Clock::time_point::max())
        return -1;
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<long long>(wait + 1, 0, 60'000));
}

void Server::expire(Connection& c, Clock::time_point now) {
    if (c.busy || c.gone)
        return;
    if (c.messageStarted && now - *c.messageStarted > options_.messageLimit) {
        logLine("closed a connection of user " + std::to_string(c.caller.uid) +
                ": a message took too long to arrive");
        c.gone = true;
    } else if (now - c.lastActivity > options_.idleLimit) {
        if (pending(c) > 0)
            logLine("closed a connection of user " + std::to_string(c.caller.uid) +
                    ": its replies were not read");
        c.gone = true;
    }
}

bool Server::makeRoom() {
    Connection* idlest = nullptr;
    for (auto& c : connections_)
        if (!c->busy && !c->gone && (!idlest || c->lastActivity < idlest->lastActivity))
            idlest = c.get();
    if (!idlest)
        return false;
    logLine("closed the longest idle connection of user " + std::to_string(idlest->caller.uid) +
            " to make room for a new one");
    idlest->gone = true;
    std::erase_if(connections_, [this](const std::unique_ptr<Connection>& c) {
        if (!c->gone || c->busy)
            return false;
        buffered_ -= c->input.size();
        ::close(c->fd);
        return true;
    });
    return true;
}

void Server::accept() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        bool ok = false;
        Caller caller = peerOf(fd, &ok);
        if (!ok) {
            logLine("refused a caller whose credentials cannot be read");
            ::close(fd);
            continue;
        }
        if (!options_.allowedUids.count(caller.uid)) {
            logLine("refused a caller with user id " + std::to_string(caller.uid) + " (process " +
                    std::to_string(caller.pid) + ")");
            ::close(fd);
            continue;
        }
        if (connections_.size() >= kMaxConnections && !makeRoom()) {
            logLine("refused a caller: too many connections");
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->id = nextId_++;
        c->fd = fd;
        c->caller = std::move(caller);
        c->lastActivity = Clock::now();
        connections_.push_back(std::move(c));
    }
}

void Server::readFrom(Connection& c) {
    std::uint8_t buf[kReadChunk];
    while (!c.busy && !c.gone && !c.closeWhenWritten && pending(c) < kMaxPendingOutput &&
           buffered_ < kInputBudget) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.lastActivity = Clock::now();
            if (!c.messageStarted)
                c.messageStarted = c.lastActivity;
            c.input.insert(c.input.end(), buf, buf + n);
            buffered_ += static_cast<std::size_t>(n);
            serveFrames(c);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        c.gone = true; // closed by the caller, or failed
        return;
    }
}

void Server::serveFrames(Connection& c) {
    std::size_t used = 0;
    while (!c.busy && !c.gone && !c.closeWhenWritten && pending(c) < kMaxPendingOutput &&
           c.input.size() - used >= protocol::kLengthPrefixBytes) {
        std::uint32_t n = protocol::getLength(c.input.data() + used);
        if (n == 0 || n > protocol::kMaxMessageBytes) {
            c.closeWhenWritten = true; // the rest of the stream cannot be trusted to be framed
            queueReply(c, encodeError(n == 0 ? "empty message" : "message too large"));
            used = c.input.size();
            break;
        }
        if (c.input.size() - used - protocol::kLengthPrefixBytes < n)
            break;
        const std::uint8_t* body = c.input.data() + used + protocol::kLengthPrefixBytes;
        used += protocol::kLengthPrefixBytes + n;
        std::string why;
        auto request = decodeRequest(body, n, &why);
        if (!request) {
            queueReply(c, encodeError(why));
            continue;
        }
        runner_.arrived(request->command);
        if (CommandRunner::isImmediate(request->command)) {
            queueReply(c, encoded(runner_.perform(c.caller, request->command, request->arguments)));
            continue;
        }
        c.busy = true;
        bool posted = workers_.post([this, id = c.id, caller = c.caller, r = std::move(*request)] {
            std::vector<std::uint8_t> reply =
                encoded(runner_.perform(caller, r.command, r.arguments));
            {
                std::lock_guard<std::mutex> lock(finishedMutex_);
                finished_.push_back({id, std::move(reply)});
            }
            std::uint64_t one = 1;
            [[maybe_unused]] ssize_t w = ::write(wakeFd_, &one, sizeof one);
        });
        if (!posted) {
            c.busy = false;
            queueReply(c, encodeError("busy"));
        }
    }
    c.input.erase(c.input.begin(), c.input.begin() + static_cast<std::ptrdiff_t>(used));
    buffered_ -= used;
    // A message under way is timed from its first byte.
    if (c.input.empty())
        c.messageStarted.reset();
    else if (used > 0)
        c.messageStarted = Clock::now();
}

void Server::queueReply(Connection& c, const std::vector<std::uint8_t>& body) {
    if (body.empty()) {
        c.gone = true;
        return;
    }
    std::vector<std::uint8_t> bytes = frame(body);
    if (c.written > 0 && c.written == c.output.size()) {
        c.output.clear();
        c.written = 0;
    }
    c.output.insert(c.output.end(), bytes.begin(), bytes.end());
    writeTo(c);
}

void Server::writeTo(Connection& c) {
    while (pending(c) > 0) {
        ssize_t w = ::send(c.fd, c.output.data() + c.written, pending(c), MSG_NOSIGNAL);
        if (w > 0) {
            c.written += static_cast<std::size_t>(w);
            c.lastActivity = Clock::now();
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        c.gone = true;
        return;
    }
    c.output.clear();
    c.written = 0;
    if (c.closeWhenWritten)
        c.gone = true;
}

void Server::takeFinished() {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t r = ::read(wakeFd_, &count, sizeof count);
    std::vector<Finished> done;
    {
        std::lock_guard<std::mutex> lock(finishedMutex_);
        done.swap(finished_);
    }
    for (auto& f : done) {
        auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const auto& c) { return c->id == f.id; });
        if (it == connections_.end())
            continue;
        Connection& c = **it;
        c.busy = false;
        c.lastActivity = Clock::now();
        if (c.gone)
            continue;
        queueReply(c, f.body);
        serveFrames(c); // requests that arrived behind it
    }
}

} // namespace dorn
