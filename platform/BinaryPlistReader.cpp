#include "platform/BinaryPlistReader.h"

#include "platform/TextEncoding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

namespace tessaly::plist {

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kTrailerBytes = 32;

// Dates live in a nanosecond clock; further than this from 2001 they are clamped.
constexpr double kMaxDateSeconds = 8.0e9;

bool isHighSurrogate(std::uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

bool BinaryPlistReader::hasSignature(const std::uint8_t* bytes, std::size_t length) {
    return bytes && length >= kHeaderBytes && std::memcmp(bytes, "bplist00", kHeaderBytes) == 0;
}

bool BinaryPlistReader::open(const std::uint8_t* bytes, std::size_t length) {
    *this = BinaryPlistReader();
    if (!hasSignature(bytes, length) || length < kHeaderBytes + 1 + kTrailerBytes)
        return false;
    b_ = bytes;
    const std::size_t t = length - kTrailerBytes;
    const unsigned offsetSize = bytes[t + 6];
    const unsigned refSize = bytes[t + 7];
    const std::uint64_t count = readUnsigned(t + 8, 8);
    const std::uint64_t top = readUnsigned(t + 16, 8);
    const std::uint64_t table = readUnsigned(t + 24, 8);
    b_ = nullptr;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
        return false;
    if (count == 0 || top >= count)
        return false;
    // The offset table lies between the objects and the trailer; dividing
    // rather than multiplying keeps a huge count from wrapping around.
    if (table < kHeaderBytes + 1 || table > t || count > (t - table) / offsetSize)
        return false;
    b_ = bytes;
    tableOffset_ = static_cast<std::size_t>(table);
    offsetSize_ = offsetSize;
    refSize_ = refSize;
    count_ = count;
    top_ = top;
    return true;
}

std::uint64_t BinaryPlistReader::readUnsigned(std::size_t pos, unsigned width) const {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | b_[pos + i];
    return v;
}

bool BinaryPlistReader::spans(std::size_t start, std::size_t count, std::size_t unit) const {
    return b_ && start >= kHeaderBytes && start <= tableOffset_ &&
           count <= (tableOffset_ - start) / unit;
}

// Object lengths up to 14 sit in the marker; 15 means an integer object follows.
bool BinaryPlistReader::readCount(std::size_t off, unsigned info, std::uint64_t& count,
                                  std::size_t& start) const {
    if (info != 0x0F) {
        count = info;
        start = off + 1;
        return true;
    }
    const std::size_t p = off + 1;
    if (p >= tableOffset_ || (b_[p] >> 4) != 0x1 || (b_[p] & 0x0F) > 3)
        return false;
    const std::size_t width = std::size_t{1} << (b_[p] & 0x0F);
    if (width > tableOffset_ - p - 1)
        return false;
    count = readUnsigned(p + 1, static_cast<unsigned>(width));
    start = p + 1 + width;
    return true;
}

std::optional<BinaryPlistReader::Object> BinaryPlistReader::object(std::uint64_t index) const {
    if (!b_ || index >= count_)
        return std::nullopt;
    // index < count_ <= (trailer - table) / offsetSize_: the product stays inside the table.
    const std::uint64_t off64 =
        readUnsigned(tableOffset_ + static_cast<std::size_t>(index) * offsetSize_, offsetSize_);
    if (off64 < kHeaderBytes || off64 >= tableOffset_)
        return std::nullopt;
    const auto off = static_cast<std::size_t>(off64);
    const std::size_t end = tableOffset_;
    const unsigned type = b_[off] >> 4;
    const unsigned info = b_[off] & 0x0F;
    auto fits = [&](std::size_t pos, std::size_t n) { return pos <= end && n <= end - pos; };

    Object o;
    switch (type) {
    case 0x0:
        if (info == 0x0)
            return o;
        if (info == 0x8 || info == 0x9) {
            o.kind = Kind::Bool;
            o.boolean = info == 0x9;
            return o;
        }
        return std::nullopt;
    case 0x1: {
        if (info > 4)
            return std::nullopt;
        const std::size_t width = std::size_t{1} << info;
        if (!fits(off + 1, width))
            return std::nullopt;
        std::uint64_t value = 0;
        if (width == 16) {
            // 128-bit: accepted when it is a 64-bit value, sign- or zero-extended.
            // Writers store unsigned values above the signed range this way, with
            // a zero high half; they read back as the same 64 bits.
            const std::uint64_t high = readUnsigned(off + 1, 8);
            value = readUnsigned(off + 9, 8);
            const bool negative = (value >> 63) != 0;
            if (high != 0 && !(high == ~std::uint64_t{0} && negative))
                return std::nullopt;
        } else {
            // 1, 2 and 4 bytes are unsigned; 8 bytes are two's complement.
            value = readUnsigned(off + 1, static_cast<unsigned>(width));
        }
        o.kind = Kind::Integer;
        o.integer = static_cast<std::int64_t>(value);
        return o;
    }
    case 0x2:
    case 0x3: {
        const bool isDate = type == 0x3;
        if (info == 2 && !isDate) {
            if (!fits(off + 1, 4))
                return std::nullopt;
            o.real = std::bit_cast<float>(static_cast<std::uint32_t>(readUnsigned(off + 1, 4)));
        } else if (info == 3) {
            if (!fits(off + 1, 8))
                return std::nullopt;
            o.real = std::bit_cast<double>(readUnsigned(off + 1, 8));
        } else {
            return std::nullopt;
        }
        o.kind = isDate ? Kind::Date : Kind::Real;
        return o;
    }
    case 0x8: {
        const std::size_t width = info + 1;
        if (width > 8 || !fits(off + 1, width))
            return std::nullopt;
        o.kind = Kind::Uid;
        o.uid = readUnsigned(off + 1, static_cast<unsigned>(width));
        return o;
    }
    case 0x4:
    case 0x5:
    case 0x6:
    case 0xA:
    case 0xC:
    case 0xD: {
        std::uint64_t count = 0;
        std::size_t start = 0;
        if (!readCount(off, info, count, start))
            return std::nullopt;
        std::size_t unit = 1;
        switch (type) {
        case 0x4:
            o.kind = Kind::Data;
            break;
        case 0x5:
            o.kind = Kind::String;
            break;
        case 0x6:
            o.kind = Kind::String;
            o.utf16 = true;
            unit = 2;
            break;
        case 0xA:
            o.kind = Kind::Array;
            unit = refSize_;
            break;
        case 0xC:
            o.kind = Kind::Set;
            unit = refSize_;
            break;
        default:
            o.kind = Kind::Dict;
            unit = 2 * std::size_t{refSize_};
            break;
        }
        if (start > end || count > (end - start) / unit)
            return std::nullopt;
        o.start = start;
        o.count = static_cast<std::size_t>(count);
        return o;
    }
    default:
        return std::nullopt;
    }
}

// Slot i of a container's reference list: for a dictionary the keys come
// first (slot < count), then the values (count <= slot < 2 count).
std::optional<std::uint64_t> BinaryPlistReader::reference(const Object& container,
                                                          std::size_t slot) const {
    const std::size_t slots = container.kind == Kind::Dict ? 2 : 1;
    if (!spans(container.start, container.count, slots * refSize_) ||
        slot >= slots * container.count)
        return std::nullopt;
    return readUnsigned(container.start + slot * refSize_, refSize_);
}

std::optional<std::uint64_t> BinaryPlistReader::elementIndex(const Object& list,
                                                             std::size_t i) const {
    if (list.kind != Kind::Array && list.kind != Kind::Set)
        return std::nullopt;
    return reference(list, i);
}

std::optional<std::uint64_t> BinaryPlistReader::keyIndex(const Object& dict, std::size_t i) const {
    if (dict.kind != Kind::Dict || i >= dict.count)
        return std::nullopt;
    return reference(dict, i);
}

std::optional<std::uint64_t> BinaryPlistReader::valueIndex(const Object& dict,
                                                           std::size_t i) const {
    if (dict.kind != Kind::Dict || i >= dict.count)
        return std::nullopt;
    return reference(dict, dict.count + i);
}

std::optional<BinaryPlistReader::Object> BinaryPlistReader::element(const Object& list,
                                                                    std::size_t i) const {
    auto index = elementIndex(list, i);
    return index ? object(*index) : std::nullopt;
}

std::optional<BinaryPlistReader::Object> BinaryPlistReader::key(const Object& dict,
                                                                std::size_t i) const {
    auto index = keyIndex(dict, i);
    return index ? object(*index) : std::nullopt;
}

std::optional<BinaryPlistReader::Object> BinaryPlistReader::value(const Object& dict,
                                                                  std::size_t i) const {
    auto index = valueIndex(dict, i);
    return index ? object(*index) : std::nullopt;
}

std::optional<std::size_t> BinaryPlistReader::textLength(const Object& o) const {
    if (o.kind != Kind::String || !spans(o.start, o.count, o.utf16 ? 2 : 1))
        return std::nullopt;
    const std::uint8_t* p = b_ + o.start;
    if (!o.utf16) {
        if (std::any_of(p, p + o.count, [](std::uint8_t c) { return c >= 0x80; }))
            return std::nullopt;
        return o.count;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < o.count; ++i) {
        const auto u = static_cast<std::uint32_t>(readUnsigned(o.start + 2 * i, 2));
        if (isHighSurrogate(u)) {
            if (i + 1 >= o.count ||
                !isLowSurrogate(static_cast<std::uint32_t>(readUnsigned(o.start + 2 * i + 2, 2))))
                return std::nullopt;
            length += 4;
            ++i;
        } else if (isLowSurrogate(u)) {
            return std::nullopt;
        } else {
            length += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return length;
}

std::optional<std::string> BinaryPlistReader::text(const Object& o) const {
    auto length = textLength(o);
    if (!length)
        return std::nullopt;
    if (!o.utf16)
        return std::string(reinterpret_cast<const char*>(b_ + o.start), o.count);
    // textLength checked the pairing of every surrogate.
    std::string out;
    out.reserve(*length);
    for (std::size_t i = 0; i < o.count; ++i) {
        auto cp = static_cast<char32_t>(readUnsigned(o.start + 2 * i, 2));
        if (isHighSurrogate(cp)) {
            const auto low = static_cast<char32_t>(readUnsigned(o.start + 2 * i + 2, 2));
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::optional<std::string_view> BinaryPlistReader::shortText(const Object& o,
                                                             std::string& scratch) const {
    if (o.kind == Kind::String && !o.utf16) {
        if (!textLength(o))
            return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(b_ + o.start), o.count);
    }
    auto decoded = text(o);
    if (!decoded)
        return std::nullopt;
    scratch = std::move(*decoded);
    return std::string_view(scratch);
}

std::optional<Data> BinaryPlistReader::data(const Object& o) const {
    if (o.kind != Kind::Data || !spans(o.start, o.count, 1))
        return std::nullopt;
    return Data(b_ + o.start, b_ + o.start + o.count);
}

std::optional<Date> BinaryPlistReader::date(const Object& o) {
    if (o.kind != Kind::Date || std::isnan(o.real))
        return std::nullopt;
    return dateFromReferenceSeconds(std::clamp(o.real, -kMaxDateSeconds, kMaxDateSeconds));
}

// ---------------------------------------------------------------------------
// Whole-file conversion, in two walks over the references from the top
// object. The first only measures what the top object expands to: values and
// bytes of text and data, shared references counted every time they are used,
// and the depth of the deepest value. Each container is read once and its
// totals remembered, so a few hundred bytes describing 2^40 values are
// refused after a few hundred steps; a container met again while it is still
// being measured is a cycle. The second walk builds the value, which is then
// known to fit the limits.

namespace {

using Kind = BinaryPlistReader::Kind;
using Object = BinaryPlistReader::Object;

class Converter {
public:
    Converter(const BinaryPlistReader& reader, const ReadLimits& limits)
        : r_(reader), limits_(limits) {}

    std::optional<PlistValue> run() {
        if (limits_.maxDepth < 0 || !measure(r_.topIndex(), 0))
            return std::nullopt;
        return build(r_.topIndex());
    }

private:
    using Size = ExpansionSize;
    using Measured = MeasuredExpansion;

    bool fits(const Size& s) const {
        return s.values <= limits_.maxValues && s.payload <= limits_.maxPayloadBytes;
    }

    static void add(Size& total, const Size& part) {
        total.values = saturatingAdd(total.values, part.values);
        total.payload = saturatingAdd(total.payload, part.payload);
        total.levels = std::max(total.levels, part.levels + 1);
    }

    std::optional<Size> leaf(const Object& o) const {
        switch (o.kind) {
        case Kind::Null:
        case Kind::Bool:
        case Kind::Integer:
        case Kind::Real:
        case Kind::Uid:
            return Size{1, 0, 0};
        case Kind::Date:
            if (std::isnan(o.real))
                return std::nullopt;
            return Size{1, 0, 0};
        case Kind::Data:
            return Size{1, o.count, 0};
        case Kind::String: {
            auto length = r_.textLength(o);
            if (!length)
                return std::nullopt;
            return Size{1, *length, 0};
        }
        default:
            return std::nullopt;
        }
    }

    std::optional<Size> measure(std::uint64_t index, int depth) {
        auto o = r_.object(index);
        if (!o)
            return std::nullopt;
        const bool container =
            o->kind == Kind::Array || o->kind == Kind::Set || o->kind == Kind::Dict;
        // Long texts are remembered too: a shared one is read once, not once a use.
        const bool remembered = container || (o->kind == Kind::String && o->count > 16);
        if (auto it = remembered ? measured_.find(index) : measured_.end(); it != measured_.end()) {
            if (it->second.inProgress ||
                static_cast<long long>(depth) + it->second.size.levels > limits_.maxDepth)
                return std::nullopt;
            return it->second.size;
        }
        if (!container) {
            auto size = leaf(*o);
            if (!size || !fits(*size))
                return std::nullopt;
            if (remembered)
                measured_.emplace(index, Measured{false, *size});
            return size;
        }
        // Entries sit one level down.
        if (o->count > 0 && depth >= limits_.maxDepth)
            return std::nullopt;
        measured_.emplace(index, Measured{});
        Size total{1, 0, 0};
        const bool isDict = o->kind == Kind::Dict;
        for (std::size_t i = 0; i < o->count; ++i) {
            if (isDict) {
                auto key = r_.key(*o, i);
                auto size = key && key->kind == Kind::String ? leaf(*key) : std::nullopt;
                if (!size)
                    return std::nullopt;
                add(total, *size);
            }
            auto child = isDict ? r_.valueIndex(*o, i) : r_.elementIndex(*o, i);
            auto size = child ? measure(*child, depth + 1) : std::nullopt;
            if (!size)
                return std::nullopt;
            add(total, *size);
            if (!fits(total))
                return std::nullopt;
        }
        measured_[index] = Measured{false, total};
        return total;
    }

    // Only runs on what measure accepted, so every read here succeeds; the
    // checks remain so that a broken promise gives none rather than a bad read.
    std::optional<PlistValue> build(std::uint64_t index) {
        auto o = r_.object(index);
        if (!o)
            return std::nullopt;
        switch (o->kind) {
        case Kind::Null:
            return PlistValue();
        case Kind::Bool:
            return PlistValue(o->boolean);
        case Kind::Integer:
            return PlistValue(static_cast<long long>(o->integer));
        case Kind::Uid:
            return PlistValue(static_cast<long long>(o->uid & 0x7fffffffffffffffULL));
        case Kind::Real:
            return PlistValue(o->real);
        case Kind::Date: {
            auto d = BinaryPlistReader::date(*o);
            return d ? std::optional<PlistValue>(PlistValue(*d)) : std::nullopt;
        }
        case Kind::Data: {
            auto d = r_.data(*o);
            return d ? std::optional<PlistValue>(PlistValue(std::move(*d))) : std::nullopt;
        }
        case Kind::String: {
            auto s = r_.text(*o);
            return s ? std::optional<PlistValue>(PlistValue(std::move(*s))) : std::nullopt;
        }
        case Kind::Array:
        case Kind::Set: {
            PlistValue::Array out;
            out.reserve(o->count);
            for (std::size_t i = 0; i < o->count; ++i) {
                auto child = r_.elementIndex(*o, i);
                auto v = child ? build(*child) : std::nullopt;
                if (!v)
                    return std::nullopt;
                out.push_back(std::move(*v));
            }
            return PlistValue(std::move(out));
        }
        case Kind::Dict: {
            PlistValue::Dict out;
            for (std::size_t i = 0; i < o->count; ++i) {
                auto key = r_.key(*o, i);
                auto name = key ? r_.text(*key) : std::nullopt;
                auto child = r_.valueIndex(*o, i);
                auto v = name && child ? build(*child) : std::nullopt;
                if (!v)
                    return std::nullopt;
                out.insert_or_assign(std::move(*name), std::move(*v));
            }
            return PlistValue(std::move(out));
        }
        }
        return std::nullopt;
    }

    const BinaryPlistReader& r_;
    const ReadLimits& limits_;
    std::unordered_map<std::uint64_t, Measured> measured_; // containers, by table index
};

} // namespace

std::optional<PlistValue> parseBinary(const std::uint8_t* bytes, std::size_t length,
                                      const ReadLimits& limits) {
    BinaryPlistReader reader;
    if (!reader.open(bytes, length))
        return std::nullopt;
    return Converter(reader, limits).run();
}

} // namespace tessaly::plist
