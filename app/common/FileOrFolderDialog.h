#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tessaly {

// Asks for files and folders alike (the platform panels take one or the other):
// the dialog starts in the home folder, its accept button reads `prompt`, and a
// folder chosen with that button is taken instead of being opened (a double
// click still opens it). `several` lets the user pick more than one. Answers the
// chosen paths, none when cancelled.
QStringList chooseFilesOrFolders(QWidget* parent, const QString& prompt, bool several);

} // namespace tessaly
