#pragma once

#include <stdexcept>
#include <string>

namespace tessaly::cli {

// Exit codes of tessaly-cli, the same for every command (listed by --help and
// in README.md).
namespace exitcode {
inline constexpr int Success = 0; // done (a run without --yes only lists, and succeeds)
inline constexpr int Failure = 1; // the work could not be done
inline constexpr int Usage = 2;   // unknown command, bad or missing arguments
inline constexpr int Partial = 3; // finished, but some items could not be removed
} // namespace exitcode

// The help text's list of the codes above.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  success (without --yes a destructive command only lists what it would remove)\n"
    "  1  failure: the work could not be done\n"
    "  2  usage error: unknown command, bad or missing arguments\n"
    "  3  partial: finished, but some items could not be removed\n";

// Thrown by a command to end with a given code; main prints the message (when
// there is one) on standard error and exits with the code.
class CommandExit : public std::runtime_error {
public:
    CommandExit(int code, const std::string& message = {})
        : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

} // namespace tessaly::cli
