#include "platform/Log.h"

#include <atomic>
#include <unistd.h>

namespace tessaly::log {

namespace {
std::atomic<bool> consoleOn{true};
}

void setEnabled(bool on) {
    consoleOn = on;
}

bool enabled() {
    return consoleOn;
}

void line(const std::string& text) {
    if (!consoleOn)
        return;
    std::string out = text;
    out.push_back('\n');
    const char* p = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void err(int code, const std::string& message) {
    line("Err " + std::to_string(code) + ": " + message);
}

void exception(const std::string& message) {
    line("Exception: " + message);
}

} // namespace tessaly::log
