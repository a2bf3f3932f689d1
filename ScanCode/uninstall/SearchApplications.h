#pragma once

#include "ScanCode/ToolEngine.h"
#include "ScanCode/uninstall/AppItem.h"
#include "ScanCode/uninstall/ApplicationIndex.h"
#include "ScanCode/uninstall/DockPreferences.h"
#include "ScanCode/uninstall/NameMatch.h"
#include "ScanCode/uninstall/UninstallEnvironment.h"
#include "model/CleanResult.h"
#include "platform/Dispatch.h"
#include "platform/LoginItemsStore.h"
#include "platform/PlistValue.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// "appUninstallFinish": posted on the main queue for each ticked record a
// removal has handled, removed or not (object: the record's path, std::string).
inline constexpr const char* appUninstallFinishNotification = "appUninstallFinish";

using UninstallCleanResult = CleanResult<SubAppFileObj>;

// One step of an Uninstaller plan: a ticked record and the item it belongs to;
// for a package, the very command that removes it.
struct UninstallStep {
    AppItemRef item;
    SubAppFileRef record;
    std::vector<std::string> command;
};

// A command as a terminal would take it: each word that needs it in single quotes.
std::string commandLineText(const std::vector<std::string>& command);

// How packages are removed: with their configuration files ("apt-get purge"),
// and whether the user confirmed removing what apt-get would take beside the
// application's own package (or a package of Priority: required).
struct PackageRemovalOptions {
    bool purge = false;
    bool confirmPackages = false;
};

// What removing the program itself did.
struct SelfRemovalReport {
    bool helperAnswered = false;
    bool scriptRan = false;
    std::vector<std::string> removed; // related files and the program's own files
    std::vector<std::string> left;    // what is still there
};

// The Uninstaller's engine. It keeps the catalogue of installed applications,
// built once per run at start-up and read by the System Cleanup scanners too,
// and beside it the internet plug-ins, widgets and preference panes; it finds
// what belongs to an item outside its bundle (preferences, caches, support
// folders, logs, saved state, temporary folders, launch jobs, its login item
// and dock tile) and removes what the user ticked. Lists are replaced whole
// under the engine's lock, so a list a reader holds stays valid.
class SearchApplications : public ToolEngine {
public:
    static SearchApplications& shareSearchApplications();

    // Loads the names of the system's own applications and the user's dock.
    SearchApplications();
    explicit SearchApplications(UninstallEnvironment env);
    // Waits for a catalogue build still running.
    ~SearchApplications() override;
    SearchApplications(const SearchApplications&) = delete;
    SearchApplications& operator=(const SearchApplications&) = delete;

    // ---- The catalogue.

    // Starts building the catalogue on a background queue; done() turns true
    // when it is complete.
    void searchApplications();
    // Builds the catalogue on the calling thread.
    void buildCatalogue();
    // Blocks until the catalogue is complete or stopWait() is called.
    void waitFinish();
    void stopWait();
    bool done() const;
    // Holds the catalogue as it is: no build replaces it until the lock goes away.
    std::unique_lock<std::mutex> holdCatalogue() {
        return std::unique_lock<std::mutex>(buildMutex_);
    }

    AppItemList allApplications() const;
    AppItemList allApplicationsForUninstall() const;

    // Plug-ins, widgets and preference panes, rebuilt on each call.
    void searchApplicationsOther();
    void searchPlugIns();
    void searchWidgets();
    void searchPreferences();
    AppItemList allPlugins() const;
    AppItemList allWidgets() const;
    AppItemList allPreferences() const;

    static std::int64_t directorySize(const std::string& path);

    // The fixed names of the system's own applications, never offered for removal.
    const std::vector<std::string>& appleApps() const { return appleApps_; }
    bool isAppleApp(const std::string& nameWithoutExtension) const;
    // The user's dock entries ("persistent-apps"); none when the dock's
    // preferences could not be read.
    std::optional<PlistValue::Array> dockApps() const;
    void setDockApps(std::optional<PlistValue::Array> apps);

    // The places searched: "/Applications", the home folder, "/Developer/Applications".
    static std::vector<std::string> searchScopes();

    // Another source of applications, asked before the folders are walked.
    void setApplicationIndex(std::shared_ptr<ApplicationIndex> index);

    // ---- The tool contract.

