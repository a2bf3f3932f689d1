#pragma once

// Places the service never removes, overwrites or thins, whoever asks: "/",
// every folder or file directly under it (/usr, /etc, /bin, /boot, /home,
// /root, /var, /System, /Library, /Applications, /Users, ...), the main system
// folders one level further down (/usr/bin, /usr/lib, /var/lib, /System/Library,
// ...), and every user's home folder itself. A path is judged both as written
// (after "." and ".." are resolved and with its folders' links followed) and,
// for operations that follow a final link, by where that link leads.

#include <set>
#include <string>

namespace dorn {

class PathSafety {
public:
    // The home folders of every user in the password database.
    PathSafety();
    // Given home folders (tests).
    explicit PathSafety(std::set<std::string> homes);

    // Why the path must be left alone ("" when it may be changed). A relative
    // path is refused as well. followFinalLink: the operation opens the path
    // itself, so the place a final link leads to is judged too.
    std::string refusal(const std::string& path, bool followFinalLink) const;

    // Lexical form: absolute, no "." or ".." or repeated or trailing slashes.
    static std::string normalized(const std::string& path);

private:
    bool isProtected(const std::string& normalizedPath) const;

    std::set<std::string> homes_;
};

// The refusal is logged; true when the operation may go ahead.
bool allowedToChange(const PathSafety& safety, const std::string& path, const char* operation,
                     bool followFinalLink);

} // namespace dorn
