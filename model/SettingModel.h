#pragma once

#include "model/DataSource.h"
#include "platform/PlistValue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tessaly {

class UserDefaults;

// Display information of one language code from the "Language" resource.
struct LanguageInfo {
    std::string language; // the language's name as used for matching ("French")
    std::string country;  // flag image name, also the grouping key ("France")
};

// What the settings need to know about the machine; tests give their own.
struct SettingEnvironment {
    std::function<UserDefaults&()> defaults;
    std::function<std::vector<std::string>()> preferredLanguages; // most preferred first
    std::function<std::vector<std::string>()> inputSourceLanguages;
    std::string languageResourcePath;
    std::string keepCookieResourcePath;

    // The real machine: the standard defaults, the locale settings, the keyboard
    // configuration and the shipped resources.
    static SettingEnvironment system();
};

// The shared in-memory settings that the engines read on every scan, and the facts
// found at start-up.
class SettingModel {
public:
    static SettingModel& shareSettingModel();

    explicit SettingModel(SettingEnvironment env);

    std::atomic<bool> isRetina{false};
    std::atomic<std::int32_t> blockSize{0};
    std::atomic<bool> playSound{true};
    std::atomic<bool> firstRun{false};
    std::atomic<bool> selectFile{false};
    std::atomic<bool> needClean{false};
    std::atomic<bool> needCleanMemory{false};
    DataSource source;

    // Language code to display information, loaded at creation.
    const PlistValue::Dict& languageInfos() const { return languageInfos_; }
    std::optional<LanguageInfo> languageInfo(const std::string& code) const;

    // The user's first preferred language, shortened (cached after the first call).
    std::string localStr();

    // The kept languages, built on the first call.
    std::vector<std::string> keepLanuage();
    void addKeepLanuage(const std::vector<std::string>& list);
    void removeKeepLanguages(const std::vector<std::string>& list);
    // Adds the languages of the installed keyboard input sources.
    void addLocalLanuage();
    std::vector<std::string> keepLanguages() const;
    bool onlyOne() const;

    // Fills the kept cookies on the first call from "Keep_Cookie", or the resource.
    void loadKeepCookie();
    std::vector<std::string> keepCookiesRecord() const;
    void setKeepCookies(const std::vector<std::string>& list);

    // The stored "Play_Sound" as a bool (false when absent).
    bool playSoundVaule() const;

    UserDefaults& defaults() const { return env_.defaults(); }

    // Editors hold this lock while they change the kept lists.
    std::recursive_mutex& lock() const { return lock_; }

private:
    void addUnique(std::vector<std::string>& list, const std::string& code);

    SettingEnvironment env_;
    PlistValue::Dict languageInfos_;
    mutable std::recursive_mutex lock_;
    std::vector<std::string> keepLanguages_;
    bool keepBuilt_ = false;
    bool onlyOne_ = false;
    std::string localString_;
    std::vector<std::string> keepCookies_;
    bool cookiesLoaded_ = false;
};

} // namespace tessaly
