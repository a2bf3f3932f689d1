#pragma once

#include <QIcon>
#include <QString>

namespace tessaly {

// The icon a result item's icon reference stands for: a named image of our
// artwork, a thumbnail of an image file ("thumbnail:<points>:<path>", the image
// scaled proportionally to fit that square, or the file's own icon when it
// cannot be read), an image carried in a "data:" reference (a site's icon), or
// the icon of the file at a path. Empty for an empty reference.
QIcon itemIcon(const QString& reference);

} // namespace tessaly
