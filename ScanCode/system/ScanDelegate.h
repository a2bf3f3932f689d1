#pragma once

#include "model/ScaneOuputObject.h"

namespace tessaly {

// What every System Cleanup scan task reports to: once, when it has finished,
// its result list (possibly empty) and its module identifier.
class ScanDelegate {
public:
    virtual ~ScanDelegate() = default;
    virtual void finishScan(ScanItemList items, int moudle) = 0;
};

} // namespace tessaly
