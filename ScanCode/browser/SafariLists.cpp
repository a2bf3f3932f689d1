#include "ScanCode/browser/SafariLists.h"

#include "ScanCode/RecordRemoval.h"
#include "platform/AtomicFile.h"
#include "platform/FileRemoval.h"
#include "platform/PropertyList.h"

#include <cstring>

namespace tessaly {

std::optional<PlistValue::Array> readListEntries(const std::string& path, const std::string& key) {
    auto root = plist::readFile(path);
    if (!root || !root->isDict())
        return std::nullopt;
    const PlistValue* list = root->find(key);
    if (!list || !list->isArray())
        return std::nullopt;
    return *list->array();
}

namespace {

// Rewrites the list without the entries; none on success, else why not.
std::optional<std::string> rewriteWithout(const std::string& path, const std::string& key,
                                          const std::vector<PlistValue>& gone,
                                          std::vector<bool>* found) {
    auto bytes = readWholeFile(path, plist::kMaxFileBytes);
    if (!bytes)
        return std::string("could not be read");
    auto root = plist::parse(*bytes);
    PlistValue::Dict* entries = root ? root->dict() : nullptr;
    auto list = entries ? entries->find(key) : PlistValue::Dict::iterator();
    if (!entries || list == entries->end() || !list->second.isArray())
        return std::string("the list is damaged");
    const std::size_t before = list->second.array()->size();
    PlistValue::Array kept;
    for (PlistValue& entry : *list->second.array()) {
        bool drop = false;
        for (std::size_t i = 0; i < gone.size() && !drop; ++i)
            if (entry == gone[i]) {
                drop = true;
                (*found)[i] = true;
            }
        if (!drop)
            kept.push_back(std::move(entry));
    }
    if (kept.size() == before)
        return std::nullopt; // nothing of it is there any more
    if (kept.empty()) {
        std::string error;
        if (fileops::removeItem(path, &error))
            return std::nullopt;
        return error;
    }
    list->second = PlistValue(std::move(kept));
    const bool binary = bytes->size() >= 6 && std::memcmp(bytes->data(), "bplist", 6) == 0;
    std::string error;
    if (!plist::writeFile(path, *root, binary ? plist::Format::Binary : plist::Format::Xml, &error))
        return error.empty() ? std::string("could not be written") : error;
    return std::nullopt;
}

} // namespace

std::vector<std::optional<std::string>> removeListEntries(const std::string& path,
                                                          const std::string& key,
                                                          const std::vector<PlistValue>& gone) {
    std::vector<bool> found(gone.size(), false);
    auto why = rewriteWithout(path, key, gone, &found);
    std::vector<std::optional<std::string>> out;
    for (std::size_t i = 0; i < gone.size(); ++i)
        out.push_back(why        ? why
                      : found[i] ? std::nullopt
                                 : std::optional<std::string>(kChangedSinceScan));
    return out;
}

} // namespace tessaly
