#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The application's own drawings, painted at the size asked for, by image name:
// the sidebar images ("home-normal", "sys-cleanup-click", ...), the home screen
// icons ("home－sys－icon", ...), a badge of each sidebar drawing ("eraser-normal-badge"),
// "iconWarning", "done-mark", "tessaly", "folder-icon", "remove-row" and the file
// categories ("media-icon", "pictures-icon", "document-icon", "archier-icon",
// "app-image-icon", "other-files-icon", each with its large variant), the
// architecture marks "64-icon" and "32-icon", the age classes of old files, the
// working and broken aliases and the scan types of System Security.
namespace tessaly::artwork {

QPixmap pixmap(const QString& name, int size);
QIcon icon(const QString& name);

// Whether a drawing exists for the name.
bool known(const QString& name);

// A badge with the initials of a name, in a colour of its own: stands in for the
// pictures that are named by a word, such as a language group's country.
QPixmap nameBadge(const QString& name, int size);
QIcon nameIcon(const QString& name);

} // namespace tessaly::artwork
