// tessaly-mkdata INPUT OUTPUT
//
// Turns a readable source list into a data file: the list is archived as a
// keyed archive, enciphered with the data-file key and written atomically, so
// the program reads it back with EncryptManager::decryptResourceFile.
//
// The source is either JSON or a property list (XML or binary), chosen by its
// content or its extension. A JSON source is an array of objects (records) or
// of strings (a plain list, such as the risky sites of CV3): integers become
// integers, other numbers reals, strings texts, booleans booleans, and an
// object of the single member {"$data": "<base64>"} stands for bytes. A
// property-list source holds an array of dictionaries or of strings.

#include "model/EncryptManager.h"
#include "model/KeyedArchive.h"
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/TextEncoding.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

using tessaly::Data;
using tessaly::PlistValue;

// A problem with the input, reported as "INPUT: message".
struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string describe(const std::string& where) {
    return where.empty() ? "the list" : where;
}

// Strict base64: standard alphabet, padded, canonical; whitespace is ignored.
std::optional<Data> decodeBase64(std::string_view text) {
    auto sextet = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    Data out;
    unsigned buffer = 0;
    int bits = 0;
    std::size_t symbols = 0, padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = sextet(c);
        if (v < 0 || padding > 0)
            return std::nullopt;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        ++symbols;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFF));
        }
    }
    const bool complete = (symbols % 4 == 0 && padding == 0) ||
                          (symbols % 4 == 3 && padding == 1) || (symbols % 4 == 2 && padding == 2);
    if (!complete || (buffer & ((1u << bits) - 1)) != 0)
        return std::nullopt;
    return out;
}

void checkText(const std::string& text, const std::string& where) {
    if (text.find('\0') != std::string::npos)
        throw SourceError(describe(where) + ": text holds a zero character");
    if (!tessaly::isValidUtf8(text))
        throw SourceError(describe(where) + ": text is not valid UTF-8");
}

PlistValue fromJson(const nlohmann::json& j, const std::string& where) {
    using V = nlohmann::json::value_t;
    switch (j.type()) {
    case V::boolean:
        return PlistValue(j.get<bool>());
    case V::number_integer:
        return PlistValue(static_cast<long long>(j.get<std::int64_t>()));
    case V::number_unsigned: {
        const auto u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            throw SourceError(describe(where) + ": integer " + std::to_string(u) +
                              " does not fit in 64 signed bits");
        return PlistValue(static_cast<long long>(u));
    }
    case V::number_float:
        return PlistValue(j.get<double>());
    case V::string: {
        auto text = j.get<std::string>();
        checkText(text, where);
        return PlistValue(std::move(text));
    }
    case V::array: {
        PlistValue::Array items;
        for (std::size_t i = 0; i < j.size(); ++i)
            items.push_back(fromJson(j[i], where + "[" + std::to_string(i) + "]"));
        return PlistValue(std::move(items));
    }
    case V::object: {
        if (j.contains("$data")) {
            if (j.size() != 1 || !j.at("$data").is_string())
                throw SourceError(describe(where) +
                                  ": a \"$data\" object holds exactly one base64 string");
            auto bytes = decodeBase64(j.at("$data").get_ref<const std::string&>());
            if (!bytes)
                throw SourceError(describe(where) + ": \"$data\" is not valid base64");
            return PlistValue(std::move(*bytes));
        }
        PlistValue::Dict entries;
        for (const auto& [key, value] : j.items()) {
            const std::string at = where + "." + key;
            checkText(key, at);
            entries.emplace(key, fromJson(value, at));
        }
        return PlistValue(std::move(entries));
    }
    case V::null:
        throw SourceError(describe(where) + ": null has no place in a data list");
    default:
        throw SourceError(describe(where) + ": unsupported JSON value");
    }
}

// Property lists may hold what the archive cannot carry exactly; say where.
void checkPlistValue(const PlistValue& v, const std::string& where) {
    if (const auto* s = v.string()) {
        checkText(*s, where);
    } else if (v.isReal() && !std::isfinite(v.toReal())) {
        throw SourceError(describe(where) + ": real is not a finite number");
    } else if (const auto* items = v.array()) {
        for (std::size_t i = 0; i < items->size(); ++i)
            checkPlistValue((*items)[i], where + "[" + std::to_string(i) + "]");
    } else if (const auto* entries = v.dict()) {
        for (const auto& [key, value] : *entries) {
            checkText(key, where + "." + key);
            checkPlistValue(value, where + "." + key);
        }
    }
}

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool looksLikePropertyList(const std::string& path, const Data& bytes) {
    static constexpr std::string_view kBinaryMagic = "bplist";
    if (bytes.size() >= kBinaryMagic.size() &&
        std::equal(kBinaryMagic.begin(), kBinaryMagic.end(), bytes.begin()))
        return true;
    if (endsWith(path, ".json"))
        return false;
    if (endsWith(path, ".plist") || endsWith(path, ".xml"))
        return true;
    // Otherwise by the first character that is not white space (after a UTF-8 BOM).
    std::size_t i =
        bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\n' || bytes[i] == '\r' || bytes[i] == '\t'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

PlistValue readSource(const std::string& path) {
    auto bytes = tessaly::readWholeFile(path, tessaly::plist::kMaxFileBytes);
    if (!bytes)
        throw SourceError("cannot read the file (missing, not a regular file, or larger than " +
                          std::to_string(tessaly::plist::kMaxFileBytes >> 20) + " MB)");

    PlistValue list;
    if (looksLikePropertyList(path, *bytes)) {
        auto parsed = tessaly::plist::parse(*bytes);
        if (!parsed)
            throw SourceError("not a readable property list");
        checkPlistValue(*parsed, "");
        list = std::move(*parsed);
    } else {
        nlohmann::json j;
        try {
            j = nlohmann::json::parse(bytes->begin(), bytes->end());
        } catch (const nlohmann::json::parse_error& e) {
            throw SourceError(std::string("not valid JSON: ") + e.what());
        }
        list = fromJson(j, "");
    }

    const auto* items = list.array();
    if (!items)
        throw SourceError("the top level must be a list (a JSON array or property-list array)");
    // Records or plain texts, one kind throughout.
    const bool texts = !items->empty() && (*items)[0].isString();
    for (std::size_t i = 0; i < items->size(); ++i)
        if (texts ? !(*items)[i].isString() : !(*items)[i].isDict())
            throw SourceError("[" + std::to_string(i) + "]: every entry must be " +
                              (texts ? "a string, as the first is" : "an object"));
    return list;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaly-mkdata INPUT OUTPUT\n"
                             "  INPUT   a list as JSON or as a property list (XML or binary)\n"
                             "  OUTPUT  the enciphered data file to write\n");
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    try {
        const PlistValue list = readSource(input);

        auto enciphered = tessaly::EncryptManager::encryptDataWithArray(list);
        if (!enciphered)
            throw SourceError("the list cannot be archived (a date out of range, or more values, "
                              "nesting or bytes than an archive may hold)");
        // Read it back as the program will, so a bad file never leaves the build.
        auto check = tessaly::EncryptManager::decryptDataWithArray(*enciphered);
        if (!check || !(*check == list))
            throw std::runtime_error("the written archive does not read back as the source list");

        std::string error;
        if (!tessaly::writeFileAtomically(output, enciphered->data(), enciphered->size(), &error)) {
            std::fprintf(stderr, "tessaly-mkdata: %s: %s\n", output.c_str(), error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-mkdata: %s: %s\n", input.c_str(), e.what());
        return 1;
    }
    return 0;
}
