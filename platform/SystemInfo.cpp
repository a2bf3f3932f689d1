#include "platform/SystemInfo.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/utsname.h>

namespace tessaly::sysinfo {

namespace {

std::string localeToLanguage(std::string value) {
    auto cut = value.find_first_of(".@");
    if (cut != std::string::npos)
        value.resize(cut);
    if (value == "C" || value == "POSIX")
        return "en";
    return value;
}

std::vector<std::string> splitList(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, sep)) {
        auto b = item.find_first_not_of(" \t\"");
        auto e = item.find_last_not_of(" \t\"");
        if (b != std::string::npos)
            out.push_back(item.substr(b, e - b + 1));
    }
    return out;
}

// The layouts named in /etc/default/keyboard (XKBLAYOUT=...) or, failing that, in an
// X11 keyboard configuration (Option "XkbLayout" "...").
std::vector<std::string> configuredLayouts() {
    std::ifstream keyboard(paths::systemPath("/etc/default/keyboard"));
    std::string line;
    while (std::getline(keyboard, line)) {
        auto pos = line.find("XKBLAYOUT=");
        if (pos != std::string::npos && line.find_first_not_of(" \t") == pos)
            return splitList(line.substr(pos + 10), ',');
    }
    std::ifstream x11(paths::systemPath("/etc/X11/xorg.conf.d/00-keyboard.conf"));
    while (std::getline(x11, line)) {
        auto pos = line.find("\"XkbLayout\"");
        if (pos != std::string::npos)
            return splitList(line.substr(pos + 11), ',');
    }
    return {};
}

} // namespace

std::string machineName() {
    struct utsname u {};
    if (::uname(&u) != 0)
        return {};
    std::string m(u.machine);
    if (m.size() > 100)
        m.resize(100);
    return m;
}

std::vector<std::string> preferredLanguages() {
    std::vector<std::string> out;
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        for (const auto& item : splitList(list, ':'))
            out.push_back(localeToLanguage(item));
        if (!out.empty())
            return out;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            out.push_back(localeToLanguage(v));
            return out;
        }
    }
    return {"en"};
}

std::string languageOfKeyboardLayout(const std::string& layout) {
    static const std::map<std::string, std::string> table = {
        {"us", "en"},    {"gb", "en"}, {"au", "en"}, {"ca", "fr"}, {"ie", "en"}, {"za", "en"},
        {"de", "de"},    {"at", "de"}, {"ch", "de"}, {"fr", "fr"}, {"be", "fr"}, {"es", "es"},
        {"latam", "es"}, {"mx", "es"}, {"it", "it"}, {"pt", "pt"}, {"br", "pt"}, {"nl", "nl"},
        {"se", "sv"},    {"no", "nb"}, {"dk", "da"}, {"fi", "fi"}, {"is", "is"}, {"pl", "pl"},
        {"cz", "cs"},    {"sk", "sk"}, {"hu", "hu"}, {"ro", "ro"}, {"bg", "bg"}, {"gr", "el"},
        {"tr", "tr"},    {"ru", "ru"}, {"ua", "uk"}, {"by", "be"}, {"rs", "sr"}, {"hr", "hr"},
        {"si", "sl"},    {"ee", "et"}, {"lv", "lv"}, {"lt", "lt"}, {"il", "he"}, {"ara", "ar"},
        {"ir", "fa"},    {"in", "hi"}, {"th", "th"}, {"vn", "vi"}, {"jp", "ja"}, {"kr", "ko"},
        {"cn", "zh"},    {"tw", "zh"}, {"id", "id"}, {"my", "ms"}, {"ph", "tl"}, {"ge", "ka"},
        {"am", "hy"},    {"kz", "kk"}, {"ba", "bs"}, {"mk", "mk"}, {"al", "sq"}, {"epo", "eo"},
    };
    auto it = table.find(layout);
    return it == table.end() ? std::string() : it->second;
}

std::vector<std::string> inputSourceLanguages() {
    std::vector<std::string> out;
    for (const auto& layout : configuredLayouts()) {
        std::string lang = languageOfKeyboardLayout(layout);
        if (!lang.empty())
            out.push_back(lang);
    }
    return out;
}

} // namespace tessaly::sysinfo
