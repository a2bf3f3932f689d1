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

// Prints a JSON document (indented, one trailing newline). File names may hold
// any bytes, so text is made lossless first (see losslessText).
void printJson(const nlohmann::json& value, std::ostream& out);

// JSON text must be UTF-8. A text member that is not keeps its place with every
// invalid byte shown as U+FFFD, and its object gains "<member>Bytes" with the
// raw bytes in base64; a list of texts gains "<member>Bytes", a list of the same
// length holding the base64 bytes of each invalid entry and null for the others.
nlohmann::json losslessText(const nlohmann::json& value);

bool isValidUtf8(const std::string& text);

// A date as ISO 8601 in UTC ("2026-12-10T06:43:39Z"); null when none.
nlohmann::json jsonDate(const std::optional<Date>& date);

// A name or path as it may be shown on a terminal: as it is when it holds only
// printable UTF-8, otherwise quoted as $'...' with escapes (\n, \t, \e, \xNN), so
// that no name can move the cursor, clear the screen or retitle the window.
std::string shown(const std::string& text);

} // namespace tessaly::cli
