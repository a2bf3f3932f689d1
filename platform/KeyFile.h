#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::keyfile {

// A freedesktop key file (a desktop entry, a systemd unit): "[Group]" headers
// and "Key=Value" lines; blank lines and comments ("#", ";") are passed over.
// The first value of a key in a group is kept; localized keys ("Name[fr]") stay
// as written.
using Group = std::map<std::string, std::string>;
using KeyFile = std::map<std::string, Group>;

// None when the file cannot be read as text or is larger than limit bytes.
std::optional<KeyFile> read(const std::string& path, std::size_t limit = 1u << 20);

// The value of a key, empty when the group or the key is missing.
std::string value(const KeyFile& file, const std::string& group, const std::string& key);

// The words of a command line, quoted the way desktop entries and systemd
// units quote them (double or single quotes, backslash escapes).
std::vector<std::string> commandWords(const std::string& commandLine);

// The program a command line starts: its first word, past "env" and its
// VAR=value words; empty when none.
std::string commandProgram(const std::string& commandLine);

// The same for a command line split into words already.
std::string programOf(const std::vector<std::string>& words);

} // namespace tessaly::keyfile
