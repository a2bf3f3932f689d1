#pragma once

// The helper client: every tool's way to work that needs root. Each call looks
// the DornDaemon service up afresh (one connection per call), sends its
// command(s) and waits for the reply. When the service cannot be reached, the
// call installs it (at most once per run for each operation), waits one second
// and tries again. Connection errors never reach the callers: they read as false.
//
// The gated operations use the service only once the "installDeamon" default
// is set (removeSystemFile2 does not consult it).
//
// A true result means the service was reached and did the work; a call that
// could not reach it (installation cancelled, failed, or the service still not
// answering after it) gives false and does nothing.
//
// A process that runs as root acts with its own rights: it never installs,
// asks or stops the service (every call gives false at once).
//
// A stop goes to the connections that carry the work it stops: the service
// stops only what the connection it arrives on sent before it.

#include <string>
#include <vector>

namespace tessaly {

class FileManagerAddation {
public:
    // Removes the paths through the service, one after the other, until
    // stopRemoveSystemFile. notRemoved (when given) receives, in order, every
    // handed-over path that may still exist afterwards: those the service could
    // not remove, those left by a stop, and every one still present when the
    // service was not reached (a path we cannot look at counts as present).
    // Only the paths absent from notRemoved may be counted as removed.
    static bool removeSystemFile(const std::vector<std::string>& paths,
                                 std::vector<std::string>* notRemoved = nullptr);
    // The same without consulting the "installDeamon" default.
    static bool removeSystemFile2(const std::vector<std::string>& paths,
                                  std::vector<std::string>* notRemoved = nullptr);
    // Overwrites the files through the service; returns once they are overwritten.
    static bool shredderFile(const std::vector<std::string>& paths);
    // Overwrites one file through the service ("shredderFile:one:"): true only
    // when it was overwritten and synced. reached (when given) says whether the
    // service answered at all.
    static bool shredderFileOne(const std::string& path, bool one, bool* reached = nullptr);
    // Unloads the job and removes its property list; true only when the list is gone.
    static bool unloadSerevr(const std::string& path);
    // Thins one executable to the machine's architecture.
    static void lipoSystemApp(const std::string& path);
    // Stops a removal in progress: no further path is handed over, and the
    // removals under way are told to stop. Never installs; true.
    static bool stopRemoveSystemFile();
    // Stops the overwrites under way before their next block (each then
    // answers that it did not overwrite its file). Never installs.
    static void stopShredder();
    // Whether the service is reachable; installs nothing.
    static bool installDeamon();
    // Removes a path as root without the service: pkexec /bin/rm -rf (directly
    // when we are root), waited for. True only when the removal succeeded and
    // nothing is left at the path.
    static bool removeFileWithPrivileges(const std::string& path);

    // Whether this process uses the service at all (not when it runs as root).
    static bool servesThisProcess();

    // Clears the once-per-run installation flags and the stop request (tests).
    static void resetRunStateForTesting();
    // Tests that run as root and exercise the service turn the root rule off.
    static void setRootActsDirectlyForTesting(bool direct);
};

} // namespace tessaly
