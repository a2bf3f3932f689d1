#pragma once

// Thinning a universal executable to the machine's slice, in place, through
// the descriptor of its folder.

#include <string>

namespace dorn {

// Replaces the universal file `name` of dirFd by its slice for this machine,
// keeping its owner, group and permission bits. False when it was not thinned:
// with a reason in *why when it was refused or failed (a setuid or setgid file,
// a link, a failed write), with *why empty when there is nothing to do (not a
// universal file, no slice for this machine).
bool thinToMachineAt(int dirFd, const std::string& name, std::string* why);

} // namespace dorn
