#pragma once

// Typed reads of a request's arguments. Each gives none when the argument is
// missing or of another kind, so a command never acts on a value it did not ask for.

#include "platform/PlistValue.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

using tessaly::PlistValue;

// Text without NUL characters (a path holding one would name another file to the
// system than the one that was checked).
std::optional<std::string> stringAt(const PlistValue::Array& args, std::size_t i);
std::optional<bool> boolAt(const PlistValue::Array& args, std::size_t i);
const PlistValue::Data* dataAt(const PlistValue::Array& args, std::size_t i);
const PlistValue::Dict* dictAt(const PlistValue::Array& args, std::size_t i);
// A list whose every element is such text.
std::optional<std::vector<std::string>> stringListAt(const PlistValue::Array& args, std::size_t i);

// A path: text as above, or the raw bytes of a name that is not UTF-8 (which a
// property-list string cannot carry), as data (protocol::pathValue); never
// holding a NUL byte.
std::optional<std::string> pathAt(const PlistValue::Array& args, std::size_t i);
// A list whose every element is such a path.
std::optional<std::vector<std::string>> pathListAt(const PlistValue::Array& args, std::size_t i);

} // namespace dorn
