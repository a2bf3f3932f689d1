#include "daemon/PlistNode.h"

#include <cstdlib>

namespace dorn {

std::optional<std::string> stringValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    std::uint64_t length = 0;
    const char* p = plist_get_string_ptr(node, &length);
    if (!p)
        return std::nullopt;
    return std::string(p, static_cast<std::size_t>(length));
}

std::optional<bool> boolValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_BOOLEAN)
        return std::nullopt;
    std::uint8_t v = 0;
    plist_get_bool_val(node, &v);
    return v != 0;
}

std::optional<std::vector<std::uint8_t>> dataValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATA)
        return std::nullopt;
    std::uint64_t length = 0;
    const char* p = plist_get_data_ptr(node, &length);
    if (!p || length == 0)
        return std::vector<std::uint8_t>{};
    const auto* b = reinterpret_cast<const std::uint8_t*>(p);
    return std::vector<std::uint8_t>(b, b + length);
}

std::optional<std::vector<std::string>> stringArrayValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_ARRAY)
        return std::nullopt;
    std::vector<std::string> out;
    std::uint32_t n = plist_array_get_size(node);
    out.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        auto s = stringValue(plist_array_get_item(node, i));
        if (!s)
            return std::nullopt;
        out.push_back(std::move(*s));
    }
    return out;
}

std::uint32_t arraySize(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_ARRAY)
        return 0;
    return plist_array_get_size(node);
}

std::vector<std::uint8_t> toBinary(plist_t node) {
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    if (!bytes)
        return {};
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes);
    std::vector<std::uint8_t> out(b, b + length);
    plist_to_bin_free(bytes);
    return out;
}

std::string toXml(plist_t node) {
    char* text = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &text, &length);
    if (!text)
        return {};
    std::string out(text, length);
    plist_to_xml_free(text);
    return out;
}

} // namespace dorn
