#include "platform/PackageTools.h"

#include "platform/ChildProcess.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace tessaly::packages {

namespace {

std::string toolAt(const char* variable, const char* usual) {
    const char* set = std::getenv(variable);
    return set && *set == '/' ? set : usual;
}

bool startsWith(const std::string& s, const std::string& head) {
    return s.compare(0, head.size(), head) == 0;
}

// "1,234 kB", "12.5 MB", "873 B": apt's decimal units.
std::optional<std::int64_t> sizeOf(const std::string& text) {
    std::string digits;
    std::size_t i = 0;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) ||
                               text[i] == ',' || text[i] == '.')) {
        if (text[i] != ',')
            digits += text[i];
        ++i;
    }
    if (digits.empty())
        return std::nullopt;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string unit = text.substr(i, text.find(' ', i) - i);
    double factor = unit == "B"    ? 1
                    : unit == "kB" ? 1e3
                    : unit == "MB" ? 1e6
                    : unit == "GB" ? 1e9
                    : unit == "TB" ? 1e12
                                   : 0;
    if (factor == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(std::strtod(digits.c_str(), nullptr) * factor + 0.5);
}

} // namespace

std::string aptGetTool() {
    return toolAt("TESSALY_APT_GET", "/usr/bin/apt-get");
}

std::string flatpakTool() {
    return toolAt("TESSALY_FLATPAK", "/usr/bin/flatpak");
}

std::string snapTool() {
    return toolAt("TESSALY_SNAP", "/usr/bin/snap");
}

std::string pkexecTool() {
    return toolAt("TESSALY_PKEXEC", "/usr/bin/pkexec");
}

bool isPackageName(const std::string& name) {
    const std::string base = name.substr(0, name.find(':'));
    if (base.size() < 2 || !std::isalnum(static_cast<unsigned char>(base[0])))
        return false;
    for (char c : base)
        if (!(std::islower(static_cast<unsigned char>(c)) ||
              std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'))
            return false;
    if (base.size() == name.size())
        return true;
    const std::string arch = name.substr(base.size() + 1);
    if (arch.empty())
        return false;
    for (char c : arch)
        if (!(std::islower(static_cast<unsigned char>(c)) ||
              std::isdigit(static_cast<unsigned char>(c)) || c == '-'))
            return false;
    return true;
}

AptSimulation parseAptSimulation(const std::string& output, int exitStatus) {
    AptSimulation sim;
    std::istringstream lines(output);
    std::string line;
    const std::string freedHead = "After this operation, ";
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (startsWith(line, "Remv ") || startsWith(line, "Purg ")) {
            std::string name = line.substr(5, line.find(' ', 5) - 5);
            if (!name.empty())
                sim.removed.push_back(name);
        } else if (startsWith(line, freedHead) &&
                   line.find(" disk space will be freed") != std::string::npos) {
            sim.freed = sizeOf(line.substr(freedHead.size()));
        } else if (startsWith(line, "E: ")) {
            sim.error += (sim.error.empty() ? "" : "; ") + line.substr(3);
        }
    }
    sim.ok = exitStatus == 0 && sim.error.empty() && !sim.removed.empty();
    if (!sim.ok && sim.error.empty())
        sim.error = exitStatus != 0 ? "apt-get could not plan the removal (exit status " +
                                          std::to_string(exitStatus) + ")"
                                    : "apt-get would remove nothing";
    return sim;
}

AptSimulation simulateRemoval(const std::vector<std::string>& names, bool purge) {
    std::vector<std::string> arguments{"-s", purge ? "purge" : "remove", "--"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    std::string output;
    const int status = runProcessCapturing(aptGetTool(), arguments, &output);
    if (status < 0) {
        AptSimulation sim;
        sim.error = aptGetTool() + " could not be started";
        return sim;
    }
    return parseAptSimulation(output, status);
}

} // namespace tessaly::packages
