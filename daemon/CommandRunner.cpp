#include "daemon/CommandRunner.h"

#include "daemon/BinaryPlistDecoder.h"
#include "daemon/FileOps.h"
#include "daemon/HelperProtocol.h"
#include "daemon/Launchctl.h"
#include "daemon/Spawn.h"
#include "daemon/Thinning.h"

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

// Largest job description setServerDisable:disable: reads.
constexpr std::size_t kMaxJobFileBytes = 4u << 20;

constexpr const char* kSpotlightJob = "/System/Library/LaunchDaemons/com.apple.metadata.mds.plist";

Reply none() {
    return {};
}

Reply value(plist_t v) {
    Reply r;
    r.value.reset(v);
    return r;
}

Reply boolean(bool b) {
    return value(plist_new_bool(b ? 1 : 0));
}

Reply wrongArguments() {
    Reply r;
    r.error = "wrong arguments";
    return r;
}

plist_t arg(plist_t args, std::uint32_t i) {
    return plist_array_get_item(args, i);
}

std::optional<std::vector<std::uint8_t>> readSmallFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > kMaxJobFileBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(done);
    return out;
}

// A property list read from a file, binary or XML.
PlistNode readPropertyList(const std::string& path) {
    auto bytes = readSmallFile(path);
    if (!bytes || bytes->empty())
        return {};
    if (bytes->size() >= 8 && std::memcmp(bytes->data(), "bplist00", 8) == 0)
        return PlistNode(decodeBinaryPlist(bytes->data(), bytes->size()));
    plist_t node = nullptr;
    plist_from_xml(reinterpret_cast<const char*>(bytes->data()),
                   static_cast<std::uint32_t>(bytes->size()), &node);
    return PlistNode(node);
}

