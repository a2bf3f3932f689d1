#include "daemon/Probe.h"

#include "daemon/HelperProtocol.h"
#include "daemon/WireFormat.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace dorn {

namespace {

bool readExactly(int fd, std::uint8_t* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::recv(fd, out + done, n - done, 0);
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

} // namespace

bool probeService(const std::string& socketPath) {
    sockaddr_un addr{};
    if (socketPath.size() >= sizeof addr.sun_path)
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    bool ok = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        PlistValue request(PlistValue::Dict{
            {protocol::kCommandKey, protocol::kRespondsToSelector},
            {protocol::kArgumentsKey, PlistValue(PlistValue::Array{"removeFile:"})}});
        auto bytes = frame(encodeMessage(request));
        std::uint8_t prefix[4];
        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(bytes.size()) &&
            readExactly(fd, prefix, 4)) {
            std::uint32_t n = protocol::getLength(prefix);
            std::vector<std::uint8_t> body(n);
            if (n > 0 && n <= protocol::kMaxMessageBytes && readExactly(fd, body.data(), n)) {
                auto reply = decodeMessage(body.data(), body.size());
                const PlistValue* yes = reply ? reply->find(protocol::kReplyKey) : nullptr;
                ok = yes && yes->isBool() && yes->toBool();
            }
        }
    }
    ::close(fd);
    return ok;
}

} // namespace dorn
