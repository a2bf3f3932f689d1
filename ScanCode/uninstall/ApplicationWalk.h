#pragma once

#include "ScanCode/uninstall/AppItem.h"

#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// Finds application bundles by walking the scopes depth first (scopes taken
// last first, as from one stack). A folder named "*.app" becomes an item built
// from its bundle and is not entered; other folders are entered unless they are
// hidden, packages or links. The folder `excluded` (the user's Library, whose
// applications are helpers and caches) is not entered. Each item is handed to
// `found` as soon as it is built.
void walkForApplications(const std::vector<std::string>& scopes, const std::string& excluded,
                         const std::function<void(AppItemRef)>& found);

} // namespace tessaly
