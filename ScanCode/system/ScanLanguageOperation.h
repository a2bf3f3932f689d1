#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/system/ScanServices.h"
#include "ScanCode/uninstall/AppItem.h"
#include "platform/OperationQueue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class SearchApplications;

// The scan task of the "Language" module: the localisation folders (".lproj")
// of languages the user does not keep, inside installed applications that carry
// an English localisation and at least two others. One group per country of the
// language table, holding one item per application with the folders to remove.
class ScanLanguageOperation : public Operation {
public:
    ScanLanguageOperation(SearchApplications& catalogue, ScanServices services,
                          ScanDelegate* delegate);

    ScanDelegate* delegate; // not owned
    // The kept language codes, copied at the start of a scan and cleared at its end.
    std::vector<std::string> keepLanuages;

    // The scan itself: the groups, largest first (partial when cancelled).
    ScanItemList scanLanguage();

    // Whether an application, given its "Contents" folder, is worth cleaning: its
    // Resources hold an English localisation, at least 3 distinct language
    // prefixes and at least one language that is not kept. imagesResult is
    // scratch space the language module does not read.
    bool checkIsContinueDeleteLanguageFile(const std::string& contentsPath,
                                           std::vector<std::string>& imagesResult);
    // Whether a language (by name or code) may be removed: it has a canonical
    // identifier and no kept code names the same language. key plays no part.
    bool isLanguageCanRemove(const std::string& language, const std::string& key) const;

    static std::optional<std::size_t> searchObjectInArray(const std::string& country,
                                                          const ScanItemList& groups);
    static std::optional<std::size_t> searchObjectInArrayForName(const std::string& name,
                                                                 const ScanItemList& items);
    // A folder's size, ending early when the task is cancelled.
    std::int64_t directorySize(const std::string& path) const;

protected:
    void main() override;

private:
    // Records one removable localisation folder of an application.
    void recordFolder(ScanItemList& groups, const AppItem& app, const LanguageInfo& info,
                      const std::string& folder);
    // Files a folder of one language under the group of its country, in the child
    // of that name (created with the icon and path when new).
    void recordLanguageFolder(ScanItemList& groups, const LanguageInfo& info,
                              const std::string& childName, const std::string& childIcon,
                              const std::string& childPath, const std::string& folder);
    // The per-language folders of the system's shared places (translations,
    // manual pages, help), for a layout that has them.
    void scanSharedLanguageFolders(ScanItemList& groups);
    void scanApplication(ScanItemList& groups, const AppItem& app);

    SearchApplications& catalogue_;
    ScanServices services_;
};

} // namespace tessaly
