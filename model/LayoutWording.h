#pragma once

#include "platform/HomeLayout.h"

#include <string>

namespace tessaly {

// The application's own texts were written for a Mac. On a Linux home they
// speak of the computer instead: "Macintosh HD" is the start-up disk, "MAC" is
// your computer and every other "Mac" is the computer. Other words that merely
// begin with "Mac" stay as they are.
std::string forLayout(const std::string& macText, layout::HomeLayout layout);

// The same for the layout in use.
std::string forLayout(const std::string& macText);

} // namespace tessaly
