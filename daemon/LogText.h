#pragma once

// The service's log. Paths and other text in it come from callers, so every
// control character is written as an escape: a newline in a path can never
// start a line of its own.

#include <string>

namespace dorn {

// The text with its control characters escaped: \n, \t, \r, \xNN.
std::string escapedForLog(const std::string& text);

// The text in double quotes, escaped as above and with \\ and \" for a backslash
// and a quote.
std::string quoted(const std::string& text);

// One log line (standard error, collected by the service manager), escaped as above.
void logLine(const std::string& text);

} // namespace dorn
