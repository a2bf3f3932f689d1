#include "platform/PlistValue.h"

namespace tessaly {

bool PlistValue::toBool(bool fallback) const {
    switch (type()) {
    case Type::kBool:
        return std::get<bool>(v_);
    case Type::kInteger:
        return std::get<std::int64_t>(v_) != 0;
    case Type::kReal:
        return std::get<double>(v_) != 0.0;
    case Type::kString: {
        // Defaults written as text ("YES", "1", "true") read as true, as the platform does.
        const auto& s = std::get<std::string>(v_);
        return s == "YES" || s == "yes" || s == "true" || s == "TRUE" || s == "1";
    }
    default:
        return fallback;
    }
}

std::int64_t PlistValue::toInteger(std::int64_t fallback) const {
    switch (type()) {
    case Type::kBool:
        return std::get<bool>(v_) ? 1 : 0;
    case Type::kInteger:
        return std::get<std::int64_t>(v_);
    case Type::kReal: {
        double d = std::get<double>(v_);
        if (!(d == d) || d >= 9.2e18 || d <= -9.2e18)
            return fallback;
        return static_cast<std::int64_t>(d);
    }
    default:
        return fallback;
    }
}

double PlistValue::toReal(double fallback) const {
    switch (type()) {
    case Type::kBool:
        return std::get<bool>(v_) ? 1.0 : 0.0;
    case Type::kInteger:
        return static_cast<double>(std::get<std::int64_t>(v_));
    case Type::kReal:
        return std::get<double>(v_);
    default:
        return fallback;
    }
}

std::string PlistValue::toString(const std::string& fallback) const {
    if (auto s = string())
        return *s;
    return fallback;
}

const PlistValue* PlistValue::find(const std::string& key) const {
    auto d = dict();
    if (!d)
        return nullptr;
    auto it = d->find(key);
    return it == d->end() ? nullptr : &it->second;
}

std::string PlistValue::stringForKey(const std::string& key) const {
    auto v = find(key);
    return v ? v->toString() : std::string();
}

} // namespace tessaly
