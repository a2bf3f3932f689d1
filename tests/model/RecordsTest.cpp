#include "model/CustomFileInfo.h"
#include "model/FileArray.h"
#include "model/ModuleData.h"
#include "model/ScaneOuputObject.h"
#include "model/ThumbnailReference.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

// Stands in for the duplicate scan's record: what a group needs of its members.
struct Member {
    std::string path;
    std::int64_t fileSize = 0;
    bool isCheck = false;
    int age = 0;
    std::int64_t freedBytes() const { return fileSize; }
    ComparisonResult compareWithSort(const Member& o) const {
        return compareValues(fileSize, o.fileSize);
    }
    ComparisonResult compareWithDate(const Member& o) const { return compareValues(age, o.age); }
};

using Group = FileArray<Member>;

std::shared_ptr<Member> member(const std::string& path, std::int64_t size, int age = 0) {
    auto m = std::make_shared<Member>();
    m->path = path;
    m->fileSize = size;
    m->age = age;
    return m;
}

ScanItem item(const std::string& name, std::int64_t size = 0, bool check = false) {
    auto i = std::make_shared<ScaneOuputObject>();
    i->name = name;
    i->fileSize = size;
    i->isCheck = check;
    return i;
}

std::vector<std::string> names(const ScanItemList& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i->name);
    return out;
}

void setSource(DataSource& s, std::int64_t type, bool asc) {
    s.type = type;
    s.asc = asc ? 1 : 0;
}

} // namespace

TEST(FileArray, KeepsTheLastMemberOnDisk) {
    Group g;
    EXPECT_EQ(g.checkStatus(), 0);
    auto a = member("/d/a", 10), b = member("/d/b", 10), c = member("/d/c", 10);
    g.addObject(a);
    EXPECT_EQ(g.noCheckSize(), 0); // a group of one frees nothing
    g.addObject(b);
    EXPECT_EQ(g.noCheckSize(), 10);
    g.addObject(c);
    EXPECT_EQ(g.size, 30);

    g.setCheck(true);
    EXPECT_TRUE(a->isCheck);
    EXPECT_TRUE(b->isCheck);
    EXPECT_FALSE(c->isCheck);
    EXPECT_EQ(g.checkStatus(), 1);
    EXPECT_EQ(g.checkCount(), 2);
    EXPECT_EQ(g.checkSize(), g.noCheckSize());

    c->isCheck = true;
    EXPECT_EQ(g.checkStatus(), 2);
    g.setCheck(false);
    EXPECT_EQ(g.checkStatus(), 0);
    EXPECT_FALSE(c->isCheck);
}

TEST(FileArray, RemovalKeepsTheRunningSize) {
    Group g;
    auto a = member("/d/a", 5), b = member("/d/b", 7), c = member("/d/c", 11);
    g.addObject(a);
    g.addObject(b);
    g.addObject(c);
    g.removeObject(b);
    EXPECT_EQ(g.size, 16);
    EXPECT_EQ(g.indexOfObject(c), 1);
    EXPECT_EQ(g.indexOfObject(b), -1);
    g.removeObject(b); // not a member: nothing changes
    EXPECT_EQ(g.size, 16);
    g.removeObjectsInArray({a, c});
    EXPECT_EQ(g.size, 0);
    EXPECT_EQ(g.count(), 0u);
}

