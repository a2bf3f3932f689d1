#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace tessaly::cli {

// One line of progress on standard error, rewritten in place during long work.
// It writes only when standard error is a terminal, so pipes, logs and JSON
// consumers never see it.
class ProgressLine {
public:
    ProgressLine(); // enabled when standard error is a terminal
    ProgressLine(bool enabled, std::ostream& out);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }

    // Shows the text (cut to the line width); at most ten updates a second reach
    // the terminal, except the first.
    void update(const std::string& text);

    // Erases the line; called on destruction too.
    void clear();

    static bool stderrIsTerminal();

private:
    bool enabled_;
    std::ostream& out_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
    std::size_t width_ = 79;
};

} // namespace tessaly::cli
