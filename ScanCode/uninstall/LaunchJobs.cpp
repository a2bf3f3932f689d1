// Launch agents and daemons of an application: finding them and unloading them.
#include "ScanCode/uninstall/NameMatch.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "model/Problem.h"
#include "platform/ChildProcess.h"
#include "platform/DirectoryReader.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/TextCase.h"

namespace tessaly {

namespace {

// Where ".app" (any case) ends a folder name in the path: the position after it,
// searching from the end or from the start. npos when no folder ends so.
std::size_t bundleEnd(const std::string& path, bool last) {
    const std::string folded = text::asciiLowercase(path);
    std::size_t found = std::string::npos;
    for (std::size_t at = folded.find(".app"); at != std::string::npos;
         at = folded.find(".app", at + 1)) {
        std::size_t end = at + 4;
        if (end == folded.size() || folded[end] == '/') {
            found = end;
            if (!last)
                break;
        }
    }
    return found;
}

// The program a job starts: "Program", else the first argument that lies in an
// application or in an "Application Support" folder.
std::optional<std::string> jobProgram(const PlistValue& job) {
    if (const PlistValue* program = job.find("Program"); program && program->isString())
        return *program->string();
    const PlistValue* arguments = job.find("ProgramArguments");
    if (!arguments || !arguments->isArray())
        return std::nullopt;
    for (const PlistValue& argument : *arguments->array()) {
        const std::string* text = argument.string();
        if (text && (text::containsIgnoringCase(*text, ".app") ||
                     text->find("/Library/Application Support") != std::string::npos))
            return *text;
    }
    return std::nullopt;
}

// A job's record is its description: its size is the property list's own (what
// removing the job frees; the program it starts stays). Its icon is that of
// what it starts, when that is there.
void measureJob(SubAppFileObj& record, const std::optional<std::string>& target) {
    record.size = itemSize(record.path);
    if (target && fileops::itemExists(*target))
        record.icon = CommonFunction::imageForPath(*target);
}

// A unit name the user's service manager takes as one: letters, digits and
// ":-_.@\", not starting with '-'.
bool isUnitName(const std::string& label) {
    if (label.empty() || label[0] == '-' || label == "." || label == "..")
        return false;
    for (char c : label)
        if (!std::isalnum(static_cast<unsigned char>(c)) &&
            std::string_view(":-_.@\\").find(c) == std::string_view::npos)
            return false;
    return true;
}

} // namespace

std::optional<std::string>
SearchApplications::getAppPathFromExe(const std::optional<std::string>& program) {
    if (!program)
        return std::nullopt;
    if (text::equalsIgnoringCase(paths::extension(*program), "app"))
        return program;
    std::size_t end = bundleEnd(*program, /*last=*/true);
    return end == std::string::npos ? *program : program->substr(0, end);
}

SubAppFileList SearchApplications::searchAppServer(const AppItem& item,
                                                   const std::vector<std::string>& folders,
                                                   bool system) const {
    const auto maker = AppItem::companyFromIdentifier(item.bundleID);
    const std::string plainName = paths::deletingExtension(item.name);
    const AppItemList removable = allApplicationsForUninstall();
    // Whether another removable application comes from the same maker.
    auto makerShared = [&](const std::string& company) {
        for (const AppItemRef& other : removable)
            if (paths::deletingExtension(other->name) != plainName && other->company == company)
                return true;
        return false;
    };

    SubAppFileList records;
    for (const std::string& folder : folders) {
        DirectoryReader reader(folder);
        if (!reader.isOpen())
            ProblemCollector::reportUnreadable(folder, reader.openError());
        while (reader.next()) {
            const std::string name = reader.name();
            if (paths::extension(name) != "plist" ||
                name == "com.apple.FolderActions.folders.plist" ||
                text::containsIgnoringCase(name, "com.apple.AddressBook.ScheduledSync"))
                continue;
            const std::string path = paths::join(folder, name);
            auto job = plist::readFile(path);
            if (!job || !job->isDict())
                continue;
            std::optional<std::string> program = jobProgram(*job);
            if (program)
                program = paths::recordedPath(*program);
            const std::string label = job->stringForKey("Label");

            auto record = std::make_shared<SubAppFileObj>();
            record->type = subfile::LaunchJob;
            record->path = path;
            record->identifier = label;
            record->system = system;
            record->stamp = fileattr::stampOf(reader.info(), /*contents=*/false);

            if (program) {
                // Own program: a job that starts something inside the application's bundle.
                std::string parent = paths::deletingLastComponent(*program);
                std::size_t end = bundleEnd(parent, /*last=*/false);
                if (end != std::string::npos && parent.substr(0, end) == item.path) {
                    measureJob(*record, program);
                    records.push_back(std::move(record));
                    continue;
                }
            }
            bool ours = namematch::containsParts(name, item.bundleID, /*ignoreCase=*/true);
            if (!ours && maker && !label.empty()) {
                auto labelMaker = AppItem::companyFromIdentifier(label);
                ours = labelMaker && !text::equalsIgnoringCase(*labelMaker, "apple") &&
                       *labelMaker == *maker && !makerShared(*labelMaker);
            }
            if (!ours)
                continue;
            record->appPath = getAppPathFromExe(program);
            measureJob(*record, record->appPath);
            records.push_back(std::move(record));
        }
    }
    return records;
}

std::optional<std::string> SearchApplications::stopUserJob(const SubAppFileObj& record) const {
    const std::string& label = record.identifier;
    if (!isUnitName(label))
        return std::nullopt;
    const std::string unit = label + ".service";
    if (!fileops::itemExists(paths::join(paths::homePath(), ".config/systemd/user/" + unit)))
        return std::nullopt; // nothing on this system runs the job
    std::string said;
    int status =
        runProcessCapturing(env_.userServiceTool, {"--user", "disable", "--now", unit}, &said);
    if (status == 0)
        return std::nullopt;
    return "its service " + unit + " could not be stopped (" +
           (status < 0 ? env_.userServiceTool + " could not be started"
                       : "exit status " + std::to_string(status)) +
           ")";
}

std::optional<std::string> SearchApplications::removeServer(const SubAppFileObj& record,
                                                            HelperPass& pass) {
    if (record.system) {
        if (!privilegedHelperEnabled())
            return std::string("the privileged helper is switched off");
        bool reached = env_.unloadSerevr && env_.unloadSerevr(record.path);
        if (!fileops::itemExists(record.path))
            return std::nullopt;
        return std::string(reached ? "the helper could not unload it"
                                   : "the helper is not installed or could not be reached");
    }
    if (auto why = stopUserJob(record))
        return why;
    pass.remove(record.path);
    return std::nullopt;
}

} // namespace tessaly
