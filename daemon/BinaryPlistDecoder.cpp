#include "daemon/BinaryPlistDecoder.h"

#include "daemon/PlistNode.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kTrailerBytes = 32;

enum class Kind { Bool, Integer, Real, Date, Data, Ascii, Utf16, Uid, Array, Dict };

struct Object {
    Kind kind = Kind::Bool;
    bool boolean = false;
    std::uint64_t number = 0; // Integer bits, Uid
    double real = 0;          // Real, Date
    std::size_t count = 0;    // bytes (Data, Ascii), units (Utf16), entries (Array, Dict)
    std::size_t start = 0;    // payload position
};

struct Size {
    std::size_t values = 0;
    std::size_t payload = 0;
    int height = 0; // levels of nesting below the value
};

std::size_t addCapped(std::size_t a, std::size_t b) {
    return b > std::numeric_limits<std::size_t>::max() - a ? std::numeric_limits<std::size_t>::max()
                                                           : a + b;
}

class Decoder {
public:
    Decoder(const std::uint8_t* b, std::size_t n, const DecodeLimits& limits)
        : b_(b), n_(n), limits_(limits) {}

    plist_t run() {
        if (!b_ || n_ < kHeaderBytes + 1 + kTrailerBytes || std::memcmp(b_, "bplist00", 8) != 0)
            return nullptr;
        const std::uint8_t* t = b_ + n_ - kTrailerBytes;
        offsetSize_ = t[6];
        refSize_ = t[7];
        std::uint64_t count = readBig(t + 8, 8);
        std::uint64_t top = readBig(t + 16, 8);
        std::uint64_t table = readBig(t + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return nullptr;
        std::size_t tableEnd = n_ - kTrailerBytes;
        if (table < kHeaderBytes + 1 || table >= tableEnd || count == 0 ||
            count > (tableEnd - table) / offsetSize_ || top >= count)
            return nullptr;
        table_ = static_cast<std::size_t>(table);
        count_ = static_cast<std::size_t>(count);
        state_.assign(count_, 0);
        sizes_.assign(count_, Size{});
        Size total;
        if (!measure(static_cast<std::size_t>(top), 0, total))
            return nullptr;
        return build(static_cast<std::size_t>(top));
    }

private:
    static std::uint64_t readBig(const std::uint8_t* p, unsigned width) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < width; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    // True when [start, start + count * unit) lies among the objects.
    bool spans(std::size_t start, std::size_t count, std::size_t unit) const {
        if (start > table_)
            return false;
        return count <= (table_ - start) / unit;
    }

    std::optional<std::size_t> offsetOf(std::size_t index) const {
        if (index >= count_)
            return std::nullopt;
        std::uint64_t off = readBig(b_ + table_ + index * offsetSize_, offsetSize_);
        if (off < kHeaderBytes || off >= table_)
            return std::nullopt;
        return static_cast<std::size_t>(off);
    }

    // Count of a variable-length object: the low nibble, or an integer object after the marker.
    bool readCount(std::size_t off, unsigned info, std::size_t& count, std::size_t& start) const {
        if (info != 0xF) {
            count = info;
            start = off + 1;
            return true;
        }
        if (!spans(off + 1, 1, 1))
            return false;
        std::uint8_t marker = b_[off + 1];
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
            return false;
        unsigned width = 1u << (marker & 0xF);
        if (!spans(off + 2, width, 1))
            return false;
        std::uint64_t v = readBig(b_ + off + 2, width);
        if (v > std::numeric_limits<std::size_t>::max() / 4)
            return false;
        count = static_cast<std::size_t>(v);
        start = off + 2 + width;
        return true;
    }

    std::optional<Object> object(std::size_t index) const {
        auto off = offsetOf(index);
        if (!off)
            return std::nullopt;
        std::uint8_t marker = b_[*off];
        unsigned type = marker >> 4;
        unsigned info = marker & 0xF;
        Object o;
        switch (type) {
        case 0x0:
            if (info != 0x8 && info != 0x9)
                return std::nullopt; // null and fill are not values we accept
            o.kind = Kind::Bool;
            o.boolean = info == 0x9;
            return o;
        case 0x1: {
            if (info > 4)
                return std::nullopt;
            unsigned width = 1u << info;
            if (!spans(*off + 1, width, 1))
                return std::nullopt;
            o.kind = Kind::Integer;
            // Sixteen-byte integers keep their low eight bytes.
            o.number = width == 16 ? readBig(b_ + *off + 9, 8) : readBig(b_ + *off + 1, width);
            return o;
        }
        case 0x2:
        case 0x3: {
            unsigned width = type == 0x3 ? 8 : (1u << info);
            if ((type == 0x3 && info != 3) || (width != 4 && width != 8) ||
                !spans(*off + 1, width, 1))
                return std::nullopt;
            std::uint64_t bits = readBig(b_ + *off + 1, width);
            o.kind = type == 0x3 ? Kind::Date : Kind::Real;
            o.real = width == 4 ? double(std::bit_cast<float>(static_cast<std::uint32_t>(bits)))
                                : std::bit_cast<double>(bits);
            return o;
        }
        case 0x4:
        case 0x5:
        case 0x6: {
            if (!readCount(*off, info, o.count, o.start) ||
                !spans(o.start, o.count, type == 0x6 ? 2 : 1))
                return std::nullopt;
            o.kind = type == 0x4 ? Kind::Data : type == 0x5 ? Kind::Ascii : Kind::Utf16;
            return o;
        }
        case 0x8: {
            unsigned width = info + 1;
            if (width > 8 || !spans(*off + 1, width, 1))
                return std::nullopt;
            o.kind = Kind::Uid;
            o.number = readBig(b_ + *off + 1, width);
            return o;
        }
        case 0xA:
        case 0xC:
        case 0xD: {
            if (!readCount(*off, info, o.count, o.start))
                return std::nullopt;
            std::size_t refs = o.count;
            if (type == 0xD) {
                if (refs > std::numeric_limits<std::size_t>::max() / 2)
                    return std::nullopt;
                refs *= 2;
            }
            if (!spans(o.start, refs, refSize_))
                return std::nullopt;
            o.kind = type == 0xD ? Kind::Dict : Kind::Array;
            return o;
        }
        default:
            return std::nullopt;
        }
    }

    // The table index held in slot i of a container's references.
    std::optional<std::size_t> reference(const Object& o, std::size_t slot) const {
        std::uint64_t r = readBig(b_ + o.start + slot * refSize_, refSize_);
        if (r >= count_)
            return std::nullopt;
        return static_cast<std::size_t>(r);
    }

    // Adds the expansion of the object at index to total; false when it is
    // malformed, holds itself or goes beyond the limits.
    bool measure(std::size_t index, int depth, Size& total) {
        if (depth > limits_.maxDepth)
            return false;
        if (state_[index] == 1)
            return false; // a container that holds itself
        if (state_[index] == 0) {
            auto o = object(index);
            if (!o)
                return false;
            Size s;
            s.values = 1;
            if (o->kind == Kind::Data || o->kind == Kind::Ascii || o->kind == Kind::Utf16)
                s.payload = o->kind == Kind::Utf16 ? o->count * 3 : o->count;
            if (o->kind == Kind::Array || o->kind == Kind::Dict) {
                state_[index] = 1;
                std::size_t slots = o->kind == Kind::Dict ? o->count * 2 : o->count;
                for (std::size_t i = 0; i < slots; ++i) {
                    auto r = reference(*o, i);
                    if (!r || !measure(*r, depth + 1, s))
                        return false;
                    s.height = std::max(s.height, sizes_[*r].height + 1);
                }
            }
            sizes_[index] = s;
            state_[index] = 2;
        }
        // A shared value is measured once, at its first use; every later use
        // checks its height again, so that no path is deeper than the limit.
        if (depth + sizes_[index].height > limits_.maxDepth)
            return false;
        total.values = addCapped(total.values, sizes_[index].values);
        total.payload = addCapped(total.payload, sizes_[index].payload);
        return total.values <= limits_.maxValues && total.payload <= limits_.maxPayloadBytes;
    }

    static void appendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::optional<std::string> text(const Object& o) const {
        std::string out;
        if (o.kind == Kind::Ascii) {
            for (std::size_t i = 0; i < o.count; ++i) {
                std::uint8_t c = b_[o.start + i];
                if (c == 0 || c > 0x7F)
                    return std::nullopt;
                out += static_cast<char>(c);
            }
            return out;
        }
        if (o.kind != Kind::Utf16)
            return std::nullopt;
        for (std::size_t i = 0; i < o.count; ++i) {
            std::uint32_t u = static_cast<std::uint32_t>(readBig(b_ + o.start + 2 * i, 2));
            if (u == 0 || (u >= 0xDC00 && u <= 0xDFFF))
                return std::nullopt;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 1 >= o.count)
                    return std::nullopt;
                std::uint32_t low =
                    static_cast<std::uint32_t>(readBig(b_ + o.start + 2 * (i + 1), 2));
                if (low < 0xDC00 || low > 0xDFFF)
                    return std::nullopt;
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
            appendUtf8(out, u);
        }
        return out;
    }

