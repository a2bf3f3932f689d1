#pragma once

// Binary property lists ("bplist00"), read in place and on demand.
//
// A binary property list is a flat table of objects; containers hold
// references (indexes into the table), so one object may be used many times
// and a few hundred bytes can describe an enormous tree, or a tree that holds
// itself. The reader therefore never expands anything up front: callers ask
// for one object at a time, and every offset, count and reference is checked
// against the bytes before it is used. parseBinary builds a whole PlistValue,
// but only after counting what the file expands to.

#include "platform/Date.h"
#include "platform/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly::plist {

// What a value expands to when every shared reference is followed each time it
// is used: values, bytes of text and data, and the nesting of its deepest value
// below it. Readers measure this before building anything.
struct ExpansionSize {
    std::size_t values = 0;
    std::size_t payload = 0;
    int levels = 0;
};

// A container's expansion: still being measured (meeting it again is a cycle), or known.
struct MeasuredExpansion {
    bool inProgress = true;
    ExpansionSize size;
};

// a + b, held at the largest value instead of wrapping (for expansion counts).
inline std::size_t saturatingAdd(std::size_t a, std::size_t b) {
    return b > std::numeric_limits<std::size_t>::max() - a ? std::numeric_limits<std::size_t>::max()
                                                           : a + b;
}

// Bounds on what one property list may expand to. Shared references are
// counted every time they are used, so a value used a thousand times counts a
// thousand times.
struct ReadLimits {
    // Decoded values, dictionary keys included.
    std::size_t maxValues = 1'000'000;
    // Nesting below the root: the root is at depth 0, its entries at depth 1.
    // Reading recurses once a level, so this stays in the hundreds.
    int maxDepth = 256;
    // Bytes of data and UTF-8 bytes of text (keys included), summed over every decoded value.
    std::size_t maxPayloadBytes = 64u << 20;
};

class BinaryPlistReader {
public:
    enum class Kind { Null, Bool, Integer, Real, Date, Data, String, Uid, Array, Set, Dict };

    // One object of the table, as read from its marker. Payloads (bytes, text,
    // references) stay in the file; ask the reader for them.
    struct Object {
        Kind kind = Kind::Null;
        bool boolean = false;     // Bool
        std::int64_t integer = 0; // Integer (1, 2 and 4 bytes unsigned, 8 and 16 signed)
        std::uint64_t uid = 0;    // Uid
        double real = 0;          // Real; Date: seconds since 2001-01-01 00:00:00 UTC
        bool utf16 = false;       // String: stored as UTF-16 rather than ASCII
        // Data: bytes; String: characters (UTF-16 units); Array, Set, Dict: entries.
        std::size_t count = 0;
        std::size_t start = 0; // where the payload begins in the file
    };

    // True when the bytes begin with the binary property-list signature.
    static bool hasSignature(const std::uint8_t* bytes, std::size_t length);

    // Checks the signature and trailer and keeps a view of the bytes, which must
    // outlive the reader. False when they are not a binary property list.
    bool open(const std::uint8_t* bytes, std::size_t length);

    std::uint64_t objectCount() const { return count_; }
    std::uint64_t topIndex() const { return top_; }

    // The object at an index of the table; none when the index is out of range
    // or the object is malformed (unknown marker, payload beyond the objects).
    std::optional<Object> object(std::uint64_t index) const;
    std::optional<Object> top() const { return object(top_); }

    // Table indexes of entries by position: the i-th element of an array or a
    // set, the i-th key or value of a dictionary. None when the object is not
    // such a container or i is not below its count.
    std::optional<std::uint64_t> elementIndex(const Object& list, std::size_t i) const;
    std::optional<std::uint64_t> keyIndex(const Object& dict, std::size_t i) const;
    std::optional<std::uint64_t> valueIndex(const Object& dict, std::size_t i) const;

    // The same entries read as objects.
    std::optional<Object> element(const Object& list, std::size_t i) const;
    std::optional<Object> key(const Object& dict, std::size_t i) const;
    std::optional<Object> value(const Object& dict, std::size_t i) const;

    // Text of a string as UTF-8. None for other kinds, bytes above 0x7F in an
    // ASCII string, or unpaired surrogates in a UTF-16 one.
    std::optional<std::string> text(const Object& o) const;
    // Length in bytes of what text() gives, without building it.
    std::optional<std::size_t> textLength(const Object& o) const;
    // Text for comparison with known names: a view of the file for ASCII
    // strings, of scratch for UTF-16 ones.
    std::optional<std::string_view> shortText(const Object& o, std::string& scratch) const;

    // Bytes of a data object; none for other kinds.
    std::optional<Data> data(const Object& o) const;

    // A date object as a Date, clamped to about 250 years either side of 2001
    // (the range Date holds); none for other kinds and for NaN.
    static std::optional<Date> date(const Object& o);

private:
    std::uint64_t readUnsigned(std::size_t pos, unsigned width) const;
    bool readCount(std::size_t off, unsigned info, std::uint64_t& count, std::size_t& start) const;
    // True when count units of the given size from start lie within the objects.
    bool spans(std::size_t start, std::size_t count, std::size_t unit) const;
    std::optional<std::uint64_t> reference(const Object& container, std::size_t slot) const;

    const std::uint8_t* b_ = nullptr;
    std::size_t tableOffset_ = 0; // the objects lie before the offset table
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t top_ = 0;
};

// Reads a whole binary property list into a value: sets read as arrays, UIDs
// as integers, null as None. The file is measured before anything is built;
// none when it is malformed, holds a cycle, has a dictionary key that is not
// text, or expands beyond the limits.
std::optional<PlistValue> parseBinary(const std::uint8_t* bytes, std::size_t length,
                                      const ReadLimits& limits = {});

} // namespace tessaly::plist
