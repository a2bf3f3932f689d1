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
// Input held for all connections together; past this nothing more is read of a
// large message until messages are served or their senders time out...
constexpr std::size_t kInputBudget = 64u << 20;
// ...but every connection may hold this much whatever the others hold, so that
// ordinary requests and stops are always heard.
constexpr std::size_t kReserve = 64u << 10;
constexpr std::size_t kReadChunk = 64u << 10;
// Requests of one connection taken apart and not yet answered.
constexpr std::size_t kMaxSlots = 64;
// Refused callers logged in one window; the rest are counted.
constexpr std::size_t kRefusalsLogged = 10;
constexpr std::chrono::seconds kRefusalWindow{10};

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
    // The socket file takes the mode of the socket when it is bound: set on the
    // descriptor, never through the path (which could be swapped meanwhile).
    if (::fchmod(listenFd_, 0666) != 0) {
        *error = std::string("cannot set the socket's mode: ") + std::strerror(errno);
        return false;
    }
    mode_t old = ::umask(0);
    int rc = ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    if (rc != 0 || ::listen(listenFd_, 64) != 0) {
        *error = std::string("cannot listen on ") + socketPath_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Server::Connection::running() const {
    return std::any_of(slots.begin(), slots.end(), [](const Slot& s) { return s.running; });
}

void Server::run() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        for (const auto& c : connections_) {
            short events = 0;
            if (mayRead(*c))
                events |= POLLIN;
            if (pending(*c) > 0)
                events |= POLLOUT;
            fds.push_back({c->gone ? -1 : c->fd, events, 0});
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
            if (fds[i].revents & POLLIN)
                readFrom(c);
            // Hung up or failed: nothing more can be read or delivered.
            if (fds[i].revents & (POLLHUP | POLLERR)) {
                readFrom(c);
                c.gone = true;
            }
        }
        Clock::time_point now = Clock::now();
        for (auto& c : connections_)
            expire(*c, now);
        dropGone();
        if (fds[0].revents & POLLIN)
            accept();
    }
}

void Server::dropGone() {
    // A connection whose work still runs stays counted until it has finished.
    std::erase_if(connections_, [this](const std::unique_ptr<Connection>& c) {
        if (!c->gone || c->running())
            return false;
        buffered_ -= c->input.size();
        ::close(c->fd);
        return true;
    });
}

bool Server::mayRead(const Connection& c) const {
    return !c.gone && !c.closeWhenWritten && pending(c) < kMaxPendingOutput &&
           c.slots.size() < kMaxSlots && (c.input.size() < kReserve || buffered_ < kInputBudget);
}

int Server::pollTimeout(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    for (const auto& c : connections_) {
        if (c->gone)
            continue;
        if (c->slots.empty())
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
    if (c.gone)
        return;
    if (c.messageStarted && now - *c.messageStarted > options_.messageLimit) {
        logLine("closed a connection of user " + std::to_string(c.context.caller.uid) +
                ": a message took too long to arrive");
        c.gone = true;
    } else if (c.slots.empty() && now - c.lastActivity > options_.idleLimit) {
        if (pending(c) > 0)
            logLine("closed a connection of user " + std::to_string(c.context.caller.uid) +
                    ": its replies were not read");
        c.gone = true;
    }
}

bool Server::makeRoom() {
    Connection* idlest = nullptr;
    for (auto& c : connections_)
        if (c->slots.empty() && !c->gone && (!idlest || c->lastActivity < idlest->lastActivity))
            idlest = c.get();
    if (!idlest)
        return false;
    logLine("closed the longest idle connection of user " +
            std::to_string(idlest->context.caller.uid) + " to make room for a new one");
    idlest->gone = true;
    dropGone();
    return true;
}

void Server::refused(const std::string& line) {
    Clock::time_point now = Clock::now();
    if (now - refusalWindow_ >= kRefusalWindow) {
        if (refusalsUnlogged_ > 0)
            logLine("refused " + std::to_string(refusalsUnlogged_) +
                    " more callers without logging each");
        refusalWindow_ = now;
        refusalsInWindow_ = 0;
        refusalsUnlogged_ = 0;
    }
    if (refusalsInWindow_++ < kRefusalsLogged)
        logLine(line);
    else
        ++refusalsUnlogged_;
}

void Server::accept() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        bool ok = false;
        Caller caller = peerOf(fd, &ok);
        if (!ok) {
            refused("refused a caller whose credentials cannot be read");
            ::close(fd);
            continue;
        }
        if (!options_.allowedUids.count(caller.uid)) {
            refused("refused a caller with user id " + std::to_string(caller.uid) + " (process " +
                    std::to_string(caller.pid) + ")");
            ::close(fd);
            continue;
        }
        if (connections_.size() >= kMaxConnections && !makeRoom()) {
            refused("refused a caller: too many connections");
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->id = nextId_++;
        c->fd = fd;
        c->context.caller = std::move(caller);
        c->lastActivity = Clock::now();
        connections_.push_back(std::move(c));
    }
}

