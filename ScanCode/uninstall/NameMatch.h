#pragma once

#include <string_view>

namespace tessaly::namematch {

// How the related-file search compares names: only on the boundaries of their
// parts, so that "com.maker.Toolbox.plist" is never taken for "com.maker.Tool"
// nor a "Toolkit" folder for "Tool". Parts are separated by '.', '-', '_' and ' '.

bool isSeparator(char c);

// Whether needle occurs in name as whole parts: it starts the name or follows a
// separator, and it ends the name, comes before a separator, or comes before a
// number that ends the name or a part ("Tool2", "Tool2.log"). An empty needle
// never occurs.
bool containsParts(std::string_view name, std::string_view needle, bool ignoreCase = false);

// Whether word occurs as a whole part right before "_" ("Tool_2" for "Tool",
// never "MyTool_2"). An empty word never occurs.
bool containsWordThenUnderscore(std::string_view name, std::string_view word);

} // namespace tessaly::namematch
