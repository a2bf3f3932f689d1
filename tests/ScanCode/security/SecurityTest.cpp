// The malware scan: the signature lookups and their rules, signature files of
// the user's own, and the scan over fixture folders with the shipped tables.
#include "ScanCode/security/SignatureFiles.h"
#include "ScanCode/security/SignatureIndex.h"
#include "ScanCode/security/THWebUtility.h"
#include "ScanCode/security/VirtualScan.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace tessaly;

namespace {

const std::string kEicar = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

std::optional<std::string> lookUp(const SignatureIndex& index, const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto size = fileattr::entryInfo(path).size;
    auto found = index.matchBytes(fd, size);
    ::close(fd);
    return found;
}

std::vector<std::string> names(const ScanItemList& found) {
    std::vector<std::string> out;
    for (const auto& v : found)
        out.push_back(v->path.substr(v->path.rfind('/') + 1) + "=" + v->name);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(SignatureIndex, ByteSignaturesKeepTheirTableOrderRules) {
    test::TempTree t;
    const std::string hundred = t.file("hundred", std::string(90, 'a') + "0123456789");
    SignatureIndex longFirst;
    longFirst.add(VirusCodeObj{"Too.Long", std::string(101, 'a'), 0, 101});
    longFirst.add(VirusCodeObj{"Would.Match", "0123", 90, 4});
    // The first pattern longer than the file ends the lookup.
    EXPECT_FALSE(lookUp(longFirst, hundred));

    SignatureIndex ordered;
    ordered.add(VirusCodeObj{"First", "aaaa", 0, 4});
    ordered.add(VirusCodeObj{"Second", "aa", 0, 2});
    ordered.add(VirusCodeObj{"Also.First.Text", "aaaa", 0, 4});
    EXPECT_EQ(lookUp(ordered, hundred), "First");

    // Offset 10 and 5 bytes: tried when more than 5 bytes remain after the offset.
    SignatureIndex window;
    window.add(VirusCodeObj{"Window", "KLMNO", 10, 5});
    EXPECT_EQ(lookUp(window, t.file("sixteen", "0123456789KLMNOP")), "Window");
    EXPECT_FALSE(lookUp(window, t.file("fifteen", "0123456789KLMNO")));
    EXPECT_FALSE(lookUp(window, t.file("empty", "")));
}

TEST(SignatureIndex, DigestsMatchTheirExactTextAndStatedSize) {
    SignatureIndex index;
    const std::string digest = *THWebUtility::hashString(kEicar, 2);
    std::string upper = digest;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    index.add(VirusMD5Obj{"Upper", upper, 2, std::nullopt});
    index.add(VirusMD5Obj{"Sized", digest, 2, 69});
    index.add(VirusMD5Obj{"Plain", digest, 2, std::nullopt});
    index.add(VirusMD5Obj{"By.MD5", *THWebUtility::hashString(kEicar, 0), 0, 68});
    std::vector<std::optional<std::string>> byKind{THWebUtility::hashString(kEicar, 0),
                                                   std::nullopt, digest};
    EXPECT_EQ(index.matchDigests(byKind, 68), "Plain"); // the first in table order that fits
    EXPECT_EQ(index.matchDigests({std::nullopt, std::nullopt, upper}, 68), "Upper");
    EXPECT_EQ(index.matchDigests({std::nullopt, std::nullopt, "00"}, 68), "");
    EXPECT_EQ(THWebUtility::hashString("abc", 1), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_FALSE(THWebUtility::hashString("abc", 4));
    EXPECT_FALSE(THWebUtility::hashString("", 2));
}

TEST(SignatureFiles, TakesWhatTheEngineExpressesAndCountsTheRest) {
    const std::string ndb = "Exploit.Test:0:16:4142434445\n"
                            "Wild.Card:0:*:41??42\n"  // not an absolute offset
                            "Other.Target:1:0:4142\n" // only target 0
                            "Odd.Hex:0:0:414\n"       // half a byte
                            "\n"
                            "Level.Fields:0:2:4142:51:255\r\n";
    SignatureFile body = parseSignatureText(ndb, "mine.ndb");
    ASSERT_EQ(body.byteSignatures.size(), 2u);
    EXPECT_EQ(body.byteSignatures[0].virus_name, "Exploit.Test");
    EXPECT_EQ(body.byteSignatures[0].start, 16);
    EXPECT_EQ(body.byteSignatures[0].virus_code, "ABCDE");
    EXPECT_EQ(body.byteSignatures[1].virus_name, "Level.Fields");
    EXPECT_EQ(body.skipped, 3u);

    const std::string hsb = std::string(64, 'A') + ":68:Sha.Upper\n" + std::string(32, 'b') +
                            ":10:Md5.One\n" + std::string(40, 'c') + ":*:Any.Size\n" +
                            "zz:1:Not.Hex\n";
    SignatureFile hashes = parseSignatureText(hsb, "mine.hsb");
    ASSERT_EQ(hashes.digests.size(), 2u);
    EXPECT_EQ(hashes.digests[0].kind, 2);
    EXPECT_EQ(hashes.digests[0].virus_code, std::string(64, 'a'));
    EXPECT_EQ(hashes.digests[0].size, 68);
    EXPECT_EQ(hashes.digests[1].kind, 0);
    EXPECT_EQ(hashes.skipped, 2u);
}

TEST(VirtualScan, TheShippedTablesFindTheTestFileByBothLookups) {
    test::FixtureRoots m;
    VirtualScan engine({}, {});
    engine.loadVir();
    ASSERT_GE(engine.virusCodes->size(), 100u);
    ASSERT_GE(engine.md5Codes->size(), 100u);
    const std::string eicar = m.t.file("home/Downloads/eicar.com", kEicar);
    EXPECT_EQ(engine.checkVirus(eicar, 68), "EICAR-Test-File");
    EXPECT_EQ(engine.checkVirusByHas256Code(eicar), "EICAR-Test-File");
    EXPECT_EQ(engine.getInformationWhenMD5Matched(*THWebUtility::hashFile(eicar, 2)),
              "EICAR-Test-File");
    EXPECT_EQ(engine.checkVirusByHas256Code(m.t.file("home/clean.txt", "hello")), "");
}

TEST(VirtualScan, WhatIsExaminedAndWhereAndTheCounters) {
    test::FixtureRoots m;
    const std::string sigs = m.t.file("signatures/mine.ndb", "Exploit.Kit.Test:0:0:5a5a5a5a5a\n"
                                                             "Malware.Agent.Test:0:4:4d4d4d4d\n");
    VirtualScan engine({}, {});
    ASSERT_TRUE(engine.addSignatureFile(sigs, nullptr));
    m.t.file("root/Users/me/eicar.com", kEicar);
    m.t.file("root/Users/me/Report.PDF", kEicar); // examined: the test is case-sensitive
    m.t.file("root/Users/me/report.pdf", kEicar); // never examined
    // Byte signatures of the user's own (in files longer than every shipped pattern,
    // since the first pattern longer than a file ends its lookup).
    m.t.file("root/Users/me/kit.bin", "ZZZZZ" + std::string(100, '.'));
    m.t.file("root/Users/me/agent.bin", "....MMMM" + std::string(100, '.'));
    m.t.file("root/Users/me/empty.com", "");
    m.t.file("root/Volumes/Other/eicar.com", kEicar); // another volume: never entered
    m.t.file("root/elsewhere/eicar.com", kEicar);
    m.t.symlink("root/Users/me/linked-folder", m.t.path("root/elsewhere"));
    std::string big = m.t.file("root/Users/me/big.com", kEicar);
    ASSERT_EQ(::truncate(big.c_str(), kMaxExaminedSize + 1), 0);

    engine.startSearchVirus(VirtualScan::typePaths(0, {}));
    MainQueue::drain();
    EXPECT_EQ(names(engine.virs),
              (std::vector<std::string>{"Report.PDF=EICAR-Test-File",
                                        "agent.bin=Malware.Agent.Test", "eicar.com=EICAR-Test-File",
                                        "eicar.com=EICAR-Test-File", "kit.bin=Exploit.Kit.Test"}));
    for (const auto& v : engine.virs)
        EXPECT_EQ(v->path.find("/Volumes/"), std::string::npos) << v->path;
    EXPECT_EQ(engine.virs.front()->name, "Malware.Agent.Test"); // malware first
    engine.loadReport();
    EXPECT_EQ(engine.malwareCount, 1);
    EXPECT_EQ(engine.exploitCount, 1); // "Exploit" counts as spyware
    EXPECT_EQ(engine.virusesCount, 3);
    EXPECT_GE(engine.scanCount, 10);
    EXPECT_EQ(engine.selectCount(), 5);

    // Removal takes the ticked findings.
    engine.virs.back()->isCheck = false;
    EXPECT_EQ(engine.cleanVir(), 4);
    EXPECT_EQ(engine.virs.size(), 1u);
    EXPECT_TRUE(fileops::itemExists(engine.virs.front()->path));
}

// The Linux layout, where other disks are mounted in /media, /run/media and
// /mnt: a System Scan stays on the start-up file system and out of the kernel's
// and the runtime's folders; a folder the user picks is scanned whole, on its
// own file system.
TEST(VirtualScan, ASystemScanStaysOnTheStartUpFileSystemAPickedFolderIsScannedWhole) {
    test::FixtureRoots m;
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    VirtualScan engine({}, {});
    auto found = [&](const std::vector<std::string>& folders, ScanSummary* summary = nullptr) {
        engine.setScanFolders(folders);
        ScanSummary s = engine.scan({}, {});
        MainQueue::drain();
        if (summary)
            *summary = s;
        std::vector<std::string> paths;
        for (const auto& v : engine.virs)
            paths.push_back(v->path.substr(m.root.size()));
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    m.t.file("root/usr/lib/eicar.com", kEicar);
    for (const char* place :
         {"proc/1/eicar.com", "sys/kernel/eicar.com", "dev/shm/eicar.com",
          "run/user/1000/eicar.com", "run/media/me/stick/eicar.com", "Volumes/Other/eicar.com"})
        m.t.file(std::string("root/") + place, kEicar);
    const std::vector<std::string> system = VirtualScan::typePaths(0, {});
    EXPECT_EQ(found(system), std::vector<std::string>{"/usr/lib/eicar.com"});
    EXPECT_EQ(found({m.root + "/run"}), (std::vector<std::string>{"/run/media/me/stick/eicar.com",
                                                                  "/run/user/1000/eicar.com"}));

    const std::string usb = m.t.dir("root/media/usb");
    const std::string disk = m.t.dir("root/mnt/disk");
    test::ScopedMount usbMount(usb);
    if (!usbMount.ok())
        GTEST_SKIP() << usbMount.why();
    test::ScopedMount diskMount(disk);
    ASSERT_TRUE(diskMount.ok()) << diskMount.why();
    m.t.file("root/media/usb/eicar.com", kEicar);
    m.t.file("root/mnt/disk/deep/eicar.com", kEicar);
    m.t.file("root/mnt/eicar.com", kEicar); // on the start-up file system
    ScanSummary summary;
    EXPECT_EQ(found(system, &summary),
              (std::vector<std::string>{"/mnt/eicar.com", "/usr/lib/eicar.com"}));
    EXPECT_TRUE(summary.problems.empty());
    EXPECT_EQ(found({usb}), std::vector<std::string>{"/media/usb/eicar.com"});
    EXPECT_EQ(found({m.root + "/mnt"}, &summary), std::vector<std::string>{"/mnt/eicar.com"});
    ASSERT_EQ(summary.problems.size(), 1u);
    EXPECT_EQ(summary.problems[0].path, disk);
    EXPECT_NE(summary.problems[0].reason.find("another file system"), std::string::npos);
}

TEST(VirtualScan, ASignatureFolderReplacesTheUsersTablesAndKeepsTheShippedOnes) {
    test::FixtureRoots m;
    const std::string kit = m.t.file("kit.bin", "ZZZZZ" + std::string(100, '.'));
    const std::string eicar = m.t.file("eicar.com", kEicar);
    m.t.file("first/a.ndb", "Exploit.Kit.A:0:0:5a5a5a5a5a\n");
    m.t.file("first/b.hsb", "nonsense line\n");
    m.t.file("second/c.ndb", "Malware.Kit.C:0:0:5a5a5a5a5a\n");
    VirtualScan engine({}, {});
    EXPECT_TRUE(engine.useSignatureFolder(m.t.path("first")).empty());
    EXPECT_EQ(engine.getVirusFromFilePath(kit, 105), "Exploit.Kit.A");
    EXPECT_EQ(engine.signatureCounts().skippedLines, 1u);
    EXPECT_TRUE(engine.useSignatureFolder(m.t.path("second")).empty());
    EXPECT_EQ(engine.getVirusFromFilePath(kit, 105), "Malware.Kit.C");
    EXPECT_EQ(engine.signatureCounts().skippedLines, 0u);
    engine.useSignatureFolder("");
    EXPECT_EQ(engine.getVirusFromFilePath(kit, 105), "");
    EXPECT_EQ(engine.getVirusFromFilePath(eicar, 68), "EICAR-Test-File");
}

TEST(VirtualScan, DigestsOnlyUpToTheirSizeLimit) {
    test::FixtureRoots m;
    std::string under = m.t.file("under.bin", "u");
    ASSERT_EQ(::truncate(under.c_str(), kMaxDigestedSize), 0);
    std::string over = m.t.file("over.bin", "o");
    ASSERT_EQ(::truncate(over.c_str(), kMaxDigestedSize + 1), 0);
    std::string hsb = m.t.file(
        "mine.hsb", *THWebUtility::hashFile(under, 2) + ":" + std::to_string(kMaxDigestedSize) +
                        ":Big.Under\n" + *THWebUtility::hashFile(over, 2) + ":" +
                        std::to_string(kMaxDigestedSize + 1) + ":Big.Over\n");
    VirtualScan engine({}, {});
    ASSERT_TRUE(engine.addSignatureFile(hsb, nullptr));
    EXPECT_EQ(engine.getVirusFromFilePath(under, kMaxDigestedSize), "Big.Under");
    EXPECT_FALSE(engine.getVirusFromFilePath(over, kMaxDigestedSize + 1));
}

TEST(VirtualScan, ElapsedTimeTexts) {
    EXPECT_EQ(VirtualScan::covertString(59.9), "59 s");
    EXPECT_EQ(VirtualScan::covertString(60), "60 s");
    EXPECT_EQ(VirtualScan::covertString(61), "1 m1 s");
    EXPECT_EQ(VirtualScan::covertString(3600), "60 m0 s");
    EXPECT_EQ(VirtualScan::covertString(3725), "1 h2 m5 s");
    EXPECT_EQ(VirtualScan::typeName(1), "Home Scan");
    EXPECT_EQ(VirtualScan::typeName(7), "");
}

// A Home Scan of one fixture home in each layout, then a clean of what it found.
// In the Linux layout it walks the whole home, hidden folders included, and the
// user's folders named outside it, but never the caches or the trash; in the
// macOS layout only the home's own document folders.
class HomeScanInLayout : public testing::TestWithParam<const char*> {};

TEST_P(HomeScanInLayout, CoversWhatItsLayoutCoversAndRemovesOnlyTheFindings) {
    const std::string layout = GetParam();
    test::ScopedEnv chosen("TESSALY_LAYOUT", layout);
    test::FixtureRoots m;
    const std::string infected = "ZZZZZ" + std::string(100, '.');
    const std::string sigs = m.t.file("signatures/mine.ndb", "Malware.Kit.Test:0:0:5a5a5a5a5a\n");
    for (const char* place : {"home/.local/bin/updater", "home/.config/autostart/helper.desktop",
                              "home/Downloads/kit.bin", "home/.cache/thumbnails/kit.bin",
                              "home/.local/share/Trash/files/kit.bin",
                              "home/.var/app/org.x.App/cache/kit.bin", "elsewhere/Docs/kit.bin"})
        m.t.file(std::string(place), infected);
    const std::string lookAlike = m.t.file("home/.local/bin/tool", "ZZZZ" + std::string(100, '.'));
    m.t.file("home/.config/user-dirs.dirs",
             "XDG_DOCUMENTS_DIR=\"" + m.t.path("elsewhere/Docs") + "\"\n");
    VirtualScan engine({}, {});
    ASSERT_TRUE(engine.addSignatureFile(sigs, nullptr));
    engine.setScanType(1, {});
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    MainQueue::drain();
    std::set<std::string> found;
    for (const auto& v : engine.virs)
        found.insert(v->path.substr(m.t.root().size() + 1));
    const std::set<std::string> expected =
        layout == "linux"
            ? std::set<std::string>{"home/.local/bin/updater",
                                    "home/.config/autostart/helper.desktop",
                                    "home/Downloads/kit.bin", "elsewhere/Docs/kit.bin"}
            : std::set<std::string>{"home/Downloads/kit.bin"};
    EXPECT_EQ(found, expected);

    CleanOutcome outcome = engine.clean(engine.plan(), {}, {});
    EXPECT_EQ(outcome.removed, static_cast<std::int64_t>(expected.size()));
    for (const std::string& gone : expected)
        EXPECT_FALSE(m.t.exists(gone)) << gone;
    EXPECT_EQ(test::readText(lookAlike), "ZZZZ" + std::string(100, '.'));
    for (const char* kept :
         {"home/.cache/thumbnails/kit.bin", "home/.local/share/Trash/files/kit.bin",
          "home/.var/app/org.x.App/cache/kit.bin"})
        EXPECT_EQ(test::readText(m.t.path(kept)), infected) << kept;
}

INSTANTIATE_TEST_SUITE_P(Layouts, HomeScanInLayout, testing::Values("macos", "linux"));
