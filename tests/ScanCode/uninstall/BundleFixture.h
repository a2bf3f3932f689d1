#pragma once

#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <string>

namespace tessaly::test {

// Creates a bundle folder with a Contents/Info.plist stating the given facts and
// a main executable of `payload` bytes; returns the bundle's full path.
inline std::string makeBundle(const TempTree& t, const std::string& relative,
                              const std::string& identifier, const std::string& version = "1.0",
                              plist::Format format = plist::Format::Binary,
                              std::uint64_t payload = 5000) {
    std::string bundle = t.dir(relative);
    t.dir(relative + "/Contents");
    PlistValue::Dict info;
    if (!identifier.empty())
        info["CFBundleIdentifier"] = identifier;
    info["CFBundleExecutable"] = "main";
    info["CFBundleShortVersionString"] = version;
    plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), format);
    t.sizedFile(relative + "/Contents/MacOS/main", payload);
    return bundle;
}

} // namespace tessaly::test
