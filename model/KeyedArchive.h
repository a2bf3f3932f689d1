#pragma once

// Keyed archives: the binary property list the object archiver writes, with
// every object in a flat "$objects" table and references between them as
// unique ids.
//
//   { "$archiver": "NSKeyedArchiver", "$version": 100000,
//     "$top": { "root": UID }, "$objects": [ "$null", ... ] }
//
// Arrays are { "NS.objects": [UID...], "$class": UID }, dictionaries add
// "NS.keys", dates are { "NS.time": seconds since 2001, "$class": UID }; numbers,
// booleans, strings and data sit inline in "$objects". UID 0 ("$null") is none.

#include "platform/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tessaly {

// Bounds on what one archive may expand to. Shared references let a small file
// describe a huge tree, so reading counts every decoded value against these;
// writing applies the same bounds, so whatever we write we can read back.
struct ArchiveLimits {
    // Decoded values, dictionary keys included.
    std::size_t maxNodes = 1'000'000;
    // Nesting of arrays and dictionaries below the root.
    int maxDepth = 128;
    // Bytes of data and length of text, summed over every decoded value. Text
    // counts its UTF-8 bytes when written and its stored characters when read,
    // which are never more.
    std::size_t maxPayloadBytes = 64u << 20;
};

// Writes a value as a keyed archive (binary property list). Equal strings,
// numbers and class descriptions are stored once and referenced wherever they
// occur. None when the value cannot be archived: text that is not valid UTF-8 or
// holds a zero byte, a date out of range, or a value beyond the limits. A None
// root archives as the null reference; a None inside a container as "$null".
std::optional<Data> archiveRootObject(const PlistValue& root, const ArchiveLimits& limits = {});

// Reads a keyed archive written by archiveRootObject or by the platform
// archiver (NSArray, NSMutableArray, NSDictionary, NSMutableDictionary, NSDate,
// NSData, NSMutableData, NSString, NSMutableString). None for anything else:
// not a binary property list, a class we do not know, wrong types, references
// out of range, cycles, or a tree beyond the limits. Never trusts the input.
std::optional<PlistValue> unarchiveObject(const std::uint8_t* bytes, std::size_t length,
                                          const ArchiveLimits& limits = {});
std::optional<PlistValue> unarchiveObject(const Data& bytes, const ArchiveLimits& limits = {});

} // namespace tessaly
