#include "model/ThumbnailReference.h"

namespace tessaly {

namespace {

constexpr const char kPrefix[] = "thumbnail:";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr int kMaxPoints = 4096;

} // namespace

int thumbnailPoints(bool retina) {
    return retina ? 80 : 40;
}

std::string makeThumbnailReference(const std::string& imagePath, int points) {
    return kPrefix + std::to_string(points) + ":" + imagePath;
}

std::optional<ThumbnailReference> parseThumbnailReference(const std::string& reference) {
    if (reference.compare(0, kPrefixLength, kPrefix) != 0)
        return std::nullopt;
    std::size_t colon = reference.find(':', kPrefixLength);
    if (colon == std::string::npos || colon == kPrefixLength || colon - kPrefixLength > 4)
        return std::nullopt;
    int points = 0;
    for (std::size_t i = kPrefixLength; i < colon; ++i) {
        char c = reference[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        points = points * 10 + (c - '0');
    }
    ThumbnailReference out;
    out.imagePath = reference.substr(colon + 1);
    out.points = points;
    if (points <= 0 || points > kMaxPoints || out.imagePath.empty() || out.imagePath[0] != '/')
        return std::nullopt;
    return out;
}

} // namespace tessaly
