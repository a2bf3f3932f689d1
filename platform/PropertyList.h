#pragma once

#include "platform/BinaryPlistReader.h"
#include "platform/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef void* plist_t;

namespace tessaly::plist {

enum class Format { Binary, Xml };

// Largest property-list file we read; bigger files are treated as unreadable.
constexpr std::size_t kMaxFileBytes = 64u << 20;

// Parses a binary or XML property list. None for anything that is not one,
// that is longer than kMaxFileBytes, or that expands beyond the limits (binary
// files share values by reference, so a small one can describe a huge tree;
// see parseBinary). XML is refused before it is parsed when its nesting or
// number of elements is beyond the limits, and after when its text is not UTF-8.
std::optional<PlistValue> parse(const std::uint8_t* bytes, std::size_t length,
                                const ReadLimits& limits = {});
std::optional<PlistValue> parse(const std::vector<std::uint8_t>& bytes,
                                const ReadLimits& limits = {});

// Reads a property-list file (binary or XML). None when missing, unreadable or corrupt.
std::optional<PlistValue> readFile(const std::string& path);

std::optional<std::vector<std::uint8_t>> serialize(const PlistValue& value, Format format);

// Writes through a temporary file, flushed and renamed over the target; a file
// that is there keeps its mode and owner (platform/AtomicFile.h).
bool writeFile(const std::string& path, const PlistValue& value, Format format,
               std::string* error = nullptr);

// Conversion to and from libplist nodes, for code that needs node-level access.
// toNode returns a new tree the caller frees with plist_free.
plist_t toNode(const PlistValue& value);
// Unique ids (keyed-archive references) read as integers. Nesting deeper than
// maxDepth gives none.
std::optional<PlistValue> fromNode(plist_t node, int maxDepth = 256);

// Owns a libplist tree.
class NodeHolder {
public:
    explicit NodeHolder(plist_t n = nullptr) : n_(n) {}
    ~NodeHolder();
    NodeHolder(const NodeHolder&) = delete;
    NodeHolder& operator=(const NodeHolder&) = delete;
    plist_t get() const { return n_; }
    plist_t release() {
        plist_t n = n_;
        n_ = nullptr;
        return n;
    }

private:
    plist_t n_;
};

} // namespace tessaly::plist
