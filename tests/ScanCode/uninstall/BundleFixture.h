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
                              std::uint64_t payload = 5000,
                              const std::string& executable = "main") {
    std::string bundle = t.dir(relative);
    t.dir(relative + "/Contents");
    PlistValue::Dict info;
    if (!identifier.empty())
        info["CFBundleIdentifier"] = identifier;
    info["CFBundleExecutable"] = executable;
    info["CFBundleShortVersionString"] = version;
    plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), format);
    t.sizedFile(relative + "/Contents/MacOS/" + executable, payload);
    return bundle;
}

// An application whose executable has its own name ("Tool.app" runs "Tool").
inline std::string makeApp(const TempTree& t, const std::string& relative,
                           const std::string& identifier, const std::string& executable,
                           std::uint64_t payload = 5000) {
    return makeBundle(t, relative, identifier, "1.0", plist::Format::Binary, payload, executable);
}

} // namespace tessaly::test
