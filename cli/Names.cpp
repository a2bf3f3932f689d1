#include "cli/Names.h"

#include "cli/Output.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace tessaly::cli {

namespace {

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isSeparator(char c) {
    return c == ' ' || c == '-' || c == '_';
}

// Lower case without separators: "Broken LoginItems" and "broken-login-items"
// both give "brokenloginitems".
std::string squeezed(const std::string& text) {
    std::string out;
    for (char c : lowered(text))
        if (!isSeparator(c))
            out += c;
    return out;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string commandSpelling(const std::string& displayName) {
    std::istringstream words(displayName);
    std::string word, out;
    while (words >> word) {
        word = lowered(word);
        if (word == "chrom")
            word = "chrome";
        else if (word == "loginitems")
            word = "login-items";
        out += (out.empty() ? "" : "-") + word;
    }
    return out;
}

bool namesThe(const std::string& typed, const std::string& displayName) {
    const std::string given = squeezed(typed);
    return given == squeezed(displayName) || given == squeezed(commandSpelling(displayName));
}

std::optional<std::string> nearestName(const std::string& typed,
                                       const std::vector<std::string>& candidates) {
    const std::string given = squeezed(typed);
    std::optional<std::string> best;
    std::size_t bestDistance = 0;
    for (const std::string& c : candidates) {
        const std::string name = squeezed(c);
        const std::size_t distance = editDistance(given, name);
        if (!best || distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, given.size() / 3);
    if (best && bestDistance <= allowed)
        return best;
    return std::nullopt;
}

std::string unknownNameMessage(const std::string& kind, const std::string& typed,
                               const std::vector<std::string>& candidates) {
    std::string message = "unknown " + kind + " \"" + shown(typed) + "\"";
    if (auto near = nearestName(typed, candidates))
        message += "; did you mean \"" + *near + "\"?";
    std::string known;
    for (const std::string& c : candidates)
        known += (known.empty() ? "" : ", ") + c;
    return message + " (one of: " + known + ")";
}

} // namespace tessaly::cli
