#pragma once

class QApplication;

namespace tessaly {

// The application's look: font, palette and style sheet.
void applyAppStyle(QApplication& app);

} // namespace tessaly
