#pragma once

#include <cstdint>

class QWidget;

namespace tessaly {

class AppDelegate;
class ToolBaseViewController;

// Creates the screen of a tool index (0-9). Tools not in this build get a
// placeholder screen; each tool's own screen takes its place here when it lands.
ToolBaseViewController* createScreen(AppDelegate* delegate, std::int64_t toolIndex,
                                     QWidget* parent);

} // namespace tessaly
