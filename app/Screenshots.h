#pragma once

#include <QString>

namespace tessaly {

class AppDelegate;

// Visits every screen of the main window in sidebar order, then the help window
// and a notice, saving one PNG each into `dir`, and quits the application. For
// reviewing the look; started by `tessaly --screenshot-dir DIR`.
void runScreenshotTour(AppDelegate& app, const QString& dir);

} // namespace tessaly
