#pragma once

#include <optional>
#include <string>

namespace tessaly::programs {

// Where a program that a session entry or a desktop entry names lies: an
// absolute path (resolved under the system root) that is an executable file, or
// a bare name found in the system's program folders or in ~/.local/bin; none
// when it is not there (a relative path with folders never is).
std::optional<std::string> findProgram(const std::string& program);

} // namespace tessaly::programs
