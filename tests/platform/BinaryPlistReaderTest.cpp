#include "platform/BinaryPlistReader.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace tessaly;
using plist::BinaryPlistReader;
using plist::ReadLimits;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = BinaryPlistReader::Kind;

std::string xml(const std::optional<PlistValue>& v) {
    if (!v)
        return "(none)";
    auto bytes = plist::serialize(*v, plist::Format::Xml);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(not serialisable)";
}

std::optional<PlistValue> parseText(std::string_view text, const ReadLimits& limits = {}) {
    return plist::parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), limits);
}

// A value holding `leaf` inside `levels` arrays: the leaf sits at depth `levels`.
PlistValue nested(int levels, PlistValue leaf = PlistValue(1)) {
    for (int i = 0; i < levels; ++i)
        leaf = PlistValue(PlistValue::Array{std::move(leaf)});
    return leaf;
}

// Binary property lists assembled byte by byte, for layouts no writer produces:
// objects are appended in order and referred to by their position; offsets
// take four bytes, references refSize bytes.
class Bplist {
public:
    explicit Bplist(unsigned refSize = 1) : refSize_(refSize) {}

    std::uint64_t next() const { return objects_.size(); }

    std::uint64_t add(Bytes object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }
    std::uint64_t ascii(std::string_view s) {
        Bytes b = marker(0x50, s.size());
        b.insert(b.end(), s.begin(), s.end());
        return add(std::move(b));
    }
    std::uint64_t utf16(const std::vector<std::uint16_t>& units) {
        Bytes b = marker(0x60, units.size());
        for (auto u : units) {
            b.push_back(static_cast<std::uint8_t>(u >> 8));
            b.push_back(static_cast<std::uint8_t>(u));
        }
        return add(std::move(b));
    }
    std::uint64_t integer(std::int64_t v) {
        Bytes b{0x13};
        append(b, static_cast<std::uint64_t>(v), 8);
        return add(std::move(b));
    }
    std::uint64_t array(const std::vector<std::uint64_t>& refs) {
        Bytes b = marker(0xA0, refs.size());
        for (auto r : refs)
            append(b, r, refSize_);
        return add(std::move(b));
    }
    std::uint64_t dict(const std::vector<std::uint64_t>& keys,
                       const std::vector<std::uint64_t>& values) {
        Bytes b = marker(0xD0, keys.size());
        for (const auto* refs : {&keys, &values})
            for (auto r : *refs)
                append(b, r, refSize_);
        return add(std::move(b));
    }

    Bytes build(std::uint64_t top) const {
        Bytes out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<std::size_t> offsets;
        for (const auto& o : objects_) {
            offsets.push_back(out.size());
            out.insert(out.end(), o.begin(), o.end());
        }
        const std::size_t table = out.size();
        for (auto off : offsets)
            append(out, off, 4);
        Bytes trailer(6, 0);
        trailer.push_back(4);
        trailer.push_back(static_cast<std::uint8_t>(refSize_));
        append(trailer, objects_.size(), 8);
        append(trailer, top, 8);
        append(trailer, table, 8);
        out.insert(out.end(), trailer.begin(), trailer.end());
        return out;
    }

    // Overwrites one big-endian field of the trailer of built bytes.
    static void setTrailer(Bytes& bytes, std::size_t field, std::uint64_t value,
                           unsigned width = 8) {
        const std::size_t at = bytes.size() - 32 + field;
        for (unsigned i = 0; i < width; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
    static constexpr std::size_t kOffsetSize = 6, kRefSize = 7, kCount = 8, kTop = 16, kTable = 24;

private:
    static void append(Bytes& b, std::uint64_t v, unsigned width) {
        for (unsigned i = 0; i < width; ++i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * (width - 1 - i))));
    }
    // Counts up to 14 sit in the marker; larger ones follow as a 4-byte integer.
    static Bytes marker(std::uint8_t type, std::size_t count) {
        if (count < 15)
            return {static_cast<std::uint8_t>(type | count)};
        Bytes b{static_cast<std::uint8_t>(type | 0x0F), 0x12};
        append(b, count, 4);
        return b;
    }

    unsigned refSize_;
    std::vector<Bytes> objects_;
};

