#include "daemon/CommandRunner.h"

#include "daemon/Arguments.h"
#include "daemon/FileOps.h"
#include "daemon/HelperProtocol.h"
#include "daemon/Launchctl.h"
#include "platform/FileRemoval.h"
#include "platform/Log.h"
#include "platform/MachOFile.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace dorn {

namespace {

using tessaly::PlistValue;
using Args = PlistValue::Array;

constexpr const char* kSpotlightJob = "/System/Library/LaunchDaemons/com.apple.metadata.mds.plist";

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

bool writePropertyList(const std::string& path, const PlistValue& v) {
    auto xml = tessaly::plist::serialize(v, tessaly::plist::Format::Xml);
    return xml && !xml->empty() && writeKeepingMode(path, xml->data(), xml->size());
}

} // namespace

CommandRunner::CommandRunner(RunnerOptions options, std::unique_ptr<PathSafety> safety)
    : options_(std::move(options)), safety_(std::move(safety)),
      buffer(static_cast<std::size_t>(bufferSize), 0x01),
      buffer0(static_cast<std::size_t>(bufferSize), 0x01) {
    if (!safety_)
        safety_ = std::make_unique<PathSafety>();
    addCommands();
}

bool CommandRunner::respondsToSelector(const std::string& command) const {
    return command == protocol::kRespondsToSelector || commands_.count(command) > 0;
}

Reply CommandRunner::perform(const std::string& command, const Args& arguments) {
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
    return it->second(arguments);
}

void CommandRunner::addCommands() {
    // Shapes of the argument lists.
    auto noArgs = [](std::function<Reply()> f) {
        return [f](const Args& a) { return a.empty() ? f() : wrongArguments(); };
    };
    auto onePath = [](std::function<Reply(const std::string&)> f) {
        return [f](const Args& a) {
            auto s = stringAt(a, 0);
            return s && a.size() == 1 ? f(*s) : wrongArguments();
        };
    };
    auto pathList = [](std::function<Reply(std::vector<std::string>)> f) {
        return [f](const Args& a) {
            auto list = stringListAt(a, 0);
            return list && a.size() == 1 ? f(std::move(*list)) : wrongArguments();
        };
    };
    auto oneBool = [](std::function<Reply(bool)> f) {
        return [f](const Args& a) {
            auto b = boolAt(a, 0);
            return b && a.size() == 1 ? f(*b) : wrongArguments();
        };
    };

    auto& c = commands_;
    c["removeFile:"] = pathList([this](auto p) { return removeFile(std::move(p)), none(); });
    c["reallyRemove:"] = pathList([this](auto p) { return reallyRemove(p), none(); });
    c["stopRemove"] = noArgs([this] { return stopRemove(), none(); });
    c["removeSystemFile:"] = onePath([this](auto& p) { return boolean(removeSystemFile(p)); });

    c["shredderFiles:"] = pathList([this](auto p) { return shredderFiles(p), none(); });
    c["shredderFile:one:"] = [this](const Args& a) {
        auto path = stringAt(a, 0);
        auto one = boolAt(a, 1);
        if (!path || !one || a.size() != 2)
            return wrongArguments();
        return boolean(shredderFile(*path, *one));
    };
    c["shredderStop"] = noArgs([this] { return shredderStop(), none(); });

    c["lipoSystemApp:"] = onePath([this](auto& p) { return lipoSystemApp(p), none(); });
    c["lipoApp:"] = pathList([this](auto p) { return lipoApp(std::move(p)), none(); });
    c["lipo:"] = pathList([this](auto p) { return lipo(p), none(); });
    c["getPCArchitecture"] = noArgs([this] { return value(PlistValue(getPCArchitecture())); });

    c["launchUnload:"] = onePath([this](auto& p) { return launchUnload(p), none(); });
    c["launchLoad:"] = onePath([this](auto& p) { return launchLoad(p), none(); });
    c["stopSystemServer:"] = pathList([this](auto p) { return stopSystemServer(p), none(); });
    c["startSystemServer:"] = pathList([this](auto p) { return startSystemServer(p), none(); });
    c["startSpolight"] = noArgs([this] { return startSpolight(), none(); });
    c["setServerDisable:disable:"] = [this](const Args& a) {
        auto path = stringAt(a, 0);
        auto disable = boolAt(a, 1);
        if (!path || !disable || a.size() != 2)
            return wrongArguments();
        return boolean(setServerDisable(*path, *disable));
    };

    c["createSystemDir:"] = onePath([this](auto& p) { return boolean(createSystemDir(p)); });
    c["copySystemFile:destPath:"] = [this](const Args& a) {
        auto from = stringAt(a, 0);
        auto to = stringAt(a, 1);
        if (!from || !to || a.size() != 2)
            return wrongArguments();
        return boolean(copySystemFile(*from, *to));
    };
    c["writeDataToSystemFile:path:"] = [this](const Args& a) {
        const PlistValue::Data* data = dataAt(a, 0);
        auto path = stringAt(a, 1);
        if (!data || !path || a.size() != 2)
            return wrongArguments();
        return boolean(writeDataToSystemFile(*data, *path));
    };
    c["writeDicToSystemFile:path:"] = [this](const Args& a) {
        const PlistValue::Dict* dict = dictAt(a, 0);
        auto path = stringAt(a, 1);
        if (!dict || !path || a.size() != 2)
            return wrongArguments();
        return boolean(writeDicToSystemFile(*dict, *path));
    };

    c["stop"] = noArgs([this] { return boolean(stop()); });
    c["setStop:"] = oneBool([this](bool v) { return setStop(v), none(); });
    c["stopShredder"] = noArgs([this] { return boolean(stopShredder()); });
    c["setStopShredder:"] = oneBool([this](bool v) { return setStopShredder(v), none(); });
}

