#include "model/KeyedArchive.h"

#include "platform/PropertyList.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <plist/plist.h>
#include <string>
#include <utility>
#include <vector>

using namespace tessaly;

namespace {

std::string xml(const std::optional<PlistValue>& v) {
    if (!v)
        return "(none)";
    auto bytes = plist::serialize(*v, plist::Format::Xml);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(not serialisable)";
}

// --- Archives laid out by hand with libplist, as the platform archiver lays them out.

using Entries = std::vector<std::pair<std::string, plist_t>>;

plist_t dict(const Entries& entries) {
    plist_t d = plist_new_dict();
    for (const auto& [k, v] : entries)
        plist_dict_set_item(d, k.c_str(), v);
    return d;
}

plist_t list(const std::vector<plist_t>& items) {
    plist_t a = plist_new_array();
    for (plist_t item : items)
        plist_array_append_item(a, item);
    return a;
}

plist_t uid(std::uint64_t v) {
    return plist_new_uid(v);
}
plist_t str(const char* s) {
    return plist_new_string(s);
}

plist_t uids(const std::vector<std::uint64_t>& refs) {
    std::vector<plist_t> items;
    for (auto r : refs)
        items.push_back(uid(r));
    return list(items);
}

plist_t classObject(const char* name, std::vector<const char*> chain) {
    std::vector<plist_t> names;
    for (const char* n : chain)
        names.push_back(str(n));
    return dict({{"$classname", str(name)}, {"$classes", list(names)}});
}

plist_t arrayObject(const std::vector<std::uint64_t>& refs, std::uint64_t cls) {
    return dict({{"NS.objects", uids(refs)}, {"$class", uid(cls)}});
}

plist_t dictObject(const std::vector<std::uint64_t>& keys, const std::vector<std::uint64_t>& values,
                   std::uint64_t cls) {
    return dict({{"NS.keys", uids(keys)}, {"NS.objects", uids(values)}, {"$class", uid(cls)}});
}

Data toBinary(plist_t root) {
    plist::NodeHolder holder(root);
    char* out = nullptr;
    std::uint32_t len = 0;
    plist_to_bin(root, &out, &len);
    Data bytes(out, out + len);
    plist_to_bin_free(out);
    return bytes;
}

// The top-level dictionary around a hand-made "$objects" list.
Data archiveOf(std::vector<plist_t> objects, plist_t root = nullptr) {
    objects.insert(objects.begin(), str("$null"));
    return toBinary(dict({{"$archiver", str("NSKeyedArchiver")},
                          {"$version", plist_new_uint(100000)},
                          {"$top", dict({{"root", root ? root : uid(1)}})},
                          {"$objects", list(objects)}}));
}

// --- Binary property lists assembled byte by byte, for layouts libplist will not write.

class BplistBuilder {
public:
    using Bytes = std::vector<std::uint8_t>;

    std::uint8_t add(Bytes object) {
        objects_.push_back(std::move(object));
        return static_cast<std::uint8_t>(objects_.size() - 1);
    }
    std::uint8_t ascii(const std::string& s) {
        // Lengths from 15 on follow the marker as a one-byte integer object.
        Bytes b = s.size() < 15 ? Bytes{static_cast<std::uint8_t>(0x50 | s.size())}
                                : Bytes{0x5F, 0x10, static_cast<std::uint8_t>(s.size())};
        b.insert(b.end(), s.begin(), s.end());
        return add(b);
    }
    std::uint8_t integer(std::uint8_t v) { return add({0x10, v}); }
    std::uint8_t uidRef(std::uint8_t v) { return add({0x80, v}); }
    std::uint8_t array(const Bytes& refs) {
        Bytes b{static_cast<std::uint8_t>(0xA0 | refs.size())};
        b.insert(b.end(), refs.begin(), refs.end());
        return add(b);
    }
    std::uint8_t dictionary(const Bytes& keys, const Bytes& values) {
        Bytes b{static_cast<std::uint8_t>(0xD0 | keys.size())};
        b.insert(b.end(), keys.begin(), keys.end());
        b.insert(b.end(), values.begin(), values.end());
        return add(b);
    }

