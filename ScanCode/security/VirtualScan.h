#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "ScanCode/security/SignatureIndex.h"
#include "model/ScaneOuputObject.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// Notifications of the malware scan, on the main queue.
inline constexpr const char* VirPathUpdate =
    "VirPathUpdate"; // the path examined (at most every 40 ms)
inline constexpr const char* VirScanFInish = "VirScanFInish";
inline constexpr const char* VirClearFInish = "VirClearFInish";

// Files above these sizes are not examined, or not digested.
inline constexpr std::int64_t kMaxExaminedSize = 36'563'000;
inline constexpr std::int64_t kMaxDigestedSize = 37'099'999;

// The System Security engine: the signature tables (byte patterns at fixed
// offsets and whole-file digests, shipped enciphered, plus signature files of
// the user's own), the scan of the whole disk, the home folders or a list of
// folders, and the removal of the findings.
class VirtualScan : public ToolEngine {
public:
    static VirtualScan& shareVirtualScan();

    VirtualScan();
    VirtualScan(PrivilegedRemoval privileged, std::function<void()> stop);

    // The tables, in file order, once loaded.
    std::optional<std::vector<VirusCodeObj>> virusCodes;
    std::optional<std::vector<VirusMD5Obj>> md5Codes;

    // Loads whichever shipped table is not loaded yet ("CV.data", "CV2.data").
    void loadVir();
    // Adds a signature file of the user's own (".hsb" or ".ndb") after the
    // tables loaded so far; false with the reason when it cannot be read.
    bool addSignatureFile(const std::string& path, std::string* error);
    // Replaces the user's own tables with the signature files (".hsb", ".ndb")
    // of the folder, in name order; an empty folder name leaves none. Returns
    // the files that could not be read.
    std::vector<std::string> useSignatureFolder(const std::string& folder);
    struct SignatureCounts {
        std::size_t byteSignatures = 0, digests = 0, skippedLines = 0;
    };
    SignatureCounts signatureCounts() const;

    // The lookups: a threat name, the empty text (nothing found), or none (the
    // file could not be read).
    std::optional<std::string> getVirusFromFilePath(const std::string& path, std::int64_t size);
    std::optional<std::string> checkVirus(const std::string& path, std::int64_t size);
    std::optional<std::string> checkVirusByHas256Code(const std::string& path);
    std::string getInformationWhenMD5Matched(const std::string& digest) const;
    static std::optional<std::string> getPartDataFromFile(const std::string& path,
                                                          std::int64_t offset, std::int64_t length);
    // "Malware", "Spyware" (a name holding "Expl") or "Virus".
    static std::string typeNameWithName(const std::string& name);

    // The last scan's findings and figures.
    ScanItemList virs;
    std::int64_t scanCount = 0;
    double scanTime = 0;
    std::int64_t virusesCount = 0, malwareCount = 0, exploitCount = 0;
    // Extensions never examined (compared exactly, case-sensitive).
    static const std::vector<std::string>& subFiles();

    void startSearchVirus(const std::vector<std::string>& folders);
    void prepareScan() { scanStop_.prepare(); }
    void stopScan() { scanStop_.request(); }
    void prepareClean() { cleanStop_.prepare(); }
    void stopClear() { cleanStop_.request(); }
    // Examines one file and adds a finding to the list.
    void checkVirus(const std::string& path, ScanItemList& result);
    void loadReport();
    std::int64_t selectCount() const;
    // Removes the ticked findings; the number removed.
    std::int64_t cleanVir();

    // The scan types: 0 "System Scan", 1 "Home Scan", 2 "Custom Scan".
    static std::string typeName(int type);
    static std::string typeDes(int type);
    static std::string typeImage(int type);
    // What a scan type walks, and the folders inside those that it passes over.
    // A System Scan walks "/" under the system root; a Home Scan the home's own
    // folders in the macOS layout, and in the Linux layout the whole home folder,
    // hidden folders included (where programs that start themselves live), with
    // the user's folders that lie elsewhere (user-dirs.dirs), but not the caches
    // and the trash; a Custom Scan the folders given.
    struct ScanPlaces {
        std::vector<std::string> folders, passedOver;
    };
    static ScanPlaces typePlaces(int type, const std::vector<std::string>& custom);
    static std::vector<std::string> typePaths(int type, const std::vector<std::string>& custom) {
        return typePlaces(type, custom).folders;
    }
    // "59 s", "1 m2 s", "1 h2 m5 s".
    static std::string covertString(double seconds);

    // The tool contract; scan walks the folders given to setScanFolders, each on
    // its own file system (another one mounted inside is listed under the
    // problems, not entered); the system's root is walked without its /proc,
    // /sys, /dev, /run and /Volumes, and without a word about what is mounted.
    std::string toolName() const override { return "System Security"; }
    std::int64_t toolIndex() const override;
    void setScanFolders(std::vector<std::string> folders) {
        folders_ = std::move(folders);
        passedOver_.clear();
    }
    // Scans what a scan type walks (see typePlaces).
    void setScanType(int type, const std::vector<std::string>& custom);
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

private:
    ScanSummary runScan(const std::vector<std::string>& folders, std::stop_token stop,
                        const ProgressSink& progress);
    CleanOutcome runClean(const Plan& plan, std::stop_token stop, const ProgressSink& progress);
    void rebuildIndex();

    PrivilegedRemoval privileged_;
    std::function<void()> stopPrivileged_;
    mutable std::mutex tablesMutex_;
    std::vector<VirusCodeObj> userCodes_;
    std::vector<VirusMD5Obj> userDigests_;
    std::size_t skippedLines_ = 0;
    SignatureIndex index_;
    std::vector<std::string> folders_, passedOver_;
    RunStop scanStop_, cleanStop_;
};

} // namespace tessaly
