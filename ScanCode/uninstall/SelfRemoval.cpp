// Removing the program itself: its related files, its login item and dock
// tile, the privileged helper (through the "Uninstall" script, as root) and
// finally its installed files.
#include "ScanCode/uninstall/SearchApplications.h"
#include "helper/FileManagerAddation.h"
#include "platform/ChildProcess.h"
#include "platform/FileRemoval.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

// The program's files when it runs from an installation: PREFIX/bin holding the
// executable and PREFIX/share/tessaly being the resources folder. None from a
// build tree, which self-removal never touches.
std::vector<std::string> installedProgramPaths() {
    const std::string bin = paths::deletingLastComponent(paths::executablePath());
    const std::string prefix = paths::deletingLastComponent(bin);
    const std::string share = paths::join(prefix, "share");
    if (paths::lastComponent(bin) != "bin" ||
        paths::resourcesDir() != paths::join(share, "tessaly"))
        return {};
    std::vector<std::string> files;
    for (const std::string& path :
         {paths::join(bin, "tessaly"), paths::join(bin, "tessaly-cli"),
          paths::join(share, "tessaly"), paths::join(share, "applications/tessaly.desktop"),
          paths::join(share, "icons/hicolor/scalable/apps/tessaly.svg"),
          paths::join(share, "polkit-1/actions/com.zqk.tessaly.policy")})
        if (fileops::itemExists(path))
            files.push_back(path);
    return files;
}

// Whether a file and every folder above it belong to root and no one else may
// change them (a folder others may write to must be sticky), so that nothing
// can be slipped into what is run as root.
bool rootsAlone(const std::string& path) {
    std::string at = path;
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) != 0 || st.st_uid != 0)
            return false;
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)))
            return false;
        if (at == "/")
            return true;
        at = paths::deletingLastComponent(at);
        if (at.empty())
            at = "/";
    }
}

bool runAsRoot(const std::string& script) {
    if (!rootsAlone(script)) {
        log::line("the uninstall script " + script +
                  " is not root's alone; it is not run with administrator rights");
        return false;
    }
    int status = ::geteuid() == 0
                     ? runProcess("/bin/sh", {script}, ChildOutput::Discard)
                     : runProcess("/usr/bin/pkexec", {"/bin/sh", script}, ChildOutput::Discard);
    return status == 0;
}

} // namespace

SelfRemovalEnvironment SelfRemovalEnvironment::system() {
    SelfRemovalEnvironment env;
    env.identifier = "com.zqk.Tessaly";
    env.executable = "Tessaly";
    env.programPaths = installedProgramPaths();
    env.uninstallScript = paths::resourcePath("Uninstall", "sh");
    env.helperAnswers = [] { return FileManagerAddation::installDeamon(); };
    env.removeSystemFile2 = [](const std::vector<std::string>& files,
                               std::vector<std::string>* notRemoved) {
        return FileManagerAddation::removeSystemFile2(files, notRemoved);
    };
    env.runScriptAsRoot = runAsRoot;
    env.removeFileWithPrivileges = [](const std::string& path) {
        return FileManagerAddation::removeFileWithPrivileges(path);
    };
    return env;
}

SelfRemovalReport SearchApplications::uninstallSelfNow() {
    const SelfRemovalEnvironment& self = env_.self;
    SelfRemovalReport report;
    if (self.programPaths.empty()) {
        log::line("the program does not run from an installation; it is not removed");
        return report;
    }
    AppItem own;
    own.bundleID = self.identifier;
    own.executableString = self.executable;
    std::vector<std::string> related;
    for (std::string& path : relatedPaths(namesOf(own), /*withJobFolders=*/false)) {
        if (auto other = claimedElsewhere(path, own))
            log::line("kept " + path + ": it could belong to " + *other + " too");
        else
            related.push_back(std::move(path));
    }
    removeSelfLogin(paths::deletingExtension(self.executable));
    removeAppsFromDock(self.identifier);
    report.helperAnswered = self.helperAnswers && self.helperAnswers();

    std::vector<std::string> failed;
    for (const std::string& path : related)
        if (!fileops::removeItem(path))
            failed.push_back(path);
    if (report.helperAnswered) {
        std::vector<std::string> notRemoved;
        if (!failed.empty() && self.removeSystemFile2)
            self.removeSystemFile2(failed, &notRemoved);
        // The helper goes while it still answers: the script stops and removes it.
        if (!self.uninstallScript.empty() && self.runScriptAsRoot)
            report.scriptRan = self.runScriptAsRoot(self.uninstallScript);
    }
    for (const std::string& path : self.programPaths)
        if (!fileops::removeItem(path) && fileops::itemExists(path) &&
            self.removeFileWithPrivileges)
            self.removeFileWithPrivileges(path);

    related.insert(related.end(), self.programPaths.begin(), self.programPaths.end());
    for (const std::string& path : related)
        (fileops::itemExists(path) ? report.left : report.removed).push_back(path);
    return report;
}

void SearchApplications::uninstallSelf(std::function<void()> quit) {
    if (env_.self.programPaths.empty())
        return;
    GlobalQueue::async([this, quit = std::move(quit)] {
        uninstallSelfNow();
        if (quit)
            MainQueue::async(quit);
    });
}

} // namespace tessaly