void CommandRunner::removeFile(std::vector<std::string> paths) {
    stop_ = false;
    std::thread([this, p = std::move(paths)] { reallyRemove(p); }).detach();
}

void CommandRunner::reallyRemove(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (stop_)
            return;
        if (allowedToChange(*safety_, path, "removal", false))
            tessaly::fileops::removeItem(path); // a failure is passed over
    }
}

bool CommandRunner::removeSystemFile(const std::string& path) {
    if (!allowedToChange(*safety_, path, "removal", false))
        return false;
    if (!tessaly::fileops::itemExists(path))
        return false;
    return tessaly::fileops::removeItem(path);
}

void CommandRunner::shredderFiles(const std::vector<std::string>& paths) {
    stopShredder_ = false;
    for (const auto& path : paths) {
        if (stopShredder_)
            return;
        shredderFile(path, true);
    }
}

bool CommandRunner::shredderFile(const std::string& path, bool one) {
    if (!allowedToChange(*safety_, path, "overwrite", true))
        return false;
    // Opened without blocking, so that a pipe or device never holds the service.
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        tessaly::log::line("refused overwrite of \"" + path + "\": not a regular file");
        return false;
    }
    const std::uint8_t* pattern = one ? buffer.data() : buffer0.data();
    std::int64_t remaining = st.st_size;
    while (remaining > 0 && !stopShredder_) {
        std::size_t chunk =
            static_cast<std::size_t>(remaining < bufferSize ? remaining : bufferSize);
        remaining = remaining < bufferSize ? 0 : remaining - bufferSize;
        for (std::size_t done = 0; done < chunk;) {
            ssize_t w = ::write(fd, pattern + done, chunk - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ::close(fd);
                return false;
            }
            done += static_cast<std::size_t>(w);
        }
    }
    ::close(fd);
    return true;
}

void CommandRunner::lipoSystemApp(const std::string& path) {
    if (allowedToChange(*safety_, path, "thinning", true))
        tessaly::macho::thinToMachine(path, options_.lipoTool);
}

void CommandRunner::lipoApp(std::vector<std::string> paths) {
    std::thread([this, p = std::move(paths)] { lipo(p); }).detach();
}

void CommandRunner::lipo(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        lipoSystemApp(path);
        std::fputs("ok\n", stdout);
        std::fflush(stdout);
    }
}

std::string CommandRunner::getPCArchitecture() const {
    return tessaly::macho::machineArchitecture();
}

void CommandRunner::launchUnload(const std::string& path) {
    runLaunchctl(options_.launchctlTool, {"unload", path});
}

void CommandRunner::launchLoad(const std::string& path) {
    runLaunchctl(options_.launchctlTool, {"load", path});
}

void CommandRunner::stopSystemServer(const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        launchUnload(p);
}

void CommandRunner::startSystemServer(const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        launchLoad(p);
}

void CommandRunner::startSpolight() {
    runLaunchctl(options_.launchctlTool, {"load", "-w", kSpotlightJob});
}

bool CommandRunner::setServerDisable(const std::string& path, bool disable) {
    if (::access(path.c_str(), W_OK) != 0 || !allowedToChange(*safety_, path, "job rewrite", true))
        return false;
    auto job = tessaly::plist::readFile(path);
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
    return writePropertyList(path, *job);
}

bool CommandRunner::createSystemDir(const std::string& path) {
    return !path.empty() && path[0] == '/' && tessaly::paths::makeDirectories(path);
}

bool CommandRunner::copySystemFile(const std::string& from, const std::string& to) {
    if (from.empty() || from[0] != '/' || !allowedToChange(*safety_, to, "copy over", false))
        return false;
    return copyItem(from, to);
}

bool CommandRunner::writeDataToSystemFile(const std::vector<std::uint8_t>& data,
                                          const std::string& path) {
    if (!allowedToChange(*safety_, path, "write", true))
        return false;
    return writeKeepingMode(path, data.data(), data.size());
}

bool CommandRunner::writeDicToSystemFile(const PlistValue::Dict& dictionary,
                                         const std::string& path) {
    if (!allowedToChange(*safety_, path, "write", true))
        return false;
    return writePropertyList(path, PlistValue(dictionary));
}

} // namespace dorn
