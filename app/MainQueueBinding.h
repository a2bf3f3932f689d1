#pragma once

class QCoreApplication;

namespace tessaly {

// Runs the main queue's work on the Qt event loop of the given application.
void bindMainQueueToEventLoop(QCoreApplication& app);

} // namespace tessaly
