#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tessaly {

// Shows a file in the desktop's file manager: the file manager's ShowItems call
// on the session bus, else the file's folder opened with xdg-open.
void revealInFileManager(const QString& path);

// Replaces what revealInFileManager does (tests); an empty handler restores it.
void setRevealHandler(std::function<void(const QString&)> handler);

// Shows a file's information panel: the file manager's ShowItemProperties call on
// the session bus, else our own panel over parent.
void showItemInfo(const QString& path, QWidget* parent);

// Replaces what showItemInfo does (tests); an empty handler restores it.
void setShowInfoHandler(std::function<void(const QString&)> handler);

} // namespace tessaly
