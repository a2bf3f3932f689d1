// Removing a Linux application through its own package tool: apt-get (with
// an administrator's approval each time), flatpak or snap.
#include "ScanCode/HelperPass.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/ChildProcess.h"
#include "platform/FileAttributes.h"
#include "platform/InstalledPackages.h"
#include "platform/PackageTools.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cctype>

namespace tessaly {

namespace {

// The last line a tool wrote, to say why it failed.
std::string lastLine(const std::string& output) {
    std::string text = output;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    const auto at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
}

bool isFlatpakId(const std::string& id) {
    if (id.empty() || id[0] == '-')
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

bool isAdministrator(const UninstallEnvironment& env) {
    return env.isAdministrator ? env.isAdministrator() : false;
}

} // namespace

std::string commandLineText(const std::vector<std::string>& command) {
    std::string text;
    for (const std::string& word : command) {
        const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string("-_./:=+,@%").find(c) != std::string::npos;
        });
        std::string quoted = "'";
        for (char c : word)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        quoted += "'";
        text += (text.empty() ? "" : " ") + (plain ? word : quoted);
    }
    return text;
}

std::vector<std::string> SearchApplications::packageCommand(const AppItem& item,
                                                            const SubAppFileObj& record) const {
    const PackageRemovalOptions options = packageOptions();
    switch (item.kind) {
    case AppKind::Package: {
        const std::string action = options.purge ? "purge" : "remove";
        if (isAdministrator(env_))
            return {packages::aptGetTool(), action, "-y", "--", record.entryName};
        // Our own polkit action names Tessaly and the packages in its prompt.
        return {packages::pkexecTool(), paths::resourcePath("removePackages", "sh"), action,
                record.entryName};
    }
    case AppKind::Flatpak: {
        const std::string data = paths::join(paths::homePath(), ".var/app/" + record.entryName);
        const bool deleteData =
            item.fileDatas &&
            std::any_of(item.fileDatas->begin(), item.fileDatas->end(),
                        [&](const SubAppFileRef& r) { return r->isCheck && r->path == data; });
        std::vector<std::string> command{packages::flatpakTool(), "uninstall",
                                         item.flatpakUser ? "--user" : "--system", "-y"};
        if (deleteData)
            command.push_back("--delete-data");
        command.push_back("--");
        command.push_back(record.entryName);
        return command;
    }
    case AppKind::Snap:
        return {packages::snapTool(), "remove", "--", record.entryName};
    default:
        return {};
    }
}

std::optional<std::string> SearchApplications::runPackageStep(const UninstallStep& step) const {
    const AppItem& item = *step.item;
    const SubAppFileObj& record = *step.record;
    const std::string& name = record.entryName;
    if (step.command.empty())
        return std::string("nothing removes it");
    if (item.kind == AppKind::Package) {
        if (!packages::isPackageName(name))
            return "\"" + name + "\" is not a package name apt-get takes";
        if (!isAdministrator(env_)) {
            if (!privilegedHelperEnabled())
                return std::string("removing a package needs an administrator, "
                                   "who is not asked (--no-helper)");
            if (step.command[1].empty())
                return std::string("the package removal script of Tessaly is missing");
        }
        // apt-get must remove what the plan said, and nothing more.
        const packages::AptSimulation now =
            packages::simulateRemoval({name}, packageOptions().purge);
        if (!now.ok)
            return "apt-get cannot remove it: " + now.error;
        std::vector<std::string> planned = record.packages, again = now.removed;
        std::sort(planned.begin(), planned.end());
        std::sort(again.begin(), again.end());
        if (planned != again)
            return "what apt-get would remove has changed since the scan; scan again";
    } else if (!isFlatpakId(name)) {
        return "\"" + name + "\" is not a name its tool takes";
    }

    std::string output;
    const int status = runProcessCapturing(step.command[0],
                                           {step.command.begin() + 1, step.command.end()}, &output);
    const std::string tool = paths::lastComponent(step.command[0]);
    std::string failure;
    if (status < 0)
        failure = step.command[0] + " could not be started";
    else if (item.kind == AppKind::Package && !isAdministrator(env_) &&
             (status == 126 || status == 127))
        failure = "the administrator's approval was not given";
    else if (status != 0)
        failure = tool + " failed (exit status " + std::to_string(status) + ")" +
                  (lastLine(output).empty() ? "" : ": " + lastLine(output));

    // Only what the package database says is gone counts.
    bool gone = false;
    switch (item.kind) {
    case AppKind::Package:
        gone = !packages::DpkgDatabase::read({}).package(name);
        break;
    case AppKind::Flatpak:
        gone = !packages::flatpakApp(name);
        break;
    case AppKind::Snap:
        gone = status == 0 && !fileattr::entryInfo(paths::systemPath("/snap/" + name)).exists;
        break;
    default:
        break;
    }
    if (gone)
        return std::nullopt;
    return failure.empty() ? tool + " ended, but " + name + " is still installed" : failure;
}

} // namespace tessaly
