#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The application's own drawings, painted at the size asked for, by image name:
// the sidebar images ("home-normal", "sys-cleanup-click", ...), the home screen
// icons ("home－sys－icon", ...), a badge of each sidebar drawing ("eraser-normal-badge"),
// "iconWarning", "done-mark" and "tessaly".
namespace tessaly::artwork {

QPixmap pixmap(const QString& name, int size);
QIcon icon(const QString& name);

// Whether a drawing exists for the name.
bool known(const QString& name);

} // namespace tessaly::artwork
