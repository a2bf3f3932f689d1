#pragma once

class QCoreApplication;
class QWidget;

namespace tessaly {

// Return and Enter press the focused button anywhere in the application, as Space
// does (dialogs keep their own rule: Return presses the default button). Installed
// once; later calls do nothing.
void installReturnPressesButtons(QCoreApplication& app);

// Escape, Ctrl+W and the platform's Close keys close the window.
void addCloseKeys(QWidget* window);

} // namespace tessaly
