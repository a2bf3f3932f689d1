#include "platform/CrashHandler.h"

#include "platform/Paths.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::crash {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t kPath = 4096;

// What the handler uses, fixed before any crash.
int reportFd = -1;
char partialPath[kPath];
char finalPath[kPath];
char alternateStack[64 * 1024];

// Async-signal-safe text output.
void put(const char* text) {
    std::size_t n = 0;
    while (text[n])
        ++n;
    while (n > 0) {
        ssize_t w = ::write(reportFd, text, n);
        if (w <= 0)
            return;
        text += w;
        n -= static_cast<std::size_t>(w);
    }
}

void putNumber(long long value) {
    char digits[24];
    int i = 0;
    bool negative = value < 0;
    unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value)
                                    : static_cast<unsigned long long>(value);
    do {
        digits[i++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v && i < 23);
    char out[26];
    int o = 0;
    if (negative)
        out[o++] = '-';
    while (i > 0)
        out[o++] = digits[--i];
    out[o] = '\0';
    put(out);
}

const char* signalName(int sig) {
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

extern "C" void onCrash(int sig, siginfo_t* info, void*) {
    if (reportFd >= 0) {
        put("Tessaly crashed\nSignal: ");
        put(signalName(sig));
        put(" (");
        putNumber(sig);
        put(")\nAddress: ");
        putNumber(static_cast<long long>(
            reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr)));
        put("\nProcess: ");
        putNumber(::getpid());
        put("\nTime: ");
        putNumber(static_cast<long long>(::time(nullptr)));
        put(" (seconds since 1970)\nBacktrace:\n");
        void* frames[64];
        int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, reportFd);
        ::fsync(reportFd);
        ::close(reportFd);
        reportFd = -1;
        ::rename(partialPath, finalPath);
    }
    // Die of the same signal, with the default action.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
}

bool copyInto(char* out, const std::string& text) {
    if (text.size() + 1 > kPath)
        return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

bool install(const std::string& reportPath) {
    uninstall();
    const std::string partial = reportPath + ".partial-" + std::to_string(::getpid());
    if (!paths::makeDirectories(paths::deletingLastComponent(reportPath)) ||
        !copyInto(partialPath, partial) || !copyInto(finalPath, reportPath))
        return false;
    int fd = ::open(partialPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    reportFd = fd;
    // The first backtrace loads what unwinding needs; in a handler it must not.
    void* warm[4];
    ::backtrace(warm, 4);
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    return true;
}

void uninstall() {
    if (reportFd < 0)
        return;
    ::close(reportFd);
    reportFd = -1;
    ::unlink(partialPath);
}

void removeStalePartials(const std::string& reportPath) {
    const std::string folder = paths::deletingLastComponent(reportPath);
    const std::string prefix = paths::lastComponent(reportPath) + ".partial-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.rfind(prefix, 0) != 0)
            continue;
        pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + prefix.size()));
        if (pid > 0 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM))
            continue; // still running
        if (pid != ::getpid())
            ::unlink(paths::join(folder, name).c_str());
    }
    ::closedir(dir);
}

} // namespace tessaly::crash
