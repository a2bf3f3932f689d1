#include "ScanCode/uninstall/MimeAssociations.h"

#include "platform/AtomicFile.h"

#include <sstream>
#include <vector>

namespace tessaly::mimeapps {

namespace {

constexpr std::size_t kMaxList = 4u << 20;

bool isChoiceGroup(const std::string& group) {
    return group == "Default Applications" || group == "Added Associations";
}

std::optional<std::string> readList(const std::string& path) {
    auto bytes = readWholeFile(path, kMaxList);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

} // namespace

std::string without(const std::string& text, const std::string& desktopFile) {
    std::istringstream in(text);
    std::string out, line, group;
    while (std::getline(in, line)) {
        const bool lastWithoutNewline = in.eof();
        auto keep = [&](const std::string& kept) {
            out += kept;
            if (!lastWithoutNewline)
                out += '\n';
        };
        if (!line.empty() && line[0] == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            keep(line);
            continue;
        }
        const auto equals = line.find('=');
        if (!isChoiceGroup(group) || line.empty() || line[0] == '#' ||
            equals == std::string::npos) {
            keep(line);
            continue;
        }
        std::vector<std::string> values;
        bool changed = false;
        std::istringstream list(line.substr(equals + 1));
        for (std::string value; std::getline(list, value, ';');) {
            if (value == desktopFile)
                changed = true;
            else if (!value.empty())
                values.push_back(value);
        }
        if (!changed) {
            keep(line);
            continue;
        }
        if (values.empty())
            continue; // the key chose only this application
        std::string rewritten = line.substr(0, equals + 1);
        for (const std::string& value : values)
            rewritten += value + ";";
        keep(rewritten);
    }
    return out;
}

bool names(const std::string& path, const std::string& desktopFile) {
    auto text = readList(path);
    return text && without(*text, desktopFile) != *text;
}

std::optional<std::string> removeEntry(const std::string& path, const std::string& desktopFile) {
    auto text = readList(path);
    if (!text)
        return std::string("the list could not be read");
    const std::string rewritten = without(*text, desktopFile);
    if (rewritten == *text)
        return std::nullopt;
    std::string error;
    if (!writeFileAtomically(path, rewritten.data(), rewritten.size(), &error))
        return "the list could not be rewritten: " + error;
    return std::nullopt;
}

} // namespace tessaly::mimeapps
