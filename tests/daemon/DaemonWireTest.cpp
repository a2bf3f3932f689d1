// The service's socket under hostile or unexpected input, and its callers.
#include "daemon/HelperProtocol.h"
#include "helper/HelperConnection.h"
#include "platform/PropertyList.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaly {
namespace {

using test::DaemonProcess;
using test::TempTree;
namespace proto = dorn::protocol;

std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& body, std::uint32_t length) {
    // Sized once: the prefix, then the body copied in behind it.
    std::vector<std::uint8_t> out(4 + body.size());
    proto::putLength(out.data(), length);
    std::copy(body.begin(), body.end(), out.begin() + 4);
    return out;
}

std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& body) {
    return framed(body, static_cast<std::uint32_t>(body.size()));
}

std::vector<std::uint8_t> request(const PlistValue& value) {
    return framed(*plist::serialize(value, plist::Format::Binary));
}

std::vector<std::uint8_t> command(const std::string& name, PlistValue::Array args) {
    return request(PlistValue(PlistValue::Dict{{"command", PlistValue(name)},
                                               {"arguments", PlistValue(std::move(args))}}));
}

// A raw connection: whatever bytes we like, and the replies as property lists.
class RawClient {
public:
    explicit RawClient(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        timeval t{20, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    }
    ~RawClient() { ::close(fd_); }
    bool connected() const { return connected_; }

    bool send(const std::vector<std::uint8_t>& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // The next reply, none when the connection closed first.
    std::optional<PlistValue> reply() {
        std::uint8_t prefix[4];
        if (!readAll(prefix, 4))
            return std::nullopt;
        std::vector<std::uint8_t> body(proto::getLength(prefix));
        if (!readAll(body.data(), body.size()))
            return std::nullopt;
        return plist::parse(body);
    }

    // What the service takes of the bytes within a short wait for room; 0 once
    // it takes nothing more.
    std::size_t sendSome(const std::uint8_t* p, std::size_t n) {
        ssize_t w = ::send(fd_, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0)
            return static_cast<std::size_t>(w);
        pollfd room{fd_, POLLOUT, 0};
        if (::poll(&room, 1, 300) <= 0)
            return 0;
        w = ::send(fd_, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        return w > 0 ? static_cast<std::size_t>(w) : 0;
    }

    bool closedByPeer() {
        std::uint8_t b;
        return ::recv(fd_, &b, 1, 0) == 0;
    }

private:
    bool readAll(std::uint8_t* p, std::size_t n) {
        for (std::size_t done = 0; done < n;) {
            ssize_t r = ::recv(fd_, p + done, n - done, 0);
            if (r <= 0)
                return false;
            done += static_cast<std::size_t>(r);
        }
        return true;
    }
    int fd_ = -1;
    bool connected_ = false;
};

std::string errorOf(const std::optional<PlistValue>& reply) {
    return reply ? reply->stringForKey("error") : "(no reply)";
}

// A binary property list of `levels` arrays, each holding the next one twice:
// a few dozen bytes that expand to 2^levels values.
std::vector<std::uint8_t> fanOut(int levels) {
    std::vector<std::uint8_t> b{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint8_t> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.push_back(static_cast<std::uint8_t>(b.size()));
        b.insert(b.end(),
                 {0xA2, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    }
    offsets.push_back(static_cast<std::uint8_t>(b.size()));
    b.insert(b.end(), {0x51, 'x'});
    auto table = static_cast<std::uint8_t>(b.size());
    b.insert(b.end(), offsets.begin(), offsets.end());
    std::uint8_t trailer[32] = {};
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = static_cast<std::uint8_t>(levels + 1);
    trailer[31] = table;
    b.insert(b.end(), trailer, trailer + 32);
    return b;
}

class DaemonWire : public ::testing::Test {
protected:
    void SetUp() override {
        // Reachable by any user, so that a caller with another id can try.
        ::chmod(tree_.root().c_str(), 0755);
        ::chmod(tree_.dir("run").c_str(), 0755);
        daemon_ = std::make_unique<DaemonProcess>(
            tree_.path("run/DornDamonObject"),
            std::vector<std::string>{"--allow-root", tree_.dir("place")}, tree_.path("daemon.log"));
        ASSERT_TRUE(daemon_->waitUntilReady()) << daemon_->log();
    }

    bool stillServing() {
        HelperConnection c;
        return daemon_->isRunning() && c.lookup("removeFile:", daemon_->socketPath());
    }

    TempTree tree_;
    std::unique_ptr<DaemonProcess> daemon_;
};

TEST_F(DaemonWire, BadRequestsGetAnErrorReplyAndTheConnectionGoesOn) {
    RawClient c(daemon_->socketPath());
    ASSERT_TRUE(c.connected());
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    std::string garbage = "this is not a property list";
    std::vector<std::uint8_t> truncated = *plist::serialize(
        PlistValue(PlistValue::Dict{{"command", PlistValue("stop")}}), plist::Format::Binary);
    truncated.resize(truncated.size() - 5);
    const Case cases[] = {
        {"garbage", framed(std::vector<std::uint8_t>(garbage.begin(), garbage.end())),
         "malformed property list"},
        {"truncated", framed(truncated), "malformed property list"},
        {"fan-out", framed(fanOut(30)), "malformed property list"},
        {"array", request(PlistValue(PlistValue::Array{PlistValue("stop")})),
         "request is not a dictionary"},
        {"no command", request(PlistValue(PlistValue::Dict{})), "request without a command"},
        {"arguments not a list",
         request(PlistValue(
             PlistValue::Dict{{"command", PlistValue("stop")}, {"arguments", PlistValue("x")}})),
         "arguments are not a list"},
        {"unknown", command("formatDisk:", {PlistValue("/x")}), "unknown command"},
        {"number for a path", command("removeSystemFile:", {PlistValue(7)}), "wrong arguments"},
        {"missing argument", command("shredderFile:one:", {PlistValue("/tmp/x")}),
         "wrong arguments"},
        {"list of numbers", command("removeFile:", {PlistValue(PlistValue::Array{PlistValue(1)})}),
         "wrong arguments"},
        {"data for a dictionary",
         command("writeDicToSystemFile:path:", {PlistValue(Data{1, 2}), PlistValue("/tmp/x")}),
         "wrong arguments"},
    };
    for (const auto& k : cases) {
        ASSERT_TRUE(c.send(k.bytes)) << k.what;
        EXPECT_EQ(errorOf(c.reply()), k.error) << k.what;
    }
    // Still the same connection, still serving; several requests in a row.
    ASSERT_TRUE(c.send(command("respondsToSelector:", {PlistValue("removeFile:")})));
    ASSERT_TRUE(c.send(command("stop", {})));
    auto first = c.reply(), second = c.reply();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->find("reply") && first->find("reply")->toBool());
    EXPECT_TRUE(second->find("reply") && !second->find("reply")->toBool(true));
}

TEST_F(DaemonWire, OversizedOrEmptyMessagesCloseTheConnectionAndTheServiceStays) {
    for (std::uint32_t length : {std::uint32_t(proto::kMaxMessageBytes + 1), 0xFFFFFFFFu, 0u}) {
        RawClient c(daemon_->socketPath());
        ASSERT_TRUE(c.send(framed({}, length)));
        EXPECT_FALSE(errorOf(c.reply()).empty()) << length;
        EXPECT_TRUE(c.closedByPeer()) << length;
    }
    {
        // Half a message, then the caller goes away.
        RawClient c(daemon_->socketPath());
        auto bytes = command("stop", {});
        bytes.resize(bytes.size() / 2);
        ASSERT_TRUE(c.send(bytes));
    }
    // A message at the limit's scale is served (a write of several MiB).
    std::string target = tree_.path("place/big.bin");
    HelperConnection h;
    ASSERT_TRUE(h.lookup("writeDataToSystemFile:path:", daemon_->socketPath()));
    EXPECT_TRUE(h.call("writeDataToSystemFile:path:",
                       {PlistValue(Data(12u << 20, 0x5A)), PlistValue(target)})
                    .toBool());
    EXPECT_EQ(std::filesystem::file_size(target), 12u << 20);
    EXPECT_TRUE(stillServing());
}

TEST_F(DaemonWire, TheSocketIsOpenToEveryCallerWhoseIdentityDecides) {
    // Its mode is set on the socket before it is bound, never through its path.
    struct stat st {};
    ASSERT_EQ(::lstat(daemon_->socketPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0666u);
}

TEST_F(DaemonWire, RefusedCallersAreLoggedAtABoundedRate) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    std::string socketPath = daemon_->socketPath();
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        for (int i = 0; i < 300; ++i) {
            int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                std::uint8_t b;
                ::recv(fd, &b, 1, 0); // closed by the service
            }
            ::close(fd);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(stillServing());
    std::string log = daemon_->log();
    std::size_t lines = 0;
    for (auto at = log.find("refused a caller with user id 65534"); at != std::string::npos;
         at = log.find("refused a caller with user id 65534", at + 1))
        ++lines;
    EXPECT_GE(lines, 1u);
    EXPECT_LE(lines, 10u) << "300 refusals wrote " << lines << " lines";
}

TEST_F(DaemonWire, RefusesACallerWhoseUserIdWasNotRecorded) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const uid_t kStranger = 65534;
    std::string socketPath = daemon_->socketPath();
    std::vector<std::uint8_t> ask = command("respondsToSelector:", {PlistValue("removeFile:")});
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on. 0: refused; 1: answered; 2+: could not try.
        if (::setgroups(0, nullptr) != 0 || ::setgid(kStranger) != 0 || ::setuid(kStranger) != 0)
            ::_exit(3);
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ::_exit(4);
        ::send(fd, ask.data(), ask.size(), MSG_NOSIGNAL);
        std::uint8_t b;
        ssize_t r = ::recv(fd, &b, 1, 0);
        ::_exit(r > 0 ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_LT(WEXITSTATUS(status), 2) << "the child could not reach the socket";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a caller with user id 65534 was served";
    EXPECT_NE(daemon_->log().find("refused a caller with user id 65534"), std::string::npos)
        << daemon_->log();
    EXPECT_TRUE(stillServing());
}

TEST_F(DaemonWire, ACallerThatNeverReadsHoldsUpNoOneElse) {
    // Requests sent without ever reading a reply, until the service stops taking them.
    RawClient greedy(daemon_->socketPath());
    ASSERT_TRUE(greedy.connected());
    std::vector<std::uint8_t> one = command("getPCArchitecture", {});
    std::vector<std::uint8_t> many;
    for (int i = 0; i < 40000; ++i)
        many.insert(many.end(), one.begin(), one.end());
    std::size_t sent = 0;
    while (sent < many.size()) {
        std::size_t n = greedy.sendSome(many.data() + sent, many.size() - sent);
        if (n == 0)
            break; // the service stopped reading from it
        sent += n;
    }
    ASSERT_LT(sent, many.size()) << "the replies never filled the connection";
    // Another caller is served at once all the same.
    auto started = std::chrono::steady_clock::now();
    HelperConnection other;
    ASSERT_TRUE(other.lookup("removeFile:", daemon_->socketPath()));
    EXPECT_FALSE(other.call("getPCArchitecture").toString().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    // And the greedy caller still gets its replies, in order, once it reads.
    auto first = greedy.reply();
    ASSERT_TRUE(first && first->find("reply")) << errorOf(first);
}

TEST(DaemonLimits, HalfSentLargeMessagesNeverKeepOthersFromBeingHeard) {
    TempTree tree;
    // Long enough that waiting for the half-sent messages to time out would show.
    DaemonProcess daemon(tree.path("DornDamonObject"), {"--message-timeout", "120"});
    ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();
    // Five messages announced at the largest size, each sent until the service
    // takes no more of it: more than the service holds for all of them.
    std::vector<std::unique_ptr<RawClient>> hogs;
    const std::vector<std::uint8_t> payload(proto::kMaxMessageBytes - 1, 'x');
    std::size_t held = 0;
    for (int i = 0; i < 5; ++i) {
        hogs.push_back(std::make_unique<RawClient>(daemon.socketPath()));
        std::uint8_t prefix[4];
        proto::putLength(prefix, static_cast<std::uint32_t>(proto::kMaxMessageBytes));
        ASSERT_EQ(hogs.back()->sendSome(prefix, 4), 4u);
        for (std::size_t sent = 0, n = 1; n > 0 && sent < payload.size(); sent += n, held += n)
            n = hogs.back()->sendSome(payload.data() + sent, payload.size() - sent);
    }
    ASSERT_GT(held, std::size_t{64} << 20) << "the service was never full";
    // An ordinary request and a stop are heard and answered all the same.
    auto asked = std::chrono::steady_clock::now();
    HelperConnection app;
    ASSERT_TRUE(app.lookup("removeFile:", daemon.socketPath()));
    EXPECT_FALSE(app.call("getPCArchitecture").toString().empty());
    app.call("shredderStop");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(30))
        << "the application waited for the half-sent messages to time out";
}

TEST(DaemonLimits, SlowAndIdleConnectionsAreClosedAndNeverLockTheApplicationOut) {
    TempTree tree;
    DaemonProcess daemon(tree.path("DornDamonObject"),
                         {"--idle-timeout", "1", "--message-timeout", "1"});
    ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();
    // More idle connections than the service takes, held open...
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 70; ++i)
        idle.push_back(std::make_unique<RawClient>(daemon.socketPath()));
    // ...and half of a large message, then nothing more.
    RawClient slow(daemon.socketPath());
    auto big = framed(std::vector<std::uint8_t>(1u << 20, 'x'));
    ASSERT_TRUE(slow.send(std::vector<std::uint8_t>(big.begin(), big.begin() + (256 << 10))));
    HelperConnection app;
    EXPECT_TRUE(app.lookup("removeFile:", daemon.socketPath())) << daemon.log();
    EXPECT_TRUE(slow.closedByPeer()) << "a message that never ends kept its connection";
    EXPECT_TRUE(idle.back()->closedByPeer()) << "an idle connection was kept";
    std::string log = daemon.log();
    EXPECT_NE(log.find("a message took too long to arrive"), std::string::npos) << log;
}

TEST_F(DaemonWire, CallersTextCannotForgeALogLine) {
    HelperConnection h;
    ASSERT_TRUE(h.lookup("removeSystemFile:", daemon_->socketPath()));
    // A name in the sandbox, outside the service's place, so the refusal is logged.
    const std::string outside = tree_.path("nowhere");
    EXPECT_FALSE(h.call("removeSystemFile:", {PlistValue(outside + "\nremoved /etc/shadow\x1b[2J")})
                     .toBool(true));
    std::string log = daemon_->log();
    EXPECT_NE(log.find("\"" + outside + "\\nremoved /etc/shadow\\x1B[2J\""), std::string::npos)
        << log;
    EXPECT_EQ(log.find("\nremoved"), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
}

} // namespace
} // namespace tessaly
