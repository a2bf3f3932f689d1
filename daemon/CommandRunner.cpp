#include "daemon/CommandRunner.h"

#include "daemon/Arguments.h"
#include "daemon/Beneath.h"
#include "daemon/CallerRights.h"
#include "daemon/FileOps.h"
#include "daemon/HelperProtocol.h"
#include "daemon/Launchctl.h"
#include "daemon/LogText.h"
#include "daemon/Thinning.h"
#include "platform/FileRemoval.h"
#include "platform/MachOFile.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorn {

namespace {

using tessaly::PlistValue;
using Args = PlistValue::Array;

constexpr const char* kSpotlightJob = "/System/Library/LaunchDaemons/com.apple.metadata.mds.plist";
constexpr off_t kMaxJobBytes = 1 << 20;

Reply none() {
    return {};
}

Reply value(PlistValue v) {
    Reply r;
    r.value = std::move(v);
    return r;
}

Reply boolean(bool b) {
    return value(PlistValue(b));
}

Reply wrongArguments() {
    Reply r;
    r.error = "wrong arguments";
    return r;
}

std::string errnoText() {
    return std::strerror(errno);
}

// A path beneath its allowed place, the place open.
struct Reached {
    UniqueFd place;
    std::string relative;
    bool filesOnly = false;
    Place::AdmitsBeside admitsBeside = nullptr;
};

// The item's folder, open, and its name.
struct Entry {
    UniqueFd dir;
    std::string name;
    bool filesOnly = false; // the place admits regular files only
    Place::AdmitsBeside admitsBeside = nullptr;
};

class Refusal {
public:
    Refusal(const Caller& caller, Action action, const std::string& path)
        : caller_(caller), action_(action), path_(path) {}
    // Logs why the action is not done; false for the reply.
    bool operator()(const std::string& why) const {
        logLine(std::string("refused ") + actionName(action_) + " of " + quoted(path_) +
                " for user " + std::to_string(caller_.uid) + ": " + why);
        return false;
    }

private:
    const Caller& caller_;
    Action action_;
    const std::string& path_;
};

std::optional<Reached> reach(const AllowedRoots& roots, const Caller& caller,
                             const std::string& path, Action action) {
    Refusal refuse(caller, action, path);
    std::string why;
    auto located = roots.locate(path, caller, action, &why);
    if (!located) {
        refuse(why);
        return std::nullopt;
    }
    UniqueFd place = openFolder(located->place.path);
    struct stat st {};
    if (!place) {
        refuse("its allowed place " + quoted(located->place.path) + " cannot be opened");
        return std::nullopt;
    }
    if (located->place.owner &&
        (::fstat(place.get(), &st) != 0 || st.st_uid != *located->place.owner)) {
        refuse("the home folder does not belong to the caller");
        return std::nullopt;
    }
    return Reached{std::move(place), located->relative, located->place.filesOnly,
                   located->place.admitsBeside};
}

std::optional<Entry> reachEntry(const AllowedRoots& roots, const Caller& caller,
                                const std::string& path, Action action) {
    auto reached = reach(roots, caller, path, action);
    if (!reached)
        return std::nullopt;
    auto parent = openParentBeneath(reached->place.get(), reached->relative);
    if (!parent) {
        Refusal(caller, action, path)("its folder cannot be reached without links: " + errnoText());
        return std::nullopt;
    }
    return Entry{std::move(parent->dir), std::move(parent->name), reached->filesOnly,
                 reached->admitsBeside};
}

std::optional<std::string> readAll(int fd, off_t limit) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit)
        return std::nullopt;
    std::string text;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buf, static_cast<std::size_t>(n));
        if (static_cast<off_t>(text.size()) > limit)
            return std::nullopt;
    }
}

// Whether the file behind fd belongs to the service's own user alone.
bool serviceOwned(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

} // namespace

CommandRunner::CommandRunner(RunnerOptions options)
    : options_(std::move(options)), buffer(static_cast<std::size_t>(bufferSize), 0x01),
      buffer0(static_cast<std::size_t>(bufferSize), 0x01) {
    addCommands();
}

bool CommandRunner::respondsToSelector(const std::string& command) const {
    return command == protocol::kRespondsToSelector || commands_.count(command) > 0;
}

bool CommandRunner::isImmediate(const std::string& command) {
    return command == protocol::kRespondsToSelector || command == "stopRemove" ||
           command == "shredderStop" || command == "stop" || command == "setStop:" ||
           command == "stopShredder" || command == "setStopShredder:";
}

