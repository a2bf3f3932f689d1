#include "model/CommonFunction.h"

#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/Reachability.h"
#include "platform/SystemInfo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace tessaly {

namespace {

enum class Band { Zero, Bytes, KB, MB, GB };

// The bands are tested in this order: above 1,000,000,000; then at most
// 1,000,000, at most 1,000 and below 1; everything else is megabytes.
Band bandOf(std::int64_t size) {
    if (size > 1000000000)
        return Band::GB;
    if (size <= 1000000) {
        if (size <= 1000)
            return size < 1 ? Band::Zero : Band::Bytes;
        return Band::KB;
    }
    return Band::MB;
}

float scaled(std::int64_t size, Band band) {
    float f = static_cast<float>(size);
    switch (band) {
    case Band::KB:
        return f / 1000.0f;
    case Band::MB:
        return f / 1000000.0f;
    case Band::GB:
        return f / 1000000000.0f;
    default:
        return f;
    }
}

std::string fixed(double value, int decimals) {
    std::array<char, 64> buf{};
    std::snprintf(buf.data(), buf.size(), "%.*f", decimals, value);
    return buf.data();
}

// The number part of a size text: the byte count, or the scaled value.
std::string sizeNumber(std::int64_t size, Band band) {
    switch (band) {
    case Band::Zero:
        return "Zero";
    case Band::Bytes:
        return std::to_string(size);
    case Band::KB:
    case Band::MB:
        return fixed(static_cast<double>(scaled(size, band)), 1);
    case Band::GB:
        return fixed(static_cast<double>(scaled(size, band)), 2);
    }
    return "Zero";
}

const char* unitName(Band band) {
    switch (band) {
    case Band::Bytes:
        return "B";
    case Band::MB:
        return "MB";
    case Band::GB:
        return "GB";
    default:
        return "KB";
    }
}

} // namespace

std::string CommonFunction::getSizeString(std::int64_t size) {
    Band band = bandOf(size);
    if (band == Band::Zero)
        return "Zero KB";
    return sizeNumber(size, band) + " " + unitName(band);
}

std::string CommonFunction::getSizeString2(std::int64_t size) {
    Band band = bandOf(size);
    if (band == Band::Zero)
        return "Zero KB";
    return sizeNumber(size, band) + (band == Band::Bytes ? "    " : "   ") + unitName(band);
}

std::string CommonFunction::getSizeString4(std::int64_t size) {
    return sizeNumber(size, bandOf(size));
}

std::string CommonFunction::getSizeString5(std::int64_t size) {
    return std::string(" ") + unitName(bandOf(size));
}

std::string CommonFunction::getMemorySizeString4(double pages) {
    if (pages <= 256)
        return fixed(pages * 4, 1);
    if (pages <= 262144)
        return fixed(pages / 256, 1);
    return fixed(pages / 262144, 2);
}

std::string CommonFunction::getMemorySizeString5(double pages) {
    if (pages <= 256)
        return " KB";
    if (pages <= 262144)
        return " MB";
    return " GB";
}

std::string CommonFunction::getMemorySizeString2(double pages) {
    return getMemorySizeString4(pages) + getMemorySizeString5(pages);
}

std::string CommonFunction::dateStr(Date date) {
    std::time_t t = std::chrono::system_clock::to_time_t(date);
    std::tm tm{};
    if (!::localtime_r(&t, &tm))
        return {};
    std::array<char, 32> buf{};
    std::snprintf(buf.data(), buf.size(), "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    return buf.data();
}

std::optional<Date> CommonFunction::date(const std::string& text) {
    int y = 0, m = 0, d = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &consumed) != 3 ||
        static_cast<std::size_t>(consumed) != text.size())
        return std::nullopt;
    if (m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_isdst = -1;
    std::tm check = tm;
    std::time_t t = std::mktime(&check);
    if (t == static_cast<std::time_t>(-1) || check.tm_mday != d || check.tm_mon != m - 1)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(t);
}

std::int64_t CommonFunction::getDiskFileSize(std::int64_t size) {
    return getDiskFileSize(size, SettingModel::shareSettingModel().blockSize.load());
}

std::int64_t CommonFunction::getDiskFileSize(std::int64_t size, std::int64_t b) {
    if (b <= 0 || size % b == 0)
        return size;
    return (size / b + 1) * b;
}

std::int64_t CommonFunction::getDiskFileSize(const fileattr::EntryInfo& info) {
    return getDiskFileSize(info, SettingModel::shareSettingModel().blockSize.load());
}

std::int64_t CommonFunction::getDiskFileSize(const fileattr::EntryInfo& info, std::int64_t b) {
    if (!info.exists)
        return 0;
    if (b <= 0)
        return info.allocated;
    return std::min(getDiskFileSize(info.size, b), info.allocated);
}

bool CommonFunction::isPackage(const std::string& path) {
    static const char* const kinds[] = {"framework", "docktileplugin", "platform", "xpc", "theme"};
    std::string ext = paths::extension(path);
    for (const char* k : kinds)
        if (ext == k)
            return true;
    return false;
}

bool CommonFunction::hiddenFile(const std::string& name) {
    return name.size() >= 2 && name[0] == '.';
}

bool CommonFunction::isApp(const std::string& path) {
    return fileattr::isApplicationBundle(path);
}

std::string CommonFunction::switchStandboxPath(const std::string& path) {
    std::string processHome = paths::processHomeDirectory();
    std::string home = homePath();
    if (processHome.empty() || processHome == home || path.find(processHome) == std::string::npos)
        return path;
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = path.find(processHome, pos);
        if (hit == std::string::npos) {
            out.append(path, pos, std::string::npos);
            break;
        }
        out.append(path, pos, hit - pos);
        out += home;
        pos = hit + processHome.size();
    }
    return out;
}

std::string CommonFunction::homePath() {
    return paths::homePath();
}

std::string CommonFunction::libPath() {
    return paths::join(homePath(), "Library");
}

std::string CommonFunction::switchLanguage(const std::string& code) {
    auto cut = code.find('_');
    if (cut == std::string::npos)
        cut = code.find('-');
    return cut == std::string::npos ? code : code.substr(0, cut);
}

std::string CommonFunction::imageForPath(const std::string& path) {
    return path == homePath() ? std::string("folder-home") : path;
}

std::optional<Date> CommonFunction::lastOpenDate(const std::string& path) {
    return fileattr::lastUsedDate(path);
}

std::string CommonFunction::PCArchitecture() {
    return sysinfo::machineName();
}

bool CommonFunction::connectNet() {
    return reachability::internetReachable();
}

} // namespace tessaly
