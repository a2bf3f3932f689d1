#pragma once

// Names of system files and folders that may be removed without harm.

#include <string>

namespace tessaly::disposable {

// Whether a file name is that of a log put aside by rotation: numbered
// ("syslog.1", "dpkg.log.12"), compressed ("syslog.2.gz", "auth.log.1.zst"),
// ".old", or an archived journal ("system@…-….journal", "user-1000.journal~").
// A live log ("syslog", "Xorg.0.log", "system.journal") never is.
bool isRotatedLogName(const std::string& name);

// Whether a file name is that of a downloaded package (".deb").
bool isPackageArchiveName(const std::string& name);

// Whether a folder name is that of a language's folder in the shared places of
// translations, manual pages and help ("fr", "pt_BR", "sr@latin", "de.UTF-8");
// never a manual section ("man1"), the neutral "C" locale or anything else.
bool isLanguageFolderName(const std::string& name);

} // namespace tessaly::disposable
