#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

// Tool indices. The engines, "cleanFinishNotification" and the home screen count
// tools this way; the sidebar lists System Security third, so its rows differ.
namespace tool {
inline constexpr std::int64_t Home = 0;
inline constexpr std::int64_t SystemCleanup = 1;
inline constexpr std::int64_t BrowserCleanup = 2;
inline constexpr std::int64_t Uninstaller = 3;
inline constexpr std::int64_t DuplicatesFinder = 4;
inline constexpr std::int64_t OldFilesFinder = 5;
inline constexpr std::int64_t Eraser = 6;
inline constexpr std::int64_t AliasFinder = 7;
inline constexpr std::int64_t MemoryOptimization = 8;
inline constexpr std::int64_t SystemSecurity = 9;
inline constexpr std::int64_t Count = 10;
} // namespace tool

// Everything the shell and the home screen show for one tool.
struct ToolInfo {
    std::int64_t index;
    const char* title;    // sidebar and View-menu title
    const char* homeName; // name on the home screen
    const char* homeDescription;
    const char* sidebarNormal; // sidebar image names
    const char* sidebarSelected;
    const char* homeIcon;    // home screen image name
    const char* menuAction;  // View-menu action, empty for the home screen
    const char* commandName; // the tessaly-cli command, and the tool's name in JSON
};

// The table of all ten tools, in tool-index order.
const std::array<ToolInfo, 10>& toolTable();

// The tool with the given index; null outside 0-9.
const ToolInfo* toolInfo(std::int64_t index);

// Sidebar row to tool index: rows 0 and 1 stay, row 2 is 9, rows 3-9 are 2-8.
// Values outside 2-9 pass through.
std::int64_t resetIndex(std::int64_t row);

// Tool index to sidebar row, the inverse: 9 is row 2, 2-8 are rows 3-9.
std::int64_t resetCellIndex(std::int64_t toolIndex);

// Sidebar result text of a finished run: "%ld Items" for Browser Cleanup, Alias
// Finder, Memory Optimization and System Security, a size string otherwise.
std::string sidebarResultText(std::int64_t toolIndex, std::int64_t value);

} // namespace tessaly
