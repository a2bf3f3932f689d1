#include "model/ToolIndex.h"

#include "model/CommonFunction.h"

namespace tessaly {

const std::array<ToolInfo, 10>& toolTable() {
    static const std::array<ToolInfo, 10> table{{
        {tool::Home, "Home", "Home", "", "home-normal", "home-click", "home－mem－icon", "",
         "home"},
        {tool::SystemCleanup, "System Cleanup", "System Cleanup",
         "Clean up system junk and keep your system clean and healthy.", "sys-cleanup-mormal",
         "sys-cleanup-click", "home－sys－icon", "onSystemup", "system"},
        {tool::BrowserCleanup, "Browser Cleanup", "Browser Cleanup",
         "Maintain the cleanliness and health of your browser.", "browsercleanup-normal",
         "browsercleanup-click", "home－web－icon", "onBrowserup", "browser"},
        {tool::Uninstaller, "Uninstaller", "Unistaller", "Uninstall unwanted programs correctly.",
         "uninstall-normal", "uninstall-click", "home－uninstall-icon", "onUninstaller", "apps"},
        {tool::DuplicatesFinder, "Duplicates Finder", "Duplicate Cleanup",
         "Delete unwanted duplicate files to free disk space.", "duplicate-normal",
         "duplicate-click", "home－duplicate－icon", "onDuplicateup", "duplicates"},
        {tool::OldFilesFinder, "Old Files Finder", "Old Files",
         "Delete files which are not used for a long time.", "large-old-normal", "large-old-click",
         "home－old－icon", "onLargeup", "old"},
        {tool::Eraser, "Eraser", "Eraser", "Delete unwanted files permanently.", "eraser-normal",
         "eraser-click", "home－old－icon", "onEraser", "erase"},
        {tool::AliasFinder, "Alias Finder", "Alias Cleanup", "Search and delete unnecessary alias.",
         "alias-normal", "alias-click", "home－alias－icon", "onAlias", "alias"},
        {tool::MemoryOptimization, "Memory Optimization", "Memory Cleanup",
         "Optimize memory to speed up your system.", "memory-normal", "memory-click",
         "home－mem－icon", "onMemory", "memory"},
        {tool::SystemSecurity, "System Security", "System Security",
         "Protected MAC from viruses, Trojan horses and other types of malware",
         "system-security-normal", "system-security-click", "home－mem－icon", "onSecurity",
         "security"},
    }};
    return table;
}

const ToolInfo* toolInfo(std::int64_t index) {
    if (index < 0 || index >= tool::Count)
        return nullptr;
    return &toolTable()[static_cast<std::size_t>(index)];
}

std::int64_t resetIndex(std::int64_t row) {
    if (row == 2)
        return tool::SystemSecurity;
    if (row >= 3 && row <= 9)
        return row - 1;
    return row;
}

std::int64_t resetCellIndex(std::int64_t toolIndex) {
    if (toolIndex == tool::SystemSecurity)
        return 2;
    if (toolIndex >= 2 && toolIndex <= 8)
        return toolIndex + 1;
    return toolIndex;
}

std::string sidebarResultText(std::int64_t toolIndex, std::int64_t value) {
    switch (toolIndex) {
    case tool::BrowserCleanup:
    case tool::AliasFinder:
    case tool::MemoryOptimization:
    case tool::SystemSecurity:
        return std::to_string(value) + " Items";
    default:
        return CommonFunction::getSizeString(value);
    }
}

} // namespace tessaly