void Server::readFrom(Connection& c) {
    std::uint8_t buf[kReadChunk];
    while (mayRead(c)) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.lastActivity = Clock::now();
            if (!c.messageStarted)
                c.messageStarted = c.lastActivity;
            c.input.insert(c.input.end(), buf, buf + n);
            buffered_ += static_cast<std::size_t>(n);
            takeFrames(c);
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

void Server::takeFrames(Connection& c) {
    std::size_t used = 0;
    while (!c.gone && !c.closeWhenWritten && c.slots.size() < kMaxSlots &&
           c.input.size() - used >= protocol::kLengthPrefixBytes) {
        std::uint32_t n = protocol::getLength(c.input.data() + used);
        Slot slot;
        slot.seq = ++c.context.seq;
        if (n == 0 || n > protocol::kMaxMessageBytes) {
            c.closeWhenWritten = true; // the rest of the stream cannot be trusted to be framed
            slot.done = true;
            slot.reply = encodeError(n == 0 ? "empty message" : "message too large");
            c.slots.push_back(std::move(slot));
            used = c.input.size();
            break;
        }
        if (c.input.size() - used - protocol::kLengthPrefixBytes < n) {
            --c.context.seq;
            break;
        }
        const std::uint8_t* body = c.input.data() + used + protocol::kLengthPrefixBytes;
        used += protocol::kLengthPrefixBytes + n;
        std::string why;
        auto request = decodeRequest(body, n, &why);
        RequestContext context = c.context;
        if (!request) {
            slot.done = true;
            slot.reply = encodeError(why);
        } else {
            CommandRunner::arrived(context, request->command);
            if (CommandRunner::isImmediate(request->command)) {
                slot.done = true;
                slot.reply =
                    encoded(runner_.perform(context, request->command, request->arguments));
            } else {
                slot.request = std::move(*request);
            }
        }
        c.slots.push_back(std::move(slot));
    }
    c.input.erase(c.input.begin(), c.input.begin() + static_cast<std::ptrdiff_t>(used));
    buffered_ -= used;
    // A message under way is timed from its first byte.
    if (c.input.empty())
        c.messageStarted.reset();
    else if (used > 0)
        c.messageStarted = Clock::now();
    startNext(c);
    flushReplies(c);
}

void Server::startNext(Connection& c) {
    for (Slot& slot : c.slots) {
        if (slot.running)
            return; // one at a time
        if (slot.done)
            continue;
        slot.running = true;
        RequestContext context = c.context;
        context.seq = slot.seq;
        bool posted = workers_.post(
            [this, id = c.id, context = std::move(context), r = std::move(*slot.request)] {
                std::vector<std::uint8_t> reply =
                    encoded(runner_.perform(context, r.command, r.arguments));
                {
                    std::lock_guard<std::mutex> lock(finishedMutex_);
                    finished_.push_back({id, context.seq, std::move(reply)});
                }
                std::uint64_t one = 1;
                [[maybe_unused]] ssize_t w = ::write(wakeFd_, &one, sizeof one);
            });
        slot.request.reset();
        if (!posted) {
            slot.running = false;
            slot.done = true;
            slot.reply = encodeError("busy");
            continue;
        }
        return;
    }
}

void Server::flushReplies(Connection& c) {
    while (!c.slots.empty() && c.slots.front().done) {
        std::vector<std::uint8_t> reply = std::move(c.slots.front().reply);
        c.slots.pop_front();
        if (!c.gone)
            queueReply(c, reply);
    }
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
    if (c.closeWhenWritten && c.slots.empty())
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
        for (Slot& slot : c.slots)
            if (slot.seq == f.seq) {
                slot.running = false;
                slot.done = true;
                slot.reply = std::move(f.body);
            }
        c.lastActivity = Clock::now();
        flushReplies(c);
        if (!c.gone)
            takeFrames(c); // requests that arrived behind it
    }
}

} // namespace dorn
