#include "model/KeyedArchive.h"

#include "platform/Date.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <plist/plist.h>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

constexpr const char* kArchiverName = "NSKeyedArchiver";
constexpr std::uint64_t kArchiveVersion = 100000;

// Dates live in a nanosecond clock; NS.time values further than this from the
// reference date (about 250 years) cannot be represented and are refused.
constexpr double kMaxDateSeconds = 8.0e9;

bool dateSecondsInRange(double s) {
    return std::isfinite(s) && std::fabs(s) <= kMaxDateSeconds;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// ---------------------------------------------------------------------------
// Reading: a view of a binary property list ("bplist00") that reads objects on
// demand by index. Nothing is expanded up front, so containers that share
// references cost nothing until a caller follows them, and every count and
// offset is checked against the bytes before it is used.

class BinaryPlist {
public:
    enum class Kind {
        Null,
        Bool,
        Integer,
        Real,
        Date,
        Data,
        AsciiString,
        Utf16String,
        Uid,
        Array,
        Set,
        Dict
    };

    struct Object {
        Kind kind = Kind::Null;
        bool boolean = false;
        std::int64_t integer = 0;
        std::uint64_t uid = 0;
        double real = 0;
        std::size_t start = 0; // first payload byte
        std::size_t count = 0; // bytes, UTF-16 units or entries
    };

    bool open(const std::uint8_t* bytes, std::size_t length) {
        constexpr std::size_t kHeader = 8;
        constexpr std::size_t kTrailer = 32;
        if (!bytes || length < kHeader + 1 + kTrailer ||
            std::memcmp(bytes, "bplist00", kHeader) != 0)
            return false;
        b_ = bytes;
        const std::size_t t = length - kTrailer;
        offsetSize_ = bytes[t + 6];
        refSize_ = bytes[t + 7];
        count_ = readUnsigned(t + 8, 8);
        top_ = readUnsigned(t + 16, 8);
        const std::uint64_t table = readUnsigned(t + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return false;
        if (count_ == 0 || top_ >= count_)
            return false;
        if (table < kHeader + 1 || table > t || count_ > (t - table) / offsetSize_)
            return false;
        tableOffset_ = static_cast<std::size_t>(table);
        return true;
    }

    std::uint64_t topIndex() const { return top_; }

    std::optional<Object> object(std::uint64_t index) const {
        if (index >= count_)
            return std::nullopt;
        const std::uint64_t off64 =
            readUnsigned(tableOffset_ + static_cast<std::size_t>(index) * offsetSize_, offsetSize_);
        if (off64 < 8 || off64 >= tableOffset_)
            return std::nullopt;
        const auto off = static_cast<std::size_t>(off64);
        const std::size_t end = tableOffset_; // objects lie before the offset table
        const unsigned type = b_[off] >> 4;
        const unsigned info = b_[off] & 0x0F;
        auto fits = [&](std::size_t pos, std::size_t n) { return pos <= end && n <= end - pos; };

        Object o;
        switch (type) {
        case 0x0:
            if (info == 0x0)
                return o;
            if (info == 0x8 || info == 0x9) {
                o.kind = Kind::Bool;
                o.boolean = info == 0x9;
                return o;
            }
            return std::nullopt;
        case 0x1: {
            if (info > 4)
                return std::nullopt;
            const std::size_t width = std::size_t{1} << info;
            if (!fits(off + 1, width))
                return std::nullopt;
            std::uint64_t value = 0;
            if (width == 16) {
                // 128-bit: accepted when it is a 64-bit value, sign- or zero-extended.
                const std::uint64_t high = readUnsigned(off + 1, 8);
                value = readUnsigned(off + 9, 8);
                const bool negative = (value >> 63) != 0;
                if (high != 0 && !(high == ~std::uint64_t{0} && negative))
                    return std::nullopt;
            } else {
                // 1, 2 and 4 bytes are unsigned; 8 bytes are two's complement.
                value = readUnsigned(off + 1, static_cast<unsigned>(width));
            }
            o.kind = Kind::Integer;
            o.integer = static_cast<std::int64_t>(value);
            return o;
        }
        case 0x2:
        case 0x3: {
            const bool isDate = type == 0x3;
            if (info == 2 && !isDate) {
                if (!fits(off + 1, 4))
                    return std::nullopt;
                o.real = std::bit_cast<float>(static_cast<std::uint32_t>(readUnsigned(off + 1, 4)));
            } else if (info == 3) {
                if (!fits(off + 1, 8))
                    return std::nullopt;
                o.real = std::bit_cast<double>(readUnsigned(off + 1, 8));
            } else {
                return std::nullopt;
            }
            o.kind = isDate ? Kind::Date : Kind::Real;
            return o;
        }
        case 0x8: {
            const std::size_t width = info + 1;
            if (width > 8 || !fits(off + 1, width))
                return std::nullopt;
            o.kind = Kind::Uid;
            o.uid = readUnsigned(off + 1, static_cast<unsigned>(width));
            return o;
        }
        case 0x4:
        case 0x5:
        case 0x6:
        case 0xA:
        case 0xC:
        case 0xD: {
            std::uint64_t count = 0;
            std::size_t start = 0;
            if (!readCount(off, info, count, start))
                return std::nullopt;
            std::size_t unit = 1;
            switch (type) {
            case 0x4:
                o.kind = Kind::Data;
                break;
            case 0x5:
                o.kind = Kind::AsciiString;
                break;
            case 0x6:
                o.kind = Kind::Utf16String;
                unit = 2;
                break;
            case 0xA:
                o.kind = Kind::Array;
                unit = refSize_;
                break;
            case 0xC:
                o.kind = Kind::Set;
                unit = refSize_;
                break;
            default:
                o.kind = Kind::Dict;
                unit = 2 * std::size_t{refSize_};
                break;
            }
            if (start > end || count > (end - start) / unit)
                return std::nullopt;
            o.start = start;
            o.count = static_cast<std::size_t>(count);
            return o;
        }
        default:
            return std::nullopt;
        }
    }

    // The i-th reference of an array or set; for a dictionary the keys come
    // first (i < count), then the values (count <= i < 2 count).
    std::uint64_t reference(const Object& container, std::size_t i) const {
        return readUnsigned(container.start + i * refSize_, refSize_);
    }

    bool isString(const Object& o) const {
        return o.kind == Kind::AsciiString || o.kind == Kind::Utf16String;
    }

    // Text of a string object as UTF-8; none for bytes above 0x7F in an ASCII
    // string or unpaired surrogates in a UTF-16 one.
    std::optional<std::string> text(const Object& o) const {
        std::string out;
        if (o.kind == Kind::AsciiString) {
            const std::uint8_t* p = b_ + o.start;
            if (std::any_of(p, p + o.count, [](std::uint8_t c) { return c >= 0x80; }))
                return std::nullopt;
            out.assign(reinterpret_cast<const char*>(p), o.count);
            return out;
        }
        if (o.kind != Kind::Utf16String)
            return std::nullopt;
        out.reserve(o.count);
        for (std::size_t i = 0; i < o.count; ++i) {
            auto cp = static_cast<std::uint32_t>(readUnsigned(o.start + 2 * i, 2));
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (i + 1 >= o.count)
                    return std::nullopt;
                auto low = static_cast<std::uint32_t>(readUnsigned(o.start + 2 * (i + 1), 2));
                if (low < 0xDC00 || low > 0xDFFF)
                    return std::nullopt;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return std::nullopt;
            }
            appendUtf8(out, cp);
        }
        return out;
    }

    // Text of a short string object for comparison with known names: a view of
    // the file for ASCII, of scratch for UTF-16.
    std::optional<std::string_view> shortText(const Object& o, std::string& scratch) const {
        if (o.kind == Kind::AsciiString) {
            const std::uint8_t* p = b_ + o.start;
            if (std::any_of(p, p + o.count, [](std::uint8_t c) { return c >= 0x80; }))
                return std::nullopt;
            return std::string_view(reinterpret_cast<const char*>(p), o.count);
        }
        auto decoded = text(o);
        if (!decoded)
            return std::nullopt;
        scratch = std::move(*decoded);
        return std::string_view(scratch);
    }

    Data bytes(const Object& o) const { return Data(b_ + o.start, b_ + o.start + o.count); }

private:
    std::uint64_t readUnsigned(std::size_t pos, unsigned width) const {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < width; ++i)
            v = (v << 8) | b_[pos + i];
        return v;
    }

    // Object lengths up to 14 sit in the marker; 15 means an integer object follows.
    bool readCount(std::size_t off, unsigned info, std::uint64_t& count, std::size_t& start) const {
        if (info != 0x0F) {
            count = info;
            start = off + 1;
            return true;
        }
        const std::size_t p = off + 1;
        if (p >= tableOffset_ || (b_[p] >> 4) != 0x1 || (b_[p] & 0x0F) > 3)
            return false;
        const std::size_t width = std::size_t{1} << (b_[p] & 0x0F);
        if (width > tableOffset_ - p - 1)
            return false;
        count = readUnsigned(p + 1, static_cast<unsigned>(width));
        start = p + 1 + width;
        return true;
    }

    const std::uint8_t* b_ = nullptr;
    std::size_t tableOffset_ = 0;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t top_ = 0;
};

