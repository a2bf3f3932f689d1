#pragma once

#include <functional>
#include <set>
#include <string>

namespace tessaly {

// Which entries of a place are listed, by name.
enum class EntryMatch {
    Contains,   // the name contains the key (an empty key: every entry)
    Suffix,     // the name ends with the key
    Exact,      // the name is the key
    RotatedLog, // a log put aside by rotation: numbered ("syslog.1" beside "syslog"),
                // compressed ("dpkg.log.2.gz"), ".old", or an archived journal
                // ("*.journal~", "name@….journal")
};

// One place to scan.
struct ScanInputObject {
    std::string path;       // folder or file; may begin with "~" for the user's home
    std::string key;        // module identifier under which results are filed, as text
    bool isCheck = false;   // results from this place start ticked
    bool recursion = false; // descend into sub-folders
    std::string broswerKey; // browser of a browser-cache place, else empty
    EntryMatch match = EntryMatch::Contains;
    bool filesOnly = false; // folders are never listed (with recursion: only looked into)
    // A file removed together with each listed entry, relative to the place;
    // "{name}" stands for the entry's name ("../info/{name}.trashinfo").
    std::string companion;
};

// The names of the folder an entry lies in, read when a rule needs them.
using SiblingNames = std::function<const std::set<std::string>&()>;

// Whether an entry is listed under the place's rule; siblings is asked only for
// a numbered log, which counts as rotated only beside the log it came from.
bool entryMatches(const ScanInputObject& place, const std::string& name,
                  const SiblingNames& siblings);

} // namespace tessaly
