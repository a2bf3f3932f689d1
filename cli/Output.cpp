#include "cli/Output.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <openssl/evp.h>
#include <vector>

namespace tessaly::cli {

namespace {

// The length of the valid UTF-8 sequence at text[i], or 0 when none starts there.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t n = c >= 0xc2 && c <= 0xdf   ? 2
                    : c >= 0xe0 && c <= 0xef ? 3
                    : c >= 0xf0 && c <= 0xf4 ? 4
                                             : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xc0) != 0x80)
            return 0;
    const unsigned char d = byte(i + 1);
    if ((c == 0xe0 && d < 0xa0) || (c == 0xed && d > 0x9f) || (c == 0xf0 && d < 0x90) ||
        (c == 0xf4 && d > 0x8f))
        return 0; // overlong, surrogate or beyond U+10FFFF
    return n;
}

std::string replacingInvalid(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = sequenceLength(text, i);
        if (n == 0) {
            out += "\xef\xbf\xbd";
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string base64(const std::string& bytes) {
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
}

bool isInvalidText(const nlohmann::json& v) {
    return v.is_string() && !isValidUtf8(v.get_ref<const std::string&>());
}

} // namespace

bool isValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = sequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

nlohmann::json losslessText(const nlohmann::json& value) {
    if (isInvalidText(value))
        return replacingInvalid(value.get_ref<const std::string&>());
    if (value.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& v : value)
            out.push_back(losslessText(v));
        return out;
    }
    if (!value.is_object())
        return value;
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [key, v] : value.items()) {
        const std::string& k = key; // member names come from the program, never from files
        out[k] = losslessText(v);
        if (isInvalidText(v)) {
            out[k + "Bytes"] = base64(v.get_ref<const std::string&>());
        } else if (v.is_array() && std::any_of(v.begin(), v.end(), isInvalidText)) {
            nlohmann::json bytes = nlohmann::json::array();
            for (const auto& e : v)
                bytes.push_back(isInvalidText(e) ? nlohmann::json(base64(e.get<std::string>()))
                                                 : nlohmann::json(nullptr));
            out[k + "Bytes"] = bytes;
        }
    }
    return out;
}

CLI::Option* addJsonFlag(CLI::App& command, bool& json) {
    return command.add_flag("--json", json, "print the result as JSON on standard output");
}

void printJson(const nlohmann::json& value, std::ostream& out) {
    out << losslessText(value).dump(2) << "\n";
    out.flush();
}

nlohmann::json jsonDate(const std::optional<Date>& date) {
    if (!date)
        return nullptr;
    auto seconds = static_cast<std::time_t>(unixSeconds(*date));
    std::tm tm{};
    ::gmtime_r(&seconds, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(buf);
}

std::string shown(const std::string& text) {
    // A control character (C0, DEL, or C1 as U+0080-U+009F) or an invalid byte at i.
    auto unsafeAt = [&text](std::size_t i, std::size_t n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        return n == 0 || c < 0x20 || c == 0x7f ||
               (n == 2 && c == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0);
    };
    bool plain = true;
    for (std::size_t i = 0; i < text.size() && plain;) {
        std::size_t n = sequenceLength(text, i);
        plain = !unsafeAt(i, n);
        i += n;
    }
    if (plain)
        return text;
    std::string out = "$'";
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = sequenceLength(text, i);
        if (!unsafeAt(i, n)) {
            if (text[i] == '\'' || text[i] == '\\')
                out += '\\';
            out.append(text, i, n);
            i += n;
            continue;
        }
        for (std::size_t end = i + (n ? n : 1); i < end; ++i) {
            const unsigned char b = static_cast<unsigned char>(text[i]);
            if (b == '\n')
                out += "\\n";
            else if (b == '\t')
                out += "\\t";
            else if (b == '\r')
                out += "\\r";
            else if (b == 0x1b)
                out += "\\e";
            else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", b);
                out += hex;
            }
        }
    }
    return out + "'";
}

} // namespace tessaly::cli