    static std::int32_t clampSeconds(double seconds) {
        if (!(seconds == seconds))
            return 0;
        if (seconds >= 2147483647.0)
            return std::numeric_limits<std::int32_t>::max();
        if (seconds <= -2147483648.0)
            return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(seconds);
    }

    plist_t build(std::size_t index) const {
        auto o = object(index);
        if (!o)
            return nullptr;
        switch (o->kind) {
        case Kind::Bool:
            return plist_new_bool(o->boolean ? 1 : 0);
        case Kind::Integer:
            return plist_new_uint(o->number);
        case Kind::Real:
            return plist_new_real(o->real);
        case Kind::Date: {
            std::int32_t sec = clampSeconds(o->real);
            double frac = o->real - sec;
            auto usec = static_cast<std::int32_t>(frac > -1 && frac < 1 ? frac * 1e6 : 0);
            return plist_new_date(sec, usec);
        }
        case Kind::Data:
            return plist_new_data(reinterpret_cast<const char*>(b_ + o->start), o->count);
        case Kind::Ascii:
        case Kind::Utf16: {
            auto s = text(*o);
            return s ? plist_new_string(s->c_str()) : nullptr;
        }
        case Kind::Uid:
            return plist_new_uid(o->number);
        case Kind::Array: {
            PlistNode array(plist_new_array());
            for (std::size_t i = 0; i < o->count; ++i) {
                auto r = reference(*o, i);
                plist_t item = r ? build(*r) : nullptr;
                if (!item)
                    return nullptr;
                plist_array_append_item(array.get(), item);
            }
            return array.release();
        }
        case Kind::Dict: {
            PlistNode dict(plist_new_dict());
            for (std::size_t i = 0; i < o->count; ++i) {
                auto k = reference(*o, i);
                auto v = reference(*o, o->count + i);
                auto keyObject = k ? object(*k) : std::nullopt;
                auto key = keyObject ? text(*keyObject) : std::nullopt;
                if (!key || !v)
                    return nullptr;
                plist_t value = build(*v);
                if (!value)
                    return nullptr;
                plist_dict_set_item(dict.get(), key->c_str(), value);
            }
            return dict.release();
        }
        }
        return nullptr;
    }

    const std::uint8_t* b_;
    std::size_t n_;
    DecodeLimits limits_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::size_t table_ = 0;
    std::size_t count_ = 0;
    std::vector<std::uint8_t> state_; // 0 not measured, 1 being measured, 2 measured
    std::vector<Size> sizes_;
};

} // namespace

plist_t decodeBinaryPlist(const std::uint8_t* bytes, std::size_t length,
                          const DecodeLimits& limits) {
    return Decoder(bytes, length, limits).run();
}

} // namespace dorn