TEST(FileArray, SortsMembersAndGroups) {
    Group g;
    g.addObject(member("/d/new", 3, 2));
    g.addObject(member("/d/old", 1, 1));
    g.addObject(member("/d/mid", 2, 3));
    g.sortSubFiles();
    EXPECT_EQ(g.objectAtIndex(0)->path, "/d/old");
    g.sortByAccessDate();
    EXPECT_EQ(g.objectAtIndex(2)->path, "/d/mid");

    Group small, big;
    small.addObject(member("/x/b-file", 1));
    small.addObject(member("/x/b-copy", 1));
    big.addObject(member("/y/a-file", 50));
    big.addObject(member("/y/a-copy", 50));
    EXPECT_EQ(small.compareWithSortSize(big), OrderedDescending);

    DataSource s;
    setSource(s, DataSource::Size, true);
    EXPECT_EQ(small.compareWithSort(big, s), OrderedAscending);
    setSource(s, DataSource::Name, true);
    EXPECT_EQ(big.compareWithSort(small, s), OrderedAscending); // "a-file" before "b-file"
    setSource(s, DataSource::Selection, false);
    big.setCheck(true);
    EXPECT_EQ(big.compareWithSort(small, s), OrderedAscending); // more ticked first
    setSource(s, DataSource::DateType, false);
    EXPECT_EQ(big.compareWithSort(small, s), OrderedSame);
}

TEST(ScaneOuputObject, SortByTheSharedChoice) {
    DataSource s;
    ScanItemList list = {item("alpha", 5), item("Zeta", 9, true), item("mid", 1)};
    auto sorted = [&](std::int64_t type, bool asc) {
        setSource(s, type, asc);
        ScanItemList copy = list;
        sortUsing(copy,
                  [&](const ScanItem& a, const ScanItem& b) { return a->compareWithSort(*b, s); });
        return names(copy);
    };
    using V = std::vector<std::string>;
    // Ascending reads A to Z, descending Z to A.
    EXPECT_EQ(sorted(DataSource::Name, true), (V{"alpha", "mid", "Zeta"}));
    EXPECT_EQ(sorted(DataSource::Name, false), (V{"Zeta", "mid", "alpha"}));
    EXPECT_EQ(sorted(DataSource::Size, true), (V{"mid", "alpha", "Zeta"}));
    EXPECT_EQ(sorted(DataSource::Size, false), (V{"Zeta", "alpha", "mid"}));
    EXPECT_EQ(sorted(DataSource::Selection, true), (V{"alpha", "mid", "Zeta"}));
    EXPECT_EQ(sorted(DataSource::Selection, false), (V{"Zeta", "alpha", "mid"}));
    EXPECT_EQ(sorted(17, true), (V{"alpha", "mid", "Zeta"})); // unknown types sort by name
}

TEST(ScaneOuputObject, DatesRisksAndGroups) {
    DataSource s;
    auto older = item("older"), newer = item("newer"), undated = item("undated");
    older->dateStr = "2023-01-05";
    newer->dateStr = "2024-06-01";
    // Ascending reads oldest first; an undated item counts as the oldest.
    setSource(s, DataSource::DateType, true);
    EXPECT_EQ(older->compareWithSort(*newer, s), OrderedAscending);
    EXPECT_EQ(undated->compareWithSort(*older, s), OrderedAscending);
    setSource(s, DataSource::DateType, false);
    EXPECT_EQ(newer->compareWithSort(*older, s), OrderedAscending);
    EXPECT_EQ(newer->compareWithDate(*older), OrderedAscending);

    auto risky = item("r"), plain = item("p");
    risky->isBadCookie = true;
    setSource(s, DataSource::Risk, false);
    EXPECT_EQ(risky->compareWithSort(*plain, s), OrderedAscending);
    setSource(s, DataSource::Risk, true);
    EXPECT_EQ(risky->compareWithSort(*plain, s), OrderedDescending);
    EXPECT_EQ(risky->compareWithRisk(*plain), OrderedAscending);

    // A group ranks by its ticked children; against a leaf it goes after when ascending.
    auto group = item("group");
    group->subObjects = std::make_shared<ScanItemList>(ScanItemList{item("a", 0, true), item("b")});
    auto group2 = item("group2");
    group2->subObjects =
        std::make_shared<ScanItemList>(ScanItemList{item("a", 0, true), item("b", 0, true)});
    setSource(s, DataSource::Selection, true);
    EXPECT_EQ(group->compareWithSort(*group2, s), OrderedAscending);
    EXPECT_EQ(group->compareWithSort(*plain, s), OrderedDescending);
    setSource(s, DataSource::Selection, false);
    EXPECT_EQ(group->compareWithSort(*plain, s), OrderedAscending);
}

