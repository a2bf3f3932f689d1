#include "ScanCode/uninstall/NameMatch.h"

#include "platform/TextCase.h"

#include <cctype>
#include <string>

namespace tessaly::namematch {

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool startsPart(std::string_view name, std::size_t at) {
    return at == 0 || isSeparator(name[at - 1]);
}

// Whether what follows a match at `end` closes it: nothing, a separator, or a
// number up to the end or a separator.
bool endsPart(std::string_view name, std::size_t end) {
    std::size_t i = end;
    while (i < name.size() && isDigit(name[i]))
        ++i;
    return i == name.size() || isSeparator(name[i]);
}

} // namespace

bool isSeparator(char c) {
    return c == '.' || c == '-' || c == '_' || c == ' ';
}

bool containsParts(std::string_view name, std::string_view needle, bool ignoreCase) {
    if (needle.empty() || needle.size() > name.size())
        return false;
    std::string folded, foldedNeedle;
    if (ignoreCase) {
        folded = text::asciiLowercase(name);
        foldedNeedle = text::asciiLowercase(needle);
        name = folded;
        needle = foldedNeedle;
    }
    for (std::size_t at = name.find(needle); at != std::string_view::npos;
         at = name.find(needle, at + 1))
        if (startsPart(name, at) && endsPart(name, at + needle.size()))
            return true;
    return false;
}

bool containsWordThenUnderscore(std::string_view name, std::string_view word) {
    if (word.empty())
        return false;
    for (std::size_t at = name.find(word); at != std::string_view::npos;
         at = name.find(word, at + 1)) {
        std::size_t end = at + word.size();
        if (startsPart(name, at) && end < name.size() && name[end] == '_')
            return true;
    }
    return false;
}

std::string lastPart(std::string_view identifier) {
    std::size_t dot = identifier.rfind('.');
    return std::string(dot == std::string_view::npos ? identifier : identifier.substr(dot + 1));
}

bool namedFor(std::string_view name, const AppNames& app) {
    return containsParts(name, app.identifier) || containsWordThenUnderscore(name, app.word) ||
           (!app.word.empty() && name == app.word);
}

bool supportNamedFor(std::string_view name, const AppNames& app) {
    if (namedFor(name, app))
        return true;
    for (const std::string& own : {lastPart(app.identifier), app.bundleName, app.word})
        if (!own.empty() && text::equalsIgnoringCase(name, own))
            return true;
    return false;
}

bool makerFolderOf(std::string_view folderName, const AppNames& app) {
    return containsParts(app.identifier, folderName, /*ignoreCase=*/true);
}

bool temporaryNamedFor(std::string_view name, const AppNames& app) {
    return containsParts(name, app.identifier);
}

} // namespace tessaly::namematch
