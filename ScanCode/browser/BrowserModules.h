#pragma once

#include <array>
#include <string>
#include <vector>

namespace tessaly::browser {

// Browser types, as the per-browser calls take them.
inline constexpr int Safari = 0;
inline constexpr int Chrome = 1;
inline constexpr int Firefox = 2;
inline constexpr int kBrowserCount = 3;

// The browser a record belongs to, as records name it ("Safari", "Chrome",
// "Firefox"); empty for any other type.
std::string browserName(int type);
// The type of a record's browser name; -1 when it names none.
int browserType(const std::string& name);

// What a module holds.
enum class ModuleKind { Cookie, History, Topsite, Cache, Session, RiskyCookie };

// One of the seventeen modules. Its string is the key of the results, the
// object of the notifications and the label the screens show.
struct ModuleInfo {
    int index;
    const char* name; // "Safari Cookie", "Chrom History", ...
    ModuleKind kind;
    int browser;
    const char* icon;      // small icon name
    const char* largeIcon; // large icon name
};

inline constexpr int kModuleCount = 17;
const std::array<ModuleInfo, kModuleCount>& moduleTable();

// The module of an index or a string; null for any other.
const ModuleInfo* moduleAt(int index);
const ModuleInfo* moduleNamed(const std::string& name);

// The module of a kind for a browser (Firefox has no top sites: empty).
std::string moduleFor(ModuleKind kind, int browser);

// A browser's modules: cookies, risky cookies, history, top sites, cache, session.
std::vector<std::string> modulesOfBrowser(int browser);
// The three browsers' modules of a kind (top sites: Safari and Chrome).
std::vector<std::string> modulesOfKind(ModuleKind kind);

} // namespace tessaly::browser
