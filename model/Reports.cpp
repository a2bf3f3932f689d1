#include "model/Reports.h"

#include "model/SettingKeys.h"
#include "platform/AtomicFile.h"
#include "platform/FileRemoval.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <cstdlib>
#include <curl/curl.h>

namespace tessaly::reports {

namespace {

constexpr long kTimeoutSeconds = 5;
constexpr std::size_t kMaxCrashText = 4 << 20;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

bool post(const std::string& url, const std::string& body) {
    CURL* curl = curl_easy_init();
    if (!curl)
        return false;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK)
        log::line("report to " + url + " not sent: " + curl_easy_strerror(rc));
    return true; // sent, whatever came back
}

std::string withoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

} // namespace

std::string crashFilePath() {
    return paths::join(paths::homePath(), "Library/Application Support/Tessaly/crash.txt");
}

bool reportsAllowed(const UserDefaults& defaults) {
    return !defaults.hasKey(keys::sendReports) || defaults.boolForKey(keys::sendReports);
}

bool setReportsAllowed(UserDefaults& defaults, bool allowed) {
    return defaults.setBool(keys::sendReports, allowed);
}

std::optional<std::string> destination(const UserDefaults& defaults) {
    if (!reportsAllowed(defaults))
        return std::nullopt;
    const char* env = std::getenv("TESSALY_REPORT_URL");
    std::string host = env && *env ? env : defaults.stringForKey(keys::reportHost);
    host = withoutTrailingSlash(host);
    if (host.empty())
        return std::nullopt;
    return host;
}

bool sendInstallReport(const UserDefaults& defaults) {
    auto host = destination(defaults);
    return host && post(*host + "/api/setup", std::string());
}

bool sendCrashReport(const UserDefaults& defaults) {
    const std::string path = crashFilePath();
    if (!fileops::itemExists(path))
        return false;
    auto host = destination(defaults);
    if (!host)
        return false; // kept for the user to read
    auto bytes = readWholeFile(path, kMaxCrashText);
    std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    post(*host + "/api/errortext", "error_content=" + text);
    fileops::removeItem(path);
    return true;
}

void onStart(const UserDefaults& defaults, bool firstStart) {
    if (firstStart)
        sendInstallReport(defaults);
    sendCrashReport(defaults);
}

} // namespace tessaly::reports