// Written by Python's plistlib (FMT_BINARY, sort_keys=True) from
//   {"CFBundleIdentifier": "com.example.Editor", "CFBundleName": "Éditeur ✓ 𝄞",
//    "LSMinimumSystemVersion": "10.13", "min": -2**63, "max": 2**63-1, "neg": -1,
//    "byte": 255, "big": 2**63 + 5, "ratio": 0.125, "on": True, "off": False,
//    "when": datetime(2024, 2, 29, 12, 30, 15), "blob": b"\x00\x01\xfe\xff",
//    "list": ["Éditeur ✓ 𝄞", "com.example.Editor", [1, 2, {}], []]}
// It stores each distinct string once, so "list" refers to the same objects as
// two of the dictionary's values, and writes 2**63 + 5 as a 16-byte integer.
const Bytes kPythonPlist = {
    0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xde, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
    0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x1b, 0x1c,
    0x1d, 0x1e, 0x1f, 0x20, 0x21, 0x5f, 0x10, 0x12, 0x43, 0x46, 0x42, 0x75, 0x6e, 0x64, 0x6c, 0x65,
    0x49, 0x64, 0x65, 0x6e, 0x74, 0x69, 0x66, 0x69, 0x65, 0x72, 0x5c, 0x43, 0x46, 0x42, 0x75, 0x6e,
    0x64, 0x6c, 0x65, 0x4e, 0x61, 0x6d, 0x65, 0x5f, 0x10, 0x16, 0x4c, 0x53, 0x4d, 0x69, 0x6e, 0x69,
    0x6d, 0x75, 0x6d, 0x53, 0x79, 0x73, 0x74, 0x65, 0x6d, 0x56, 0x65, 0x72, 0x73, 0x69, 0x6f, 0x6e,
    0x53, 0x62, 0x69, 0x67, 0x54, 0x62, 0x6c, 0x6f, 0x62, 0x54, 0x62, 0x79, 0x74, 0x65, 0x54, 0x6c,
    0x69, 0x73, 0x74, 0x53, 0x6d, 0x61, 0x78, 0x53, 0x6d, 0x69, 0x6e, 0x53, 0x6e, 0x65, 0x67, 0x53,
    0x6f, 0x66, 0x66, 0x52, 0x6f, 0x6e, 0x55, 0x72, 0x61, 0x74, 0x69, 0x6f, 0x54, 0x77, 0x68, 0x65,
    0x6e, 0x5f, 0x10, 0x12, 0x63, 0x6f, 0x6d, 0x2e, 0x65, 0x78, 0x61, 0x6d, 0x70, 0x6c, 0x65, 0x2e,
    0x45, 0x64, 0x69, 0x74, 0x6f, 0x72, 0x6c, 0x00, 0xc9, 0x00, 0x64, 0x00, 0x69, 0x00, 0x74, 0x00,
    0x65, 0x00, 0x75, 0x00, 0x72, 0x00, 0x20, 0x27, 0x13, 0x00, 0x20, 0xd8, 0x34, 0xdd, 0x1e, 0x55,
    0x31, 0x30, 0x2e, 0x31, 0x33, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x44, 0x00, 0x01, 0xfe, 0xff, 0x10, 0xff, 0xa4, 0x10, 0x0f,
    0x16, 0x1a, 0xa3, 0x17, 0x18, 0x19, 0x10, 0x01, 0x10, 0x02, 0xd0, 0xa0, 0x13, 0x7f, 0xff, 0xff,
    0xff, 0xff, 0xff, 0xff, 0xff, 0x13, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13, 0xff,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x08, 0x09, 0x23, 0x3f, 0xc0, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x33, 0x41, 0xc5, 0xc8, 0x58, 0x2b, 0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x25, 0x00,
    0x3a, 0x00, 0x47, 0x00, 0x60, 0x00, 0x64, 0x00, 0x69, 0x00, 0x6e, 0x00, 0x73, 0x00, 0x77, 0x00,
    0x7b, 0x00, 0x7f, 0x00, 0x83, 0x00, 0x86, 0x00, 0x8c, 0x00, 0x91, 0x00, 0xa6, 0x00, 0xbf, 0x00,
    0xc5, 0x00, 0xd6, 0x00, 0xdb, 0x00, 0xdd, 0x00, 0xe2, 0x00, 0xe6, 0x00, 0xe8, 0x00, 0xea, 0x00,
    0xeb, 0x00, 0xec, 0x00, 0xf5, 0x00, 0xfe, 0x01, 0x07, 0x01, 0x08, 0x01, 0x09, 0x01, 0x12, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x1b,
};

