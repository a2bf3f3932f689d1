// A whole System Cleanup cycle on a fixture home and system root in the macOS
// layout: scan every module, tick and untick, clean, and look at the disk, the
// report and the lists; then a file the user may not delete, removed through
// the real DornDaemon serving on a temporary socket.
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "helper/FileManagerAddation.h"
#include "model/SettingKeys.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/MachOBytes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;
using test::SystemMachine;

namespace {

std::map<int, std::vector<std::string>> namesByModule(const QSVCleanManager& manager) {
    std::map<int, std::vector<std::string>> out;
    for (const auto& [module, list] : manager.discData()) {
        auto names = test::namesOf(list);
        std::sort(names.begin(), names.end());
        out[module] = names;
    }
    return out;
}

ScanItem find(const QSVCleanManager& manager, int module, const std::string& name) {
    if (auto list = manager.moduleItems(module))
        for (const auto& i : *list)
            if (i->name == name)
                return i;
    return nullptr;
}

// Bytes that start as a JPEG picture does.
std::string jpeg(const std::string& fill, std::size_t size) {
    std::string out = "\xFF\xD8\xFF\xE0";
    while (out.size() < size)
        out += fill;
    return out;
}

const char* const kPhotoLibrary = "home/Pictures/iPhoto Library";

// The macOS layout with something for every module and the login items.
void buildMacHome(SystemMachine& m) {
    auto& t = m.t;
    test::makeBundle(t, "root/Applications/Editor.app", "com.maker.Editor");
    t.sizedFile("home/Library/Caches/com.maker.Editor/Cache.db", 50000);
    t.sizedFile("home/Library/Caches/com.maker.Editor/fsCachedData/a", 9000);
    t.sizedFile("home/Library/Caches/com.other.tool/blob", 40000);
    t.sizedFile("home/Library/Logs/Editor.log", 3000);
    t.sizedFile("home/Library/Containers/com.maker.sandboxed/Data/Library/Caches/sandbox.db", 7000);
    t.sizedFile("home/Library/Containers/com.maker.sandboxed/Data/Library/Logs/sandbox.log", 600);
    t.sizedFile("root/Library/Caches/com.apple.finder/finder.db", 100);
    t.sizedFile("root/Library/Caches/com.maker.daemon/state", 20000);
    t.sizedFile("root/Library/Logs/install.log", 8000);
    t.sizedFile("home/Library/iTunes/iPad Software Updates/iPad.ipsw", 300000);
    t.sizedFile("home/Library/iTunes/Pad_7.ipsw", 250000);
    t.file("home/Library/iTunes/notes.txt", "keep");
    t.sizedFile("home/Pictures/iPhoto Library/Thumb64.ithmb", 4000);
    t.file("home/Pictures/iPhoto Library/AlbumData.xml", "<xml/>");
    t.sizedFile("home/.Trash/old.zip", 120000);
    t.sizedFile("home/.Trash/keep-me.txt", 10);
    t.sizedFile("home/Library/Mail Downloads/invoice.pdf", 5000);
    t.sizedFile("home/Library/Containers/com.apple.mail/Data/Library/Mail Downloads/photo.jpg",
                6000);
    t.dir("home/Library/LaunchAgents");
    plist::writeFile(
        t.path("home/Library/LaunchAgents/com.maker.gone.plist"),
        PlistValue(PlistValue::Dict{{"Program", PlistValue("/Applications/Gone.app")}}),
        plist::Format::Xml);
    plist::writeFile(t.path("home/Library/LaunchAgents/com.maker.editor.plist"),
                     PlistValue(PlistValue::Dict{
                         {"Program", PlistValue("/Applications/Editor.app/Contents/MacOS/main")}}),
                     plist::Format::Xml);
    m.loginStore->add({"Ghost", "/Applications/Ghost.app", false});
    m.loginStore->add({"Editor", "/Applications/Editor.app", true});
    // Localisations: English is kept, French and German are not, Base is no language.
    for (const char* lang : {"en", "fr", "de", "Base"})
        t.sizedFile(std::string("root/Applications/Editor.app/Contents/Resources/") + lang +
                        ".lproj/Localizable.strings",
                    2000);
    // A universal executable with the machine's slice and another one.
    test::makeBundle(t, "root/Applications/Universal.app", "org.maker.universal");
    t.file("root/Applications/Universal.app/Contents/MacOS/main",
           test::universal({{test::kCpuX86_64, std::string(3000, 'x')},
                            {test::kCpuI386, std::string(3000, 'y')}}));
    // The preferences of an application that is gone.
    t.sizedFile("home/Library/Preferences/net.gonevendor.sync.plist", 700);
    // A photo library's master picture and its preview.
    t.file(std::string(kPhotoLibrary) + "/Masters/2026/Trip/IMG_1.jpg", jpeg("master", 30000));
    t.file(std::string(kPhotoLibrary) + "/Previews/2026/Trip/IMG_1.jpg", jpeg("preview", 8000));
}

} // namespace

