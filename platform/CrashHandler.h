#pragma once

#include <string>

namespace tessaly::crash {

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT that park a
// short report (the signal, the process, the time and a backtrace) in
// `reportPath`, then let the process die of the same signal. Everything the
// handler needs is made ready here: the report is written into a file opened in
// advance beside reportPath, without allocating, and renamed over reportPath at
// the end, so a crash leaves either no report or a whole one. A run that ends
// without crashing leaves nothing (see uninstall). False when the file cannot be
// made ready.
bool install(const std::string& reportPath);

// Removes the prepared file (a normal end of the program); the handlers stay.
void uninstall();

// Removes prepared files that processes no longer running left beside reportPath.
void removeStalePartials(const std::string& reportPath);

} // namespace tessaly::crash