// 40 levels, each an array holding the next level twice: 2^40 values if expanded.
Bytes fanOutBomb() {
    Bplist b;
    for (std::uint64_t level = 0; level < 40; ++level)
        b.array({level + 1, level + 1});
    b.ascii("leaf");
    return b.build(0);
}

} // namespace

TEST(BinaryPlist, ValuesWrittenByLibplistReadBackEqual) {
    PlistValue::Array many;
    for (int i = 0; i < 300; ++i) // enough objects for two-byte references
        many.push_back(PlistValue(i * 1000));
    const PlistValue value(PlistValue::Dict{
        {"integers", PlistValue::Array{std::numeric_limits<std::int64_t>::min(),
                                       std::numeric_limits<std::int64_t>::max(), -1LL, -129LL, 0,
                                       255, 256, 65535, 65536, 4294967295LL, 4294967296LL}},
        {"reals", PlistValue::Array{0.1, -2.5e300, 1e-300, 0.0}},
        {"booleans", PlistValue::Array{true, false}},
        {"text", PlistValue::Array{"", "plain ASCII text longer than fourteen",
                                   "Grüße, 日本語 and 𝄞 (outside the BMP)"}},
        {"dates", PlistValue::Array{dateFromUnixSeconds(1700000000.5),
                                    dateFromUnixSeconds(915148800)}}, // 1999: before 2001
        {"data", PlistValue::Array{Data{}, Data{0x00, 0xFF, 0x00, 0x80}, Data(1000, 0xAB)}},
        {"nested", PlistValue::Dict{{"empty array", PlistValue::Array{}},
                                    {"empty dict", PlistValue::Dict{}},
                                    {"deeper", nested(20, PlistValue("bottom"))}}},
        {"Schlüssel ✓", "non-ASCII key"},
        {"many", many},
    });
    auto bytes = plist::serialize(value, plist::Format::Binary);
    ASSERT_TRUE(bytes);
    ASSERT_TRUE(BinaryPlistReader::hasSignature(bytes->data(), bytes->size()));
    auto back = plist::parse(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value) << xml(back);
}

TEST(BinaryPlist, FileWrittenByPythonReadsBack) {
    auto v = plist::parse(kPythonPlist);
    ASSERT_TRUE(v) << "not read";
    const PlistValue name("Éditeur ✓ 𝄞");
    const PlistValue expected(PlistValue::Dict{
        {"CFBundleIdentifier", "com.example.Editor"},
        {"CFBundleName", name},
        {"LSMinimumSystemVersion", "10.13"},
        {"min", std::numeric_limits<std::int64_t>::min()},
        {"max", std::numeric_limits<std::int64_t>::max()},
        {"neg", -1},
        {"byte", 255},
        // Above the signed range: kept as the same 64 bits.
        {"big", std::numeric_limits<std::int64_t>::min() + 5},
        {"ratio", 0.125},
        {"on", true},
        {"off", false},
        {"when", dateFromUnixSeconds(1709209815)},
        {"blob", Data{0x00, 0x01, 0xFE, 0xFF}},
        {"list",
         PlistValue::Array{name, "com.example.Editor", PlistValue::Array{1, 2, PlistValue::Dict{}},
                           PlistValue::Array{}}},
    });
    EXPECT_EQ(*v, expected) << xml(v);
}

