#include "model/KeyedArchive.h"
#include "model/KeyedArchiveFormat.h"

#include "platform/Date.h"
#include "platform/PropertyList.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <plist/plist.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

using namespace keyedarchive;

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

std::optional<Data> archiveRootObject(const PlistValue& root, const ArchiveLimits& limits) {
    Archiver archiver(limits);
    auto uid = archiver.encode(root, 0);
    if (!uid)
        return std::nullopt;
    return archiver.finish(*uid);
}

} // namespace tessaly