std::string lastComponent(const std::string& p) {
    auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string deletingLastComponent(const std::string& p) {
    auto slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : p.substr(0, slash);
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

Reply CommandRunner::perform(const std::string& command, plist_t arguments) {
    if (command == protocol::kRespondsToSelector) {
        auto name = stringValue(arg(arguments, 0));
        if (!name || arraySize(arguments) != 1)
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
        return [f](plist_t a) { return arraySize(a) == 0 ? f() : wrongArguments(); };
    };
    auto onePath = [](std::function<Reply(const std::string&)> f) {
        return [f](plist_t a) {
            auto s = stringValue(arg(a, 0));
            return s && arraySize(a) == 1 ? f(*s) : wrongArguments();
        };
    };
    auto pathList = [](std::function<Reply(std::vector<std::string>)> f) {
        return [f](plist_t a) {
            auto list = stringArrayValue(arg(a, 0));
            return list && arraySize(a) == 1 ? f(std::move(*list)) : wrongArguments();
        };
    };
    auto oneBool = [](std::function<Reply(bool)> f) {
        return [f](plist_t a) {
            auto b = boolValue(arg(a, 0));
            return b && arraySize(a) == 1 ? f(*b) : wrongArguments();
        };
    };

    auto& c = commands_;
    c["removeFile:"] = pathList([this](auto p) { return removeFile(std::move(p)), none(); });
    c["reallyRemove:"] = pathList([this](auto p) { return reallyRemove(p), none(); });
    c["stopRemove"] = noArgs([this] { return stopRemove(), none(); });
    c["removeSystemFile:"] = onePath([this](auto& p) { return boolean(removeSystemFile(p)); });

    c["shredderFiles:"] = pathList([this](auto p) { return shredderFiles(p), none(); });
    c["shredderFile:one:"] = [this](plist_t a) {
        auto path = stringValue(arg(a, 0));
        auto one = boolValue(arg(a, 1));
        if (!path || !one || arraySize(a) != 2)
            return wrongArguments();
        return boolean(shredderFile(*path, *one));
    };
    c["shredderStop"] = noArgs([this] { return shredderStop(), none(); });

    c["lipoSystemApp:"] = onePath([this](auto& p) { return lipoSystemApp(p), none(); });
    c["lipoApp:"] = pathList([this](auto p) { return lipoApp(std::move(p)), none(); });
    c["lipo:"] = pathList([this](auto p) { return lipo(p), none(); });
    c["getPCArchitecture"] =
        noArgs([this] { return value(plist_new_string(getPCArchitecture().c_str())); });

    c["launchUnload:"] = onePath([this](auto& p) { return launchUnload(p), none(); });
    c["launchLoad:"] = onePath([this](auto& p) { return launchLoad(p), none(); });
    c["stopSystemServer:"] = pathList([this](auto p) { return stopSystemServer(p), none(); });
    c["startSystemServer:"] = pathList([this](auto p) { return startSystemServer(p), none(); });
    c["startSpolight"] = noArgs([this] { return startSpolight(), none(); });
    c["setServerDisable:disable:"] = [this](plist_t a) {
        auto path = stringValue(arg(a, 0));
        auto disable = boolValue(arg(a, 1));
        if (!path || !disable || arraySize(a) != 2)
            return wrongArguments();
        return boolean(setServerDisable(*path, *disable));
    };

    c["createSystemDir:"] = onePath([this](auto& p) { return boolean(createSystemDir(p)); });
    c["copySystemFile:destPath:"] = [this](plist_t a) {
        auto from = stringValue(arg(a, 0));
        auto to = stringValue(arg(a, 1));
        if (!from || !to || arraySize(a) != 2)
            return wrongArguments();
        return boolean(copySystemFile(*from, *to));
    };
    c["writeDataToSystemFile:path:"] = [this](plist_t a) {
        auto data = dataValue(arg(a, 0));
        auto path = stringValue(arg(a, 1));
        if (!data || !path || arraySize(a) != 2)
            return wrongArguments();
        return boolean(writeDataToSystemFile(*data, *path));
    };
    c["writeDicToSystemFile:path:"] = [this](plist_t a) {
        plist_t dict = arg(a, 0);
        auto path = stringValue(arg(a, 1));
        if (!dict || plist_get_node_type(dict) != PLIST_DICT || !path || arraySize(a) != 2)
            return wrongArguments();
        return boolean(writeDicToSystemFile(dict, *path));
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
            removeItem(path); // a failure is passed over
    }
}

bool CommandRunner::removeSystemFile(const std::string& path) {
    if (!allowedToChange(*safety_, path, "removal", false))
        return false;
    if (!itemExists(path))
        return false;
    return removeItem(path);
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
        logLine("refused overwrite of \"" + path + "\": not a regular file");
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
        thinToMachine(path, options_.lipoTool);
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
    return machineArchitecture();
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
    PlistNode job = readPropertyList(path);
    if (!job || plist_get_node_type(job.get()) != PLIST_DICT)
        return false;
    plist_t arguments = plist_dict_get_item(job.get(), "ProgramArguments");
    bool useProgram = arraySize(arguments) == 0;
    auto program = useProgram ? stringValue(plist_dict_get_item(job.get(), "Program"))
                              : stringValue(plist_array_get_item(arguments, 0));
    if (!program)
        return false; // no program path to change
    std::string changed = *program;
    if (disable)
        changed = (changed.ends_with('/') ? changed : changed + "/") + "disable";
    else if (lastComponent(changed).find("disable") != std::string::npos)
        changed = deletingLastComponent(changed);
    if (useProgram) {
        plist_dict_set_item(job.get(), "Program", plist_new_string(changed.c_str()));
    } else {
        plist_t rebuilt = plist_new_array();
        plist_array_append_item(rebuilt, plist_new_string(changed.c_str()));
        for (std::uint32_t i = 1; i < arraySize(arguments); ++i)
            plist_array_append_item(rebuilt, plist_copy(plist_array_get_item(arguments, i)));
        plist_dict_set_item(job.get(), "ProgramArguments", rebuilt);
    }
    std::string xml = toXml(job.get());
    return !xml.empty() && writeAtomically(path, xml.data(), xml.size());
}

bool CommandRunner::createSystemDir(const std::string& path) {
    return !path.empty() && path[0] == '/' && makeDirectories(path);
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
    return writeAtomically(path, data.data(), data.size());
}

bool CommandRunner::writeDicToSystemFile(plist_t dictionary, const std::string& path) {
    if (!allowedToChange(*safety_, path, "write", true))
        return false;
    std::string xml = toXml(dictionary);
    return !xml.empty() && writeAtomically(path, xml.data(), xml.size());
}

} // namespace dorn
