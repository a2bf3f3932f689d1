#pragma once

// Where the service may act, decided by the service for every command: a path
// must be absolute, free of "." and ".." components, and lie strictly beneath a
// place of the table below whose row allows the kind of action asked for.
//
//   the caller's own home folder (from the password database, for a caller other
//     than root, and only while it is a folder that the caller owns)   all but Load
//   the caller's removable media: /media/NAME, /run/media/NAME          all but Load
//   /Volumes                                                            all but Load
//   /Library/Caches, /Library/Logs, /Library/Application Support,
//   /Library/Preferences                                                Remove, Overwrite
//   /Applications, /Developer/Applications                      Remove, Overwrite, Thin
//   /Library/LaunchAgents, /Library/LaunchDaemons        Remove, Unload, Load, Disable
//   /var/log: files put aside by rotation only (never a live log,
//     never a folder; a numbered one only beside the log it came from)  Remove
//   /var/cache/apt/archives: downloaded packages (*.deb) and what
//     lies in partial/                                                  Remove
//   /usr/share/locale, /usr/share/man, /usr/share/help: a language's
//     folder as a whole ("fr", "pt_BR"; never "man1" or "C")            Remove
//   each extra root (--allow-root PATH, the roots file)                 all but Load
//
// The caller's own places (home, media, /Volumes, the extra roots) are acted on
// with the caller's own file-system rights, so the service does there only what
// the caller could do; root's rights serve only in the system rows, on what
// each admits. An extra root is opened once, when the table is made, one
// component at a time without following links, and only when no one but root
// (or the service's own user) could replace any folder on its way; its
// descriptor is kept and used for every request, so no later change of its path
// can redirect it. A root that fails is left out and logged. Beneath the media
// rows each volume is a file system of its own; nothing beneath a place (or a
// volume) is reached across another mount.
//
// Every place may be read from (Read: the source of a copy). Nothing is written into the system
// places on a caller's request, so a job description there that root owns cannot have been planted
// through the service; Load asks that in addition (see CommandRunner). Everything else (another
// user's home, /etc, /usr, /boot, /root, ...) is refused with the reason.

#include "daemon/Caller.h"
#include "daemon/UniqueFd.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dorn {

enum Action : unsigned {
    Remove = 1u << 0,
    Overwrite = 1u << 1,
    Thin = 1u << 2,
    Unload = 1u << 3,
    Load = 1u << 4,
    Write = 1u << 5,   // create folders, copy, write files
    Disable = 1u << 6, // rewrite a job description's program path
    Read = 1u << 7,    // the source of a copy: every place
};

const char* actionName(Action action);

struct Place {
    using Admits = bool (*)(const std::string& relative);
    Place(std::string where, unsigned allowed, std::optional<uid_t> ownedBy = std::nullopt,
          Admits admitted = nullptr, bool regularFilesOnly = false)
        : path(std::move(where)), actions(allowed), owner(ownedBy), admits(admitted),
          filesOnly(regularFilesOnly) {}
    // One of the caller's own places (acted on with the caller's rights).
    static Place callers(std::string where, std::optional<uid_t> ownedBy = std::nullopt,
                         bool holdsVolumes = false);

    std::string path;           // absolute, without "." or ".." or empty components
    unsigned actions = 0;       // Action bits
    std::optional<uid_t> owner; // the folder must belong to this user (a home folder)
    // When set, only what it admits (by the path beneath the place) may be acted
    // on there.
    Admits admits = nullptr;
    bool filesOnly = false; // only a regular file is acted on, never a folder or link
    // When set, asked once the item's folder is open (its descriptor and the
    // item's name there): what only the folder's other entries can tell.
    using AdmitsBeside = bool (*)(int folderFd, const std::string& name);
    AdmitsBeside admitsBeside = nullptr;
    bool asCaller = false; // acted on with the caller's rights, never root's
    bool volumes = false;  // each folder in it is a mounted volume
    // The place opened when the table was made (extra roots); else it is opened
    // for each request.
    std::shared_ptr<const UniqueFd> opened;
};

struct Located {
    Place place;
    std::string relative; // beneath place.path, never empty
};

class AllowedRoots {
public:
    // The table above with the extra roots; a root that is "/" or a top system
    // folder (/etc, /usr, /var, /home, ...), relative or holding "." or "..", or
    // that cannot be opened safely (see above), is left out and logged.
    // systemRoot: where the system rows are looked for ("/" but for tests,
    // which give a fixture tree standing for the system; it is opened under the
    // same checks as every place, so it too must be root's alone).
    explicit AllowedRoots(const std::vector<std::string>& extraRoots = {},
                          const std::string& systemRoot = "/");

    // Extra roots from a file, one absolute path a line ("#" starts a comment).
    // The file is used only when it and its folder belong to the service's own
    // user (root when installed) and neither is writable by group or others;
    // otherwise none, logged. A missing file gives none, silently.
    static std::vector<std::string> readRootsFile(const std::string& path);

    // The places of one caller, most specific first.
    std::vector<Place> placesFor(const Caller& caller) const;

    // Where the path lies for this caller and action; none with the reason.
    std::optional<Located> locate(const std::string& path, const Caller& caller, Action action,
                                  std::string* why) const;

    // The path's components when it is absolute and free of "." and "..";
    // none otherwise (empty components are dropped).
    static std::optional<std::vector<std::string>> components(const std::string& path);

    const std::vector<Place>& fixedPlaces() const { return fixed_; }

    // The place opened for one request: its kept descriptor, or a fresh open
    // from "/" under the same checks; invalid with the reason in *why.
    static UniqueFd open(const Place& place, std::string* why);

private:
    std::vector<Place> fixed_;
};

} // namespace dorn
