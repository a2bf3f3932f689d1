#include "platform/XmlPlistGuard.h"

#include <algorithm>

namespace tessaly::plist {

namespace {

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return at <= text.size() && text.substr(at, prefix.size()) == prefix;
}

// The first position at or after i where match(position) holds, stepping over
// double-quoted runs as libplist does inside tags, processing instructions and
// document types; npos when there is none or a quote is left open.
template <typename Match>
std::size_t findOutsideQuotes(std::string_view text, std::size_t i, Match&& match) {
    while (i < text.size()) {
        if (text[i] == '"') {
            i = text.find('"', i + 1);
            if (i == std::string_view::npos)
                return i;
        } else if (match(i)) {
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

// Position just past the end of the markup that starts with "<" at i, or npos
// when it does not end. Sets name to the tag name (with its "/" for a closing
// tag) and empty when an element tag ends in "/>"; comments, character data,
// processing instructions and document types give an empty name.
std::size_t skipMarkup(std::string_view text, std::size_t i, std::string_view& name, bool& empty) {
    constexpr auto npos = std::string_view::npos;
    name = {};
    empty = false;
    auto after = [&](std::size_t at, std::size_t length) {
        return at == npos ? npos : at + length;
    };
    if (startsWith(text, i, "<!--"))
        return after(text.find("-->", i + 4), 3);
    if (startsWith(text, i, "<![CDATA["))
        return after(text.find("]]>", i + 9), 3);
    if (startsWith(text, i, "<?"))
        return after(findOutsideQuotes(text, i + 2,
                                       [&](std::size_t k) { return startsWith(text, k, "?>"); }),
                     2);
    if (startsWith(text, i, "<!")) {
        // A document type, perhaps with an internal subset in brackets.
        const std::size_t k = findOutsideQuotes(
            text, i + 2, [&](std::size_t at) { return text[at] == '[' || text[at] == '>'; });
        if (k == npos || text[k] == '>')
            return after(k, 1);
        return after(
            findOutsideQuotes(text, k, [&](std::size_t at) { return startsWith(text, at, "]>"); }),
            2);
    }
    std::size_t k = i + 1;
    while (k < text.size() && std::string_view(" \t\r\n<>").find(text[k]) == std::string_view::npos)
        ++k;
    name = text.substr(i + 1, k - i - 1);
    if (k < text.size() && text[k] != '>')
        k = findOutsideQuotes(text, k,
                              [&](std::size_t at) { return text[at] == '<' || text[at] == '>'; });
    if (k >= text.size() || text[k] != '>')
        return npos; // the parser refuses a tag without its ">"
    empty = text[k - 1] == '/';
    if (empty && k - 1 - (i + 1) < name.size()) // "<array/>": the slash is not part of the name
        name = name.substr(0, k - 1 - (i + 1));
    // libplist compares names as C strings: a zero byte ends them.
    name = name.substr(0, name.find('\0'));
    return k + 1;
}

} // namespace

// libplist builds, converts and frees its trees recursively and allocates every
// node, so XML is measured before it is handed over: arrays and dictionaries
// nested deeper than the limit, or more elements than values allowed, are
// refused. The markup is read the way libplist's parser reads it (comments,
// character data, processing instructions, document types and quoted
// attribute values skipped alike), so the nesting counted here is the nesting
// it would build. Markup it would refuse may be counted either way: the parse
// fails there anyway, before building anything deeper.
bool xmlWithinLimits(std::string_view text, const ReadLimits& limits) {
    const auto maxNesting = static_cast<std::size_t>(limits.maxDepth) + 1; // the root is one
    std::size_t nesting = 0;
    std::size_t elements = 0;
    for (std::size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i)) {
        std::string_view name;
        bool empty = false;
        const std::size_t end = skipMarkup(text, i, name, empty);
        if (end == std::string_view::npos)
            return true; // unterminated: the parser stops there too
        i = end;
        if (name.empty())
            continue;
        if (name == "/array" || name == "/dict") {
            if (nesting > 0)
                --nesting;
        } else if (name.front() != '/') {
            if (++elements > limits.maxValues + 1) // and the <plist> around them
                return false;
            if ((name == "array" || name == "dict") && !empty && ++nesting > maxNesting)
                return false;
        }
    }
    return true;
}

} // namespace tessaly::plist
