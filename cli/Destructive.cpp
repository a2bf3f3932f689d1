#include "cli/Destructive.h"

namespace tessaly::cli {

CLI::Option* addYesFlag(CLI::App& command, bool& yes) {
    return command.add_flag(
        "-y,--yes", yes, "really remove; without it the command only lists what it would remove");
}

} // namespace tessaly::cli
