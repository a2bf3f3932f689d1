#pragma once

#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tessaly::test {

// A fixture home and system root with their own settings, application catalogue,
// login items and a System Cleanup engine on them. The privileged helper is a
// stand-in that records what it is handed and does nothing unless told.
struct SystemMachine : FixtureRoots {
    UserDefaults defaults{t.path("settings/defaults.plist")};
    SearchApplications catalogue;
    std::shared_ptr<LoginItemsStore> loginStore =
        std::make_shared<LoginItemsStore>(home + "/Library/Preferences/com.apple.loginitems.plist");
    LoginItemManager logins{loginStore};
    bool retina = false;
    // What the module scanners read: the kept languages, the shipped language
    // table and the machine's name.
    std::vector<std::string> keep{"en"};
    std::string machine = "x86_64";
    SettingModel settings{[this] {
        SettingEnvironment e;
        e.defaults = [this]() -> UserDefaults& { return defaults; };
        e.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        e.inputSourceLanguages = [] { return std::vector<std::string>{}; };
        e.languageResourcePath = paths::resourcePath("Language", "plist");
        return e;
    }()};

    // The helper stand-in: what it was handed, and what it does.
    std::vector<std::vector<std::string>> handedToHelper;
    std::function<bool(const std::vector<std::string>&, std::vector<std::string>*)> helper =
        [](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
            if (notRemoved)
                *notRemoved = paths;
            return false;
        };
    std::atomic<int> helperStops{0};
    std::vector<std::string> thinnedAsUser, thinnedBySystem;

    ScanServices services() {
        ScanServices s;
        s.keepLanguages = [this] { return keep; };
        s.languageInfo = [this](const std::string& code) { return settings.languageInfo(code); };
        s.isRetina = [this] { return retina; };
        s.machineArchitecture = [this] { return machine; };
        s.keptPaths = [this] { return KeptPaths::fromSettings(defaults); };
        return s;
    }

    CleanManagerEnvironment environment() {
        CleanManagerEnvironment env;
        env.catalogue = [this]() -> SearchApplications& { return catalogue; };
        env.loginItems = [this]() -> LoginItemManager& { return logins; };
        env.defaults = [this]() -> UserDefaults& { return defaults; };
        env.isRetina = [this] { return retina; };
        env.removeSystemFile = [this](const std::vector<std::string>& paths,
                                      std::vector<std::string>* notRemoved) {
            handedToHelper.push_back(paths);
            return helper(paths, notRemoved);
        };
        env.stopRemoveSystemFile = [this] { ++helperStops; };
        env.lipoSystemApp = [this](const std::string& p) {
            thinnedBySystem.push_back(p);
            return true;
        };
        env.lipoUserApp = [this](const std::string& p) {
            thinnedAsUser.push_back(p);
            return true;
        };
        env.scanServices = services();
        return env;
    }

    std::unique_ptr<QSVCleanManager> manager() {
        return std::make_unique<QSVCleanManager>(environment());
    }

    // The catalogue built on the fixture (so a scan does not wait for it).
    void buildCatalogue() { catalogue.buildCatalogue(); }
};

// A result item.
inline ScanItem item(const std::string& path, std::int64_t size, bool check = true) {
    auto o = std::make_shared<ScaneOuputObject>();
    o->path = path;
    o->name = path.substr(path.rfind('/') + 1);
    o->fileSize = size;
    o->isCheck = check;
    return o;
}

// A group of leaves.
inline ScanItem group(const std::string& name, ScanItemList children) {
    auto o = std::make_shared<ScaneOuputObject>();
    o->name = name;
    o->fileSize = totalSize(children);
    o->subObjects = std::make_shared<ScanItemList>(std::move(children));
    return o;
}

inline std::vector<std::string> namesOf(const ScanItemListRef& list) {
    std::vector<std::string> out;
    if (list)
        for (const auto& i : *list)
            out.push_back(i->name);
    return out;
}

} // namespace tessaly::test
