#include "daemon/Arguments.h"

namespace dorn {

namespace {

std::optional<std::string> text(const PlistValue& v) {
    const std::string* s = v.string();
    if (!s || s->find('\0') != std::string::npos)
        return std::nullopt;
    return *s;
}

std::optional<std::string> pathText(const PlistValue& v) {
    if (const PlistValue::Data* bytes = v.data()) {
        std::string s(bytes->begin(), bytes->end());
        if (s.find('\0') != std::string::npos)
            return std::nullopt;
        return s;
    }
    return text(v);
}

// A list argument whose every element read() accepts.
template <typename Read>
std::optional<std::vector<std::string>> listAt(const PlistValue::Array& args, std::size_t i,
                                               Read read) {
    if (i >= args.size() || !args[i].isArray())
        return std::nullopt;
    std::vector<std::string> out;
    for (const PlistValue& v : *args[i].array()) {
        auto s = read(v);
        if (!s)
            return std::nullopt;
        out.push_back(std::move(*s));
    }
    return out;
}

} // namespace

std::optional<std::string> stringAt(const PlistValue::Array& args, std::size_t i) {
    return i < args.size() ? text(args[i]) : std::nullopt;
}

std::optional<bool> boolAt(const PlistValue::Array& args, std::size_t i) {
    if (i >= args.size() || !args[i].isBool())
        return std::nullopt;
    return args[i].toBool();
}

const PlistValue::Data* dataAt(const PlistValue::Array& args, std::size_t i) {
    return i < args.size() ? args[i].data() : nullptr;
}

const PlistValue::Dict* dictAt(const PlistValue::Array& args, std::size_t i) {
    return i < args.size() ? args[i].dict() : nullptr;
}

std::optional<std::vector<std::string>> stringListAt(const PlistValue::Array& args, std::size_t i) {
    return listAt(args, i, text);
}

std::optional<std::string> pathAt(const PlistValue::Array& args, std::size_t i) {
    return i < args.size() ? pathText(args[i]) : std::nullopt;
}

std::optional<std::vector<std::string>> pathListAt(const PlistValue::Array& args, std::size_t i) {
    return listAt(args, i, pathText);
}

} // namespace dorn
