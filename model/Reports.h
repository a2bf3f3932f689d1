#pragma once

#include <optional>
#include <string>

namespace tessaly {

class UserDefaults;

// The two reports that leave the machine: an install report on the very first
// start, and the text of the last crash at the next start. Both go to the report
// host (TESSALY_REPORT_URL, else the "reportHost" setting); without a host, or
// with "sendReports" false, nothing is ever sent and a crash file is kept for
// the user to read. Each request has a time limit of a few seconds; its answer
// and any error are ignored.
namespace reports {

// home + "Library/Application Support/Tessaly/crash.txt".
std::string crashFilePath();

// Whether the user lets reports be sent ("sendReports"; on unless stored as
// false), and the choice; false when it could not be stored.
bool reportsAllowed(const UserDefaults& defaults);
bool setReportsAllowed(UserDefaults& defaults, bool allowed);

// The base URL reports go to; none when they must not be sent.
std::optional<std::string> destination(const UserDefaults& defaults);

// POST host + "/api/setup" with an empty body. False when nothing was sent.
bool sendInstallReport(const UserDefaults& defaults);

// When a crash file exists and reports may be sent: POST its text as
// "error_content=<text>" to host + "/api/errortext", then delete the file,
// whatever the outcome. False when nothing was sent.
bool sendCrashReport(const UserDefaults& defaults);

// What a start does, in this order: the install report on the first start, then
// the crash report. Blocking: the application calls it from a background queue.
void onStart(const UserDefaults& defaults, bool firstStart);

} // namespace reports
} // namespace tessaly
