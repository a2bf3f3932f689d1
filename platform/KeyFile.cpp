#include "platform/KeyFile.h"

#include "platform/AtomicFile.h"

#include <optional>
#include <sstream>

namespace tessaly::keyfile {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

std::optional<KeyFile> read(const std::string& path, std::size_t limit) {
    // Read without marking the entry as opened: scans read these.
    auto bytes = readWholeFile(path, limit);
    if (!bytes)
        return std::nullopt;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    KeyFile file;
    Group* group = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            group = &file[line.substr(1, line.size() - 2)];
            continue;
        }
        const auto equals = line.find('=');
        if (!group || equals == std::string::npos)
            continue;
        group->emplace(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return file;
}

std::string value(const KeyFile& file, const std::string& group, const std::string& key) {
    auto g = file.find(group);
    if (g == file.end())
        return {};
    auto v = g->second.find(key);
    return v == g->second.end() ? std::string() : v->second;
}

std::vector<std::string> commandWords(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < commandLine.size())
                word += commandLine[++i];
            else
                word += c;
            continue;
        }
        if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '\\' && i + 1 < commandLine.size())
            word += commandLine[++i];
        else
            word += c;
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string commandProgram(const std::string& commandLine) {
    return programOf(commandWords(commandLine));
}

std::string programOf(const std::vector<std::string>& words) {
    std::size_t i = 0;
    if (i < words.size() &&
        (words[i] == "env" || words[i] == "/usr/bin/env" || words[i] == "/bin/env")) {
        ++i;
        while (i < words.size() &&
               (words[i].find('=') != std::string::npos || words[i][0] == '-')) {
            const std::string& word = words[i];
            // "-S 'prog args'": the command is split out of one word.
            std::optional<std::string> split;
            if ((word == "-S" || word == "--split-string") && i + 1 < words.size())
                split = words[i + 1];
            else if (word.rfind("--split-string=", 0) == 0)
                split = word.substr(15);
            else if (word.size() > 2 && word.rfind("-S", 0) == 0)
                split = word.substr(2);
            if (split) {
                const std::size_t after = i + (word == "-S" || word == "--split-string" ? 2 : 1);
                std::vector<std::string> rest{"env"};
                for (std::string& part : commandWords(*split))
                    rest.push_back(std::move(part));
                rest.insert(rest.end(), words.begin() + static_cast<std::ptrdiff_t>(after),
                            words.end());
                return programOf(rest);
            }
            if (word.find('=') != std::string::npos && word[0] != '-') {
                ++i; // VAR=value
                continue;
            }
            // The options of env that take a word of their own.
            const bool takesWord =
                word == "-u" || word == "--unset" || word == "-C" || word == "--chdir";
            i += takesWord ? 2 : 1;
        }
    }
    return i < words.size() ? words[i] : std::string();
}

} // namespace tessaly::keyfile