    // One-byte references, two-byte offsets.
    Data build(std::uint8_t top) const {
        Data out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<std::size_t> offsets;
        for (const auto& o : objects_) {
            offsets.push_back(out.size());
            out.insert(out.end(), o.begin(), o.end());
        }
        const std::size_t table = out.size();
        for (auto off : offsets) {
            out.push_back(static_cast<std::uint8_t>(off >> 8));
            out.push_back(static_cast<std::uint8_t>(off));
        }
        Data trailer(32, 0);
        trailer[6] = 2;
        trailer[7] = 1;
        trailer[15] = static_cast<std::uint8_t>(objects_.size());
        trailer[23] = top;
        trailer[30] = static_cast<std::uint8_t>(table >> 8);
        trailer[31] = static_cast<std::uint8_t>(table);
        out.insert(out.end(), trailer.begin(), trailer.end());
        return out;
    }

private:
    std::vector<Bytes> objects_;
};

// A keyed archive whose root array's "NS.objects" is the given raw object.
Data archiveWithRawList(BplistBuilder& b, BplistBuilder::Bytes rawList) {
    const auto list = b.add(std::move(rawList));
    const auto null = b.ascii("$null");
    const auto clsName = b.ascii("NSArray");
    const auto cls = b.dictionary({b.ascii("$classname")}, {clsName});
    const auto root = b.dictionary({b.ascii("NS.objects"), b.ascii("$class")}, {list, b.uidRef(2)});
    const auto objects = b.array({null, root, cls});
    const auto top = b.dictionary({b.ascii("root")}, {b.uidRef(1)});
    return b.build(b.dictionary(
        {b.ascii("$archiver"), b.ascii("$version"), b.ascii("$top"), b.ascii("$objects")},
        {b.ascii("NSKeyedArchiver"), b.integer(100), top, objects}));
}

PlistValue::Dict entry(std::initializer_list<std::pair<const std::string, PlistValue>> kv) {
    return PlistValue::Dict(kv);
}

} // namespace

TEST(KeyedArchive, ReadsThePlatformArchiverLayout) {
    // An NSMutableArray of two NSDictionary objects sharing the key strings and
    // the text "Safari", with booleans, reals, data and the object forms of
    // strings, data and dates.
    const std::uint8_t raw[] = {0x00, 0xff, 0x10};
    Data archive = archiveOf({
        /* 1 */ arrayObject({2, 13}, 12),
        /* 2 */ dictObject({3, 4, 5, 6, 7}, {8, 9, 10, 11, 17}, 16),
        /* 3 */ str("name"),
        /* 4 */ str("enabled"),
        /* 5 */ str("weight"),
        /* 6 */ str("icon"),
        /* 7 */ str("title"),
        /* 8 */ str("Safari"),
        /* 9 */ plist_new_bool(1),
        /* 10 */ plist_new_real(2.5),
        /* 11 */ plist_new_data(reinterpret_cast<const char*>(raw), sizeof raw),
        /* 12 */ classObject("NSMutableArray", {"NSMutableArray", "NSArray", "NSObject"}),
        /* 13 */ dictObject({3, 4, 5, 6, 7}, {8, 14, 15, 18, 19}, 16),
        /* 14 */ plist_new_bool(0),
        /* 15 */ plist_new_uint(static_cast<std::uint64_t>(-42)),
        /* 16 */ classObject("NSDictionary", {"NSDictionary", "NSObject"}),
        /* 17 */ dict({{"NS.string", str("Caf\xC3\xA9")}, {"$class", uid(20)}}),
        /* 18 */ dict({{"NS.data", plist_new_data("ab", 2)}, {"$class", uid(21)}}),
        /* 19 */ dict({{"NS.time", plist_new_real(86400.5)}, {"$class", uid(22)}}),
        /* 20 */ classObject("NSMutableString", {"NSMutableString", "NSString", "NSObject"}),
        /* 21 */ classObject("NSMutableData", {"NSMutableData", "NSData", "NSObject"}),
        /* 22 */ classObject("NSDate", {"NSDate", "NSObject"}),
    });

    PlistValue expected(PlistValue::Array{
        entry({{"name", "Safari"},
               {"enabled", true},
               {"weight", 2.5},
               {"icon", PlistValue::Data(raw, raw + sizeof raw)},
               {"title", "Caf\xC3\xA9"}}),
        entry({{"name", "Safari"},
               {"enabled", false},
               {"weight", -42},
               {"icon", PlistValue::Data{'a', 'b'}},
               {"title", dateFromReferenceSeconds(86400.5)}}),
    });
    auto decoded = unarchiveObject(archive);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, expected) << xml(decoded);
}

