#pragma once

#include <any>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

// The home screen's running totals of what the tools removed since start-up.
class HomeSummary {
public:
    std::int64_t fileSize = 0;
    std::int64_t fileCount = 0;
    std::int64_t issueCount = 0;
    std::int64_t memoryCount = 0;
    std::int64_t browserCount = 0;

    // Adds one tool's result: a number for Browser Cleanup (added) and Memory
    // Optimization (replaces), CleanResultTotals or CleanReport for the others.
    // Anything else changes nothing.
    void add(std::int64_t toolIndex, const std::any& result);

    // "Cleaned:  " and the size cleaned, or the file count when no size; none
    // when nothing was cleaned (the line then stays as it was).
    std::optional<std::string> line() const;
};

// A number held in a std::any (any integer or floating type); none otherwise.
std::optional<std::int64_t> anyNumber(const std::any& value);

} // namespace tessaly