TEST(BinaryPlist, ReaderWalksObjectsOnDemandAndChecksEveryAccess) {
    BinaryPlistReader r;
    ASSERT_TRUE(r.open(kPythonPlist.data(), kPythonPlist.size()));
    auto top = r.top();
    ASSERT_TRUE(top);
    ASSERT_EQ(top->kind, Kind::Dict);
    ASSERT_EQ(top->count, 14u);

    std::string scratch;
    std::optional<BinaryPlistReader::Object> name, list, blob, when;
    for (std::size_t i = 0; i < top->count; ++i) {
        auto key = r.key(*top, i);
        ASSERT_TRUE(key);
        auto text = r.shortText(*key, scratch);
        ASSERT_TRUE(text);
        if (*text == "CFBundleName")
            name = r.value(*top, i);
        else if (*text == "list")
            list = r.value(*top, i);
        else if (*text == "blob")
            blob = r.value(*top, i);
        else if (*text == "when")
            when = r.value(*top, i);
    }
    ASSERT_TRUE(name && list && blob && when);
    EXPECT_TRUE(name->utf16);
    EXPECT_EQ(r.text(*name), "Éditeur ✓ 𝄞");
    EXPECT_EQ(r.textLength(*name), std::string("Éditeur ✓ 𝄞").size());
    EXPECT_EQ(r.data(*blob), (Data{0x00, 0x01, 0xFE, 0xFF}));
    EXPECT_EQ(BinaryPlistReader::date(*when), dateFromUnixSeconds(1709209815));
    // The list refers to the very objects the dictionary holds.
    EXPECT_EQ(r.elementIndex(*list, 0), r.valueIndex(*top, 1));

    // Wrong kinds, positions past the end, forged objects: none, never a read.
    EXPECT_FALSE(r.text(*blob));
    EXPECT_FALSE(r.data(*name));
    EXPECT_FALSE(BinaryPlistReader::date(*name));
    EXPECT_FALSE(r.element(*top, 0));
    EXPECT_FALSE(r.key(*list, 0));
    EXPECT_FALSE(r.key(*top, top->count));
    EXPECT_FALSE(r.value(*top, top->count));
    EXPECT_FALSE(r.element(*list, list->count));
    EXPECT_FALSE(r.object(r.objectCount()));
    BinaryPlistReader::Object forged = *blob;
    forged.count = kPythonPlist.size();
    EXPECT_FALSE(r.data(forged));
    forged = *list;
    forged.count = std::numeric_limits<std::size_t>::max();
    EXPECT_FALSE(r.element(forged, list->count + 100));
    EXPECT_FALSE(BinaryPlistReader().top()); // never opened
}

TEST(BinaryPlist, HostileFilesGiveNoneQuickly) {
    const auto kCountOverflow = std::numeric_limits<std::uint64_t>::max();
    const std::vector<std::pair<const char*, std::function<Bytes()>>> cases = {
        {"array holding itself",
         [] {
             Bplist b;
             b.array({0});
             return b.build(0);
         }},
        {"dictionary holding itself",
         [] {
             Bplist b;
             b.dict({1}, {0});
             b.ascii("self");
             return b.build(0);
         }},
        {"two arrays holding each other",
         [] {
             Bplist b;
             b.array({1});
             b.array({2, 0});
             b.ascii("x");
             return b.build(0);
         }},
        {"fan-out of shared references, 40 levels", fanOutBomb},
        {"one long text used 2000 times",
         [] {
             Bplist b(2);
             std::vector<std::uint64_t> refs(2000, 1);
             b.array(refs);
             b.ascii(std::string(60000, 'x')); // 120 MB of text once expanded
             return b.build(0);
         }},
        {"reference beyond the objects",
         [] {
             Bplist b;
             b.array({7});
             return b.build(0);
         }},
        {"object offset beyond the objects",
         [] {
             Bplist b;
             b.array({});
             Bytes bytes = b.build(0);
             bytes[bytes.size() - 32 - 1] = 0xF0; // the only offset now points into the trailer
             return bytes;
         }},
        {"object offset inside the header",
         [] {
             Bplist b;
             b.array({});
             Bytes bytes = b.build(0);
             bytes[bytes.size() - 32 - 1] = 3;
             return bytes;
         }},
        {"offset table beyond the file",
         [] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kTable, bytes.size());
             return bytes;
         }},
        {"top object beyond the objects",
         [] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kTop, 1);
             return bytes;
         }},
        {"object count that overflows",
         [&] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kCount, kCountOverflow);
             return bytes;
         }},
        {"object count whose table size wraps to a few bytes",
         [] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kCount, (std::uint64_t{1} << 62) + 1); // * 4 wraps
             return bytes;
         }},
        {"offset size 0",
         [] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kOffsetSize, 0, 1);
             return bytes;
         }},
        {"reference size 9",
         [] {
             Bplist b;
             b.ascii("x");
             Bytes bytes = b.build(0);
             Bplist::setTrailer(bytes, Bplist::kRefSize, 9, 1);
             return bytes;
         }},
        {"truncated trailer",
         [] {
             Bplist b;
             b.array({1, 1});
             b.ascii("x");
             Bytes bytes = b.build(0);
             bytes.resize(bytes.size() - 5);
             return bytes;
         }},
        {"array claiming more entries than the file holds",
         [] {
             Bplist b;
             b.add({0xAF, 0x13, 0x0f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00});
             return b.build(0);
         }},
        {"text claiming more bytes than the file holds",
         [] {
             Bplist b;
             b.add({0x5F, 0x12, 0x7f, 0xff, 0xff, 0xff, 'a'});
             return b.build(0);
         }},
        {"dictionary key that is not text",
         [] {
             Bplist b;
             b.dict({1}, {1});
             b.integer(5);
             return b.build(0);
         }},
        {"ASCII text with a byte above 0x7F",
         [] {
             Bplist b;
             b.add({0x52, 'a', 0xC3});
             return b.build(0);
         }},
        {"UTF-16 text with an unpaired surrogate",
         [] {
             Bplist b;
             b.utf16({0x0041, 0xD834});
             return b.build(0);
         }},
        {"128-bit integer beyond 64 bits",
         [] {
             Bplist b;
             Bytes big{0x14, 0, 0, 0, 0, 0, 0, 0, 1};
             big.resize(17, 0);
             b.add(big);
             return b.build(0);
         }},
        {"unknown marker",
         [] {
             Bplist b;
             b.add({0x70});
             return b.build(0);
         }},
        {"signature only", [] { return Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'}; }},
    };
    for (const auto& [name, make] : cases) {
        const Bytes bytes = make();
        // A bomb that were expanded would not finish: the suite's timeout catches that.
        auto v = plist::parse(bytes);
        EXPECT_FALSE(v) << name << ":\n" << xml(v);
    }
}