TEST(KeyedArchive, RoundTripsValuesExactly) {
    const PlistValue::Data bytes{0x00, 0x01, 0x7f, 0x80, 0xff};
    const std::vector<PlistValue> cases = {
        PlistValue(PlistValue::Array{
            entry({{"min", std::numeric_limits<std::int64_t>::min()},
                   {"max", std::numeric_limits<std::int64_t>::max()},
                   {"minusOne", -1},
                   {"big", 4294967296LL},
                   {"u32", 4294967295LL},
                   {"zero", 0}}),
            entry({{"pi", 3.141592653589793},
                   {"tiny", 4.9e-324},
                   {"negZero", -0.0},
                   {"float", 0.5},
                   {"huge", -1.7976931348623157e308}}),
            entry({{"yes", true},
                   {"no", false},
                   {"empty", ""},
                   {"bytes", bytes},
                   {"noBytes", PlistValue::Data{}}}),
            entry({{"Grüße", "東京 🍣 \xF4\x8F\xBF\xBF"},
                   {"nested", PlistValue::Array{PlistValue::Array{}, PlistValue::Dict{}, 7}},
                   {"when", dateFromReferenceSeconds(-31536000)}}),
        }),
        PlistValue("a lone string"),
        PlistValue(std::numeric_limits<std::int64_t>::min()),
        PlistValue(PlistValue::Array{PlistValue(), "between nones", PlistValue()}),
        PlistValue(),
    };
    for (const auto& value : cases) {
        auto archive = archiveRootObject(value);
        ASSERT_TRUE(archive) << xml(value);
        auto decoded = unarchiveObject(*archive);
        ASSERT_TRUE(decoded) << xml(value);
        EXPECT_EQ(*decoded, value) << xml(decoded) << "\nexpected\n" << xml(value);
    }
    // -0.0 == 0.0, so the sign is checked on its own.
    auto negativeZero = unarchiveObject(*archiveRootObject(-0.0));
    ASSERT_TRUE(negativeZero && negativeZero->isReal());
    EXPECT_TRUE(std::signbit(negativeZero->toReal()));
}