    std::string toolName() const override { return "Uninstaller"; }
    std::int64_t toolIndex() const override;
    // Completes the catalogue when it is not yet, lists plug-ins, widgets and
    // preference panes, selects (fully ticked) the items named by setTargets,
    // and searches the related records of every selected item that has none yet.
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    // One step per ticked record of every selected item, item by item (apps,
    // widgets, plug-ins, preference panes): files and folders are removed,
    // login items and dock tiles leave their lists, launch jobs are unloaded.
    Plan plan() const override;
    // Launch jobs are unloaded and the login items and dock tiles leave their
    // lists first; then the files and folders go through the helper pass. Only
    // what is gone counts; records that stay are marked with their reasons. An
    // item all of whose records are gone leaves its list (and the catalogue); a
    // partly removed or partly ticked item stays with what is left.
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // The items the next scan selects, each named by its name (with or without
    // its extension, ignoring case), its identifier or its path.
    void setTargets(std::vector<std::string> names);
    struct TargetMatch {
        std::string name;
        AppItemList candidates; // exactly one when the name is clear
    };
    // How the last scan read the targets.
    std::vector<TargetMatch> targetMatches() const;
    // The items of the four lists that a name, identifier or path names.
    AppItemList findItems(const std::string& key) const;

    // ---- Related records.

    // The item's records, searched on the first call only.
    SubAppFileListRef relatedFiles(const AppItemRef& item);
    // Searches the item's records (a new list each time).
    SubAppFileList deleteFiles(const AppItem& item) const;
    // The direct entries of the folders named by the identifier, by the word
    // followed by "_", or exactly by the word.
    std::vector<std::string>
    getCommonFilesByBundleAndKeyWords(const std::string& bundleID, const std::string& word,
                                      const std::vector<std::string>& folders) const;
    // The same in one folder, and also what is named, ignoring case, exactly
    // like the identifier's last part, the bundle or the executable; with roop,
    // one level into folders named like a part of the identifier.
    std::vector<std::string>
    getSupportFilesByBundleAndKeyWords(const std::string& bundleID, const std::string& word,
                                       const std::string& folder, bool roop,
                                       const std::string& bundleName = {}) const;
    // The direct entries of the folders named by the identifier.
    std::vector<std::string>
    getPrivateByBundleAndKeyWords(const std::string& bundleID,
                                  const std::vector<std::string>& folders) const;
    // The launch jobs of the folders that start the item's program, carry its
    // identifier in their names, or come from its maker (when no other
    // removable application has that maker).
    SubAppFileList searchAppServer(const AppItem& item, const std::vector<std::string>& folders,
                                   bool system) const;
    // The application bundle that holds a program (the program itself when none does).
    static std::optional<std::string> getAppPathFromExe(const std::optional<std::string>& program);
    // Whether a login item of that display name exists.
    bool hasLogin(const std::string& name) const;
    // The dock tile of an identifier or name, from the dock list loaded at start.
    std::optional<PlistValue> hasDickIcon(const std::string& key) const;
    // The two per-user temporary folders searched.
    std::vector<std::string> temporaryFolders() const;
    // What the three name matches find for an application's names, each path
    // once, never one of the searched folders nor a folder that holds one.
    std::vector<std::string> relatedPaths(const namematch::AppNames& names,
                                          bool withJobFolders) const;
    // The names the search knows an item by.
    static namematch::AppNames namesOf(const AppItem& item);
    // Another installed item (its name and path) that the same name rules would
    // give a path found for this item and that stays installed (an item ticked
    // for the same removal claims nothing); none when the path is this item's alone.
    std::optional<std::string> claimedElsewhere(const std::string& path, const AppItem& item) const;

    // ---- Linux applications.

    // Applied to the packages' records when they are searched.
    void setPackageOptions(PackageRemovalOptions options);
    PackageRemovalOptions packageOptions() const;
    // The names a Linux application's folders go by: its desktop id, the id's
    // last part, its package and its program's file name.
    static std::vector<std::string> linuxNamesOf(const AppItem& item);
    // Another installed Linux application that goes by the name of that home entry.
    std::optional<std::string> linuxClaimedElsewhere(const std::string& path,
                                                     const AppItem& item) const;
    // The record of an application's package, with what its tool would remove
    // and why it is kept back (an Essential package, more than its own).
    SubAppFileRef packageRecord(const AppItem& item) const;
    // A Linux application's records: its package (or its program and entry),
    // then what it keeps in the home folder.
    SubAppFileList linuxFiles(const AppItem& item) const;
    // The command that removes a package record's application: apt-get (through
    // pkexec and our action when we are not root), flatpak (with --delete-data
    // when the item's ~/.var/app/ID is ticked) or snap.
    std::vector<std::string> packageCommand(const AppItem& item, const SubAppFileObj& record) const;

