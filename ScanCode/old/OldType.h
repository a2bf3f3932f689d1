#pragma once

#include "ScanCode/old/OldSizeFileInfo.h"
#include "platform/Date.h"

#include <memory>
#include <string>
#include <vector>

namespace tessaly {

// One age class of the old-file lists: the files last opened between lastDate
// (the older end) and frontDate (the newer end), by size class.
class OldType {
public:
    // With the five size classes ("More than 10MB" first, "5MB - 10MB" last).
    static std::shared_ptr<OldType> init(std::string label, Date front, Date last, std::string icon,
                                         std::string icon140);
    // Without size classes.
    static std::shared_ptr<OldType> initWithNil(std::string label, Date front, Date last,
                                                std::string icon, std::string icon140);

    Date frontDate{};
    Date lastDate{};
    std::string name;
    std::string icon;
    std::string icon140;
    std::vector<OldSizeRef> data;

    std::int64_t fileSize() const;
    std::int64_t fileCount() const;
    std::int64_t fileSizeWithCheck() const;
    std::int64_t fileCountWithCheck() const;
    int checkStatus() const;
    void setCheck(bool check);
    void sortData();
    // The first size class that a size falls in; null when none does.
    OldSizeRef fileInfo(std::int64_t size) const;
};

using OldTypeRef = std::shared_ptr<OldType>;

// The five age classes of a scan that starts at `now`, newest last: "2 years ago",
// "1 year ago", "6 months ago", "3 months ago", "1 month ago".
std::vector<OldTypeRef> makeAgeClasses(Date now);

} // namespace tessaly
