#pragma once

#include "platform/Date.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tessaly {

// A property-list value: what the defaults store, the data files and the
// bundles' Info.plist files hold.
class PlistValue {
public:
    using Array = std::vector<PlistValue>;
    using Dict = std::map<std::string, PlistValue>;
    using Data = std::vector<std::uint8_t>;

    enum class Type { kNone, kBool, kInteger, kReal, kString, kDate, kData, kArray, kDict };

    PlistValue() = default;
    PlistValue(bool b) : v_(b) {}
    PlistValue(int i) : v_(static_cast<std::int64_t>(i)) {}
    PlistValue(long i) : v_(static_cast<std::int64_t>(i)) {}
    PlistValue(long long i) : v_(static_cast<std::int64_t>(i)) {}
    PlistValue(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
    PlistValue(double d) : v_(d) {}
    PlistValue(const char* s) : v_(std::string(s)) {}
    PlistValue(std::string s) : v_(std::move(s)) {}
    PlistValue(tessaly::Date d) : v_(d) {}
    PlistValue(Data d) : v_(std::move(d)) {}
    PlistValue(Array a) : v_(std::move(a)) {}
    PlistValue(Dict d) : v_(std::move(d)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNone() const { return type() == Type::kNone; }
    bool isBool() const { return type() == Type::kBool; }
    bool isInteger() const { return type() == Type::kInteger; }
    bool isReal() const { return type() == Type::kReal; }
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::kString; }
    bool isDate() const { return type() == Type::kDate; }
    bool isData() const { return type() == Type::kData; }
    bool isArray() const { return type() == Type::kArray; }
    bool isDict() const { return type() == Type::kDict; }

    // Typed reads; a number of another kind converts (as NSNumber does),
    // anything else gives the fallback.
    bool toBool(bool fallback = false) const;
    std::int64_t toInteger(std::int64_t fallback = 0) const;
    double toReal(double fallback = 0.0) const;
    std::string toString(const std::string& fallback = {}) const;

    const std::string* string() const { return std::get_if<std::string>(&v_); }
    const tessaly::Date* date() const { return std::get_if<tessaly::Date>(&v_); }
    const Data* data() const { return std::get_if<Data>(&v_); }
    const Array* array() const { return std::get_if<Array>(&v_); }
    const Dict* dict() const { return std::get_if<Dict>(&v_); }
    Array* array() { return std::get_if<Array>(&v_); }
    Dict* dict() { return std::get_if<Dict>(&v_); }

    // Dictionary lookup; none when this is not a dictionary or the key is absent.
    const PlistValue* find(const std::string& key) const;
    // Dictionary text value, empty when absent or not text.
    std::string stringForKey(const std::string& key) const;

    bool operator==(const PlistValue& o) const { return v_ == o.v_; }

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, tessaly::Date, Data,
                 Array, Dict>
        v_;
};

using Data = PlistValue::Data;

} // namespace tessaly
