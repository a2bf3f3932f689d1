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
    Place rules; // the place's row: what it admits and with whose rights
};

// The item's folder, open, and its name.
struct Entry {
    UniqueFd dir;
    std::string name;
    Place rules;
};

// The caller's rights on this thread while an action runs in one of the
// caller's own places; nothing changes for a system place.
class ActingAs {
public:
    ActingAs(const Caller& caller, bool asCaller) {
        if (asCaller)
            rights_.emplace(caller);
    }
    bool ok() const { return !rights_ || rights_->active(); }

private:
    std::optional<CallerRights> rights_;
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
    UniqueFd place = AllowedRoots::open(located->place, &why);
    if (!place) {
        refuse("its allowed place " + quoted(located->place.path) +
               " cannot be opened safely: " + why);
        return std::nullopt;
    }
    return Reached{std::move(place), located->relative, located->place};
}

// Reached with the caller's rights where the place is the caller's: a folder
// the caller may not search is not reached either.
std::optional<Entry> reachEntry(const AllowedRoots& roots, const Caller& caller,
                                const std::string& path, Action action) {
    auto reached = reach(roots, caller, path, action);
    if (!reached)
        return std::nullopt;
    std::optional<ParentFolder> parent;
    {
        ActingAs acting(caller, reached->rules.asCaller);
        if (acting.ok())
            parent =
                openParentBeneath(reached->place.get(), reached->relative, reached->rules.volumes);
    }
    if (!parent) {
        Refusal(caller, action, path)(
            "its folder cannot be reached without links or other file systems: " + errnoText());
        return std::nullopt;
    }
    return Entry{std::move(parent->dir), std::move(parent->name), std::move(reached->rules)};
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

void CommandRunner::arrived(const RequestContext& context, const std::string& command) {
    // Work arriving after a stop is not stopped by it.
    if (command == "removeFile:" || command == "reallyRemove:")
        context.stops->workArrived(ConnectionStops::Removal, context.seq);
    else if (command == "shredderFiles:" || command == "shredderFile:one:")
        context.stops->workArrived(ConnectionStops::Overwrite, context.seq);
}

Reply CommandRunner::perform(const RequestContext& context, const std::string& command,
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
    return it->second(context, arguments);
}

void CommandRunner::addCommands() {
    using Path = const std::string&;
    using Paths = std::vector<std::string>;
    using Context = const RequestContext&;
    using Kind = ConnectionStops::Kind;
    // Shapes of the argument lists.
    auto noArgs = [](std::function<Reply(Context)> f) {
        return [f](Context ctx, const Args& a) { return a.empty() ? f(ctx) : wrongArguments(); };
    };
    auto onePath = [](std::function<Reply(const Caller&, Path)> f) {
        return [f](Context ctx, const Args& a) {
            auto s = pathAt(a, 0);
            return s && a.size() == 1 ? f(ctx.caller, *s) : wrongArguments();
        };
    };
    auto pathList = [](std::function<Reply(Context, Paths)> f) {
        return [f](Context ctx, const Args& a) {
            auto list = pathListAt(a, 0);
            return list && a.size() == 1 ? f(ctx, std::move(*list)) : wrongArguments();
        };
    };
    auto oneBool = [](std::function<Reply(Context, bool)> f) {
        return [f](Context ctx, const Args& a) {
            auto b = boolAt(a, 0);
            return b && a.size() == 1 ? f(ctx, *b) : wrongArguments();
        };
    };
    // The stop flags of the request's own connection.
    auto stopOf = [](Kind kind) {
        return [kind](Context ctx) { return ctx.stops->stop(kind, ctx.seq), none(); };
    };
    auto readStop = [](Kind kind) {
        return [kind](Context ctx) { return boolean(ctx.stops->standing(kind)); };
    };
    auto setStop = [](Kind kind) {
        return [kind](Context ctx, bool on) {
            if (on)
                ctx.stops->stop(kind, ctx.seq);
            else
                ctx.stops->lift(kind);
            return none();
        };
    };

    auto& c = commands_;
    c["removeFile:"] = pathList([this](Context ctx, Paths p) {
        Reply r;
        removeFile(ctx, std::move(p), &r);
        return r;
    });
    c["reallyRemove:"] =
        pathList([this](Context ctx, Paths p) { return reallyRemove(ctx, p), none(); });
    c["stopRemove"] = noArgs(stopOf(ConnectionStops::Removal));
    c["removeSystemFile:"] =
        onePath([this](const Caller& who, Path p) { return boolean(removeSystemFile(who, p)); });

    c["shredderFiles:"] =
        pathList([this](Context ctx, Paths p) { return shredderFiles(ctx, p), none(); });
    c["shredderFile:one:"] = [this](Context ctx, const Args& a) {
        auto path = pathAt(a, 0);
        auto one = boolAt(a, 1);
        if (!path || !one || a.size() != 2)
            return wrongArguments();
        return boolean(shredderFile(ctx, *path, *one));
    };
    c["shredderStop"] = noArgs(stopOf(ConnectionStops::Overwrite));

    c["lipoSystemApp:"] =
        onePath([this](const Caller& who, Path p) { return lipoSystemApp(who, p), none(); });
    c["lipoApp:"] = pathList([this](Context ctx, Paths p) {
        Reply r;
        if (!background_.post([this, who = ctx.caller, p = std::move(p)] { lipo(who, p); }))
            r.error = "busy";
        return r;
    });
    c["lipo:"] = pathList([this](Context ctx, Paths p) { return lipo(ctx.caller, p), none(); });
    c["getPCArchitecture"] =
        noArgs([](Context) { return value(PlistValue(tessaly::macho::machineArchitecture())); });

    c["launchUnload:"] =
        onePath([this](const Caller& who, Path p) { return runJobTool(who, p, false), none(); });
    c["launchLoad:"] =
        onePath([this](const Caller& who, Path p) { return runJobTool(who, p, true), none(); });
    c["stopSystemServer:"] = pathList([this](Context ctx, Paths list) {
        for (const auto& p : list)
            runJobTool(ctx.caller, p, false);
        return none();
    });
    c["startSystemServer:"] = pathList([this](Context ctx, Paths list) {
        for (const auto& p : list)
            runJobTool(ctx.caller, p, true);
        return none();
    });
    c["startSpolight"] = noArgs([this](Context) {
        runLaunchctl(options_.launchctlTool, {"load", "-w", kSpotlightJob});
        return none();
    });
    c["setServerDisable:disable:"] = [this](Context ctx, const Args& a) {
        auto path = pathAt(a, 0);
        auto disable = boolAt(a, 1);
        if (!path || !disable || a.size() != 2)
            return wrongArguments();
        return boolean(setServerDisable(ctx.caller, *path, *disable));
    };

    c["createSystemDir:"] =
        onePath([this](const Caller& who, Path p) { return boolean(createSystemDir(who, p)); });
    c["copySystemFile:destPath:"] = [this](Context ctx, const Args& a) {
        auto from = pathAt(a, 0);
        auto to = pathAt(a, 1);
        if (!from || !to || a.size() != 2)
            return wrongArguments();
        return boolean(copySystemFile(ctx.caller, *from, *to));
    };
    c["writeDataToSystemFile:path:"] = [this](Context ctx, const Args& a) {
        const PlistValue::Data* data = dataAt(a, 0);
        auto path = pathAt(a, 1);
        if (!data || !path || a.size() != 2)
            return wrongArguments();
        return boolean(writeToSystemFile(ctx.caller, *path, data->data(), data->size()));
    };
    c["writeDicToSystemFile:path:"] = [this](Context ctx, const Args& a) {
        const PlistValue::Dict* dict = dictAt(a, 0);
        auto path = pathAt(a, 1);
        if (!dict || !path || a.size() != 2)
            return wrongArguments();
        auto xml = tessaly::plist::serialize(PlistValue(*dict), tessaly::plist::Format::Xml);
        return boolean(xml && !xml->empty() &&
                       writeToSystemFile(ctx.caller, *path, xml->data(), xml->size()));
    };

    c["stop"] = noArgs(readStop(ConnectionStops::Removal));
    c["setStop:"] = oneBool(setStop(ConnectionStops::Removal));
    c["stopShredder"] = noArgs(readStop(ConnectionStops::Overwrite));
    c["setStopShredder:"] = oneBool(setStop(ConnectionStops::Overwrite));
}

void CommandRunner::removeFile(const RequestContext& context, std::vector<std::string> paths,
                               Reply* reply) {
    if (!background_.post([this, context, p = std::move(paths)] { reallyRemove(context, p); }))
        reply->error = "busy";
}

void CommandRunner::reallyRemove(const RequestContext& context,
                                 const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (context.stopped(ConnectionStops::Removal))
            return;
        removeSystemFile(context.caller, path); // a failure is passed over
    }
}