TEST(KeyedArchive, WritesTheArchiverLayoutStoringRepeatedValuesOnce) {
    PlistValue value(PlistValue::Array{
        entry({{"path", "/Library/Caches"}, {"kind", "cache"}}),
        entry({{"path", "/Library/Logs"}, {"kind", "cache"}}),
    });
    auto archive = archiveRootObject(value);
    ASSERT_TRUE(archive);
    // Read back by libplist, independently of our reader.
    auto top = plist::parse(*archive);
    ASSERT_TRUE(top && top->isDict());
    EXPECT_EQ(top->stringForKey("$archiver"), "NSKeyedArchiver");
    EXPECT_EQ(top->find("$version")->toInteger(), 100000);
    const auto* objects = top->find("$objects")->array();
    ASSERT_TRUE(objects);
    EXPECT_EQ(objects->front(), PlistValue("$null"));

    auto occurrences = [&](const PlistValue& wanted) {
        return std::count(objects->begin(), objects->end(), wanted);
    };
    EXPECT_EQ(occurrences("cache"), 1);
    EXPECT_EQ(occurrences("path"), 1);
    EXPECT_EQ(occurrences("kind"), 1);
    EXPECT_EQ(occurrences(entry({{"$classname", "NSDictionary"},
                                 {"$classes", PlistValue::Array{"NSDictionary", "NSObject"}}})),
              1);
    EXPECT_EQ(occurrences(entry({{"$classname", "NSArray"},
                                 {"$classes", PlistValue::Array{"NSArray", "NSObject"}}})),
              1);

    // Both dictionaries point at the one "cache" object.
    const auto cacheIndex =
        std::find(objects->begin(), objects->end(), PlistValue("cache")) - objects->begin();
    int references = 0;
    for (const auto& o : *objects)
        if (const auto* refs = o.find("NS.objects"); refs && o.find("NS.keys"))
            for (const auto& r : *refs->array())
                references += r.toInteger() == cacheIndex;
    EXPECT_EQ(references, 2);
    const auto* root = top->find("$top");
    ASSERT_TRUE(root);
    EXPECT_TRUE(
        (*objects)[static_cast<std::size_t>(root->find("root")->toInteger())].find("NS.objects"));
}

TEST(KeyedArchive, RefusesToWriteWhatCannotBeReadBack) {
    auto nest = [](int levels) {
        PlistValue v = PlistValue::Array{};
        for (int i = 0; i < levels; ++i)
            v = PlistValue(PlistValue::Array{v});
        return v;
    };
    EXPECT_TRUE(archiveRootObject(nest(128)));
    EXPECT_TRUE(unarchiveObject(*archiveRootObject(nest(128))));
    const ArchiveLimits few{.maxNodes = 10, .maxDepth = 128, .maxPayloadBytes = 64};
    const std::vector<std::pair<const char*, std::function<bool()>>> cases = {
        {"zero byte in text", [] { return !archiveRootObject(std::string("a\0b", 3)); }},
        {"invalid UTF-8 key",
         [] {
             return !archiveRootObject(entry({{"\xC0\xAF", 1}}));
         }},
        {"too deep", [&] { return !archiveRootObject(nest(129)); }},
        {"date out of range", [] { return !archiveRootObject(dateFromReferenceSeconds(8.1e9)); }},
        {"too many values", [&] { return !archiveRootObject(PlistValue::Array(10, 1), few); }},
        {"too many bytes", [&] { return !archiveRootObject(PlistValue::Data(65, 0), few); }},
    };
    for (const auto& [name, refused] : cases)
        EXPECT_TRUE(refused()) << name;
}

TEST(KeyedArchive, ReadingCountsLikeWriting) {
    // A list of nine dictionaries, each holding none under "key": 28 values
    // (keys count), 27 bytes of text, containers two levels deep.
    const PlistValue value(PlistValue::Array(9, entry({{"key", PlistValue()}})));
    const std::size_t nodes = 1 + 9 * 3;
    auto archive = archiveRootObject(value);
    ASSERT_TRUE(archive);
    auto limited = [](std::size_t maxNodes, int maxDepth, std::size_t maxBytes) {
        return ArchiveLimits{
            .maxNodes = maxNodes, .maxDepth = maxDepth, .maxPayloadBytes = maxBytes};
    };
    EXPECT_TRUE(archiveRootObject(value, limited(nodes, 1, 27)));
    EXPECT_TRUE(unarchiveObject(*archive, limited(nodes, 1, 27)));
    EXPECT_FALSE(archiveRootObject(value, limited(nodes - 1, 1, 27)));
    EXPECT_FALSE(unarchiveObject(*archive, limited(nodes - 1, 1, 27)));
    EXPECT_FALSE(archiveRootObject(value, limited(nodes, 0, 27)));
    EXPECT_FALSE(unarchiveObject(*archive, limited(nodes, 0, 27)));
    EXPECT_FALSE(archiveRootObject(value, limited(nodes, 1, 26)));
    EXPECT_FALSE(unarchiveObject(*archive, limited(nodes, 1, 26)));
}