TEST(SystemCleanupEndToEnd, ScanTickCleanAndRescan) {
    SystemMachine m;
    buildMacHome(m);
    m.buildCatalogue();
    auto manager = m.manager();
    std::set<std::int64_t> announced;
    ObserverToken token(NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            scanModuleFinishNotification, [&](const Notification& n) {
                                announced.insert(std::any_cast<std::int64_t>(n.object));
                            }));

    ASSERT_TRUE(manager->scanDiskFile());
    MainQueue::drain();
    EXPECT_EQ(manager->iPhotoLibPath, m.home + "/Pictures/iPhoto Library");
    using namespace sysmodule;
    EXPECT_EQ(namesByModule(*manager),
              (std::map<int, std::vector<std::string>>{
                  {IOSSoftwareUpdates, {"Pad_7.ipsw"}},
                  {IOSPhotoCache, {"Thumb64.ithmb"}},
                  {BrokenLoginItems, {"Ghost", "Gone.app"}},
                  {SystemLog, {"install.log"}},
                  {SystemCache, {"com.maker.daemon"}},
                  {UserCache, {"com.maker.Editor", "com.other.tool", "sandbox.db"}},
                  {UserLog, {"Editor.log", "sandbox.log"}},
                  {Trash, {"keep-me.txt", "old.zip"}},
                  {MailAttachments, {"invoice.pdf", "photo.jpg"}},
                  {iPhotoCache, {"IMG_1.jpg"}},
                  {Binary, {"Universal.app"}},
                  {AppLeftover, {"net.gonevendor.sync.plist"}},
                  {Language, {"French", "German"}},
              }));
    std::set<std::int64_t> all;
    for (int module = 0; module <= LastSelectable; ++module) {
        all.insert(module);
        EXPECT_TRUE(manager->bScanFinsh(module)) << module;
    }
    EXPECT_EQ(announced, all);
    // Language groups hold one item per application, with its folders to remove.
    ScanItem french = find(*manager, Language, "French");
    ASSERT_TRUE(french && french->hasChildren());
    ASSERT_EQ(french->subObjects->size(), 1u);
    EXPECT_EQ((*french->subObjects)[0]->name, "Editor.app");
    EXPECT_EQ(
        (*french->subObjects)[0]->removePaths,
        std::vector<std::string>{m.root + "/Applications/Editor.app/Contents/Resources/fr.lproj"});
    EXPECT_EQ(find(*manager, Binary, "Universal.app")->icon, "64-icon");
    EXPECT_EQ(find(*manager, UserCache, "com.maker.Editor")->icon,
              m.root + "/Applications/Editor.app");

    // Untick what stays: one Trash item, the whole System Log and one login item.
    find(*manager, Trash, "keep-me.txt")->isCheck = false;
    manager->setCheck(SystemLog, false);
    find(*manager, BrokenLoginItems, "Gone.app")->isCheck = false;
    for (const ScanItem& app : *find(*manager, Language, "German")->subObjects)
        app->isCheck = false;
    // Thinning is started, not counted.
    std::int64_t ticked = manager->totleSizeAllModule() - manager->totleSize(Binary);
    auto chart = manager->scanResult();
    ASSERT_FALSE(chart.empty());
    EXPECT_EQ(chart.front().name, "IOS Software Updates");

    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeSize, ticked);
    // 11 files and folders, 1 login item, 1 language, 1 leftover, 1 master picture
    EXPECT_EQ(report.removeCount, 15);
    EXPECT_EQ(report.removeIssue, 1);
    EXPECT_TRUE(report.canotRemove.empty());
    EXPECT_TRUE(m.handedToHelper.empty());

    // The disk: what was ticked is gone, the rest is there.
    for (const char* gone :
         {"home/Library/Caches/com.maker.Editor", "home/Library/Caches/com.other.tool",
          "home/Library/Containers/com.maker.sandboxed/Data/Library/Caches/sandbox.db",
          "home/Library/iTunes/Pad_7.ipsw", "home/.Trash/old.zip",
          "root/Library/Caches/com.maker.daemon", "home/Library/Mail Downloads/invoice.pdf",
          "root/Applications/Editor.app/Contents/Resources/fr.lproj",
          "home/Library/Preferences/net.gonevendor.sync.plist",
          "home/Pictures/iPhoto Library/Previews/2026/Trip/IMG_1.jpg"})
        EXPECT_FALSE(m.t.exists(gone)) << gone;
    for (const char* kept :
         {"home/.Trash/keep-me.txt", "root/Library/Logs/install.log",
          "root/Library/Caches/com.apple.finder/finder.db", "home/Library/iTunes/notes.txt",
          "home/Library/LaunchAgents/com.maker.gone.plist", "home/Library/Caches", "home/.Trash",
          "root/Applications/Editor.app/Contents/Resources/en.lproj",
          "root/Applications/Editor.app/Contents/Resources/de.lproj",
          "root/Applications/Editor.app/Contents/Resources/Base.lproj"})
        EXPECT_TRUE(m.t.exists(kept)) << kept;
    // The cached preview went and the original stayed; the executable was thinned.
    EXPECT_EQ(test::readText(m.t.path(std::string(kPhotoLibrary) + "/Masters/2026/Trip/IMG_1.jpg")),
              jpeg("master", 30000));
    EXPECT_EQ(m.thinnedAsUser.size() + m.thinnedBySystem.size(), 1u);
    auto logins = m.loginStore->snapshot();
    ASSERT_EQ(logins->size(), 1u);
    EXPECT_EQ((*logins)[0].name, "Editor");

    // The lists hold what is left.
    EXPECT_EQ(namesByModule(*manager)[Trash], std::vector<std::string>{"keep-me.txt"});
    EXPECT_EQ(namesByModule(*manager)[BrokenLoginItems], std::vector<std::string>{"Gone.app"});
    EXPECT_TRUE(namesByModule(*manager)[UserCache].empty());
    EXPECT_EQ(namesByModule(*manager)[Language], std::vector<std::string>{"German"});
    EXPECT_TRUE(namesByModule(*manager)[Binary].empty());
    EXPECT_TRUE(namesByModule(*manager)[iPhotoCache].empty());
    EXPECT_TRUE(namesByModule(*manager)[AppLeftover].empty());
    EXPECT_EQ(manager->totleSizeAllModule(), 0);

    // A rescan after the clean: small user caches are not shown.
    m.t.sizedFile("home/Library/Caches/new-small", 100);
    announced.clear();
    ASSERT_TRUE(manager->scanDiskFile());
    MainQueue::drain();
    EXPECT_FALSE(manager->moduleItems(UserCache));
    EXPECT_EQ(announced.count(UserCache), 0u);
    EXPECT_EQ(namesByModule(*manager)[SystemLog], std::vector<std::string>{"install.log"});
    EXPECT_EQ(namesByModule(*manager)[MailAttachments].size(), 0u);
}

