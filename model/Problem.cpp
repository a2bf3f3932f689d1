#include "model/Problem.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace tessaly {

namespace {

thread_local ProblemCollector* innermost = nullptr;

} // namespace

std::string reasonForError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied";
    case ENOENT:
        return "no such file or folder";
    case ENOTDIR:
        return "not a folder";
    case EROFS:
        return "read-only file system";
    case EBUSY:
    case ETXTBSY:
        return "in use";
    case ELOOP:
        return "a link where a folder was expected";
    case EIO:
        return "input/output error";
    default:
        break;
    }
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

ProblemCollector::ProblemCollector() : outer_(innermost) {
    innermost = this;
}

ProblemCollector::~ProblemCollector() {
    innermost = outer_;
}

ProblemList ProblemCollector::take() {
    ProblemList out;
    out.swap(problems_);
    return out;
}

void ProblemCollector::report(std::string path, std::string reason) {
    if (innermost)
        innermost->problems_.push_back({std::move(path), std::move(reason)});
}

void ProblemCollector::reportUnreadable(const std::string& path, int error) {
    if (error != 0 && error != ENOENT)
        report(path, "could not be read: " + reasonForError(error));
}

} // namespace tessaly
