#pragma once

// A bounded reader of binary property lists ("bplist00") for the messages the
// service receives. A binary property list is a table of objects whose
// containers refer to other objects by index, so a few hundred bytes can
// describe a tree of billions of values or one that contains itself. The reader
// first measures what the message expands to (each object once, shared objects
// counted every time they are used) and builds nothing unless the expansion is
// within the limits; every offset, count and reference is checked against the
// bytes before it is used.

#include <cstddef>
#include <cstdint>
#include <plist/plist.h>

namespace dorn {

struct DecodeLimits {
    std::size_t maxValues = 1'000'000;       // decoded values, dictionary keys included
    std::size_t maxPayloadBytes = 32u << 20; // bytes of text and data over all values
    int maxDepth = 32;                       // nesting below the top value
};

// A new libplist tree (freed by the caller with plist_free), or nullptr when the
// bytes are not a well-formed binary property list within the limits. Sets are
// read as arrays; null values, text holding a NUL character and dictionary keys
// that are not text are refused.
plist_t decodeBinaryPlist(const std::uint8_t* bytes, std::size_t length,
                          const DecodeLimits& limits = {});

} // namespace dorn
