// The "iPhoto Cache" module: master images that also have a preview, the image
// test behind it, and what a clean over the findings leaves on disk.
#include "ScanCode/system/CacheScanner.h"
#include "ScanCode/system/ScaniPhotoOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "model/ThumbnailReference.h"
#include "platform/FileAttributes.h"
#include "tests/ScanCode/system/SystemFixture.h"

#include <gtest/gtest.h>
#include <map>

using namespace tessaly;
using test::SystemMachine;

namespace {

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
const std::string kPng = std::string("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR", 16);

std::string jpeg(std::size_t size, char fill = 'j') {
    return kJpeg + std::string(size - kJpeg.size(), fill);
}

ScanItemListRef scanLibrary(SystemMachine& m, const std::optional<std::string>& library) {
    CacheScanner scanner(
        m.catalogue, [] { return false; }, m.services());
    m.buildCatalogue();
    scanner.addiPhotoScanTask(library);
    EXPECT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::iPhotoCache)); // reported, even when empty
    return scanner.dataForModule(sysmodule::iPhotoCache);
}

std::map<std::string, ScanItem> byPreview(const ScanItemListRef& list) {
    std::map<std::string, ScanItem> out;
    for (const ScanItem& i : *list)
        out[i->prePath] = i;
    return out;
}

} // namespace

TEST(ScaniPhoto, IsImageFileByContentAndName) {
    test::TempTree t;
    const std::string webp = std::string("RIFF\x10\x00\x00\x00WEBPVP8 ", 16);
    const std::string heic = std::string("\x00\x00\x00\x18"
                                         "ftypheic\x00\x00\x00\x00",
                                         16);
    const std::string bmp = std::string("BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00", 14);
    struct Case {
        const char* name;
        std::string bytes;
        bool image;
    };
    const Case cases[] = {
        {"a.jpg", jpeg(40), true},
        {"b.PNG", kPng, true},
        {"no-extension", kPng, true}, // the content decides
        {"c.dat", "GIF89a......", true},
        {"d.tif", std::string("II*\0 tiff body", 14), true},
        {"e.webp", webp, true},
        {"f.heic", heic, true},
        {"g.bmp", bmp, true},
        {"h.jpg", "just text named as a picture", false},
        {"i.png", "", false},
        {"j.txt", "notes", false},
        {"k.svg", "<svg xmlns='http://www.w3.org/2000/svg'/>", true}, // no signature to check
        {"l.cr2", "raw sensor data", true},
        {"m.mov",
         std::string("\x00\x00\x00\x14"
                     "ftypqt  ",
                     12),
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaniPhotoOperation::isImageFile(t.file(c.name, c.bytes)), c.image) << c.name;
    EXPECT_FALSE(ScaniPhotoOperation::isImageFile(t.dir("folder.jpg")));
    EXPECT_FALSE(ScaniPhotoOperation::isImageFile(t.path("missing.jpg")));
}

TEST(ScaniPhoto, FindsMastersOfPreviewsAtEitherPlace) {
    SystemMachine m;
    const std::string lib = m.t.dir("home/Pictures/iPhoto Library");
    auto put = [&](const std::string& rel, const std::string& bytes) {
        return m.t.file("home/Pictures/iPhoto Library/" + rel, bytes);
    };
    // Master at the same place and one folder higher: the same place wins.
    std::string both = put("Previews/2014/Trip/both.jpg", jpeg(20));
    std::string bothMaster = put("Masters/2014/Trip/both.jpg", jpeg(300));
    put("Masters/2014/both.jpg", jpeg(900));
    // Master one folder higher only.
    std::string higher = put("Previews/2014/Trip/higher.jpg", jpeg(50));
    std::string higherMaster = put("Masters/2014/higher.jpg", jpeg(500));
    put("Previews/2014/orphan.jpg", jpeg(20)); // no master
    put("Previews/2014/notes.txt", "text");    // not an image
    put("Masters/2014/notes.txt", "text");
    put("Previews/2014/fake.jpg", jpeg(20)); // master not an image
    put("Masters/2014/fake.jpg", "text that only claims to be a picture");
    put("Previews/2014/Trip/first.jpg", jpeg(20)); // first place: not an
    put("Masters/2014/Trip/first.jpg", "text");    // image, so none even
    put("Masters/2014/first.jpg", jpeg(100));      // with one higher
    put("Previews/.hidden/secret.jpg", jpeg(20));  // hidden folder
    put("Masters/.hidden/secret.jpg", jpeg(20));
    put("Previews/top.jpg", jpeg(20)); // at the top: only
    put("top.jpg", jpeg(20));          // Masters/top.jpg counts
    // A linked folder is not followed, a linked preview not taken.
    std::string outside = m.t.file("elsewhere/linked.jpg", jpeg(20));
    m.t.symlink("home/Pictures/iPhoto Library/Previews/Linked", m.t.path("elsewhere"));
    put("Masters/Linked/linked.jpg", jpeg(20));
    m.t.symlink("home/Pictures/iPhoto Library/Previews/2014/alias.jpg", outside);
    put("Masters/2014/alias.jpg", jpeg(20));

    m.retina = true;
    auto found = byPreview(scanLibrary(m, lib));
    ASSERT_EQ(found.size(), 2u);
    ASSERT_TRUE(found.count(both));
    ASSERT_TRUE(found.count(higher));
    const ScaneOuputObject& a = *found[both];
    EXPECT_EQ(a.path, bothMaster);
    EXPECT_EQ(a.name, "both.jpg");
    // What a clean removes is the preview: its size is the item's.
    EXPECT_EQ(a.fileSize, fileattr::entryInfo(both).size);
    EXPECT_TRUE(a.isCheck);
    auto thumb = parseThumbnailReference(a.icon);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->imagePath, bothMaster);
    EXPECT_EQ(thumb->points, 80);
    EXPECT_EQ(found[higher]->path, higherMaster);
    EXPECT_EQ(found[higher]->fileSize, fileattr::entryInfo(higher).size);

    m.retina = false;
    auto list = scanLibrary(m, lib);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[0]->path, higherMaster); // largest first
    EXPECT_EQ(parseThumbnailReference((*list)[0]->icon)->points, 40);
}