using Kind = BinaryPlist::Kind;
using Object = BinaryPlist::Object;

enum class ClassKind { Array, Dictionary, Date, Data, String };

std::optional<ClassKind> classKindForName(const std::string& name) {
    static const std::map<std::string, ClassKind, std::less<>> kClasses = {
        {"NSArray", ClassKind::Array},
        {"NSMutableArray", ClassKind::Array},
        {"NSDictionary", ClassKind::Dictionary},
        {"NSMutableDictionary", ClassKind::Dictionary},
        {"NSDate", ClassKind::Date},
        {"NSData", ClassKind::Data},
        {"NSMutableData", ClassKind::Data},
        {"NSString", ClassKind::String},
        {"NSMutableString", ClassKind::String},
    };
    auto it = kClasses.find(name);
    if (it == kClasses.end())
        return std::nullopt;
    return it->second;
}

// Keys we look for in archive dictionaries are all short; longer keys are
// skipped without decoding their text.
constexpr std::size_t kLongestKnownKey = 16;

std::size_t saturatingAdd(std::size_t a, std::size_t b) {
    return b > std::numeric_limits<std::size_t>::max() - a ? std::numeric_limits<std::size_t>::max()
                                                           : a + b;
}

// Decoding runs in two passes over the reference graph. The first measures,
// visiting each object once, what the root expands to (values, bytes and
// nesting, shared references counted every time they are used) and refuses
// cycles; only when that fits the limits does the second pass build the value.
// A few hundred bytes of shared references can describe 2^40 values; they are
// refused before any of them is built.
class Unarchiver {
public:
    Unarchiver(const BinaryPlist& plist, const ArchiveLimits& limits)
        : p_(plist), limits_(limits),
          stepsLeft_(16 * std::max<std::size_t>(limits.maxNodes, 1024)) {}