void CommandRunner::arrived(const std::string& command) {
    // A removal or an overwrite lifts the stop of earlier ones as it arrives; a
    // stop that arrives after it, even before it has started, stops it.
    if (command == "removeFile:")
        stop_ = false;
    else if (command == "shredderFiles:")
        stopShredder_ = false;
}

Reply CommandRunner::perform(const Caller& caller, const std::string& command,
                             const Args& arguments) {
    if (command == protocol::kRespondsToSelector) {
        auto name = stringAt(arguments, 0);
        if (!name || arguments.size() != 1)
            return wrongArguments();
        return boolean(respondsToSelector(*name));
    }
    auto it = commands_.find(command);
    if (it == commands_.end()) {
        Reply r;
        r.error = "unknown command";
        return r;
    }
    return it->second(caller, arguments);
}

void CommandRunner::addCommands() {
    using Path = const std::string&;
    using Paths = std::vector<std::string>;
    // Shapes of the argument lists.
    auto noArgs = [](std::function<Reply()> f) {
        return [f](const Caller&, const Args& a) { return a.empty() ? f() : wrongArguments(); };
    };
    auto onePath = [](std::function<Reply(const Caller&, Path)> f) {
        return [f](const Caller& who, const Args& a) {
            auto s = stringAt(a, 0);
            return s && a.size() == 1 ? f(who, *s) : wrongArguments();
        };
    };
    auto pathList = [](std::function<Reply(const Caller&, Paths)> f) {
        return [f](const Caller& who, const Args& a) {
            auto list = stringListAt(a, 0);
            return list && a.size() == 1 ? f(who, std::move(*list)) : wrongArguments();
        };
    };
    auto oneBool = [](std::function<Reply(bool)> f) {
        return [f](const Caller&, const Args& a) {
            auto b = boolAt(a, 0);
            return b && a.size() == 1 ? f(*b) : wrongArguments();
        };
    };

    auto& c = commands_;
    c["removeFile:"] = pathList([this](const Caller& who, Paths p) {
        Reply r;
        removeFile(who, std::move(p), &r);
        return r;
    });
    c["reallyRemove:"] =
        pathList([this](const Caller& who, Paths p) { return reallyRemove(who, p), none(); });
    c["stopRemove"] = noArgs([this] { return stop_ = true, none(); });
    c["removeSystemFile:"] =
        onePath([this](const Caller& who, Path p) { return boolean(removeSystemFile(who, p)); });

    c["shredderFiles:"] =
        pathList([this](const Caller& who, Paths p) { return shredderFiles(who, p), none(); });
    c["shredderFile:one:"] = [this](const Caller& who, const Args& a) {
        auto path = stringAt(a, 0);
        auto one = boolAt(a, 1);
        if (!path || !one || a.size() != 2)
            return wrongArguments();
        return boolean(shredderFile(who, *path, *one));
    };
    c["shredderStop"] = noArgs([this] { return stopShredder_ = true, none(); });

    c["lipoSystemApp:"] =
        onePath([this](const Caller& who, Path p) { return lipoSystemApp(who, p), none(); });
    c["lipoApp:"] = pathList([this](const Caller& who, Paths p) {
        Reply r;
        if (!background_.post([this, who, p = std::move(p)] { lipo(who, p); }))
            r.error = "busy";
        return r;
    });
    c["lipo:"] = pathList([this](const Caller& who, Paths p) { return lipo(who, p), none(); });
    c["getPCArchitecture"] =
        noArgs([] { return value(PlistValue(tessaly::macho::machineArchitecture())); });

    c["launchUnload:"] =
        onePath([this](const Caller& who, Path p) { return runJobTool(who, p, false), none(); });
    c["launchLoad:"] =
        onePath([this](const Caller& who, Path p) { return runJobTool(who, p, true), none(); });
    c["stopSystemServer:"] = pathList([this](const Caller& who, Paths list) {
        for (const auto& p : list)
            runJobTool(who, p, false);
        return none();
    });
    c["startSystemServer:"] = pathList([this](const Caller& who, Paths list) {
        for (const auto& p : list)
            runJobTool(who, p, true);
        return none();
    });
    c["startSpolight"] = noArgs([this] {
        runLaunchctl(options_.launchctlTool, {"load", "-w", kSpotlightJob});
        return none();
    });
    c["setServerDisable:disable:"] = [this](const Caller& who, const Args& a) {
        auto path = stringAt(a, 0);
        auto disable = boolAt(a, 1);
        if (!path || !disable || a.size() != 2)
            return wrongArguments();
        return boolean(setServerDisable(who, *path, *disable));
    };

    c["createSystemDir:"] =
        onePath([this](const Caller& who, Path p) { return boolean(createSystemDir(who, p)); });
    c["copySystemFile:destPath:"] = [this](const Caller& who, const Args& a) {
        auto from = stringAt(a, 0);
        auto to = stringAt(a, 1);
        if (!from || !to || a.size() != 2)
            return wrongArguments();
        return boolean(copySystemFile(who, *from, *to));
    };
    c["writeDataToSystemFile:path:"] = [this](const Caller& who, const Args& a) {
        const PlistValue::Data* data = dataAt(a, 0);
        auto path = stringAt(a, 1);
        if (!data || !path || a.size() != 2)
            return wrongArguments();
        return boolean(writeToSystemFile(who, *path, data->data(), data->size()));
    };
    c["writeDicToSystemFile:path:"] = [this](const Caller& who, const Args& a) {
        const PlistValue::Dict* dict = dictAt(a, 0);
        auto path = stringAt(a, 1);
        if (!dict || !path || a.size() != 2)
            return wrongArguments();
        auto xml = tessaly::plist::serialize(PlistValue(*dict), tessaly::plist::Format::Xml);
        return boolean(xml && !xml->empty() &&
                       writeToSystemFile(who, *path, xml->data(), xml->size()));
    };

    c["stop"] = noArgs([this] { return boolean(stop_); });
    c["setStop:"] = oneBool([this](bool v) { return stop_ = v, none(); });
    c["stopShredder"] = noArgs([this] { return boolean(stopShredder_); });
    c["setStopShredder:"] = oneBool([this](bool v) { return stopShredder_ = v, none(); });
}

