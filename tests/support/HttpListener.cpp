#include "tests/support/HttpListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly::test {

HttpListener::HttpListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        throw std::runtime_error("cannot listen on the loopback interface");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

HttpListener::~HttpListener() {
    stopping_ = true;
    thread_.join();
    ::close(fd_);
}

std::string HttpListener::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<HttpListener::Request> HttpListener::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

void HttpListener::serve() {
    while (!stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::string data;
        char buffer[4096];
        std::size_t headEnd = std::string::npos, wanted = 0;
        while (true) {
            ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<std::size_t>(n));
            if (headEnd == std::string::npos &&
                (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
                auto at = data.find("Content-Length: ");
                wanted =
                    at != std::string::npos && at < headEnd ? std::stoul(data.substr(at + 16)) : 0;
            }
            if (headEnd != std::string::npos && data.size() >= headEnd + 4 + wanted)
                break;
        }
        Request r;
        auto space = data.find(' ');
        auto second = data.find(' ', space + 1);
        if (space != std::string::npos && second != std::string::npos) {
            r.method = data.substr(0, space);
            r.path = data.substr(space + 1, second - space - 1);
        }
        if (headEnd != std::string::npos)
            r.body = data.substr(headEnd + 4);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            requests_.push_back(r);
        }
        const char* reply = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        (void)!::write(client, reply, std::char_traits<char>::length(reply));
        ::close(client);
    }
}

} // namespace tessaly::test