    // ---- Selection and removal.

    // Whether any item of the four lists is selected (enables "Uninstall").
    bool hasCheck() const;
    // The selected items of apps, widgets, plug-ins and preference panes.
    AppItemList selectAllApps() const;
    // The ticked records of the items, in order.
    static SubAppFileList selectFile(const AppItemList& items);
    // Bytes of the item's ticked records.
    static std::int64_t appCheckCount(const AppItem& item);
    std::int64_t allCheckAppSize() const;
    // For each running application and each item it is (same identifier, or
    // else same name): the application, and the item appended to *appResult.
    std::vector<RunningApplication> appIsRun(const AppItemList& items,
                                             AppItemList* appResult) const;
    // The running web browsers (Safari, Firefox, Chrome or Chromium).
    std::vector<RunningApplication> hasBrowserRun() const;

    // The removal of the plan of the ticked records.
    UninstallCleanResult cleanApps();
    // Called on the screen's thread before cleanApps is queued, so that a
    // stopClean that comes first still stops it.
    void prepareClean() { cleanStop_.prepare(); }
    void stopClean() { cleanStop_.request(); }
    bool stopped() const { return cleanStop_.requested(); }

    // Takes the first login item of the item's name (without extension) off the
    // list: false when there was none or the list could not be written.
    bool removeItem(const AppItem& item);
    bool removeSelfLogin(const std::string& name);
    // Takes the tile of an identifier or name out of the dock's preferences.
    DockRemoval removeAppsFromDock(const std::string& key);
    // Unloads a launch job: a job of the system through the helper (which
    // removes its property list); a user's job through the service-manager
    // stand-in, its property list then removed through the pass. None when it
    // went (or waits in the pass for the helper), else why it stayed.
    std::optional<std::string> removeServer(const SubAppFileObj& record, HelperPass& pass);

    // Removes the program itself on a background queue, then calls quit on the
    // main queue. Does nothing when the program does not run from an installation.
    void uninstallSelf(std::function<void()> quit);
    // The same, on the calling thread, without quitting.
    SelfRemovalReport uninstallSelfNow();

    const UninstallEnvironment& environment() const { return env_; }

private:
    AppItemList itemsFromIndex(const std::vector<IndexedApplication>& records) const;
    void publish(AppItemList all);
    void setDone();
    // Lists one kind of bundle from the direct entries of the folders into *list.
    void searchKind(const std::vector<std::string>& folders, const std::string& key,
                    bool keepSystem, AppItemList SearchApplications::*list);
    // A copy of a list, taken under the lock.
    AppItemList snapshot(const AppItemList& list) const;
    // The four lists of the Uninstaller screen, in order.
    std::vector<AppItemList> uninstallLists() const;
    // Takes fully removed items out of every list (and the catalogue).
    void dropItems(const AppItemList& gone);
    // Applies the targets to the lists; returns the problems of unclear ones.
    ProblemList selectTargets();
    std::optional<std::string> stopUserJob(const SubAppFileObj& record) const;
    // Runs a package step's command: none when the application's package is
    // gone afterwards, else why it is still installed.
    std::optional<std::string> runPackageStep(const UninstallStep& step) const;
    // The session's login-items list, and its first entry of a name.
    std::string loginItemsFile() const;
    static std::optional<LoginItemRecord> loginItemNamed(const LoginItemsStore& store,
                                                         const std::string& name);

    UninstallEnvironment env_;
    mutable std::mutex lock_;
    AppItemList allTheApplicationPath_;
    AppItemList apps_;
    AppItemList plugins_, widgets_, preferences_;
    std::optional<PlistValue::Array> dockApps_;
    std::shared_ptr<ApplicationIndex> index_;
    std::vector<std::string> targets_;
    std::vector<TargetMatch> targetMatches_;
    PackageRemovalOptions packageOptions_;

    std::vector<std::string> appleApps_;

    mutable std::mutex waitMutex_;
    std::condition_variable waitCv_;
    bool done_ = false;
    bool bStop_ = false;

    std::mutex buildMutex_; // one catalogue build at a time
    RunStop scanStop_, cleanStop_;
    DispatchGroup running_;
};

} // namespace tessaly
