#pragma once

#include "model/KeptPaths.h"
#include "model/SettingModel.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// What the module scanners read from the rest of the application, each taken
// afresh at the start of a scan. Tests give their own.
struct ScanServices {
    // The language codes the user keeps ("en", "fr", ...).
    std::function<std::vector<std::string>()> keepLanguages;
    // The "Language" table: a code's language name and country; none when the
    // table has no entry for the code.
    std::function<std::optional<LanguageInfo>(const std::string&)> languageInfo;
    // Whether images are shown at double resolution.
    std::function<bool()> isRetina;
    // The paths the user keeps (never listed, never removed with a folder).
    std::function<KeptPaths()> keptPaths;
    // The hardware machine name, such as "x86_64".
    std::function<std::string()> machineArchitecture;

    // The shared settings and the machine this runs on.
    static ScanServices system();
};

} // namespace tessaly