bool CommandRunner::removeSystemFile(const Caller& caller, const std::string& path) {
    auto entry = reachEntry(options_.roots, caller, path, Remove);
    if (!entry)
        return false;
    Refusal refuse(caller, Remove, path);
    ActingAs acting(caller, entry->rules.asCaller);
    if (!acting.ok())
        return refuse("cannot act with the caller's rights");
    struct stat st {};
    if (::fstatat(entry->dir.get(), entry->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false; // nothing there (or nothing that can be looked at)
    if (entry->rules.filesOnly && !S_ISREG(st.st_mode))
        return refuse("not a regular file");
    if (entry->rules.admitsBeside && !entry->rules.admitsBeside(entry->dir.get(), entry->name))
        return refuse("not a file that may go, judged by what lies beside it");
    std::string error;
    if (tessaly::fileops::removeItemAt(entry->dir.get(), entry->name, &error))
        return true;
    logLine("could not remove " + quoted(path) + ": " + error);
    return false;
}

void CommandRunner::shredderFiles(const RequestContext& context,
                                  const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (context.stopped(ConnectionStops::Overwrite))
            return;
        shredderFile(context, path, true);
    }
}

bool CommandRunner::shredderFile(const RequestContext& context, const std::string& path, bool one) {
    const Caller& caller = context.caller;
    auto entry = reachEntry(options_.roots, caller, path, Overwrite);
    if (!entry)
        return false;
    Refusal refuse(caller, Overwrite, path);
    ActingAs acting(caller, entry->rules.asCaller);
    if (!acting.ok())
        return refuse("cannot act with the caller's rights");
    UniqueFd fd = openRegularAt(entry->dir.get(), entry->name, O_WRONLY);
    if (!fd) {
        if (errno == ENOENT)
            return false; // missing
        return refuse(errno == EINVAL ? "not a regular file" : "cannot open it: " + errnoText());
    }
    tessaly::FileOverwrite eraser(
        one ? buffer.data() : buffer0.data(), buffer.size(),
        [&context] { return context.stopped(ConnectionStops::Overwrite); }, options_.sync);
    std::string why;
    if (eraser.overwrite(fd.get(), &why))
        return true;
    return refuse(why);
}

void CommandRunner::lipoSystemApp(const Caller& caller, const std::string& path) {
    auto entry = reachEntry(options_.roots, caller, path, Thin);
    if (!entry)
        return;
    Refusal refuse(caller, Thin, path);
    ActingAs acting(caller, entry->rules.asCaller);
    if (!acting.ok()) {
        refuse("cannot act with the caller's rights");
        return;
    }
    std::string why;
    if (!thinToMachineAt(entry->dir.get(), entry->name, &why) && !why.empty())
        refuse(why);
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
    std::optional<std::string> text;
    {
        ActingAs acting(caller, entry->rules.asCaller);
        if (!acting.ok()) {
            refuse("cannot act with the caller's rights");
            return;
        }
        UniqueFd fd = openRegularAt(entry->dir.get(), entry->name, O_RDONLY);
        if (!fd) {
            refuse(errno == EINVAL ? "not a job description file"
                                   : "cannot open it: " + errnoText());
            return;
        }
        // Loading makes the service manager run what the description names, so
        // the description and its folder must be the service user's alone.
        if (load && (!serviceOwned(fd.get()) || !serviceOwned(entry->dir.get()))) {
            refuse("the job description or its folder may be changed by others");
            return;
        }
        text = readAll(fd.get(), kMaxJobBytes);
    }
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
    Refusal refuse(caller, Disable, path);
    ActingAs acting(caller, entry->rules.asCaller);
    if (!acting.ok())
        return refuse("cannot act with the caller's rights");
    // Read once through one descriptor; the rewrite replaces exactly that file.
    UniqueFd fd = openRegularAt(entry->dir.get(), entry->name, O_RDONLY);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return false;
    auto text = readAll(fd.get(), kMaxJobBytes);
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
    if (!xml || xml->empty())
        return refuse("cannot be written");
    std::string why;
    auto fill = [&xml](int out, std::string*) {
        return writeAllAt(out, xml->data(), xml->size(), 0);
    };
    if (replaceFileAt(entry->dir.get(), entry->name, fill, st.st_uid, st.st_gid, &st, &why))
        return true;
    return refuse(why.empty() ? "cannot be written" : why);
}

bool CommandRunner::createSystemDir(const Caller& caller, const std::string& path) {
    auto reached = reach(options_.roots, caller, path, Write);
    if (!reached)
        return false;
    Refusal refuse(caller, Write, path);
    ActingAs acting(caller, reached->rules.asCaller);
    if (!acting.ok())
        return refuse("cannot act with the caller's rights");
    if (reached->rules.volumes && reached->relative.find('/') == std::string::npos)
        return refuse("a volume itself");
    if (makeFoldersBeneath(reached->place.get(), reached->relative, caller.uid, caller.gid))
        return true;
    return refuse("cannot make it without links or other file systems: " + errnoText());
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
            sourceFolder =
                openParentBeneath(source->place.get(), source->relative, source->rules.volumes);
    }
    if (!sourceFolder)
        return Refusal(caller, Read, from)("the caller cannot reach it without links");
    auto target = reachEntry(options_.roots, caller, to, Write);
    if (!target)
        return false;
    ActingAs acting(caller, target->rules.asCaller);
    if (!acting.ok())
        return Refusal(caller, Write, to)("cannot act with the caller's rights");
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
    ActingAs acting(caller, entry->rules.asCaller);
    if (!acting.ok())
        return Refusal(caller, Write, path)("cannot act with the caller's rights");
    std::string why;
    if (replaceFileAt(entry->dir.get(), entry->name, bytes, length, caller.uid, caller.gid, &why))
        return true;
    return Refusal(caller, Write, path)(why);
}

} // namespace dorn