    std::optional<PlistValue> run() {
        auto top = p_.object(p_.topIndex());
        if (!top || top->kind != Kind::Dict)
            return std::nullopt;
        std::optional<Object> archiver, version, objects, topRefs;
        if (!scanKeys(*top, [&](std::string_view key, const Object& value) {
                if (key == "$archiver")
                    archiver = value;
                else if (key == "$version")
                    version = value;
                else if (key == "$objects")
                    objects = value;
                else if (key == "$top")
                    topRefs = value;
                return true;
            }))
            return std::nullopt;
        if (!archiver || !p_.isString(*archiver) || p_.text(*archiver) != kArchiverName ||
            !version || version->kind != Kind::Integer || !objects ||
            objects->kind != Kind::Array || !topRefs || topRefs->kind != Kind::Dict)
            return std::nullopt;
        objects_ = *objects;

        std::optional<std::uint64_t> root;
        if (!scanKeys(*topRefs, [&](std::string_view key, const Object& value) {
                if (key == "root") {
                    if (value.kind != Kind::Uid)
                        return false;
                    root = value.uid;
                }
                return true;
            }))
            return std::nullopt;
        if (!root)
            return std::nullopt;

        auto size = measure(*root, 0);
        if (!size || size->nodes > limits_.maxNodes || size->payload > limits_.maxPayloadBytes)
            return std::nullopt;
        return decode(*root, 0);
    }

private:
    // What a class-tagged dictionary holds under the keys we know.
    struct Fields {
        std::optional<std::uint64_t> cls;
        std::optional<Object> objects, keys, time, data, string;
    };

