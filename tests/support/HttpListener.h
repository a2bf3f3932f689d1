#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessaly::test {

// An HTTP listener on the loopback interface for tests: answers every request
// with 200 and an empty body and keeps what it received.
class HttpListener {
public:
    struct Request {
        std::string method, path, body;
    };

    HttpListener();
    ~HttpListener();
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // "http://127.0.0.1:PORT".
    std::string baseUrl() const;
    std::vector<Request> requests() const;

private:
    void serve();

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

} // namespace tessaly::test