// ---- through the privileged helper ----

namespace {

constexpr uid_t kNobody = 65534;
constexpr const char* kFixtureVar = "TESSALY_E2E_FIXTURE";
constexpr const char* kSocketVar = "TESSALY_E2E_SOCKET";

void chownTree(const std::string& path, uid_t uid) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(path))
        (void)::lchown(e.path().c_str(), uid, uid);
    (void)::lchown(path.c_str(), uid, uid);
}

} // namespace

// Runs in the child (as the unprivileged user): scans the system caches and
// cleans them through the helper at the socket the parent gives.
TEST(SystemCleanupAsUser, Child) {
    const char* fixture = std::getenv(kFixtureVar);
    const char* socket = std::getenv(kSocketVar);
    if (!fixture || !socket)
        GTEST_SKIP() << "runs only as the child of the helper test";
    std::string root = fixture;
    test::ScopedEnv home("TESSALY_HOME", root + "/home");
    test::ScopedEnv system("TESSALY_ROOT", root + "/root");
    test::ScopedEnv helperSocket("TESSALY_HELPER_SOCKET", socket);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    UserDefaults defaults(root + "/home/defaults.plist");
    SearchApplications catalogue;
    catalogue.buildCatalogue();
    LoginItemManager logins(std::make_shared<LoginItemsStore>(root + "/home/logins.plist"));
    CleanManagerEnvironment env = CleanManagerEnvironment::system();
    env.catalogue = [&]() -> SearchApplications& { return catalogue; };
    env.loginItems = [&]() -> LoginItemManager& { return logins; };
    env.defaults = [&]() -> UserDefaults& { return defaults; };
    QSVCleanManager manager(env);
    manager.setModuleFilter({sysmodule::SystemCache});
    ASSERT_TRUE(manager.scanDiskFile());
    ASSERT_EQ(test::namesOf(manager.moduleItems(sysmodule::SystemCache)),
              (std::vector<std::string>{"locked", "free"}));
    std::int64_t ticked = manager.totleSize(sysmodule::SystemCache);
    CleanReport report = manager.clearDiskFile();
    std::string held = root + "/root/Library/Caches/locked";
    EXPECT_EQ(report.canotRemove, std::vector<std::string>{held});
    EXPECT_FALSE(fileops::itemExists(held));
    EXPECT_EQ(report.removeCount, 2);
    EXPECT_EQ(report.removeSize, ticked);
    EXPECT_GT(ticked, 30000);
    EXPECT_TRUE(manager.moduleItems(sysmodule::SystemCache)->empty());
}