TEST(BinaryPlist, EveryProperPrefixIsRefused) {
    for (std::size_t n = 0; n < kPythonPlist.size(); ++n)
        EXPECT_FALSE(plist::parseBinary(kPythonPlist.data(), n)) << "prefix " << n;
}

TEST(BinaryPlist, SharedValuesCountEveryTimeTheyAreUsed) {
    // [x, [x]] with x = [s]: six values, s twice, and s at depth 3 the second time.
    const std::string s = "a shared text, 30 bytes of it.";
    Bplist b;
    b.array({1, 2});
    b.array({3});
    b.array({1});
    b.ascii(s);
    const Bytes bytes = b.build(0);
    const PlistValue x(PlistValue::Array{s});
    const PlistValue expected(PlistValue::Array{x, PlistValue::Array{x}});
    const std::size_t payload = 2 * s.size();

    struct Case {
        ReadLimits limits;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {{.maxValues = 6, .maxDepth = 3, .maxPayloadBytes = payload}, true},
        {{.maxValues = 5, .maxDepth = 3, .maxPayloadBytes = payload}, false},
        {{.maxValues = 6, .maxDepth = 2, .maxPayloadBytes = payload}, false},
        {{.maxValues = 6, .maxDepth = 3, .maxPayloadBytes = payload - 1}, false},
    };
    for (const auto& c : cases) {
        auto v = plist::parseBinary(bytes.data(), bytes.size(), c.limits);
        if (c.accepted)
            EXPECT_EQ(v, expected) << xml(v);
        else
            EXPECT_FALSE(v) << c.limits.maxValues << " values, depth " << c.limits.maxDepth << ", "
                            << c.limits.maxPayloadBytes << " bytes";
    }
}

// The same limits hold for both formats: nesting below the root, values and
// bytes of text and data (dictionary keys included in both).
TEST(PropertyListLimits, NestingValuesAndPayloadAreBoundedInBothFormats) {
    // Five values (the key too) and nine bytes: "ab", "xyz" and four of data.
    const PlistValue small(PlistValue::Dict{{"ab", PlistValue::Array{"xyz", Data{1, 2, 3, 4}}}});
    struct Case {
        const char* name;
        PlistValue value;
        ReadLimits limits;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"leaf at the default depth", nested(256), {}, true},
        {"leaf one level deeper", nested(257), {}, false},
        {"empty array at the default depth", nested(256, PlistValue::Array{}), {}, true},
        {"leaf at a lowered depth", nested(3), {.maxDepth = 3}, true},
        {"leaf below a lowered depth", nested(4), {.maxDepth = 3}, false},
        {"exactly the values allowed", small, {.maxValues = 5}, true},
        {"one value too many", small, {.maxValues = 4}, false},
        {"exactly the bytes allowed", small, {.maxPayloadBytes = 9}, true},
        {"one byte too many", small, {.maxPayloadBytes = 8}, false},
    };
    for (const auto& c : cases) {
        for (auto format : {plist::Format::Binary, plist::Format::Xml}) {
            auto bytes = plist::serialize(c.value, format);
            ASSERT_TRUE(bytes) << c.name;
            auto back = plist::parse(*bytes, c.limits);
            const char* f = format == plist::Format::Binary ? "binary" : "XML";
            if (c.accepted)
                EXPECT_EQ(back, c.value) << c.name << " (" << f << ")";
            else
                EXPECT_FALSE(back) << c.name << " (" << f << ")";
        }
    }
}

