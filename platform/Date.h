#pragma once

#include <chrono>

namespace tessaly {

// A point in time. Property lists count dates in seconds from 2001-01-01 00:00:00 UTC.
using Date = std::chrono::system_clock::time_point;

constexpr double kReferenceDateUnixSeconds = 978307200.0;

inline double secondsSinceReferenceDate(Date d) {
    using namespace std::chrono;
    return duration<double>(d.time_since_epoch()).count() - kReferenceDateUnixSeconds;
}

inline Date dateFromReferenceSeconds(double s) {
    using namespace std::chrono;
    return Date(
        duration_cast<system_clock::duration>(duration<double>(s + kReferenceDateUnixSeconds)));
}

inline Date dateFromUnixSeconds(double s) {
    using namespace std::chrono;
    return Date(duration_cast<system_clock::duration>(duration<double>(s)));
}

inline double unixSeconds(Date d) {
    using namespace std::chrono;
    return duration<double>(d.time_since_epoch()).count();
}

inline Date now() {
    return std::chrono::system_clock::now();
}

} // namespace tessaly
