#pragma once

#include <string>

namespace tessaly::log {

// Console log: every line goes to standard error, one write per line.
void line(const std::string& text);

// Turns the console log on (the default) or off; a command-line tool keeps the
// engines' progress lines out of its own output unless asked for them.
void setEnabled(bool enabled);
bool enabled();

// "Err %d: %@" lines of failed database updates.
void err(int code, const std::string& message);

// "Exception: %@" lines of caught exceptions.
void exception(const std::string& message);

} // namespace tessaly::log