// libplist builds and frees XML trees recursively: nesting far beyond the limit
// must be refused before it sees it, however the closing tags are disguised.
TEST(PropertyListLimits, DeepXmlIsRefusedBeforeItIsParsed) {
    constexpr int kLevels = 300'000;
    auto deep = [&](std::string_view open, std::string_view close) {
        std::string x = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
        for (int i = 0; i < kLevels; ++i)
            x += open;
        for (int i = 0; i < kLevels; ++i)
            x += close;
        return x + "</plist>";
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"plain", deep("<array>", "</array>")},
        {"dictionaries", deep("<dict><key>k</key>", "</dict>")},
        {"closing tags inside comments", deep("<array><!-- </array> -->", "</array>")},
        {"closing tags inside attribute values", deep("<array a=\"</array>\">", "</array>")},
        {"closing tags inside processing instructions", deep("<array><? </array> ?>", "</array>")},
        {"closing tags inside a document type",
         deep("<array><!DOCTYPE x [ </array> ]>", "</array>")},
        {"never closed", deep("<array>", "")},
    };
    for (const auto& [name, text] : cases)
        EXPECT_FALSE(parseText(text)) << name;
}

TEST(PropertyListLimits, XmlWithCommentsAndDocumentTypeStillReads) {
    const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<!-- <array><array><array> in a comment open nothing -->
<dict>
	<key>CFBundleExecutable</key>
	<string>Editor</string>
	<key>CFBundleDocumentTypes</key>
	<array>
		<dict>
			<key>CFBundleTypeExtensions</key>
			<array/>
			<key>LSItemContentTypes</key>
			<array >
				<string>public.plain-text</string>
			</array>
		</dict>
	</array>
</dict>
</plist>
)";
    const PlistValue expected(
        PlistValue::Dict{{"CFBundleExecutable", "Editor"},
                         {"CFBundleDocumentTypes",
                          PlistValue::Array{PlistValue::Dict{
                              {"CFBundleTypeExtensions", PlistValue::Array{}},
                              {"LSItemContentTypes", PlistValue::Array{"public.plain-text"}}}}}});
    EXPECT_EQ(parseText(text), expected);
    // The string sits at depth 4; counting the arrays in the comment would refuse it.
    EXPECT_EQ(parseText(text, {.maxDepth = 4}), expected);
    EXPECT_FALSE(parseText(text, {.maxDepth = 3}));
}

TEST(PropertyListLimits, HostileInfoPlistInABundleReadsAsNone) {
    test::TempTree t;
    const std::string hostile = t.path("Applications/Hostile.app/Contents/Info.plist");
    const Bytes bomb = fanOutBomb();
    t.file("Applications/Hostile.app/Contents/Info.plist", std::string(bomb.begin(), bomb.end()));
    EXPECT_FALSE(plist::readFile(hostile));

    // A well-formed one beside it still reads.
    const PlistValue info(PlistValue::Dict{{"CFBundleIdentifier", "com.example.Editor"},
                                           {"CFBundleShortVersionString", "2.1"}});
    const std::string good = t.path("Applications/Editor.app/Contents/Info.plist");
    auto bytes = plist::serialize(info, plist::Format::Binary);
    ASSERT_TRUE(bytes);
    t.file("Applications/Editor.app/Contents/Info.plist",
           std::string(bytes->begin(), bytes->end()));
    EXPECT_EQ(plist::readFile(good), info);
}

// Binary text is always read as UTF-8; XML text must be UTF-8 too, or writing
// it back as binary would garble it.
TEST(PropertyListLimits, XmlTextThatIsNotUtf8IsRefused) {
    auto doc = [](std::string_view key, std::string_view value) {
        return "<plist version=\"1.0\"><dict><key>" + std::string(key) + "</key><string>" +
               std::string(value) + "</string></dict></plist>";
    };
    EXPECT_EQ(parseText(doc("Grüße", "日本語 𝄞")),
              PlistValue(PlistValue::Dict{{"Grüße", "日本語 𝄞"}}));
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"Latin-1 byte in a value", doc("name", "caf\xE9")},
        {"Latin-1 byte in a key", doc("caf\xE9", "x")},
        {"truncated sequence", doc("name", "\xE6\x97")},
        {"encoded surrogate half", doc("name", "\xED\xA0\x80")},
    };
    for (const auto& [name, text] : bad)
        EXPECT_FALSE(parseText(text)) << name;
}
