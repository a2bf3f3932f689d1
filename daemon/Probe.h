#pragma once

#include <string>

namespace dorn {

// Asks the service at socketPath whether it serves "removeFile:"; true when it
// answers yes. Used by the installation script to wait for the service.
bool probeService(const std::string& socketPath);

} // namespace dorn
