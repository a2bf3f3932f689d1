#pragma once

#include "ScanCode/uninstall/AppItem.h"
#include "ScanCode/uninstall/ApplicationIndex.h"
#include "platform/Dispatch.h"
#include "platform/PlistValue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// The catalogue of installed applications, built once per run at start-up and
// read by the Uninstaller and the System Cleanup scanners; beside it the
// internet plug-ins, widgets and preference panes of the Uninstaller screen.
// Lists are replaced whole under the engine's lock, so a list a reader holds
// stays valid.
class SearchApplications {
public:
    static SearchApplications& shareSearchApplications();

    // Loads the names of the system's own applications and the user's dock.
    SearchApplications();
    // Waits for a catalogue build still running.
    ~SearchApplications();
    SearchApplications(const SearchApplications&) = delete;
    SearchApplications& operator=(const SearchApplications&) = delete;

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

    // Stop request of a removal run.
    std::atomic<bool> stop{false};

private:
    AppItemList itemsFromIndex(const std::vector<IndexedApplication>& records) const;
    void publish(AppItemList all);
    void setDone();
    // Lists one kind of bundle from the direct entries of the folders into *list.
    void searchKind(const std::vector<std::string>& folders, const std::string& key,
                    bool keepSystem, AppItemList SearchApplications::*list);
    // A copy of a list, taken under the lock.
    AppItemList snapshot(const AppItemList& list) const;

    mutable std::mutex lock_;
    AppItemList allTheApplicationPath_;
    AppItemList apps_;
    AppItemList plugins_, widgets_, preferences_;
    std::optional<PlistValue::Array> dockApps_;
    std::shared_ptr<ApplicationIndex> index_;

    std::vector<std::string> appleApps_;

    mutable std::mutex waitMutex_;
    std::condition_variable waitCv_;
    bool done_ = false;
    bool bStop_ = false;

    std::mutex buildMutex_; // one catalogue build at a time
    DispatchGroup running_;
};

} // namespace tessaly
