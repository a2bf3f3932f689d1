#pragma once

// What the archive reader and writer agree on. Internal to the keyed-archive code.

#include <cmath>
#include <cstdint>

namespace tessaly::keyedarchive {

inline constexpr const char* kArchiverName = "NSKeyedArchiver";
inline constexpr std::uint64_t kArchiveVersion = 100000;

// Dates live in a nanosecond clock; NS.time values further than this from the
// reference date (about 250 years) cannot be represented and are refused.
inline constexpr double kMaxDateSeconds = 8.0e9;

inline bool dateSecondsInRange(double s) {
    return std::isfinite(s) && std::fabs(s) <= kMaxDateSeconds;
}

} // namespace tessaly::keyedarchive
