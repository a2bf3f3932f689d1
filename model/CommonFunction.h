#pragma once

#include "platform/Date.h"
#include "platform/FileAttributes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

// Stateless helpers every tool shares: size, memory and date texts, allocated
// sizes and a handful of path tests. Safe from any thread.
class CommonFunction {
public:
    // Decimal units (1 KB = 1,000 bytes), divided in single precision.
    static std::string getSizeString(std::int64_t size);
    static std::string getSizeString2(std::int64_t size); // wide, for the large report type
    static std::string getSizeString4(std::int64_t size); // number only
    static std::string getSizeString5(std::int64_t size); // unit only, to follow getSizeString4

    // Counts of 4,096-byte pages in binary units.
    static std::string getMemorySizeString4(double pages); // number only
    static std::string getMemorySizeString5(double pages); // unit only
    static std::string getMemorySizeString2(double pages); // number and unit

    // "yyyy-MM-dd" in the user's time zone.
    static std::string dateStr(Date date);
    static std::optional<Date> date(const std::string& text);

    // A logical size rounded up to the home volume's block size.
    static std::int64_t getDiskFileSize(std::int64_t size);
    static std::int64_t getDiskFileSize(std::int64_t size, std::int64_t blockSize);
    // The space an entry takes on the disk, which removing it gives back: its
    // logical size rounded up to the block size, never more than the blocks the
    // file system gave it (a sparse file, a short link kept in its inode, data
    // kept inline). The allocated blocks alone when the block size is unknown.
    static std::int64_t getDiskFileSize(const fileattr::EntryInfo& info);
    static std::int64_t getDiskFileSize(const fileattr::EntryInfo& info, std::int64_t blockSize);

    static bool isPackage(const std::string& path);
    static bool hiddenFile(const std::string& name);
    static bool isApp(const std::string& path);
    static std::string switchStandboxPath(const std::string& path);
    static std::string homePath();
    static std::string libPath();
    static std::string switchLanguage(const std::string& code);
    // Icon reference of a path: "folder-home" for the home folder, else the path.
    static std::string imageForPath(const std::string& path);
    static std::optional<Date> lastOpenDate(const std::string& path);
    static std::string PCArchitecture();
    static bool connectNet();
};

} // namespace tessaly