TEST(KeyedArchive, HostileArchivesGiveNoneQuickly) {
    const std::uint64_t kArrayClass = 60;
    auto arrayClass = [] { return classObject("NSArray", {"NSArray", "NSObject"}); };
    auto withClassAt = [&](std::vector<plist_t> objects, std::uint64_t classUid) {
        while (objects.size() + 1 < classUid)
            objects.push_back(str("pad"));
        objects.push_back(arrayClass());
        return objects;
    };
    auto dictClass = [] { return classObject("NSDictionary", {"NSDictionary", "NSObject"}); };

    // 40 levels, each an array holding the next level twice: 2^40 values if expanded.
    auto fanOut = [&] {
        std::vector<plist_t> objects;
        for (std::uint64_t level = 1; level <= 40; ++level)
            objects.push_back(arrayObject({level + 1, level + 1}, kArrayClass));
        objects.push_back(str("leaf"));
        return archiveOf(withClassAt(std::move(objects), kArrayClass));
    };

    const std::vector<std::pair<const char*, std::function<Data()>>> cases = {
        {"array holding itself",
         [&] { return archiveOf(withClassAt({arrayObject({1}, kArrayClass)}, kArrayClass)); }},
        {"two arrays holding each other",
         [&] {
             return archiveOf(withClassAt(
                 {arrayObject({2}, kArrayClass), arrayObject({3, 1}, kArrayClass), str("x")},
                 kArrayClass));
         }},
        {"dictionary holding itself",
         [&] {
             return archiveOf({dictObject({2}, {1}, 3), str("self"), dictClass()});
         }},
        {"root out of range", [&] { return archiveOf({str("x")}, uid(99)); }},
        {"element out of range",
         [&] { return archiveOf(withClassAt({arrayObject({500}, kArrayClass)}, kArrayClass)); }},
        {"class out of range", [&] { return archiveOf({arrayObject({}, 77)}); }},
        {"class is the null reference", [&] { return archiveOf({arrayObject({}, 0)}); }},
        {"unknown class",
         [&] {
             return archiveOf({arrayObject({}, 2), classObject("NSWidget", {"NSObject"})});
         }},
        {"keys and objects differ in length",
         [&] {
             return archiveOf({dictObject({2, 3}, {2}, 4), str("a"), str("b"), dictClass()});
         }},
        {"key that is not text",
         [&] {
             return archiveOf({dictObject({2}, {2}, 3), plist_new_uint(5), dictClass()});
         }},
        {"key that is the null reference",
         [&] {
             return archiveOf({dictObject({0}, {2}, 3), str("v"), dictClass()});
         }},
        {"objects table is a dictionary",
         [] {
             return toBinary(dict({{"$archiver", str("NSKeyedArchiver")},
                                   {"$version", plist_new_uint(100000)},
                                   {"$top", dict({{"root", uid(1)}})},
                                   {"$objects", dict({{"a", str("b")}})}}));
         }},
        {"top is an array",
         [] {
             return toBinary(dict({{"$archiver", str("NSKeyedArchiver")},
                                   {"$version", plist_new_uint(100000)},
                                   {"$top", list({uid(1)})},
                                   {"$objects", list({str("$null"), str("x")})}}));
         }},
        {"root is a plain integer", [] { return archiveOf({str("x")}, plist_new_uint(1)); }},
        {"another archiver",
         [] {
             return toBinary(dict({{"$archiver", str("SomethingElse")},
                                   {"$version", plist_new_uint(100000)},
                                   {"$top", dict({{"root", uid(1)}})},
                                   {"$objects", list({str("$null"), str("x")})}}));
         }},
        {"list of objects is text",
         [&] {
             return archiveOf(
                 {dict({{"NS.objects", str("no")}, {"$class", uid(2)}}), arrayClass()});
         }},
        {"list entry that is not a reference",
         [&] {
             return archiveOf(
                 {dict({{"NS.objects", list({plist_new_uint(1)})}, {"$class", uid(2)}}),
                  arrayClass()});
         }},
        {"plain dictionary without a class",
         [] {
             return archiveOf({dict({{"a", uid(0)}})});
         }},
        {"fan-out of shared references", fanOut},
        {"claimed count far beyond the file",
         [] {
             BplistBuilder b;
             return archiveWithRawList(
                 b, {0xAF, 0x13, 0x0f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff});
         }},
        {"not a property list",
         [] {
             return Data{'h', 'e', 'l', 'l', 'o'};
         }},
        {"empty", [] { return Data{}; }},
    };

    for (const auto& [name, make] : cases) {
        const Data bytes = make();
        // A bomb that were expanded would not finish: the suite's timeout catches that.
        auto decoded = unarchiveObject(bytes);
        EXPECT_FALSE(decoded) << name << ":\n" << xml(decoded);
    }
}