TEST(SystemCleanupAsUser, AFileTheUserMayNotDeleteIsCountedOnlyWhenTheHelperRemovedIt) {
    if (std::getenv(kFixtureVar))
        GTEST_SKIP() << "the child runs only its own part";
    if (::geteuid() != 0) {
        // As an ordinary user the service (running as that user too) cannot remove
        // it either: the item stays, ticked, and is not counted.
        SystemMachine m;
        m.t.sizedFile("root/Library/Caches/locked/held.db", 3000);
        m.t.sizedFile("root/Library/Caches/free", 500);
        ::chmod(m.t.path("root/Library/Caches/locked").c_str(), 0555);
        std::string socket = m.t.dir("run") + "/DornDamonObject";
        test::DaemonProcess daemon(
            socket, {"--allow-uid", std::to_string(::getuid()), "--allow-root", m.t.root()});
        ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();
        test::ScopedEnv helperSocket("TESSALY_HELPER_SOCKET", socket);
        UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
        CleanManagerEnvironment env = m.environment();
        env.removeSystemFile = [](const std::vector<std::string>& p, std::vector<std::string>* n) {
            return FileManagerAddation::removeSystemFile(p, n);
        };
        QSVCleanManager manager(env);
        m.buildCatalogue();
        manager.setModuleFilter({sysmodule::SystemCache});
        ASSERT_TRUE(manager.scanDiskFile());
        CleanReport report = manager.clearDiskFile();
        ::chmod(m.t.path("root/Library/Caches/locked").c_str(), 0755);
        EXPECT_EQ(report.removeCount, 1);
        EXPECT_EQ(report.canotRemove.size(), 1u);
        EXPECT_TRUE(m.t.exists("root/Library/Caches/locked/held.db"));
        EXPECT_EQ(test::namesOf(manager.moduleItems(sysmodule::SystemCache)),
                  std::vector<std::string>{"locked"});
        return;
    }
    // As root: the home belongs to an unprivileged user; the fixture's system
    // caches are root's, as on a real system (sticky, so the user may put and
    // remove files of its own there), with one folder of root's inside. The
    // cleaning runs as that user in a child, and the service, as root, removes
    // what the user could not: it takes the fixture's system root for its own.
    test::TempTree t;
    ::chmod(t.root().c_str(), 0755);
    t.sizedFile("home/Library/Caches/.keep", 1);
    t.sizedFile("root/Library/Caches/free", 500);
    t.sizedFile("root/Library/Caches/locked/held.db", 30000);
    t.dir("run");
    chownTree(t.path("home"), kNobody);
    chownTree(t.path("run"), kNobody);
    ASSERT_EQ(::lchown(t.path("root/Library/Caches/free").c_str(), kNobody, kNobody), 0);
    ::chmod(t.path("root/Library/Caches").c_str(), 01777);
    std::string socket = t.path("run/DornDamonObject");
    test::DaemonProcess daemon(
        socket, {"--allow-uid", std::to_string(kNobody), "--system-root", t.path("root")});
    ASSERT_TRUE(daemon.waitUntilReady()) << daemon.log();

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv(kFixtureVar, t.root().c_str(), 1);
        ::setenv(kSocketVar, socket.c_str(), 1);
        ::setenv("TMPDIR", "/tmp", 1);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(90);
        std::string self = std::filesystem::read_symlink("/proc/self/exe");
        std::string filter = "--gtest_filter=SystemCleanupAsUser.Child";
        char* argv[] = {self.data(), filter.data(), nullptr};
        ::execv(self.c_str(), argv);
        ::_exit(91);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "the cleaning as user " << kNobody << " failed; service log:\n"
        << daemon.log();
    EXPECT_FALSE(t.exists("root/Library/Caches/locked"));
    EXPECT_FALSE(t.exists("root/Library/Caches/free"));
    EXPECT_TRUE(t.exists("root/Library/Caches"));
}
