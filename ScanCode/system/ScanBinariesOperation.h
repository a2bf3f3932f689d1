#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/system/ScanServices.h"
#include "platform/OperationQueue.h"

#include <cstdint>
#include <string>

namespace tessaly {

class SearchApplications;

// The scan task of the "Binary" module: applications whose main executable holds
// code for several processor architectures, the machine's own among them. Each
// is listed with the size of its whole executable; cleaning keeps only the
// machine's slice.
class ScanBinariesOperation : public Operation {
public:
    ScanBinariesOperation(SearchApplications& catalogue, ScanServices services,
                          ScanDelegate* delegate);

    ScanDelegate* delegate; // not owned

    // The processor type and the icon that stand for a machine name; names
    // outside the table count as x86-64.
    struct MachineArchitecture {
        std::uint32_t code;
        const char* icon;
    };
    static MachineArchitecture architectureForMachine(const std::string& machine);

    // Whether an application of this name is never listed.
    static bool isExcluded(const std::string& applicationName);

    // The scan itself; returns the items, largest first (partial when cancelled).
    ScanItemList fileFile();

protected:
    void main() override;

private:
    SearchApplications& catalogue_;
    ScanServices services_;
};

} // namespace tessaly
