#pragma once

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/ScanDelegate.h"
#include "platform/OperationQueue.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

namespace recentlists {

// One recently opened document of a list: what it is known as, and the exact
// pieces of the file's text that name it (taken out whole by a rewrite).
struct Entry {
    std::string name;
    std::vector<std::string> spans;
};

// The documents a list names, in the order of the file.
std::vector<Entry> entriesOf(RecentListKind kind, const std::string& text);

// The text with each span taken out once; none when one of them is no longer
// there (the program changed the list since).
std::optional<std::string> without(const std::string& text, const std::vector<std::string>& spans);

// Rewrites the file without the spans, in one step (a temporary file renamed
// over it, with the file's mode and owner); the rest of the file stays byte for
// byte, and the file itself is never removed. None on success, else why not.
std::optional<std::string> rewriteWithout(const std::string& path,
                                          const std::vector<std::string>& spans);

} // namespace recentlists

// The Recent Documents task: one group per list file that names documents, one
// ticked child per document, each a rewrite of the list.
class RecentListOperation : public Operation {
public:
    RecentListOperation(std::vector<RecentListPlace> places, ScanDelegate* delegate);
    ScanItemList scanLists();

protected:
    void main() override;

private:
    std::vector<RecentListPlace> places_;
    ScanDelegate* delegate_;
};

} // namespace tessaly
