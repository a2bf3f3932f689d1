#pragma once

// An item's icon may stand for a thumbnail of an image file rather than a named
// image or a file's own icon: "thumbnail:<points>:<absolute path>", drawn by the
// screens scaled proportionally to fit a square of that many points.

#include <optional>
#include <string>

namespace tessaly {

struct ThumbnailReference {
    std::string imagePath;
    int points = 0;
};

// The thumbnail points for item icons: 80 on double-resolution screens, else 40.
int thumbnailPoints(bool retina);

// The icon reference of a thumbnail of imagePath fitting points x points.
std::string makeThumbnailReference(const std::string& imagePath, int points);

// The thumbnail a reference stands for; none for any other reference (an image
// name, a file path) or a malformed one.
std::optional<ThumbnailReference> parseThumbnailReference(const std::string& reference);

} // namespace tessaly
