// The duplicate scan's records: which copy is kept, category order and type
// recognition, and the folder list clean-up.
#include "ScanCode/duplicate/DupFileInfo.h"
#include "ScanCode/duplicate/DuplicateInfo.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "ScanCode/duplicate/FolderList.h"
#include "model/SettingModel.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

Date day(int n) {
    return Date{} + std::chrono::hours(24 * n);
}

DupFileInfo file(const std::string& path, std::int32_t kind, std::optional<Date> opened = {}) {
    DupFileInfo f;
    f.path = path;
    f.kind = kind;
    f.accessDate = opened;
    return f;
}

} // namespace

TEST(DupFileInfo, CompareWithDateDecidesWhichCopyIsKept) {
    struct Case {
        const char* what;
        DupFileInfo a, b;
        ComparisonResult expected; // Ascending: a goes first, nearer to removal
    } cases[] = {
        {"suffixed name first, wherever it lies", file("/h/Pictures/photo copy.jpg", 1),
         file("/h/x/photo.jpg", 1), OrderedAscending},
        {"plain name last", file("/h/x/photo.jpg", 1), file("/h/Pictures/photo 2.jpg", 1),
         OrderedDescending},
        {"the folder word keeps its copy", file("/h/x/a.jpg", 1), file("/h/Pictures/b.jpg", 1),
         OrderedAscending},
        {"both in the folder: later date first", file("/h/Pictures/a.jpg", 1, day(5)),
         file("/h/Pictures/b.jpg", 1, day(2)), OrderedAscending},
        {"documents word for archives", file("/h/Documents/a.zip", 3), file("/h/x/b.zip", 3),
         OrderedDescending},
        {"no word: later date first", file("/h/x/a.txt", 2, day(1)), file("/h/y/b.txt", 2, day(3)),
         OrderedDescending},
        {"media: Music, then Movies", file("/h/Movies/a.mp4", 0), file("/h/x/b.mp4", 0),
         OrderedDescending},
        {"media: a Downloads copy goes first", file("/h/Downloads/a.mp3", 0), file("/h/x/b.mp3", 0),
         OrderedAscending},
        {"media: Music beats Downloads", file("/h/Downloads/a.mp3", 0), file("/h/Music/b.mp3", 0),
         OrderedAscending},
        {"media without words: later date first", file("/h/x/a.mp3", 0, day(9)),
         file("/h/y/b.mp3", 0, day(1)), OrderedAscending},
        {"a copy without a date counts as oldest", file("/h/x/a.txt", 2),
         file("/h/y/b.txt", 2, day(1)), OrderedDescending},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.a.compareWithDate(c.b), c.expected) << c.what;
}

TEST(DupFileInfo, GroupSortKeepsThePlainNameAndTicksTheRest) {
    DupGroup g;
    for (const char* p : {"/h/Pictures/sunset.jpg", "/h/x/sunset 2.jpg", "/h/y/sunset copy.jpg"}) {
        auto f = std::make_shared<DupFileInfo>(file(p, 1));
        f->fileSize = 30000;
        f->diskSize = 32768;
        g.addObject(f);
    }
    g.sortByAccessDate();
    g.setCheck(true);
    EXPECT_EQ(g.array.back()->path, "/h/Pictures/sunset.jpg");
    EXPECT_FALSE(g.array.back()->isCheck);
    EXPECT_EQ(g.checkCount(), 2);
    EXPECT_EQ(g.checkSize(), g.noCheckSize());
    EXPECT_EQ(g.noCheckSize(), 2 * 32768); // what the two copies take on the disk
}

TEST(DuplicateInfo, OtherSortsLastThenLargerFirst) {
    auto cat = [](std::int64_t module, std::int64_t size) {
        auto c = std::make_shared<DuplicateInfo>();
        c->module = module;
        c->orgSize = size;
        return c;
    };
    std::vector<DuplicateInfoRef> list{cat(5, 900), cat(0, 10), cat(2, 500), cat(1, 10)};
    sortUsing(list,
              [](const DuplicateInfoRef& a, const DuplicateInfoRef& b) { return a->compare(*b); });
    std::vector<std::int64_t> order;
    for (const auto& c : list)
        order.push_back(c->module);
    EXPECT_EQ(order, (std::vector<std::int64_t>{2, 0, 1, 5}));
}

TEST(DuplicateKinds, TypesAndTheirOrderOfTests) {
    struct Case {
        const char* path;
        std::int32_t kind;
    } cases[] = {
        {"/a/b.JPG", dupkind::Picture},     {"/a/b.heic", dupkind::Picture},
        {"/a/b.mp4", dupkind::Media},       {"/a/b.flac", dupkind::Media},
        {"/a/b.pdf", dupkind::Document},    {"/a/b.docx", dupkind::Document},
        {"/a/b.txt", dupkind::Document},    {"/a/b.zip", dupkind::Archive},
        {"/a/b.tar", dupkind::Archive},     {"/a/b.dmg", dupkind::Archive},
        {"/a/b.xyz", dupkind::Other},       {"/a/noextension", dupkind::Other},
        {"/a/.hiddenname", dupkind::Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dupkind::fileType(dupkind::fileUTI(c.path)), c.kind) << c.path;
    // An image is content too: the image test comes first.
    EXPECT_TRUE(dupkind::conformsTo("public.png", "public.content"));
    EXPECT_EQ(dupkind::moduleStr(3), "Archive");
    EXPECT_EQ(dupkind::imageWithModule(3), "archier-icon");
    EXPECT_EQ(dupkind::image140WithModule(4), "app-image-icon(140)");
    EXPECT_EQ(dupkind::moduleStr(6), "");
    EXPECT_EQ(dupkind::imageWithModule(-1), "");
}

TEST(FolderList, EachFolderOnceAndNoneInsideAnother) {
    struct Case {
        std::vector<std::string> in, out;
    } cases[] = {
        {{"/h/Documents", "/h/Movies/", "/h/Documents"}, {"/h/Documents", "/h/Movies"}},
        {{"/h/a/b", "/h/a"}, {"/h/a"}},
        {{"/h/a", "/h/a/b/c"}, {"/h/a"}},
        // A plain text prefix is not a parent folder.
        {{"/h/a/b", "/h/a/bc/d", "/h/a/bc"}, {"/h/a/b", "/h/a/bc"}},
        {{"/h/x", "/"}, {"/"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cleanFolderList(c.in), c.out);
}
