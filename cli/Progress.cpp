#include "cli/Progress.h"

#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tessaly::cli {

bool ProgressLine::stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

ProgressLine::ProgressLine() : ProgressLine(stderrIsTerminal(), std::cerr) {}

ProgressLine::ProgressLine(bool enabled, std::ostream& out) : enabled_(enabled), out_(out) {
    struct winsize ws {};
    if (enabled_ && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1)
        width_ = ws.ws_col - 1u;
}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::update(const std::string& text) {
    if (!enabled_)
        return;
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    std::string line = text.size() > width_ ? "..." + text.substr(text.size() - width_ + 3) : text;
    out_ << "\r\033[K" << line;
    out_.flush();
    shown_ = true;
}

void ProgressLine::clear() {
    if (!enabled_ || !shown_)
        return;
    out_ << "\r\033[K";
    out_.flush();
    shown_ = false;
}

} // namespace tessaly::cli
