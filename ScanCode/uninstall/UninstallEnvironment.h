#pragma once

#include "ScanCode/HelperPass.h"
#include "platform/RunningApplications.h"

#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// What removing the program itself works with; system() is the installed
// program, tests give a fixture copy.
struct SelfRemovalEnvironment {
    std::string identifier; // the program's own bundle identifier
    std::string executable; // and executable name
    // The program's installed files, removed last; empty when the program does
    // not run from an installation (a build tree), which is then never removed.
    std::vector<std::string> programPaths;
    // The "Uninstall" script of the resources, run as root while the helper
    // still answers.
    std::string uninstallScript;
    // Whether the privileged helper answers (it installs nothing).
    std::function<bool()> helperAnswers;
    // Removes paths through the helper whatever the "installDeamon" default says.
    PrivilegedRemoval removeSystemFile2;
    // Runs the script as root and waits for it: true when it succeeded.
    std::function<bool(const std::string&)> runScriptAsRoot;
    // Removes one path as root without the helper: true when it is gone.
    std::function<bool(const std::string&)> removeFileWithPrivileges;

    static SelfRemovalEnvironment system();
};

// What the Uninstaller works with besides the disk; system() is the real
// machine, tests give their own.
struct UninstallEnvironment {
    // The applications running in this session.
    std::function<std::vector<RunningApplication>()> runningApplications;
    // The helper's removal of what the user may not remove, and its stop.
    PrivilegedRemoval removeSystemFile;
    std::function<void()> stopRemoveSystemFile;
    // Unloads a job of the system and removes its property list through the
    // helper: true when the helper was reached.
    std::function<bool(const std::string&)> unloadSerevr;
    // The tool that drives the user's service manager, which stands in for the
    // launch-job manager: a user's job whose label names a unit in
    // ~/.config/systemd/user is disabled and stopped through it.
    std::string userServiceTool;
    // The process's temporary folder.
    std::function<std::string()> temporaryFolder;
    // Whether we run as root: the package manager then runs directly, else
    // through pkexec, which asks for an administrator's approval each time.
    std::function<bool()> isAdministrator;
    // The session's login-items list.
    std::function<std::string()> loginItemsPath;
    SelfRemovalEnvironment self;

    static UninstallEnvironment system();
};

} // namespace tessaly