TEST(ScaniPhoto, EmptyLibrariesAndStoppedScansStillReport) {
    SystemMachine m;
    const std::string lib = m.t.dir("home/Pictures/iPhoto Library");
    m.t.file("home/Pictures/iPhoto Library/Masters/a.jpg", jpeg(20));
    EXPECT_TRUE(scanLibrary(m, lib)->empty()); // no "Previews"
    EXPECT_TRUE(scanLibrary(m, std::nullopt)->empty());

    m.t.file("home/Pictures/iPhoto Library/Previews/a.jpg", jpeg(20));
    ASSERT_EQ(scanLibrary(m, lib)->size(), 1u);
    CacheScanner scanner(m.catalogue, [] { return false; });
    std::shared_ptr<ScaniPhotoOperation> op;
    ScanServices services = m.services();
    services.isRetina = [&op] {
        op->cancel(); // a stop arriving as the scan starts
        return false;
    };
    op = std::make_shared<ScaniPhotoOperation>(lib, services, &scanner);
    scanner.addTask(op);
    ASSERT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::iPhotoCache));
    EXPECT_TRUE(scanner.dataForModule(sysmodule::iPhotoCache)->empty());
}

TEST(ScaniPhoto, CleaningRemovesTheCachedPreviewAndKeepsTheOriginal) {
    SystemMachine m;
    const std::string lib = m.t.dir("home/Pictures/iPhoto Library");
    std::string preview =
        m.t.file("home/Pictures/iPhoto Library/Previews/2014/Trip/p.jpg", jpeg(30, 'p'));
    std::string master =
        m.t.file("home/Pictures/iPhoto Library/Masters/2014/p.jpg", jpeg(400, 'm'));
    std::string keptPreview =
        m.t.file("home/Pictures/iPhoto Library/Previews/2014/k.jpg", jpeg(30, 'q'));
    std::string keptMaster =
        m.t.file("home/Pictures/iPhoto Library/Masters/2014/k.jpg", jpeg(200, 'n'));
    auto manager = m.manager();
    manager->iPhotoLibPath = lib;
    m.buildCatalogue();
    manager->scanDisk->addiPhotoScanTask(lib);
    ASSERT_TRUE(manager->scanDisk->start());
    auto list = manager->moduleItems(sysmodule::iPhotoCache);
    ASSERT_EQ(list->size(), 2u);
    for (const ScanItem& i : *list)
        i->isCheck = i->path == master;

    const std::int64_t previewSize = fileattr::entryInfo(preview).size;
    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 1);
    EXPECT_EQ(report.removeSize, previewSize);
    EXPECT_EQ(test::readText(master), jpeg(400, 'm'));
    EXPECT_FALSE(fileattr::entryInfo(preview).exists);
    EXPECT_EQ(test::readText(keptMaster), jpeg(200, 'n'));
    EXPECT_EQ(test::readText(keptPreview), jpeg(30, 'q'));
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::iPhotoCache)),
              std::vector<std::string>{"k.jpg"});
}
