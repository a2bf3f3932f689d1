#include "ScanCode/system/RecentLists.h"

#include "ScanCode/system/SystemModules.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {
constexpr std::size_t kMaxListBytes = 64u << 20;
} // namespace

namespace recentlists {

namespace {

constexpr const char* kHistories = "<item oor:path=\"/org.openoffice.Office.Histories/Histories/";

// The element from `from` to the end of `close`, widened to the indentation
// before it and the line break after it, so that taking it out leaves no blank line.
std::string wholeLines(const std::string& text, std::size_t from, std::size_t end) {
    std::size_t start = from;
    while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t'))
        --start;
    if (start > 0 && text[start - 1] != '\n')
        start = from; // something else stands before it on its line
    if (end < text.size() && text[end] == '\n')
        ++end;
    return text.substr(start, end - start);
}

std::string attribute(const std::string& element, const std::string& name) {
    const std::string key = name + "=\"";
    auto at = element.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    auto close = element.find('"', at);
    return close == std::string::npos ? std::string() : element.substr(at, close - at);
}

std::vector<Entry> xbelEntries(const std::string& text) {
    std::vector<Entry> out;
    std::size_t at = 0;
    while ((at = text.find("<bookmark ", at)) != std::string::npos) {
        auto close = text.find("</bookmark>", at);
        auto selfClosed = text.find("/>", at);
        auto tagEnd = text.find('>', at);
        if (tagEnd == std::string::npos)
            break;
        std::size_t end;
        if (selfClosed != std::string::npos && selfClosed + 1 == tagEnd)
            end = tagEnd + 1;
        else if (close != std::string::npos)
            end = close + std::strlen("</bookmark>");
        else
            break;
        const std::string element = text.substr(at, end - at);
        out.push_back({attribute(element, "href"), {wholeLines(text, at, end)}});
        at = end;
    }
    return out;
}

// In LibreOffice's list a document has an item in ItemList (named by its URL)
// and one in OrderList (whose value is the URL); both go together.
std::vector<Entry> libreOfficeEntries(const std::string& text) {
    std::vector<Entry> out;
    std::map<std::string, std::size_t> byName;
    std::size_t at = 0;
    while ((at = text.find(kHistories, at)) != std::string::npos) {
        auto close = text.find("</item>", at);
        if (close == std::string::npos)
            break;
        const std::size_t end = close + std::strlen("</item>");
        const std::string element = text.substr(at, end - at);
        const std::string path = attribute(element, "oor:path");
        std::string name;
        if (path.find("/ItemList/") != std::string::npos) {
            auto open = path.rfind("['");
            auto shut = path.rfind("']");
            if (open != std::string::npos && shut != std::string::npos && shut > open)
                name = path.substr(open + 2, shut - open - 2);
        } else if (path.find("/OrderList/") != std::string::npos) {
            auto v = element.find("<value>");
            auto e = element.find("</value>");
            if (v != std::string::npos && e != std::string::npos && e > v)
                name = element.substr(v + 7, e - v - 7);
        }
        if (name.empty())
            name = path;
        auto [it, added] = byName.emplace(name, out.size());
        if (added)
            out.push_back({name, {}});
        out[it->second].spans.push_back(wholeLines(text, at, end));
        at = end;
    }
    return out;
}

// VLC keeps its recent media as two lines of its [RecentsMRL] section.
std::vector<Entry> vlcEntries(const std::string& text) {
    std::vector<Entry> out;
    auto section = text.find("[RecentsMRL]");
    if (section == std::string::npos)
        return out;
    Entry entry;
    std::size_t count = 0;
    std::size_t at = text.find('\n', section);
    while (at != std::string::npos && at + 1 < text.size()) {
        const std::size_t start = at + 1;
        if (text[start] == '[')
            break;
        std::size_t end = text.find('\n', start);
        const std::size_t lineEnd = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, lineEnd - start);
        if (line.rfind("list=", 0) == 0) {
            std::string values = line.substr(5);
            while (!values.empty() && (values.back() == '\n' || values.back() == '\r'))
                values.pop_back();
            if (!values.empty())
                count = 1 + static_cast<std::size_t>(std::count(values.begin(), values.end(), ','));
            entry.spans.push_back(line);
        } else if (line.rfind("times=", 0) == 0) {
            entry.spans.push_back(line);
        }
        at = end;
    }
    if (count > 0) {
        entry.name = std::to_string(count) + (count == 1 ? " recent medium" : " recent media");
        out.push_back(std::move(entry));
    }
    return out;
}

} // namespace

std::vector<Entry> entriesOf(RecentListKind kind, const std::string& text) {
    switch (kind) {
    case RecentListKind::Xbel:
        return xbelEntries(text);
    case RecentListKind::LibreOffice:
        return libreOfficeEntries(text);
    case RecentListKind::Vlc:
        return vlcEntries(text);
    }
    return {};
}

std::optional<std::string> without(const std::string& text, const std::vector<std::string>& spans) {
    std::string out = text;
    for (const std::string& span : spans) {
        auto at = out.find(span);
        if (span.empty() || at == std::string::npos)
            return std::nullopt;
        out.erase(at, span.size());
    }
    return out;
}

std::optional<std::string> rewriteWithout(const std::string& path,
                                          const std::vector<std::string>& spans) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::string("the list is no longer a file");
    auto bytes = readWholeFile(path, kMaxListBytes);
    if (!bytes)
        return std::string("the list could not be read");
    const std::string text(bytes->begin(), bytes->end());
    auto rewritten = without(text, spans);
    if (!rewritten)
        return std::string("changed since the scan");
    std::string error;
    if (!writeFileAtomically(path, rewritten->data(), rewritten->size(), &error,
                             static_cast<unsigned>(st.st_mode & 07777)))
        return "the list could not be rewritten: " + error;
    // The new file is ours; give it back to the list's owner when that was another.
    struct stat now {};
    if (::lstat(path.c_str(), &now) == 0 && (now.st_uid != st.st_uid || now.st_gid != st.st_gid))
        if (::lchown(path.c_str(), st.st_uid, st.st_gid) != 0)
            return "the list was rewritten but its owner could not be kept: " +
                   std::string(std::strerror(errno));
    return std::nullopt;
}

} // namespace recentlists

RecentListOperation::RecentListOperation(std::vector<RecentListPlace> places,
                                         ScanDelegate* delegate)
    : places_(std::move(places)), delegate_(delegate) {}

void RecentListOperation::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate_, sysmodule::RecentDocuments, [this] { return scanLists(); });
}

ScanItemList RecentListOperation::scanLists() {
    ScanItemList out;
    for (const RecentListPlace& place : places_) {
        if (isCancelled())
            break;
        auto path = placePath(place.base, place.path);
        if (!path)
            continue;
        announcePath(delegate_, *path);
        auto bytes = readWholeFile(*path, kMaxListBytes);
        if (!bytes)
            continue;
        const std::string text(bytes->begin(), bytes->end());
        auto children = std::make_shared<ScanItemList>();
        for (recentlists::Entry& entry : recentlists::entriesOf(place.kind, text)) {
            auto child = std::make_shared<ScaneOuputObject>();
            child->path = *path;
            child->name = entry.name;
            child->listEntries = std::move(entry.spans);
            child->isCheck = true;
            children->push_back(std::move(child));
        }
        if (children->empty())
            continue;
        auto group = std::make_shared<ScaneOuputObject>();
        group->path = *path;
        group->name = paths::lastComponent(*path);
        group->subObjects = std::move(children);
        out.push_back(std::move(group));
    }
    return out;
}

} // namespace tessaly
