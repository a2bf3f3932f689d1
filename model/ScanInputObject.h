#pragma once

#include <string>

namespace tessaly {

// One place to scan.
struct ScanInputObject {
    std::string path;       // folder or file; may begin with "~" for the user's home
    std::string key;        // module identifier under which results are filed, as text
    bool isCheck = false;   // results from this place start ticked
    bool recursion = false; // descend into sub-folders
    std::string broswerKey; // browser of a browser-cache place, else empty
};

} // namespace tessaly
