#pragma once

#include "model/CommonFunction.h"

#include <QString>
#include <cstdint>
#include <string>

namespace tessaly {

// The texts that detail lists and tool screens show for an engine's values.
inline QString qtext(const std::string& s) {
    return QString::fromStdString(s);
}

// A size in the shared decimal format ("10 MB").
inline QString sizeText(std::int64_t bytes) {
    return qtext(CommonFunction::getSizeString(bytes));
}

// The status of an item that a clean left in place, with its reason.
inline QString notRemovedText(const std::string& reason) {
    return "Not removed: " + qtext(reason);
}

} // namespace tessaly
