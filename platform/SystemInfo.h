#pragma once

#include <string>
#include <vector>

namespace tessaly::sysinfo {

// The hardware machine name (for example "x86_64"), at most 100 ASCII bytes.
std::string machineName();

// The user's preferred languages, most preferred first, as locale codes such as
// "fr_FR" or "de": from LANGUAGE (a colon list), else LC_ALL, LC_MESSAGES, LANG.
// Encodings and modifiers are dropped; "C" and "POSIX" read as "en".
std::vector<std::string> preferredLanguages();

// The languages of the configured keyboard layouts (for example "us,de" gives
// "en", "de"), read from the system keyboard configuration; empty when none can be read.
std::vector<std::string> inputSourceLanguages();

// Maps one XKB layout name to a language code ("us" gives "en"); empty when unknown.
std::string languageOfKeyboardLayout(const std::string& layout);

} // namespace tessaly::sysinfo
