#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "platform/OperationQueue.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class LoginItemManager;

// The scan task of the "Broken LoginItems" module: login items whose target
// cannot be found, and launchd job property lists whose program is missing.
class BrokenLoginItemOperation : public Operation {
public:
    BrokenLoginItemOperation(LoginItemManager& manager, ScanDelegate* delegate);

    ScanDelegate* delegate; // not owned

    // The folders of job property lists, in search order.
    static std::vector<std::string> getLoginItemPathes();
    ScanItemList scanBrokenLoginItems();
    // The program a job property list runs (none when it names none or cannot
    // be read): "Program", else the first of "ProgramArguments", or for a system
    // tool that runs something else the last argument that is an absolute path.
    static std::optional<std::string> jobProgram(const std::string& plistPath);
    // The result item of a broken job.
    static ScanItem convertLoginItemToScanOutputObj(const std::string& plistPath,
                                                    const std::optional<std::string>& program);

protected:
    void main() override;

private:
    LoginItemManager& manager_;
};

} // namespace tessaly
