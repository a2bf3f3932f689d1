#include "model/CleanFinish.h"

#include "platform/NotificationCenter.h"

namespace tessaly {

void postCleanFinish(const CleanFinishInfo& info) {
    NotificationCenter::defaultCenter().post(cleanFinishNotification, info);
}

} // namespace tessaly
