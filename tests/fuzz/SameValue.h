#pragma once

// Value equality for the fuzz targets' round trips.
#include "platform/PlistValue.h"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace tessaly::fuzz {

// Equality as stored: reals by their bits (-0.0 is not 0.0), any NaN equal to
// any other, dates within the precision of the format (XML keeps whole seconds).
inline bool same(const PlistValue& a, const PlistValue& b,
                 std::chrono::milliseconds dateTolerance) {
    if (a.type() != b.type())
        return false;
    if (a.isReal()) {
        if (std::isnan(a.toReal())) // XML spells every NaN "nan": its payload is not kept
            return std::isnan(b.toReal());
        return std::bit_cast<std::uint64_t>(a.toReal()) == std::bit_cast<std::uint64_t>(b.toReal());
    }
    if (a.isDate()) {
        auto d = *a.date() - *b.date();
        return d < dateTolerance && d > -dateTolerance;
    }
    if (const auto* xs = a.array()) {
        const auto* ys = b.array();
        if (xs->size() != ys->size())
            return false;
        for (std::size_t i = 0; i < xs->size(); ++i)
            if (!same((*xs)[i], (*ys)[i], dateTolerance))
                return false;
        return true;
    }
    if (const auto* xs = a.dict()) {
        const auto* ys = b.dict();
        if (xs->size() != ys->size())
            return false;
        for (auto x = xs->begin(), y = ys->begin(); x != xs->end(); ++x, ++y)
            if (x->first != y->first || !same(x->second, y->second, dateTolerance))
                return false;
        return true;
    }
    return a == b;
}

} // namespace tessaly::fuzz
