#pragma once

#include "model/CleanResult.h"
#include "platform/Date.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>

namespace tessaly {
class UserDefaults;
}

namespace tessaly::cli {

// "tessaly-cli status": memory sample, total cleaned, last clean dates and the
// home screen's recommendations. Reads only; changes no setting.
void addStatusCommand(CLI::App& root);

// The status document for the given settings, memory sample and time.
nlohmann::json statusJson(const UserDefaults& defaults, const std::optional<MemoryData>& memory,
                          Date now);

// A memory sample as JSON (page counts, sizes, the free share); null for none.
nlohmann::json memoryJson(const std::optional<MemoryData>& memory);

// The same facts as text.
std::string statusText(const nlohmann::json& status);

} // namespace tessaly::cli
