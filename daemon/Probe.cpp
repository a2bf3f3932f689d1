#include "daemon/Probe.h"

#include "daemon/BinaryPlistDecoder.h"
#include "daemon/HelperProtocol.h"
#include "daemon/PlistNode.h"
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
        PlistNode request(plist_new_dict());
        plist_dict_set_item(request.get(), protocol::kCommandKey,
                            plist_new_string(protocol::kRespondsToSelector));
        plist_t args = plist_new_array();
        plist_array_append_item(args, plist_new_string("removeFile:"));
        plist_dict_set_item(request.get(), protocol::kArgumentsKey, args);
        auto bytes = frame(toBinary(request.get()));
        std::uint8_t prefix[4];
        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(bytes.size()) &&
            readExactly(fd, prefix, 4)) {
            std::uint32_t n = protocol::getLength(prefix);
            std::vector<std::uint8_t> body(n);
            if (n > 0 && n <= protocol::kMaxMessageBytes && readExactly(fd, body.data(), n)) {
                PlistNode reply(decodeBinaryPlist(body.data(), body.size()));
                auto yes = reply ? boolValue(plist_dict_get_item(reply.get(), protocol::kReplyKey))
                                 : std::nullopt;
                ok = yes.value_or(false);
            }
        }
    }
    ::close(fd);
    return ok;
}

} // namespace dorn
