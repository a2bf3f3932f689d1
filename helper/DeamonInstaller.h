#pragma once

// Installs the privileged service DornDaemon with the administrator's consent,
// and installs and removes the menu helper agent DronHelper.

#include <mutex>
#include <string>
#include <vector>

namespace tessaly {

class DeamonInstaller {
public:
    static DeamonInstaller& shareInstaller();
    // Puts a stand-in in place of the shared installer (tests); nullptr brings
    // the real one back.
    static void setShareInstaller(DeamonInstaller* standIn);

    DeamonInstaller();
    virtual ~DeamonInstaller() = default;
    DeamonInstaller(const DeamonInstaller&) = delete;
    DeamonInstaller& operator=(const DeamonInstaller&) = delete;

    // The "installDeamon" default: whether an installation was ever started.
    bool installDeamonWithUser() const;

    // Sets "installDeamon" and runs the installation script "installDeamon.sh"
    // of the resources folder as root, with our user id: through pkexec (given
    // the script itself, which its polkit action names), or with /bin/sh when
    // we are root. The script installs DornDaemon and its unit from its own
    // folder, and only when that folder is root's alone. True only when the
    // script reports the service installed and answering; false when the
    // administrator prompt was dismissed (lastError() is then "User canceled.")
    // or anything else failed.
    virtual bool installDeamon();

    // Installs and starts DronHelper for this user (after removing an earlier one).
    virtual void installAutoMenu();
    // Stops and removes DronHelper. Every error is ignored.
    virtual void uninstallAutoMenu();

    std::string lastError() const;

    // What obtains administrator rights: the command put in front of
    // "installDeamon.sh UID" (default: none when we are root, and the script
    // is then run with /bin/sh; else "/usr/bin/pkexec"). Its exit status 126
    // means the prompt was dismissed.
    void setElevationCommand(std::vector<std::string> command);
    // The tool that drives the user's service manager (default "/usr/bin/systemctl").
    void setUserServiceTool(std::string tool);

protected:
    void setLastError(std::string text);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> elevation_;
    std::string serviceTool_;
    std::string lastError_;
};

// One clear line of our own for a failed installation, from what the programs it
// ran said and their exit status (pkexec's "Error getting authority..." and the like).
std::string installerFailure(const std::string& said, int status);

} // namespace tessaly
