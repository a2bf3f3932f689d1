#pragma once

namespace tessaly {

// How an application leaves the machine, decided when the catalogue is read.
enum class AppKind {
    Bundle,       // an application bundle: its folder and related files are removed
    Package,      // a dpkg package owns its desktop entry: apt-get removes it
    Flatpak,      // flatpak uninstall
    Snap,         // snap remove
    AppImage,     // the user's AppImage and its desktop entry are removed
    OwnProgram,   // a program under the home folder and its desktop entry are removed
    NotRemovable, // nothing we know of may remove it (notRemovableReason says why)
};

// "bundle", "package", "flatpak", "snap", "appimage", "own-program", "not-removable".
const char* appKindName(AppKind kind);
// What the window shows: "Application", "Package", "Flatpak", "Snap", "AppImage",
// "Own program", "Not removable".
const char* appKindTitle(AppKind kind);

} // namespace tessaly
