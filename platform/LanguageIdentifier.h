#pragma once

#include <optional>
#include <string>

namespace tessaly::language {

// The canonical identifier of a language given by name or by code, as the
// localisation folders and the language table spell it:
// - a language's English name or an old-style localisation folder name
//   ("English", "french", "Norwegian Bokmal"), ignoring case, gives its code;
// - a string shaped as a code (2 or 3 letters, then optional script and region
//   subtags separated by "_" or "-") gives the code normalised: the language in
//   lower case, subtags joined with "-", the script title-cased and the region
//   in upper case ("pt_BR" gives "pt-BR", "zh_hans" gives "zh-Hans");
// - anything else ("Base", "", "English_GB") gives none.
std::optional<std::string> canonicalLanguageIdentifier(const std::string& nameOrCode);

} // namespace tessaly::language
