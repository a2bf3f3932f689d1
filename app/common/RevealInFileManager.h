#pragma once

#include <QString>
#include <functional>

namespace tessaly {

// Shows a file in the desktop's file manager: the file manager's ShowItems call
// on the session bus, else the file's folder opened with xdg-open.
void revealInFileManager(const QString& path);

// Replaces what revealInFileManager does (tests); an empty handler restores it.
void setRevealHandler(std::function<void(const QString&)> handler);

} // namespace tessaly
