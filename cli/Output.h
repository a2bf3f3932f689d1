#pragma once

#include "platform/Date.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace tessaly::cli {

// Adds "--json" to a command: the result is printed as one JSON document on
// standard output instead of text.
CLI::Option* addJsonFlag(CLI::App& command, bool& json);

// Prints a JSON document (indented, one trailing newline).
void printJson(const nlohmann::json& value, std::ostream& out);

// A date as ISO 8601 in UTC ("2026-12-10T06:43:39Z"); null when none.
nlohmann::json jsonDate(const std::optional<Date>& date);

} // namespace tessaly::cli