    // One entry of "$objects": a plain value, or a class-tagged dictionary.
    struct Entry {
        Object object;
        std::optional<ClassKind> cls; // set for dictionaries
        Fields fields;

        bool isContainer() const { return cls == ClassKind::Array || cls == ClassKind::Dictionary; }
    };

    // What a value expands to; levels counts nested containers (a leaf is 0).
    struct Size {
        std::size_t nodes = 0;
        std::size_t payload = 0;
        int levels = 0;
    };

    struct Measured {
        bool inProgress = true;
        Size size;
    };

    bool step(std::size_t n = 1) {
        if (n > stepsLeft_)
            return false;
        stepsLeft_ -= n;
        return true;
    }

    // Calls visit(key, value) for each entry of a dictionary whose key is short
    // enough to be one we know; any key that is not a string makes the whole
    // dictionary invalid.
    template <typename Visit> bool scanKeys(const Object& dict, Visit&& visit) {
        std::string scratch;
        for (std::size_t i = 0; i < dict.count; ++i) {
            if (!step())
                return false;
            auto key = p_.object(p_.reference(dict, i));
            if (!key || !p_.isString(*key))
                return false;
            if (key->count > kLongestKnownKey)
                continue;
            auto name = p_.shortText(*key, scratch);
            if (!name)
                return false;
            auto value = p_.object(p_.reference(dict, dict.count + i));
            if (!value || !visit(*name, *value))
                return false;
        }
        return true;
    }

    std::optional<ClassKind> classOf(std::uint64_t uid) {
        if (auto it = classes_.find(uid); it != classes_.end())
            return it->second;
        if (uid == 0 || uid >= objects_.count)
            return std::nullopt;
        auto cls = p_.object(p_.reference(objects_, static_cast<std::size_t>(uid)));
        if (!cls || cls->kind != Kind::Dict)
            return std::nullopt;
        std::optional<ClassKind> kind;
        if (!scanKeys(*cls, [&](std::string_view key, const Object& value) {
                if (key == "$classname") {
                    if (!p_.isString(value) || value.count > 64)
                        return false;
                    auto name = p_.text(value);
                    kind = name ? classKindForName(*name) : std::nullopt;
                }
                return true;
            }))
            return std::nullopt;
        classes_.emplace(uid, kind);
        return kind;
    }

