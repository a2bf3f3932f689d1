#pragma once

#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/TempTree.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tessaly::test {

// A fixture home and system root with an Uninstaller engine whose helper,
// running applications, temporary folder and service manager are stand-ins.
struct UninstallMachine {
    FixtureRoots m;
    std::string tmp = m.t.dir("tmp/T");
    std::string serviceLog = m.t.path("systemctl.log");
    std::string serviceTool = m.t.file("bin/systemctl", "#!/bin/sh\necho \"$@\" >> '" +
                                                            m.t.path("systemctl.log") + "'\n");

    // What the stand-ins were asked, and what they do.
    std::vector<std::vector<std::string>> handed; // the helper's removals
    std::vector<std::string> unloaded;            // the helper's job unloads
    std::vector<RunningApplication> running;
    bool helperRemoves = true; // the helper removes what it is handed
    // Called as the helper is handed paths, before it removes them.
    std::function<void()> beforeHelper;

    UninstallEnvironment environment() {
        ::chmod(serviceTool.c_str(), 0755);
        UninstallEnvironment env;
        env.runningApplications = [this] { return running; };
        env.removeSystemFile = [this](const std::vector<std::string>& paths,
                                      std::vector<std::string>* notRemoved) {
            handed.push_back(paths);
            if (beforeHelper)
                beforeHelper();
            for (const std::string& path : paths)
                if (!helperRemoves || !fileops::removeItem(path))
                    notRemoved->push_back(path);
            return true;
        };
        env.stopRemoveSystemFile = [] {};
        env.unloadSerevr = [this](const std::string& path) {
            unloaded.push_back(path);
            return helperRemoves && fileops::removeItem(path);
        };
        env.userServiceTool = serviceTool;
        env.temporaryFolder = [this] { return tmp; };
        env.loginItemsPath = [] {
            return paths::join(paths::homePath(), "Library/Preferences/com.apple.loginitems.plist");
        };
        return env;
    }

    // A job description with a label and a program (as the machine records it).
    std::string job(const std::string& relative, const std::string& label,
                    const std::string& program, bool asArgument = false) const {
        PlistValue::Dict d{{"Label", label}};
        if (asArgument)
            d["ProgramArguments"] = PlistValue(PlistValue::Array{PlistValue(program), "--run"});
        else
            d["Program"] = program;
        m.t.dir(relative.substr(0, relative.rfind('/')));
        plist::writeFile(m.t.path(relative), PlistValue(d), plist::Format::Xml);
        return m.t.path(relative);
    }

    // A login item of that name.
    void loginItem(const std::string& name, const std::string& location) const {
        PlistValue::Dict item{{"Name", name}, {"Location", location}};
        PlistValue::Dict root{
            {"SessionItems",
             PlistValue(PlistValue::Dict{
                 {"CustomListItems", PlistValue(PlistValue::Array{PlistValue(item)})}})}};
        m.t.dir("home/Library/Preferences");
        plist::writeFile(m.home + "/Library/Preferences/com.apple.loginitems.plist",
                         PlistValue(root), plist::Format::Binary);
    }

    // The dock's preferences with tiles of these identifiers and labels, and
    // another key that a rewrite must keep.
    void dock(const std::vector<std::pair<std::string, std::string>>& tiles) const {
        PlistValue::Array list;
        for (const auto& [identifier, label] : tiles)
            list.push_back(PlistValue(PlistValue::Dict{
                {"tile-data", PlistValue(PlistValue::Dict{{"bundle-identifier", identifier},
                                                          {"file-label", label}})}}));
        m.t.dir("home/Library/Preferences");
        plist::writeFile(
            m.home + "/Library/Preferences/com.apple.dock.plist",
            PlistValue(PlistValue::Dict{{"persistent-apps", PlistValue(list)}, {"tilesize", 48}}),
            plist::Format::Binary);
    }
};

// The item of that name in a list; null when there is none.
inline AppItemRef named(const AppItemList& list, const std::string& name) {
    for (const AppItemRef& item : list)
        if (item->name == name)
            return item;
    return nullptr;
}

// The records' paths in order.
inline std::vector<std::string> recordPaths(const SubAppFileList& records) {
    std::vector<std::string> out;
    for (const SubAppFileRef& record : records)
        out.push_back(record->path);
    return out;
}

} // namespace tessaly::test
