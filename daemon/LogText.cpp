#include "daemon/LogText.h"

#include "platform/Log.h"

#include <cstdio>

namespace dorn {

namespace {

// Control characters always; backslashes and quotes only inside quotes, where
// they would otherwise make the quoted text ambiguous.
std::string escape(const std::string& text, bool quotes) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\\':
            out += quotes ? "\\\\" : "\\";
            continue;
        case '"':
            out += quotes ? "\\\"" : "\"";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace

std::string escapedForLog(const std::string& text) {
    return escape(text, false);
}

std::string quoted(const std::string& text) {
    return "\"" + escape(text, true) + "\"";
}

void logLine(const std::string& text) {
    tessaly::log::line(escapedForLog(text));
}

} // namespace dorn