    // Reads "$objects"[uid] (uid 0 excepted), with its class when it is a dictionary.
    std::optional<Entry> entry(std::uint64_t uid) {
        if (uid == 0 || uid >= objects_.count || !step())
            return std::nullopt;
        auto o = p_.object(p_.reference(objects_, static_cast<std::size_t>(uid)));
        if (!o)
            return std::nullopt;
        Entry e{*o, std::nullopt, {}};
        if (o->kind != Kind::Dict)
            return e;
        Fields& f = e.fields;
        if (!scanKeys(*o, [&](std::string_view key, const Object& value) {
                if (key == "$class") {
                    if (value.kind != Kind::Uid)
                        return false;
                    f.cls = value.uid;
                } else if (key == "NS.objects") {
                    f.objects = value;
                } else if (key == "NS.keys") {
                    f.keys = value;
                } else if (key == "NS.time") {
                    f.time = value;
                } else if (key == "NS.data") {
                    f.data = value;
                } else if (key == "NS.string") {
                    f.string = value;
                }
                return true;
            }))
            return std::nullopt;
        if (!f.cls || !(e.cls = classOf(*f.cls)))
            return std::nullopt;
        if (e.isContainer()) {
            // Lists must be arrays; a dictionary's two lists must match.
            if ((f.objects && f.objects->kind != Kind::Array) ||
                (f.keys && f.keys->kind != Kind::Array))
                return std::nullopt;
            if (e.cls == ClassKind::Dictionary &&
                (f.keys ? f.keys->count : 0) != (f.objects ? f.objects->count : 0))
                return std::nullopt;
        }
        return e;
    }

    // Bytes of text or data a leaf entry decodes to.
    static std::size_t payloadOf(const Entry& e) {
        const Object* o = &e.object;
        if (e.cls == ClassKind::Data && e.fields.data)
            o = &*e.fields.data;
        else if (e.cls == ClassKind::String && e.fields.string)
            o = &*e.fields.string;
        switch (o->kind) {
        case Kind::Data:
        case Kind::AsciiString:
            return o->count;
        case Kind::Utf16String:
            return o->count; // never more than its UTF-8 length, which writing counts
        default:
            return 0;
        }
    }

    // Reads the i-th entry of an "NS.objects" / "NS.keys" list, which must be a UID.
    std::optional<std::uint64_t> uidAt(const Object& list, std::size_t i) {
        if (!step())
            return std::nullopt;
        auto item = p_.object(p_.reference(list, i));
        if (!item || item->kind != Kind::Uid)
            return std::nullopt;
        return item->uid;
    }

    // Calls each(uid) for every child of a container: keys first, then values.
    template <typename Each> bool forEachChild(const Entry& e, Each&& each) {
        const bool isDictionary = e.cls == ClassKind::Dictionary;
        for (const auto* list : {isDictionary ? &e.fields.keys : nullptr, &e.fields.objects}) {
            if (!list || !*list)
                continue;
            for (std::size_t i = 0; i < (*list)->count; ++i) {
                auto uid = uidAt(**list, i);
                if (!uid || !each(*uid))
                    return false;
            }
        }
        return true;
    }

    std::optional<Size> measure(std::uint64_t uid, int depth) {
        if (uid == 0)
            return Size{1, 0, 0};
        if (auto it = measured_.find(uid); it != measured_.end()) {
            if (it->second.inProgress) // reached again while inside itself: a cycle
                return std::nullopt;
            if (depth + it->second.size.levels > limits_.maxDepth + 1)
                return std::nullopt;
            return it->second.size;
        }
        // Every distinct object is at least one value.
        if (measured_.size() >= limits_.maxNodes)
            return std::nullopt;
        auto e = entry(uid);
        if (!e)
            return std::nullopt;
        if (!e->isContainer()) {
            const Size leaf{1, payloadOf(*e), 0};
            measured_.emplace(uid, Measured{false, leaf});
            return leaf;
        }
        if (depth > limits_.maxDepth)
            return std::nullopt;
        measured_.emplace(uid, Measured{});
        Size total{1, 0, 1};
        const bool ok = forEachChild(*e, [&](std::uint64_t child) {
            auto s = measure(child, depth + 1);
            if (!s)
                return false;
            total.nodes = saturatingAdd(total.nodes, s->nodes);
            total.payload = saturatingAdd(total.payload, s->payload);
            total.levels = std::max(total.levels, s->levels + 1);
            return total.nodes <= limits_.maxNodes && total.payload <= limits_.maxPayloadBytes;
        });
        if (!ok)
            return std::nullopt;
        measured_[uid] = Measured{false, total};
        return total;
    }

