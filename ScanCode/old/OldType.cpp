#include "ScanCode/old/OldType.h"

namespace tessaly {

namespace {

constexpr std::int64_t kMonth = 2'628'000; // a twelfth of a 365-day year, in seconds

Date before(Date now, std::int64_t seconds) {
    return now - std::chrono::seconds(seconds);
}

} // namespace

std::shared_ptr<OldType> OldType::initWithNil(std::string label, Date front, Date last,
                                              std::string icon, std::string icon140) {
    auto t = std::make_shared<OldType>();
    t->name = std::move(label);
    t->frontDate = front;
    t->lastDate = last;
    t->icon = std::move(icon);
    t->icon140 = std::move(icon140);
    return t;
}

std::shared_ptr<OldType> OldType::init(std::string label, Date front, Date last, std::string icon,
                                       std::string icon140) {
    auto t = initWithNil(std::move(label), front, last, std::move(icon), std::move(icon140));
    t->data = {
        std::make_shared<OldSizeFileInfo>(1'000'000'000, std::nullopt, "More than 10MB"),
        std::make_shared<OldSizeFileInfo>(300'000'000, 1'000'000'000, "300MB - 1GB"),
        std::make_shared<OldSizeFileInfo>(100'000'000, 300'000'000, "100MB - 300MB"),
        std::make_shared<OldSizeFileInfo>(10'000'000, 100'000'000, "10MB - 100MB"),
        std::make_shared<OldSizeFileInfo>(5'000'000, 10'000'000, "5MB - 10MB"),
    };
    return t;
}

std::int64_t OldType::fileSize() const {
    std::int64_t total = 0;
    for (const auto& c : data)
        total += c->fileSize();
    return total;
}

std::int64_t OldType::fileCount() const {
    std::int64_t n = 0;
    for (const auto& c : data)
        n += c->fileCount();
    return n;
}

std::int64_t OldType::fileSizeWithCheck() const {
    std::int64_t total = 0;
    for (const auto& c : data)
        total += c->fileSizeWithCheck();
    return total;
}

std::int64_t OldType::fileCountWithCheck() const {
    std::int64_t n = 0;
    for (const auto& c : data)
        n += c->fileCountWithCheck();
    return n;
}

int OldType::checkStatus() const {
    return checkStatusOf(fileCountWithCheck(), fileCount());
}

void OldType::setCheck(bool check) {
    for (const auto& c : data)
        for (const auto& f : c->data)
            f->isCheck = check;
}

void OldType::sortData() {
    for (const auto& c : data)
        c->sortData();
}

OldSizeRef OldType::fileInfo(std::int64_t size) const {
    for (const auto& c : data)
        if (c->fits(size))
            return c;
    return nullptr;
}

std::vector<OldTypeRef> makeAgeClasses(Date now) {
    return {
        OldType::init("2 years ago", before(now, 24 * kMonth), before(now, 384 * kMonth),
                      "2year-icon", "2year-icon(140)"),
        OldType::init("1 year ago", before(now, 12 * kMonth), before(now, 24 * kMonth),
                      "1year-cion", "1-year-icon(140)"),
        OldType::init("6 months ago", before(now, 6 * kMonth), before(now, 12 * kMonth),
                      "12year-icon", "12year-icon(140)"),
        OldType::init("3 months ago", before(now, 3 * kMonth), before(now, 6 * kMonth),
                      "3month-icon", "3month-icon(140)"),
        OldType::init("1 month ago", before(now, kMonth), before(now, 3 * kMonth), "1month-icon",
                      "1month-icon(140)"),
    };
}

} // namespace tessaly