TEST(ScaneOuputObject, ThreatKindSortUsesTheInstalledNamer) {
    ScaneOuputObject::setThreatKindNamer([](const std::string& n) {
        return n.find("Trojan") != std::string::npos ? std::string("Virus")
                                                     : std::string("Malware");
    });
    DataSource s;
    auto trojan = item("A.Trojan"), adware = item("Z.Adware");
    setSource(s, DataSource::Size, true);
    EXPECT_EQ(adware->compareWithVirSort(*trojan, s), OrderedAscending); // Malware before Virus
    EXPECT_EQ(adware->compareWithVirSort2(*trojan), OrderedAscending);
    setSource(s, DataSource::Risk, true); // other types use the name rule
    EXPECT_EQ(trojan->compareWithVirSort(*adware, s), OrderedAscending);
    ScaneOuputObject::setThreatKindNamer(nullptr);
    EXPECT_EQ(ScaneOuputObject::threatKindName("x"), "x");
}

TEST(SortUsing, SurvivesComparisonsThatAreNotAnOrder) {
    // Every pair claims to come first: the sort must still finish inside the list.
    std::vector<int> v(1000);
    for (int i = 0; i < 1000; ++i)
        v[i] = i;
    sortUsing(v, [](int, int) { return OrderedAscending; });
    std::sort(v.begin(), v.end());
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(v[i], i);
}

TEST(Records, SummaryOrders) {
    ModuleData a{1, 0, 100, 0, 0}, b{2, 0, 100, 0, 3}, c{3, 0, 50, 0, 9};
    EXPECT_EQ(b.compare(a), OrderedAscending); // equal sizes: more issues first
    EXPECT_EQ(a.compare(c), OrderedAscending);
    ModuleReport big{"Caches", 10, 1, 0.5f}, small{"Logs", 2, 1, 0.1f};
    EXPECT_EQ(big.compare(small), OrderedAscending);

    DataSource s;
    CustomFileInfo x, y;
    x.path = "/a/zz.log", x.size = 10;
    y.path = "/b/aa.log", y.size = 20;
    setSource(s, DataSource::Name, true);
    EXPECT_EQ(y.compareWithSort(x, s), OrderedAscending);
    setSource(s, DataSource::Size, false);
    EXPECT_EQ(y.compareWithSort(x, s), OrderedAscending);
    EXPECT_EQ(y.sortBySize(x), OrderedAscending);
    setSource(s, DataSource::DateType, true);
    EXPECT_EQ(y.compareWithSort(x, s), OrderedSame);
    EXPECT_EQ(DataSource::typeLabel(0, "Type"), "Type");
    EXPECT_EQ(DataSource::typeLabel(2), "Selection");
    EXPECT_EQ(DataSource::directionLabel(true), "Ascending");
}

TEST(ThumbnailReference, MadeAndReadBack) {
    EXPECT_EQ(thumbnailPoints(true), 80);
    EXPECT_EQ(thumbnailPoints(false), 40);
    auto back = parseThumbnailReference(makeThumbnailReference("/Lib/Masters/a:b.jpg", 80));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imagePath, "/Lib/Masters/a:b.jpg");
    EXPECT_EQ(back->points, 80);
    // Other icon references, and damaged ones, are not thumbnails.
    for (const char* other : {"64-icon", "/Applications/Mail.app", "thumbnail:", "thumbnail:80:",
                              "thumbnail:80:relative.jpg", "thumbnail:x0:/a.jpg",
                              "thumbnail:0:/a.jpg", "thumbnail:99999:/a.jpg", "thumbnail:-4:/a"})
        EXPECT_FALSE(parseThumbnailReference(other)) << other;
}
