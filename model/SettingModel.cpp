#include "model/SettingModel.h"

#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"

#include <algorithm>

namespace tessaly {

SettingEnvironment SettingEnvironment::system() {
    SettingEnvironment env;
    env.defaults = []() -> UserDefaults& { return UserDefaults::standardUserDefaults(); };
    env.preferredLanguages = sysinfo::preferredLanguages;
    env.inputSourceLanguages = sysinfo::inputSourceLanguages;
    env.languageResourcePath = paths::resourcePath("Language", "plist");
    env.keepCookieResourcePath = paths::resourcePath("keepCookie", "plist");
    return env;
}

SettingModel& SettingModel::shareSettingModel() {
    // Never destroyed: background work may still read it while the program ends.
    static auto* model = new SettingModel(SettingEnvironment::system());
    return *model;
}

SettingModel::SettingModel(SettingEnvironment env) : env_(std::move(env)) {
    if (!env_.languageResourcePath.empty())
        if (auto v = plist::readFile(env_.languageResourcePath); v && v->dict())
            languageInfos_ = *v->dict();
}

std::optional<LanguageInfo> SettingModel::languageInfo(const std::string& code) const {
    auto it = languageInfos_.find(code);
    if (it == languageInfos_.end() || !it->second.isDict())
        return std::nullopt;
    return LanguageInfo{it->second.stringForKey("language"), it->second.stringForKey("country")};
}

std::string SettingModel::localStr() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (localString_.empty()) {
        auto langs =
            env_.preferredLanguages ? env_.preferredLanguages() : std::vector<std::string>{};
        if (!langs.empty())
            localString_ = CommonFunction::switchLanguage(langs.front());
    }
    return localString_;
}

void SettingModel::addUnique(std::vector<std::string>& list, const std::string& code) {
    if (!code.empty() && std::find(list.begin(), list.end(), code) == list.end())
        list.push_back(code);
}

std::vector<std::string> SettingModel::keepLanuage() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (keepBuilt_)
        return keepLanguages_;
    auto stored = defaults().stringArrayForKey(keys::KeepLanguage);
    bool defaultsEmpty = !stored.has_value();
    keepLanguages_ = stored.value_or(std::vector<std::string>{});
    addUnique(keepLanguages_, "en");
    std::string local = localStr();
    if (!local.empty() &&
        std::find(keepLanguages_.begin(), keepLanguages_.end(), local) == keepLanguages_.end()) {
        keepLanguages_.push_back(local);
        onlyOne_ = true;
    }
    keepBuilt_ = true;
    if (defaultsEmpty)
        addLocalLanuage();
    return keepLanguages_;
}

void SettingModel::addKeepLanuage(const std::vector<std::string>& list) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    keepLanguages_ = list;
    keepBuilt_ = true;
}

void SettingModel::removeKeepLanguages(const std::vector<std::string>& list) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    keepLanguages_.erase(std::remove_if(keepLanguages_.begin(), keepLanguages_.end(),
                                        [&](const std::string& c) {
                                            return std::find(list.begin(), list.end(), c) !=
                                                   list.end();
                                        }),
                         keepLanguages_.end());
}

void SettingModel::addLocalLanuage() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!env_.inputSourceLanguages)
        return;
    for (const auto& lang : env_.inputSourceLanguages())
        addUnique(keepLanguages_, CommonFunction::switchLanguage(lang));
}

std::vector<std::string> SettingModel::keepLanguages() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return keepLanguages_;
}

bool SettingModel::onlyOne() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return onlyOne_;
}

void SettingModel::loadKeepCookie() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (cookiesLoaded_)
        return;
    cookiesLoaded_ = true;
    if (auto stored = defaults().stringArrayForKey(keys::KeepCookie)) {
        keepCookies_ = *stored;
        return;
    }
    keepCookies_.clear();
    if (env_.keepCookieResourcePath.empty())
        return;
    if (auto v = plist::readFile(env_.keepCookieResourcePath); v && v->array())
        for (const auto& item : *v->array())
            if (auto s = item.string())
                keepCookies_.push_back(*s);
}

std::vector<std::string> SettingModel::keepCookiesRecord() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return keepCookies_;
}

void SettingModel::setKeepCookies(const std::vector<std::string>& list) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    keepCookies_ = list;
    cookiesLoaded_ = true;
}

bool SettingModel::playSoundVaule() const {
    return defaults().boolForKey(keys::PlaySound);
}

} // namespace tessaly
