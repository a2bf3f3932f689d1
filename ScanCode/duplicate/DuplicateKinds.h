#pragma once

#include <cstdint>
#include <string>

namespace tessaly::dupkind {

// The categories of the duplicate scan; the number selects name, icon and bucket.
enum : std::int32_t { Media = 0, Picture = 1, Document = 2, Archive = 3, Package = 4, Other = 5 };
inline constexpr int kCount = 6;

// Name, icon and large icon of a category; empty outside 0 to 5.
std::string moduleStr(std::int64_t kind);
std::string imageWithModule(std::int64_t kind);
std::string image140WithModule(std::int64_t kind);

// The type identifier of a file and type conformance, from the shared type table
// (model/FileTypes.h).
std::string fileUTI(const std::string& path);
bool conformsTo(const std::string& type, const std::string& parent);

// The category of a type identifier: image 1, audiovisual content 0, other
// content 2, archive 3, anything else 5 (tested in that order).
std::int32_t fileType(const std::string& type);

} // namespace tessaly::dupkind
