#include "tests/support/DiskUsage.h"

#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "tests/support/ProcessCapture.h"

#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace tessaly::test {

std::int64_t duBytes(const std::vector<std::string>& paths) {
    std::vector<std::string> arguments{"-s", "-B1", "--total", "--"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    const CapturedRun run = runCaptured("/usr/bin/du", arguments);
    if (run.exitCode != 0)
        return -1;
    // The last line is the total: "BYTES\ttotal".
    std::istringstream lines(run.standardOutput);
    std::string line, last;
    while (std::getline(lines, line))
        if (!line.empty())
            last = line;
    try {
        return std::stoll(last);
    } catch (const std::exception&) {
        return -1;
    }
}

std::string sparseFile(const TempTree& t, const std::string& relative, std::int64_t size,
                       std::int64_t offset, std::int64_t data) {
    const std::string path = t.file(relative);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    const std::string bytes(static_cast<std::size_t>(data), 'd');
    const bool ok = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                        static_cast<ssize_t>(bytes.size()) &&
                    ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
    return path;
}

ScopedBlockSize::ScopedBlockSize(const std::string& onVolumeOf)
    : old_(SettingModel::shareSettingModel().blockSize.load()),
      block_(fileattr::preferredBlockSize(onVolumeOf)) {
    SettingModel::shareSettingModel().blockSize = block_;
}

ScopedBlockSize::~ScopedBlockSize() {
    SettingModel::shareSettingModel().blockSize = old_;
}

} // namespace tessaly::test
