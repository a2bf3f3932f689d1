#include "app/ScreenFactory.h"

#include "app/AliasViewController.h"
#include "app/BrowserViewController.h"
#include "app/DuplicateViewController.h"
#include "app/HomeViewController.h"
#include "app/MemoryCleanViewController.h"
#include "app/OldViewController.h"
#include "app/PlaceholderViewController.h"
#include "app/SecurityViewController.h"
#include "app/ShredderViewController.h"
#include "app/SystemCleanupViewController.h"
#include "app/UninstallViewController.h"
#include "model/ToolIndex.h"

namespace tessaly {

ToolBaseViewController* createScreen(AppDelegate* delegate, std::int64_t toolIndex,
                                     QWidget* parent) {
    switch (toolIndex) {
    case tool::Home:
        return new HomeViewController(delegate, parent);
    case tool::SystemCleanup:
        return new SystemCleanupViewController(delegate, parent);
    case tool::BrowserCleanup:
        return new BrowserViewController(delegate, parent);
    case tool::Uninstaller:
        return new UninstallViewController(delegate, parent);
    case tool::DuplicatesFinder:
        return new DuplicateViewController(delegate, parent);
    case tool::OldFilesFinder:
        return new OldViewController(delegate, parent);
    case tool::Eraser:
        return new ShredderViewController(delegate, parent);
    case tool::AliasFinder:
        return new AliasViewController(delegate, parent);
    case tool::MemoryOptimization:
        return new MemoryCleanViewController(delegate, parent);
    case tool::SystemSecurity:
        return new SecurityViewController(delegate, parent);
    default:
        return new PlaceholderViewController(delegate, toolIndex, parent);
    }
}

} // namespace tessaly
