#include "model/KeyedArchive.h"
#include "model/KeyedArchiveFormat.h"

#include "platform/BinaryPlistReader.h"
#include "platform/Date.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

using namespace keyedarchive;
using plist::BinaryPlistReader;
using plist::saturatingAdd;
using Kind = BinaryPlistReader::Kind;
using Object = BinaryPlistReader::Object;

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

// Decoding runs in two passes over the reference graph. The first measures,
// visiting each object once, what the root expands to (values, bytes and
// nesting, shared references counted every time they are used) and refuses
// cycles; only when that fits the limits does the second pass build the value.
// A few hundred bytes of shared references can describe 2^40 values; they are
// refused before any of them is built.
class Unarchiver {
public:
    Unarchiver(const BinaryPlistReader& plist, const ArchiveLimits& limits)
        : p_(plist), limits_(limits),
          stepsLeft_(16 * std::max<std::size_t>(limits.maxNodes, 1024)) {}

    std::optional<PlistValue> run() {
        auto top = p_.top();
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
        if (!archiver || archiver->kind != Kind::String || p_.text(*archiver) != kArchiverName ||
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
        if (!size || size->values > limits_.maxNodes || size->payload > limits_.maxPayloadBytes)
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

    // Expansion counts; levels counts nested containers (a leaf is 0).
    using Size = plist::ExpansionSize;
    using Measured = plist::MeasuredExpansion;

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
            auto key = p_.key(dict, i);
            if (!key || key->kind != Kind::String)
                return false;
            if (key->count > kLongestKnownKey)
                continue;
            auto name = p_.shortText(*key, scratch);
            if (!name)
                return false;
            auto value = p_.value(dict, i);
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
        auto cls = p_.element(objects_, static_cast<std::size_t>(uid));
        if (!cls || cls->kind != Kind::Dict)
            return std::nullopt;
        std::optional<ClassKind> kind;
        if (!scanKeys(*cls, [&](std::string_view key, const Object& value) {
                if (key == "$classname") {
                    if (value.kind != Kind::String || value.count > 64)
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
        auto o = p_.element(objects_, static_cast<std::size_t>(uid));
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
            return o->count;
        case Kind::String:
            return o->count; // characters: never more than the UTF-8 bytes writing counts
        default:
            return 0;
        }
    }

    // Reads the i-th entry of an "NS.objects" / "NS.keys" list, which must be a UID.
    std::optional<std::uint64_t> uidAt(const Object& list, std::size_t i) {
        if (!step())
            return std::nullopt;
        auto item = p_.element(list, i);
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
            total.values = saturatingAdd(total.values, s->values);
            total.payload = saturatingAdd(total.payload, s->payload);
            total.levels = std::max(total.levels, s->levels + 1);
            return total.values <= limits_.maxNodes && total.payload <= limits_.maxPayloadBytes;
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
            return bytes(o);
        case Kind::String:
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

    std::optional<PlistValue> bytes(const Object& o) {
        auto d = p_.data(o);
        if (!d)
            return std::nullopt;
        return PlistValue(std::move(*d));
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
            return bytes(*f.data);
        case ClassKind::String:
            if (!f.string || f.string->kind != Kind::String)
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

    const BinaryPlistReader& p_;
    const ArchiveLimits& limits_;
    Object objects_;
    std::unordered_map<std::uint64_t, std::optional<ClassKind>> classes_;
    std::unordered_map<std::uint64_t, Measured> measured_;
    std::size_t stepsLeft_;
};

} // namespace

std::optional<PlistValue> unarchiveObject(const std::uint8_t* bytes, std::size_t length,
                                          const ArchiveLimits& limits) {
    BinaryPlistReader plist;
    if (!plist.open(bytes, length))
        return std::nullopt;
    return Unarchiver(plist, limits).run();
}

std::optional<PlistValue> unarchiveObject(const Data& bytes, const ArchiveLimits& limits) {
    return unarchiveObject(bytes.data(), bytes.size(), limits);
}

} // namespace tessaly