void CommandRunner::removeFile(const Caller& caller, std::vector<std::string> paths, Reply* reply) {
    if (!background_.post([this, caller, p = std::move(paths)] { reallyRemove(caller, p); }))
        reply->error = "busy";
}

void CommandRunner::reallyRemove(const Caller& caller, const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (stop_)
            return;
        removeSystemFile(caller, path); // a failure is passed over
    }
}

bool CommandRunner::removeSystemFile(const Caller& caller, const std::string& path) {
    auto entry = reachEntry(options_.roots, caller, path, Remove);
    if (!entry)
        return false;
    struct stat st {};
    if (::fstatat(entry->dir.get(), entry->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false; // nothing there (or nothing that can be looked at)
    if (entry->filesOnly && !S_ISREG(st.st_mode)) {
        Refusal(caller, Remove, path)("not a regular file");
        return false;
    }
    if (entry->admitsBeside && !entry->admitsBeside(entry->dir.get(), entry->name)) {
        Refusal(caller, Remove, path)("not a file that may go, judged by what lies beside it");
        return false;
    }
    std::string error;
    if (tessaly::fileops::removeItemAt(entry->dir.get(), entry->name, &error))
        return true;
    logLine("could not remove " + quoted(path) + ": " + error);
    return false;
}

void CommandRunner::shredderFiles(const Caller& caller, const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (stopShredder_)
            return;
        shredderFile(caller, path, true);
    }
}

bool CommandRunner::shredderFile(const Caller& caller, const std::string& path, bool one) {
    auto entry = reachEntry(options_.roots, caller, path, Overwrite);
    if (!entry)
        return false;
    Refusal refuse(caller, Overwrite, path);
    struct stat st {};
    if (::fstatat(entry->dir.get(), entry->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false; // missing
    if (!S_ISREG(st.st_mode))
        return refuse("not a regular file");
    // Opened without blocking, so that a pipe swapped in never holds the service.
    UniqueFd fd(::openat(entry->dir.get(), entry->name.c_str(),
                         O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return refuse("cannot open it: " + errnoText());
    tessaly::FileOverwrite eraser(
        one ? buffer.data() : buffer0.data(), buffer.size(),
        [this] { return stopShredder_.load(); }, options_.sync);
    std::string why;
    if (eraser.overwrite(fd.get(), &why))
        return true;
    return refuse(why);
}

void CommandRunner::lipoSystemApp(const Caller& caller, const std::string& path) {
    auto entry = reachEntry(options_.roots, caller, path, Thin);
    if (!entry)
        return;
    std::string why;
    if (!thinToMachineAt(entry->dir.get(), entry->name, &why) && !why.empty())
        Refusal(caller, Thin, path)(why);
}

void CommandRunner::lipo(const Caller& caller, const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        lipoSystemApp(caller, path);
        std::fputs("ok\n", stdout);
        std::fflush(stdout);
    }
}

void CommandRunner::runJobTool(const Caller& caller, const std::string& path, bool load) {
    Action action = load ? Load : Unload;
    auto entry = reachEntry(options_.roots, caller, path, action);
    if (!entry)
        return;
    Refusal refuse(caller, action, path);
    UniqueFd fd(::openat(entry->dir.get(), entry->name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        refuse("cannot open it: " + errnoText());
        return;
    }
    // Loading makes the service manager run what the description names, so the
    // description and its folder must be the service user's alone.
    if (load && (!serviceOwned(fd.get()) || !serviceOwned(entry->dir.get()))) {
        refuse("the job description or its folder may be changed by others");
        return;
    }
    auto text = readAll(fd.get(), kMaxJobBytes);
    if (!text) {
        refuse("not a job description file");
        return;
    }
    // The tool reads the copy of what was checked, never the path again.
    std::string copy = privateCopy(entry->name, *text);
    if (copy.empty()) {
        refuse("no private copy could be made: " + errnoText());
        return;
    }
    runLaunchctl(options_.launchctlTool, {load ? "load" : "unload", copy});
    removePrivateCopy(copy);
}

bool CommandRunner::setServerDisable(const Caller& caller, const std::string& path, bool disable) {
    auto entry = reachEntry(options_.roots, caller, path, Disable);
    if (!entry)
        return false;
    UniqueFd fd(::openat(entry->dir.get(), entry->name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    auto text = fd ? readAll(fd.get(), kMaxJobBytes) : std::nullopt;
    if (!text)
        return false;
    auto job =
        tessaly::plist::parse(reinterpret_cast<const std::uint8_t*>(text->data()), text->size());
    if (!job || !job->isDict())
        return false;
    PlistValue::Dict& dict = *job->dict();
    auto arguments = dict.find("ProgramArguments");
    PlistValue::Array* list = arguments != dict.end() ? arguments->second.array() : nullptr;
    bool useProgram = !list || list->empty();
    const PlistValue* programValue = useProgram ? job->find("Program") : &list->front();
    if (!programValue || !programValue->string())
        return false; // no program path to change
    std::string changed = *programValue->string();
    if (disable)
        changed = (changed.ends_with('/') ? changed : changed + "/") + "disable";
    else if (tessaly::paths::lastComponent(changed).find("disable") != std::string::npos)
        changed = tessaly::paths::deletingLastComponent(changed);
    if (useProgram)
        dict["Program"] = changed;
    else
        list->front() = changed;
    auto xml = tessaly::plist::serialize(*job, tessaly::plist::Format::Xml);
    std::string why;
    if (xml && !xml->empty() &&
        replaceFileAt(entry->dir.get(), entry->name, xml->data(), xml->size(), caller.uid,
                      caller.gid, &why))
        return true;
    return Refusal(caller, Disable, path)(why.empty() ? "cannot be written" : why);
}

bool CommandRunner::createSystemDir(const Caller& caller, const std::string& path) {
    auto reached = reach(options_.roots, caller, path, Write);
    if (!reached)
        return false;
    if (makeFoldersBeneath(reached->place.get(), reached->relative, caller.uid, caller.gid))
        return true;
    return Refusal(caller, Write, path)("cannot make it without links: " + errnoText());
}

bool CommandRunner::copySystemFile(const Caller& caller, const std::string& from,
                                   const std::string& to) {
    auto source = reach(options_.roots, caller, from, Read);
    if (!source)
        return false;
    std::optional<ParentFolder> sourceFolder;
    {
        // The caller must be able to reach the source itself.
        CallerRights rights(caller);
        if (rights.active())
            sourceFolder = openParentBeneath(source->place.get(), source->relative);
    }
    if (!sourceFolder)
        return Refusal(caller, Read, from)("the caller cannot reach it without links");
    auto target = reachEntry(options_.roots, caller, to, Write);
    if (!target)
        return false;
    std::string why;
    if (copyItemAt(sourceFolder->dir.get(), sourceFolder->name, target->dir.get(), target->name,
                   caller, &why))
        return true;
    return Refusal(caller, Write, to)("copy of " + quoted(from) + ": " + why);
}

bool CommandRunner::writeToSystemFile(const Caller& caller, const std::string& path,
                                      const void* bytes, std::size_t length) {
    auto entry = reachEntry(options_.roots, caller, path, Write);
    if (!entry)
        return false;
    std::string why;
    if (replaceFileAt(entry->dir.get(), entry->name, bytes, length, caller.uid, caller.gid, &why))
        return true;
    return Refusal(caller, Write, path)(why);
}

} // namespace dorn
