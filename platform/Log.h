#pragma once

#include <string>

namespace tessaly::log {

// Console log: every line goes to standard error, one write per line.
void line(const std::string& text);

// "Err %d: %@" lines of failed database updates.
void err(int code, const std::string& message);

// "Exception: %@" lines of caught exceptions.
void exception(const std::string& message);

} // namespace tessaly::log
