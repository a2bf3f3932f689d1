#pragma once

// Names of system files and folders that may be removed without harm.

#include <set>
#include <string>

namespace tessaly::disposable {

// Whether a file name may be that of a log put aside by rotation, judged by the
// name alone: numbered ("syslog.1", "dpkg.log.12"), compressed ("syslog.2.gz",
// "auth.log.1.zst"), ".old", or an archived journal ("system@…-….journal",
// "user-1000.journal~"). A live log ("syslog", "Xorg.0.log", "system.journal")
// never is. A numbered name is only a candidate: some services write live logs
// whose names end in a number (a log per client address, "log.192.168.1.20"),
// so that needs the names beside it (isRotatedLogAmong).
bool isRotatedLogName(const std::string& name);

// Whether a file of that name, in a folder holding the siblings (its own name
// may be among them), is a log put aside by rotation: as isRotatedLogName, and a
// numbered name "NAME.N" only when the log it came from stands beside it: "NAME",
// or "NAME.0" for the first rotation, or else every earlier rotation NAME.1 …
// NAME.N-1 (as left, or compressed since), as when rotations are kept apart
// from their log. A single neighbour "NAME.N-1" is not enough: two clients'
// logs "log.192.168.1.20" and "log.192.168.1.21" would prove each other.
bool isRotatedLogAmong(const std::string& name, const std::set<std::string>& siblings);

// Whether telling a rotated log needs the names beside it (a numbered name).
bool needsSiblings(const std::string& name);

// Whether a file name is that of a downloaded package (".deb").
bool isPackageArchiveName(const std::string& name);

// Whether a folder name is that of a language's folder in the shared places of
// translations, manual pages and help ("fr", "pt_BR", "sr@latin", "de.UTF-8");
// never a manual section ("man1"), the neutral "C" locale or anything else.
bool isLanguageFolderName(const std::string& name);

} // namespace tessaly::disposable
