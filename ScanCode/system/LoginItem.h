#pragma once

#include <optional>
#include <string>

namespace tessaly {

// One session login item as the login-items manager shows it.
struct LoginItem {
    bool hidden = false;            // hide on launch
    std::string icon;               // icon reference
    std::string name;               // display name
    bool isCheck = false;           // ticked for removal
    std::optional<std::string> url; // resolved location; none when it cannot be resolved
};

} // namespace tessaly
