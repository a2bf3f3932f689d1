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

} // namespace dorn
