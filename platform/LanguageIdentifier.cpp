#include "platform/LanguageIdentifier.h"

#include "platform/TextCase.h"

#include <cctype>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaly::language {

namespace {

// Language names (lower case) to codes: the English names the language table
// uses and the old-style localisation folder names.
const std::unordered_map<std::string, std::string>& namedLanguages() {
    static const std::unordered_map<std::string, std::string> table{
        {"afrikaans", "af"},
        {"albanian", "sq"},
        {"arabic", "ar"},
        {"armenian", "hy"},
        {"basque", "eu"},
        {"belarusian", "be"},
        {"bengali", "bn"},
        {"bosnian", "bs"},
        {"bulgarian", "bg"},
        {"catalan", "ca"},
        {"chinese", "zh"},
        {"croatian", "hr"},
        {"czech", "cs"},
        {"danish", "da"},
        {"dutch", "nl"},
        {"english", "en"},
        {"estonian", "et"},
        {"faroese", "fo"},
        {"filipino", "fil"},
        {"finnish", "fi"},
        {"french", "fr"},
        {"galician", "gl"},
        {"georgian", "ka"},
        {"german", "de"},
        {"greek", "el"},
        {"gujarati", "gu"},
        {"hebrew", "he"},
        {"hindi", "hi"},
        {"hungarian", "hu"},
        {"icelandic", "is"},
        {"indonesian", "id"},
        {"irish", "ga"},
        {"italian", "it"},
        {"japanese", "ja"},
        {"kannada", "kn"},
        {"kazakh", "kk"},
        {"khmer", "km"},
        {"korean", "ko"},
        {"lao", "lo"},
        {"latvian", "lv"},
        {"lithuanian", "lt"},
        {"macedonian", "mk"},
        {"malay", "ms"},
        {"malayalam", "ml"},
        {"maltese", "mt"},
        {"marathi", "mr"},
        {"mongolian", "mn"},
        {"nepali", "ne"},
        {"norwegian", "no"},
        {"norwegian bokmal", "nb"},
        {"norwegian nynorsk", "nn"},
        {"persian", "fa"},
        {"polish", "pl"},
        {"portuguese", "pt"},
        {"punjabi", "pa"},
        {"romanian", "ro"},
        {"russian", "ru"},
        {"serbian", "sr"},
        {"sinhala", "si"},
        {"slovak", "sk"},
        {"slovenian", "sl"},
        {"spanish", "es"},
        {"swahili", "sw"},
        {"swedish", "sv"},
        {"tamil", "ta"},
        {"telugu", "te"},
        {"thai", "th"},
        {"turkish", "tr"},
        {"ukrainian", "uk"},
        {"urdu", "ur"},
        {"uzbek", "uz"},
        {"vietnamese", "vi"},
        {"welsh", "cy"},
        {"zulu", "zu"},
    };
    return table;
}

bool allOf(std::string_view s, int (*test)(int)) {
    for (char c : s)
        if (!test(static_cast<unsigned char>(c)))
            return false;
    return !s.empty();
}

std::vector<std::string_view> splitSubtags(std::string_view s) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '_' || s[i] == '-') {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::string titleCase(std::string_view s) {
    std::string out = text::asciiLowercase(s);
    out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    return out;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// A code: language (2-3 letters), then at most one script (4 letters), then at
// most one region (2 letters or 3 digits), in that order.
std::optional<std::string> normalisedCode(std::string_view s) {
    auto parts = splitSubtags(s);
    std::string_view lang = parts[0];
    if (lang.size() < 2 || lang.size() > 3 || !allOf(lang, isalpha))
        return std::nullopt;
    std::string out = text::asciiLowercase(lang);
    bool hadScript = false, hadRegion = false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string_view tag = parts[i];
        if (!hadScript && !hadRegion && tag.size() == 4 && allOf(tag, isalpha)) {
            out += "-" + titleCase(tag);
            hadScript = true;
        } else if (!hadRegion && ((tag.size() == 2 && allOf(tag, isalpha)) ||
                                  (tag.size() == 3 && allOf(tag, isdigit)))) {
            out += "-" + upperCase(tag);
            hadRegion = true;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

std::optional<std::string> canonicalLanguageIdentifier(const std::string& nameOrCode) {
    const auto& names = namedLanguages();
    if (auto it = names.find(text::asciiLowercase(nameOrCode)); it != names.end())
        return it->second;
    return normalisedCode(nameOrCode);
}

} // namespace tessaly::language
