// The "Binary" module: which applications hold slices beyond the machine's own,
// and what a clean over them does to their executables.
#include "ScanCode/system/CacheScanner.h"
#include "ScanCode/system/ScanBinariesOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/MachOFile.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/MachOBytes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;
using test::kCpuArm64;
using test::kCpuI386;
using test::kCpuPpc;
using test::kCpuX86_64;
using test::SystemMachine;

namespace {

// An application bundle whose main executable holds exactly `bytes`.
std::string application(SystemMachine& m, const std::string& relative, const std::string& bytes,
                        const std::string& executable = "main") {
    std::string bundle = test::makeBundle(m.t, relative, "com.maker." + executable);
    if (executable != "main") {
        PlistValue::Dict info;
        info["CFBundleExecutable"] = executable;
        plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), plist::Format::Xml);
    }
    m.t.file(relative + "/Contents/MacOS/main", bytes);
    return bundle;
}

ScanItemList scanBinaries(SystemMachine& m) {
    m.buildCatalogue();
    CacheScanner scanner(
        m.catalogue, [] { return false; }, m.services());
    scanner.addBinariesScanTask();
    EXPECT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::Binary));
    auto list = scanner.dataForModule(sysmodule::Binary);
    return list ? *list : ScanItemList{};
}

const std::string kFatX86I386 = test::universal(
    {{kCpuX86_64, test::thinMachO(kCpuX86_64)}, {kCpuI386, test::thinMachO(kCpuI386, false)}});

} // namespace

TEST(ScanBinaries, ListsApplicationsWithTheMachinesSliceAndOthers) {
    SystemMachine m;
    std::string fat = application(m, "root/Applications/Fat.app", kFatX86I386);
    std::string big = application(
        m, "home/Applications/Big.app",
        test::universal({{kCpuPpc, std::string(9000, 'p')}, {kCpuX86_64, "x86"}}, {true, false}));
    application(m, "root/Applications/Thin.app", test::thinMachO(kCpuX86_64));
    application(m, "root/Applications/One slice.app", test::universal({{kCpuX86_64, "x86"}}));
    application(m, "root/Applications/Elsewhere.app",
                test::universal({{kCpuArm64, "arm"}, {kCpuPpc, "ppc"}}));
    application(m, "root/Applications/Drive Genius.app", kFatX86I386);
    application(m, "root/Applications/Cut.app", kFatX86I386.substr(0, 30));
    // A name that leaves Contents/MacOS, even one that lands on a universal file.
    application(m, "root/Applications/Hostile.app", kFatX86I386, "../MacOS/main");
    application(m, "root/Applications/Dots.app", kFatX86I386, "..");

    ScanItemList items = scanBinaries(m);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->path, big); // largest first
    EXPECT_EQ(items[1]->path, fat);
    EXPECT_EQ(items[1]->name, "Fat.app");
    EXPECT_EQ(items[1]->fileSize, static_cast<std::int64_t>(kFatX86I386.size()));
    EXPECT_EQ(items[1]->icon, "64-icon");
    EXPECT_TRUE(items[1]->isCheck);

    // The machine decides which slice must be there, and the icon.
    m.machine = "i386";
    items = scanBinaries(m);
    std::vector<std::string> names;
    for (const auto& i : items) {
        names.push_back(i->name);
        EXPECT_EQ(i->icon, "32-icon");
    }
    EXPECT_EQ(names, std::vector<std::string>{"Fat.app"});
    m.machine = "ppc";
    items = scanBinaries(m);
    ASSERT_EQ(items.size(), 2u); // Big and Elsewhere hold PowerPC code
    EXPECT_EQ(items[0]->name, "Big.app");
    EXPECT_EQ(items[1]->name, "Elsewhere.app");
}

TEST(ScanBinaries, ACancelledScanStillReports) {
    SystemMachine m;
    application(m, "root/Applications/Fat.app", kFatX86I386);
    m.buildCatalogue();
    CacheScanner scanner(m.catalogue, [] { return false; });
    std::shared_ptr<ScanBinariesOperation> op;
    ScanServices services = m.services();
    services.machineArchitecture = [&op] {
        op->cancel(); // as a stop arrives while the scan runs
        return std::string("x86_64");
    };
    op = std::make_shared<ScanBinariesOperation>(m.catalogue, services, &scanner);
    scanner.addTask(op);
    ASSERT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::Binary));
    ASSERT_TRUE(scanner.dataForModule(sysmodule::Binary));
    EXPECT_TRUE(scanner.dataForModule(sysmodule::Binary)->empty());
}

TEST(ScanBinaries, CleaningThinsTheScannedExecutables) {
    SystemMachine m;
    std::string mine = application(m, "home/Applications/Mine.app", kFatX86I386);
    std::string theirs = application(m, "root/Applications/Theirs.app", kFatX86I386);
    application(m, "root/Applications/Kept.app", kFatX86I386);
    const bool locked =
        ::geteuid() != 0 &&
        ::chmod(m.t.path("root/Applications/Theirs.app/Contents/MacOS").c_str(), 0555) == 0;
    // The user's own thinning runs the real slice extraction.
    CleanManagerEnvironment env = m.environment();
    env.lipoUserApp = [&m](const std::string& p) {
        m.thinnedAsUser.push_back(p);
        return macho::thinUniversalFile(p, *macho::machOCpuType(m.machine));
    };
    QSVCleanManager manager(env);
    m.buildCatalogue();
    manager.scanDisk->addBinariesScanTask();
    ASSERT_TRUE(manager.scanDisk->start());
    auto list = manager.moduleItems(sysmodule::Binary);
    ASSERT_EQ(list->size(), 3u);
    for (const ScanItem& i : *list)
        i->isCheck = i->name != "Kept.app";

    manager.clearDiskFile();
    EXPECT_TRUE(manager.moduleItems(sysmodule::Binary)->empty());
    std::vector<std::string> handed = m.thinnedAsUser;
    handed.insert(handed.end(), m.thinnedBySystem.begin(), m.thinnedBySystem.end());
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, (std::vector<std::string>{mine + "/Contents/MacOS/main",
                                                theirs + "/Contents/MacOS/main"}));
    if (locked) {
        EXPECT_EQ(m.thinnedBySystem, std::vector<std::string>{theirs + "/Contents/MacOS/main"});
        ::chmod(m.t.path("root/Applications/Theirs.app/Contents/MacOS").c_str(), 0755);
    }
    // The user's executable is now the machine's slice alone; the unticked one is whole.
    EXPECT_EQ(test::readText(mine + "/Contents/MacOS/main"), test::thinMachO(kCpuX86_64));
    EXPECT_EQ(macho::executableArchitectures(mine + "/Contents/MacOS/main"),
              std::vector<std::uint32_t>{kCpuX86_64});
    EXPECT_EQ(test::readText(m.t.path("root/Applications/Kept.app/Contents/MacOS/main")),
              kFatX86I386);
}