    std::optional<PlistValue> decode(std::uint64_t uid, int depth) {
        if (uid == 0)
            return PlistValue();
        auto e = entry(uid);
        if (!e)
            return std::nullopt;
        const Object& o = e->object;
        switch (o.kind) {
        case Kind::Bool:
            return PlistValue(o.boolean);
        case Kind::Integer:
            return PlistValue(static_cast<long long>(o.integer));
        case Kind::Real:
            return PlistValue(o.real);
        case Kind::Date:
            if (!dateSecondsInRange(o.real))
                return std::nullopt;
            return PlistValue(dateFromReferenceSeconds(o.real));
        case Kind::Data:
            return PlistValue(p_.bytes(o));
        case Kind::AsciiString:
        case Kind::Utf16String:
            return text(o);
        case Kind::Dict:
            return decodeObject(*e, depth);
        default:
            return std::nullopt;
        }
    }

    std::optional<PlistValue> text(const Object& o) {
        auto s = p_.text(o);
        if (!s)
            return std::nullopt;
        return PlistValue(std::move(*s));
    }

    std::optional<PlistValue> decodeObject(const Entry& e, int depth) {
        const Fields& f = e.fields;
        switch (*e.cls) {
        case ClassKind::Date: {
            if (!f.time)
                return std::nullopt;
            double s = 0;
            if (f.time->kind == Kind::Real)
                s = f.time->real;
            else if (f.time->kind == Kind::Integer)
                s = static_cast<double>(f.time->integer);
            else
                return std::nullopt;
            if (!dateSecondsInRange(s))
                return std::nullopt;
            return PlistValue(dateFromReferenceSeconds(s));
        }
        case ClassKind::Data:
            if (!f.data || f.data->kind != Kind::Data)
                return std::nullopt;
            return PlistValue(p_.bytes(*f.data));
        case ClassKind::String:
            if (!f.string || !p_.isString(*f.string))
                return std::nullopt;
            return text(*f.string);
        case ClassKind::Array:
            return decodeArray(f, depth);
        case ClassKind::Dictionary:
            return decodeDictionary(f, depth);
        }
        return std::nullopt;
    }

    std::optional<PlistValue> decodeArray(const Fields& f, int depth) {
        if (depth > limits_.maxDepth)
            return std::nullopt;
        PlistValue::Array out;
        if (!f.objects)
            return PlistValue(std::move(out));
        out.reserve(std::min(f.objects->count, limits_.maxNodes));
        for (std::size_t i = 0; i < f.objects->count; ++i) {
            auto uid = uidAt(*f.objects, i);
            auto v = uid ? decode(*uid, depth + 1) : std::nullopt;
            if (!v)
                return std::nullopt;
            out.push_back(std::move(*v));
        }
        return PlistValue(std::move(out));
    }

    std::optional<PlistValue> decodeDictionary(const Fields& f, int depth) {
        if (depth > limits_.maxDepth)
            return std::nullopt;
        PlistValue::Dict out;
        const std::size_t n = f.keys ? f.keys->count : 0; // entry() checked both lists match
        for (std::size_t i = 0; i < n; ++i) {
            auto keyUid = uidAt(*f.keys, i);
            auto valueUid = uidAt(*f.objects, i);
            if (!keyUid || !valueUid)
                return std::nullopt;
            auto key = decode(*keyUid, depth + 1);
            if (!key || !key->isString())
                return std::nullopt;
            auto value = decode(*valueUid, depth + 1);
            if (!value)
                return std::nullopt;
            out.insert_or_assign(std::move(*key->string()), std::move(*value));
        }
        return PlistValue(std::move(out));
    }

    const BinaryPlist& p_;
    const ArchiveLimits& limits_;
    Object objects_;
    std::unordered_map<std::uint64_t, std::optional<ClassKind>> classes_;
    std::unordered_map<std::uint64_t, Measured> measured_;
    std::size_t stepsLeft_;
};

