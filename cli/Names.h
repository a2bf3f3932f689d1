#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaly::cli {

// How the command line spells the names the tools display: modules such as
// "Chrom Cookie" or "Broken LoginItems" are typed in lower case with dashes and
// their words spelled out ("chrome-cookie", "broken-login-items"). The displayed
// name is accepted as well, in any case, with spaces, dashes or underscores
// ("Chrom Cookie", "chrom-cookie"), so that scripts written for it keep working.
std::string commandSpelling(const std::string& displayName);

// Whether what the user typed names the displayed name, in either spelling.
bool namesThe(const std::string& typed, const std::string& displayName);

// The candidate nearest to what was typed, when one is near enough to be a slip
// of the keyboard; none otherwise.
std::optional<std::string> nearestName(const std::string& typed,
                                       const std::vector<std::string>& candidates);

// The message of an unknown name: `unknown module "chrom-coky"; did you mean
// "chrome-cookie"? (one of: ...)`. The typed name is quoted for the terminal.
std::string unknownNameMessage(const std::string& kind, const std::string& typed,
                               const std::vector<std::string>& candidates);

} // namespace tessaly::cli
