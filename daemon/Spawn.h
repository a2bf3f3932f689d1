#pragma once

// Starting the tools the service relies on: an executable and its argument
// vector, never a shell command line, so every argument reaches the tool as
// exactly one argument whatever characters it holds.

#include <string>
#include <vector>

namespace dorn {

// Runs the program to its end with its standard output read from a pipe and
// thrown away. Returns the exit status, 128 + signal when killed, -1 when it
// could not be started.
int runTool(const std::string& executable, const std::vector<std::string>& arguments);

// One line on the service's log (standard error, collected by the service manager).
void logLine(const std::string& text);

} // namespace dorn
