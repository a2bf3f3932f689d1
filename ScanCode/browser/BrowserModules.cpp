#include "ScanCode/browser/BrowserModules.h"

namespace tessaly::browser {

namespace {
constexpr const char* kNames[kBrowserCount] = {"Safari", "Chrome", "Firefox"};
} // namespace

std::string browserName(int type) {
    return type >= 0 && type < kBrowserCount ? kNames[type] : "";
}

int browserType(const std::string& name) {
    for (int t = 0; t < kBrowserCount; ++t)
        if (name == kNames[t])
            return t;
    return -1;
}

const std::array<ModuleInfo, kModuleCount>& moduleTable() {
    using K = ModuleKind;
    static const std::array<ModuleInfo, kModuleCount> table{{
        {0, "Safari Cookie", K::Cookie, Safari, "cookie-icon", "cookies-icon(140)"},
        {1, "Chrom Cookie", K::Cookie, Chrome, "cookie-icon", "cookies-icon(140)"},
        {2, "Firefox Cookie", K::Cookie, Firefox, "cookie-icon", "cookies-icon(140)"},
        {3, "Safari History", K::History, Safari, "history-icon", "history-icon(140)"},
        {4, "Chrom History", K::History, Chrome, "history-icon", "history-icon(140)"},
        {5, "Firefox History", K::History, Firefox, "history-icon", "history-icon(140)"},
        {6, "Safari Topsite", K::Topsite, Safari, "topsite-icon", "topsite-icon140"},
        {7, "Chrom Topsite", K::Topsite, Chrome, "topsite-icon", "topsite-icon140"},
        {8, "Safari Cache", K::Cache, Safari, "cache-icon", "cache-icon(140)"},
        {9, "Chrom Cache", K::Cache, Chrome, "cache-icon", "cache-icon(140)"},
        {10, "Firefox Cache", K::Cache, Firefox, "cache-icon", "cache-icon(140)"},
        {11, "Safari Session", K::Session, Safari, "session-icon", "session-icon(140)"},
        {12, "Chrom Session", K::Session, Chrome, "session-icon", "session-icon(140)"},
        {13, "Firefox Session", K::Session, Firefox, "session-icon", "session-icon(140)"},
        {14, "Risky Safari Cookie", K::RiskyCookie, Safari, "Risky-icon", "Risky-icon(140)"},
        {15, "Risky Chrom Cookie", K::RiskyCookie, Chrome, "Risky-icon", "Risky-icon(140)"},
        {16, "Risky Firefox Cookie", K::RiskyCookie, Firefox, "Risky-icon", "Risky-icon(140)"},
    }};
    return table;
}

const ModuleInfo* moduleAt(int index) {
    return index >= 0 && index < kModuleCount ? &moduleTable()[static_cast<std::size_t>(index)]
                                              : nullptr;
}

const ModuleInfo* moduleNamed(const std::string& name) {
    for (const ModuleInfo& m : moduleTable())
        if (name == m.name)
            return &m;
    return nullptr;
}

std::string moduleFor(ModuleKind kind, int browser) {
    for (const ModuleInfo& m : moduleTable())
        if (m.kind == kind && m.browser == browser)
            return m.name;
    return {};
}

std::vector<std::string> modulesOfBrowser(int browser) {
    std::vector<std::string> out;
    for (ModuleKind kind : {ModuleKind::Cookie, ModuleKind::RiskyCookie, ModuleKind::History,
                            ModuleKind::Topsite, ModuleKind::Cache, ModuleKind::Session}) {
        std::string m = moduleFor(kind, browser);
        if (!m.empty())
            out.push_back(std::move(m));
    }
    return out;
}

std::vector<std::string> modulesOfKind(ModuleKind kind) {
    std::vector<std::string> out;
    for (int b = 0; b < kBrowserCount; ++b) {
        std::string m = moduleFor(kind, b);
        if (!m.empty())
            out.push_back(std::move(m));
    }
    return out;
}

} // namespace tessaly::browser
