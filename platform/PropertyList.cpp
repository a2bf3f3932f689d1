#include "platform/PropertyList.h"

#include "platform/AtomicFile.h"
#include "platform/TextEncoding.h"
#include "platform/XmlPlistGuard.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <plist/plist.h>
#include <string_view>

namespace tessaly::plist {

NodeHolder::~NodeHolder() {
    if (n_)
        plist_free(n_);
}

namespace {

// libplist passes the bytes of XML text through unchecked. Text read from a
// binary file is always UTF-8, and text that is not would be garbled when
// written back as binary (libplist re-encodes it as UTF-16), so XML text that
// is not UTF-8 makes the file unreadable just as it does in a binary file.
// Adds the bytes of text and data (keys included) to payload as binary
// reading counts them; the value is no bigger than the file it came from.
bool checkText(const PlistValue& v, std::size_t& payload) {
    if (const auto* s = v.string()) {
        payload += s->size();
        return isValidUtf8(*s);
    }
    if (const auto* d = v.data())
        payload += d->size();
    if (const auto* items = v.array())
        return std::all_of(items->begin(), items->end(),
                           [&](const PlistValue& item) { return checkText(item, payload); });
    if (const auto* entries = v.dict())
        return std::all_of(entries->begin(), entries->end(), [&](const auto& e) {
            payload += e.first.size();
            return isValidUtf8(e.first) && checkText(e.second, payload);
        });
    return true;
}

} // namespace

std::optional<PlistValue> fromNode(plist_t node, int maxDepth) {
    if (!node || maxDepth < 0)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        // Property-list integers are signed 64-bit values on disk.
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return PlistValue(static_cast<long long>(static_cast<std::int64_t>(u)));
    }
    case PLIST_UID: {
        std::uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return PlistValue(static_cast<long long>(u & 0x7fffffffffffffffULL));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PlistValue(d);
    }
    case PLIST_STRING: {
        std::uint64_t len = 0;
        const char* s = plist_get_string_ptr(node, &len);
        return PlistValue(std::string(s ? s : "", s ? len : 0));
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(dateFromReferenceSeconds(sec + usec / 1e6));
    }
    case PLIST_DATA: {
        std::uint64_t len = 0;
        const char* d = plist_get_data_ptr(node, &len);
        const auto* b = reinterpret_cast<const std::uint8_t*>(d);
        return PlistValue(PlistValue::Data(b, b + (d ? len : 0)));
    }
    case PLIST_ARRAY: {
        PlistValue::Array out;
        std::uint32_t n = plist_array_get_size(node);
        out.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            auto v = fromNode(plist_array_get_item(node, i), maxDepth - 1);
            if (!v)
                return std::nullopt;
            out.push_back(std::move(*v));
        }
        return PlistValue(std::move(out));
    }
    case PLIST_DICT: {
        PlistValue::Dict out;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return PlistValue(std::move(out));
        bool ok = true;
        for (;;) {
            char* key = nullptr;
            plist_t val = nullptr;
            plist_dict_next_item(node, it, &key, &val);
            if (!val) {
                std::free(key);
                break;
            }
            auto v = fromNode(val, maxDepth - 1);
            if (!v) {
                std::free(key);
                ok = false;
                break;
            }
            out.insert_or_assign(std::string(key ? key : ""), std::move(*v));
            std::free(key);
        }
        std::free(it);
        if (!ok)
            return std::nullopt;
        return PlistValue(std::move(out));
    }
    default:
        return std::nullopt;
    }
}

plist_t toNode(const PlistValue& value) {
    using T = PlistValue::Type;
    switch (value.type()) {
    case T::kNone:
        return nullptr;
    case T::kBool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case T::kInteger:
        return plist_new_uint(static_cast<std::uint64_t>(value.toInteger()));
    case T::kReal:
        return plist_new_real(value.toReal());
    case T::kString:
        return plist_new_string(value.string()->c_str());
    case T::kDate: {
        double s = secondsSinceReferenceDate(*value.date());
        double whole = std::floor(s);
        if (whole < std::numeric_limits<std::int32_t>::min())
            whole = std::numeric_limits<std::int32_t>::min();
        if (whole > std::numeric_limits<std::int32_t>::max())
            whole = std::numeric_limits<std::int32_t>::max();
        auto usec = static_cast<std::int32_t>(std::lround((s - whole) * 1e6));
        if (usec >= 1000000)
            usec = 999999;
        return plist_new_date(static_cast<std::int32_t>(whole), usec);
    }
    case T::kData: {
        const auto& d = *value.data();
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case T::kArray: {
        plist_t a = plist_new_array();
        for (const auto& item : *value.array()) {
            plist_t n = toNode(item);
            if (n)
                plist_array_append_item(a, n);
        }
        return a;
    }
    case T::kDict: {
        plist_t d = plist_new_dict();
        for (const auto& [k, item] : *value.dict()) {
            plist_t n = toNode(item);
            if (n)
                plist_dict_set_item(d, k.c_str(), n);
        }
        return d;
    }
    }
    return nullptr;
}

std::optional<PlistValue> parse(const std::uint8_t* bytes, std::size_t length,
                                const ReadLimits& limits) {
    if (!bytes || length == 0 || length > kMaxFileBytes || limits.maxDepth < 0)
        return std::nullopt;
    if (BinaryPlistReader::hasSignature(bytes, length))
        return parseBinary(bytes, length, limits);
    const std::string_view text(reinterpret_cast<const char*>(bytes), length);
    if (!xmlWithinLimits(text, limits))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_xml(text.data(), static_cast<std::uint32_t>(length), &root);
    NodeHolder holder(root);
    auto value = fromNode(root, limits.maxDepth);
    std::size_t payload = 0;
    if (!value || !checkText(*value, payload) || payload > limits.maxPayloadBytes)
        return std::nullopt;
    return value;
}

std::optional<PlistValue> parse(const std::vector<std::uint8_t>& bytes, const ReadLimits& limits) {
    return parse(bytes.data(), bytes.size(), limits);
}

std::optional<PlistValue> readFile(const std::string& path) {
    auto bytes = readWholeFile(path, kMaxFileBytes);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

std::optional<std::vector<std::uint8_t>> serialize(const PlistValue& value, Format format) {
    NodeHolder root(toNode(value));
    if (!root.get())
        return std::nullopt;
    char* out = nullptr;
    std::uint32_t len = 0;
    if (format == Format::Binary)
        plist_to_bin(root.get(), &out, &len);
    else
        plist_to_xml(root.get(), &out, &len);
    if (!out)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(out, out + len);
    if (format == Format::Binary)
        plist_to_bin_free(out);
    else
        plist_to_xml_free(out);
    return bytes;
}

bool writeFile(const std::string& path, const PlistValue& value, Format format,
               std::string* error) {
    auto bytes = serialize(value, format);
    if (!bytes) {
        if (error)
            *error = "cannot serialise property list";
        return false;
    }
    return rewriteFileAtomically(path, bytes->data(), bytes->size(), error);
}

} // namespace tessaly::plist
