#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/uninstall/AppItem.h"
#include "platform/OperationQueue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

class SearchApplications;

// The scan task of the "App Leftover" module: preference files, saved window
// states, crash reports and support folders named after applications that are no
// longer installed.
class AppLeftoverCleanner : public Operation {
public:
    AppLeftoverCleanner(SearchApplications& catalogue, ScanDelegate* delegate);

    ScanDelegate* delegate; // not owned

    // The folders to visit, in stack order: the last one is visited first.
    static std::vector<std::string> getAppLeftOverPathes();
    // Whether an installed application owns an entry name: its identifier or its
    // executable name occurs in the name, its name contains the name, or the
    // name shares a dot component (after the first) with its identifier.
    bool matchAppNameWithFile(const std::string& name, const AppItemList& appItems) const;
    // The scan itself: the leftovers in the order found (partial when cancelled).
    ScanItemList scanAppLeftOver();
    // A leftover's size: a folder's without entering packages, a file's length.
    std::int64_t directorySize(const std::string& path) const;

protected:
    void main() override;

private:
    // What the ownership test compares of an installed application, lower-cased
    // and split once per scan.
    struct Owner {
        std::string identifier, executable, name;
        std::vector<std::string> identifierComponents;
        // An installed package, by name: it owns a name one of whose dot
        // components after the first is its name ("org.remmina.Remmina").
        std::string package;
    };
    static std::vector<Owner> owners(const AppItemList& appItems);
    // Everything else installed that owns leftovers where the layout says so:
    // every desktop entry, shown or not, the packages and the Flatpak applications.
    static std::vector<Owner> systemOwners();
    bool isOwned(const std::string& name, const std::vector<Owner>& owners) const;
    // The data folders of Flatpak applications no longer installed.
    void addFlatpakLeftovers(ScanItemList& out);
    void listFolder(const std::string& folder, const std::vector<Owner>& owners,
                    std::vector<std::string>& stack, ScanItemList& out);

    SearchApplications& catalogue_;
};

} // namespace tessaly