// ---------------------------------------------------------------------------
// Writing: objects are appended to "$objects" in the order the archiver visits
// them (a container before its contents, its class description after), built
// as libplist nodes and serialised once at the end.

class Archiver {
public:
    explicit Archiver(const ArchiveLimits& limits) : limits_(limits), objects_(plist_new_array()) {
        plist_array_append_item(objects_.get(), plist_new_string("$null"));
    }

    std::optional<std::uint64_t> encode(const PlistValue& v, int depth) {
        if (nodes_ >= limits_.maxNodes)
            return std::nullopt;
        ++nodes_;
        if (v.isNone())
            return 0;
        if (v.isBool()) {
            auto& slot = v.toBool() ? true_ : false_;
            if (!slot)
                slot = append(plist_new_bool(v.toBool() ? 1 : 0));
            return slot;
        }
        if (v.isInteger())
            return unique(integers_, v.toInteger(), [&] {
                return plist_new_uint(static_cast<std::uint64_t>(v.toInteger()));
            });
        if (v.isReal())
            return unique(reals_, std::bit_cast<std::uint64_t>(v.toReal()),
                          [&] { return plist_new_real(v.toReal()); });
        if (const auto* s = v.string())
            return encodeString(*s);
        if (const auto* d = v.data()) {
            if (!chargePayload(d->size()))
                return std::nullopt;
            return append(plist_new_data(reinterpret_cast<const char*>(d->data()), d->size()));
        }
        if (const auto* date = v.date()) {
            const double s = secondsSinceReferenceDate(*date);
            if (!dateSecondsInRange(s))
                return std::nullopt;
            plist_t object = plist_new_dict();
            const std::uint64_t uid = append(object);
            plist_dict_set_item(object, "NS.time", plist_new_real(s));
            plist_dict_set_item(object, "$class", plist_new_uid(classUid("NSDate")));
            return uid;
        }
        if (const auto* items = v.array())
            return encodeArray(*items, depth);
        if (const auto* entries = v.dict())
            return encodeDict(*entries, depth);
        return std::nullopt;
    }

    std::optional<Data> finish(std::uint64_t root) {
        plist::NodeHolder archive(plist_new_dict());
        plist_dict_set_item(archive.get(), "$archiver", plist_new_string(kArchiverName));
        plist_dict_set_item(archive.get(), "$version", plist_new_uint(kArchiveVersion));
        plist_t top = plist_new_dict();
        plist_dict_set_item(top, "root", plist_new_uid(root));
        plist_dict_set_item(archive.get(), "$top", top);
        plist_dict_set_item(archive.get(), "$objects", objects_.release());

        char* bytes = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(archive.get(), &bytes, &length);
        if (!bytes)
            return std::nullopt;
        Data out(reinterpret_cast<const std::uint8_t*>(bytes),
                 reinterpret_cast<const std::uint8_t*>(bytes) + length);
        plist_to_bin_free(bytes);
        return out;
    }

private:
    std::uint64_t append(plist_t node) {
        plist_array_append_item(objects_.get(), node);
        return next_++;
    }

    template <typename Key, typename Make>
    std::uint64_t unique(std::map<Key, std::uint64_t>& table, const Key& key, Make&& make) {
        auto it = table.find(key);
        if (it != table.end())
            return it->second;
        const std::uint64_t uid = append(make());
        table.emplace(key, uid);
        return uid;
    }

    bool chargePayload(std::size_t n) {
        if (n > limits_.maxPayloadBytes - payload_)
            return false;
        payload_ += n;
        return true;
    }

    std::optional<std::uint64_t> encodeString(const std::string& s) {
        // libplist strings end at the first zero byte; such text cannot be stored exactly.
        if (s.find('\0') != std::string::npos || !isValidUtf8(s) || !chargePayload(s.size()))
            return std::nullopt;
        return unique(strings_, s, [&] { return plist_new_string(s.c_str()); });
    }

