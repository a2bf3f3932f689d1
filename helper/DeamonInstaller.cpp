#include "helper/DeamonInstaller.h"

#include "model/SettingKeys.h"
#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"
#include "platform/FileRemoval.h"
#include "platform/HomeLayout.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr const char* kUserCanceled = "User canceled.";
// pkexec's exit status when the user dismissed the authentication dialog.
constexpr int kPkexecDismissed = 126;

constexpr const char* kAgentPlist = "com.zqk.DronHelper.plist";
constexpr const char* kAgentUnit = "com.zqk.DronHelper.service";

std::atomic<DeamonInstaller*> standIn{nullptr};

std::string dataFolder() {
    return layout::appDataFolder();
}

bool macLayout() {
    return layout::current() == layout::HomeLayout::MacOS;
}

std::string agentPlistPath() {
    return paths::join(paths::homePath(), std::string("Library/LaunchAgents/") + kAgentPlist);
}

std::string agentUnitPath() {
    const std::string config =
        macLayout() ? paths::join(paths::homePath(), ".config") : paths::xdgConfigHome();
    return paths::join(config, std::string("systemd/user/") + kAgentUnit);
}

// A path as one word of a systemd command line.
std::string systemdQuoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::string installerFailure(const std::string& said, int status) {
    if (said.find("Error getting authority") != std::string::npos)
        return "administrator rights cannot be asked for: the system's authorization service "
               "(polkit) is not running";
    if (said.find("No authentication agent") != std::string::npos)
        return "administrator rights cannot be asked for: no authentication agent runs in this "
               "session";
    if (said.find("Not authorized") != std::string::npos)
        return "administrator rights were not granted";
    return "the helper's installation failed (exit status " + std::to_string(status) + ")";
}

DeamonInstaller& DeamonInstaller::shareInstaller() {
    if (DeamonInstaller* s = standIn.load())
        return *s;
    static auto* shared = new DeamonInstaller; // kept for the whole run
    return *shared;
}

void DeamonInstaller::setShareInstaller(DeamonInstaller* s) {
    standIn.store(s);
}

DeamonInstaller::DeamonInstaller() : serviceTool_("/usr/bin/systemctl") {
    if (::geteuid() != 0)
        elevation_ = {"/usr/bin/pkexec"};
}

bool DeamonInstaller::installDeamonWithUser() const {
    return UserDefaults::standardUserDefaults().boolForKey(keys::installDeamon);
}

std::string DeamonInstaller::lastError() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastError_;
}

void DeamonInstaller::setLastError(std::string text) {
    std::lock_guard<std::mutex> guard(mutex_);
    lastError_ = std::move(text);
}

void DeamonInstaller::setElevationCommand(std::vector<std::string> command) {
    std::lock_guard<std::mutex> guard(mutex_);
    elevation_ = std::move(command);
}

void DeamonInstaller::setUserServiceTool(std::string tool) {
    std::lock_guard<std::mutex> guard(mutex_);
    serviceTool_ = std::move(tool);
}

bool DeamonInstaller::installDeamon() {
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    setLastError({});
    std::string script = paths::resourcePath("installDeamon", "sh");
    if (script.empty() || paths::resourcePath("DornDaemon", "").empty() ||
        paths::resourcePath("com.zqk.DornDaemon", "plist").empty() ||
        paths::resourcePath("com.zqk.DornDaemon", "service").empty()) {
        setLastError("the helper's installation files are missing from " + paths::resourcesDir());
        log::line(lastError());
        return false;
    }

    // The script installs from its own folder, which only root may change;
    // nothing is staged where the user could swap it. pkexec is given the
    // script itself, so that it shows the helper's own polkit action.
    std::vector<std::string> command;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        command = elevation_;
    }
    bool elevated = !command.empty();
    if (!elevated)
        command.push_back("/bin/sh");
    command.insert(command.end(), {script, std::to_string(::getuid())});
    std::string program = command.front();
    command.erase(command.begin());
    std::string said;
    int status = runProcessCapturing(program, command, &said);
    if (!said.empty())
        log::line(program + ": " + said); // their own words go to the log only

    if (status == 0)
        return true;
    if (elevated && status == kPkexecDismissed)
        setLastError(kUserCanceled);
    else if (status < 0)
        setLastError("cannot start " + program);
    else
        setLastError(installerFailure(said, status));
    log::line(lastError());
    return false;
}

void DeamonInstaller::installAutoMenu() {
    uninstallAutoMenu();
    paths::makeDirectories(dataFolder());

    // The menu helper in the macOS bundle layout, so that the job description holds.
    std::string bundle = paths::join(dataFolder(), "DronHelper.app");
    std::string program = paths::join(bundle, "Contents/MacOS/DronHelper");
    std::string built = paths::resourcePath("DronHelper", "");
    if (!built.empty() && paths::makeDirectories(paths::deletingLastComponent(program))) {
        std::error_code ec;
        std::filesystem::copy_file(built, program, ec);
        if (ec)
            log::line("DronHelper could not be copied: " + ec.message());
    }

    PlistValue::Dict job;
    job["KeepAlive"] = PlistValue(true);
    job["Label"] = PlistValue("DronHelper");
    job["Program"] = PlistValue(program);
    // The job description belongs to the macOS layout only; a Linux home gets no
    // Library folder from us.
    if (macLayout()) {
        paths::makeDirectories(paths::deletingLastComponent(agentPlistPath()));
        plist::writeFile(agentPlistPath(), PlistValue(std::move(job)), plist::Format::Xml);
    }

    // On Linux a user unit of the service manager keeps it running, as the job would.
    std::string unitTemplate = paths::resourcePath("com.zqk.DronHelper", "service");
    std::ifstream in(unitTemplate);
    std::stringstream text;
    text << in.rdbuf();
    std::string unit = text.str();
    const std::string placeholder = "@PROGRAM@";
    if (auto at = unit.find(placeholder); at != std::string::npos) {
        unit.replace(at, placeholder.size(), systemdQuoted(program));
        paths::makeDirectories(paths::deletingLastComponent(agentUnitPath()));
        writeFileAtomically(agentUnitPath(), unit.data(), unit.size());
    }
    std::string tool;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        tool = serviceTool_;
    }
    runProcess(tool, {"--user", "daemon-reload"});
    runProcess(tool, {"--user", "enable", "--now", kAgentUnit});
}

void DeamonInstaller::uninstallAutoMenu() {
    std::string tool;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        tool = serviceTool_;
    }
    runProcess(tool, {"--user", "disable", "--now", kAgentUnit});
    fileops::removeItem(paths::join(dataFolder(), "DronHelper.app"));
    fileops::removeItem(agentPlistPath());
    if (fileops::itemExists(agentUnitPath())) {
        fileops::removeItem(agentUnitPath());
        runProcess(tool, {"--user", "daemon-reload"});
    }
}

} // namespace tessaly