TEST(KeyedArchive, HandBuiltBinaryLayoutIsReadAndCorruptionRefused) {
    // An archive assembled byte by byte, which the corruptions below then break
    // one field at a time.
    BplistBuilder ok;
    const auto text = ok.ascii("hi");
    // $objects = [$null, root, class, "hi"]: a list naming UID 3 twice.
    const auto uid3 = ok.uidRef(3);
    const auto list = ok.array({uid3, uid3});
    const auto null = ok.ascii("$null");
    const auto cls = ok.dictionary({ok.ascii("$classname")}, {ok.ascii("NSArray")});
    const auto root =
        ok.dictionary({ok.ascii("NS.objects"), ok.ascii("$class")}, {list, ok.uidRef(2)});
    const auto objects = ok.array({null, root, cls, text});
    const auto top = ok.dictionary({ok.ascii("root")}, {ok.uidRef(1)});
    const Data archive = ok.build(ok.dictionary(
        {ok.ascii("$archiver"), ok.ascii("$version"), ok.ascii("$top"), ok.ascii("$objects")},
        {ok.ascii("NSKeyedArchiver"), ok.integer(100), top, objects}));
    auto decoded = unarchiveObject(archive);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, PlistValue(PlistValue::Array{"hi", "hi"}));

    // Every proper prefix is refused.
    for (std::size_t n = 0; n < archive.size(); ++n)
        EXPECT_FALSE(unarchiveObject(archive.data(), n)) << "prefix " << n;

    // One field broken at a time: trailer, offset table, header, text.
    const std::size_t t = archive.size() - 32;
    const std::vector<std::pair<const char*, std::function<void(Data&)>>> corruptions = {
        {"offset size 0", [&](Data& d) { d[t + 6] = 0; }},
        {"reference size 9", [&](Data& d) { d[t + 7] = 9; }},
        {"no objects", [&](Data& d) { d[t + 15] = 0; }},
        {"top beyond the objects", [&](Data& d) { d[t + 23] = 0xff; }},
        {"offset table beyond the file", [&](Data& d) { d[t + 24] = 0x01; }},
        {"object offset inside the header",
         [&](Data& d) { d[(d[t + 30] << 8 | d[t + 31]) + 1] = 2; }},
        {"bad magic", [&](Data& d) { d[7] = '1'; }},
        {"string with a byte above 0x7F", [&](Data& d) { d[9] = 0xC3; }},
    };
    for (const auto& [name, corrupt] : corruptions) {
        Data bytes = archive;
        corrupt(bytes);
        EXPECT_FALSE(unarchiveObject(bytes)) << name;
    }
}