    std::uint64_t classUid(const std::string& name) {
        return unique(classes_, name, [&] {
            plist_t cls = plist_new_dict();
            plist_dict_set_item(cls, "$classname", plist_new_string(name.c_str()));
            plist_t chain = plist_new_array();
            plist_array_append_item(chain, plist_new_string(name.c_str()));
            plist_array_append_item(chain, plist_new_string("NSObject"));
            plist_dict_set_item(cls, "$classes", chain);
            return cls;
        });
    }

    static plist_t uidList(const std::vector<std::uint64_t>& uids) {
        plist_t list = plist_new_array();
        for (auto uid : uids)
            plist_array_append_item(list, plist_new_uid(uid));
        return list;
    }

    std::optional<std::uint64_t> encodeArray(const PlistValue::Array& items, int depth) {
        if (depth > limits_.maxDepth)
            return std::nullopt;
        plist_t object = plist_new_dict();
        const std::uint64_t uid = append(object);
        std::vector<std::uint64_t> refs;
        refs.reserve(items.size());
        for (const auto& item : items) {
            auto ref = encode(item, depth + 1);
            if (!ref)
                return std::nullopt;
            refs.push_back(*ref);
        }
        plist_dict_set_item(object, "NS.objects", uidList(refs));
        plist_dict_set_item(object, "$class", plist_new_uid(classUid("NSArray")));
        return uid;
    }

    std::optional<std::uint64_t> encodeDict(const PlistValue::Dict& entries, int depth) {
        if (depth > limits_.maxDepth)
            return std::nullopt;
        plist_t object = plist_new_dict();
        const std::uint64_t uid = append(object);
        std::vector<std::uint64_t> keys, values;
        keys.reserve(entries.size());
        values.reserve(entries.size());
        for (const auto& [key, value] : entries) {
            if (nodes_ >= limits_.maxNodes)
                return std::nullopt;
            ++nodes_;
            auto ref = encodeString(key);
            if (!ref)
                return std::nullopt;
            keys.push_back(*ref);
        }
        for (const auto& [key, value] : entries) {
            auto ref = encode(value, depth + 1);
            if (!ref)
                return std::nullopt;
            values.push_back(*ref);
        }
        plist_dict_set_item(object, "NS.keys", uidList(keys));
        plist_dict_set_item(object, "NS.objects", uidList(values));
        plist_dict_set_item(object, "$class", plist_new_uid(classUid("NSDictionary")));
        return uid;
    }

    const ArchiveLimits& limits_;
    plist::NodeHolder objects_;
    std::uint64_t next_ = 1; // 0 is "$null"
    std::size_t nodes_ = 0;
    std::size_t payload_ = 0;
    std::optional<std::uint64_t> true_, false_;
    std::map<std::int64_t, std::uint64_t> integers_;
    std::map<std::uint64_t, std::uint64_t> reals_; // by bit pattern: 0.0 and -0.0 stay apart
    std::map<std::string, std::uint64_t> strings_;
    std::map<std::string, std::uint64_t> classes_;
};

} // namespace

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogate halves
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90; // overlong
            else if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (n - i < len || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

std::optional<Data> archiveRootObject(const PlistValue& root, const ArchiveLimits& limits) {
    Archiver archiver(limits);
    auto uid = archiver.encode(root, 0);
    if (!uid)
        return std::nullopt;
    return archiver.finish(*uid);
}

std::optional<PlistValue> unarchiveObject(const std::uint8_t* bytes, std::size_t length,
                                          const ArchiveLimits& limits) {
    BinaryPlist plist;
    if (!plist.open(bytes, length))
        return std::nullopt;
    return Unarchiver(plist, limits).run();
}

std::optional<PlistValue> unarchiveObject(const Data& bytes, const ArchiveLimits& limits) {
    return unarchiveObject(bytes.data(), bytes.size(), limits);
}

} // namespace tessaly
