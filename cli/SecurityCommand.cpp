#include "cli/SecurityCommand.h"

#include "ScanCode/security/VirtualScan.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"

#include <iostream>
#include <memory>

namespace tessaly::cli {

namespace {

struct SecurityOptions {
    std::vector<std::string> folders, signatures;
    bool home = false, system = false, json = false, yes = false;
};

ProblemList scan(VirtualScan& engine, const SecurityOptions& options) {
    if (options.home + options.system + !options.folders.empty() != 1)
        throw CommandExit(exitcode::Usage, "say what to scan: --system, --home or folders");
    for (const std::string& file : options.signatures) {
        std::string error;
        if (!engine.addSignatureFile(file, &error))
            throw CommandExit(exitcode::Usage, shown(error));
    }
    const int type = options.system ? 0 : options.home ? 1 : 2;
    engine.setScanType(type,
                       type == 2 ? folderArguments(options.folders) : std::vector<std::string>{});
    return scanTool(engine).problems;
}

void printScan(VirtualScan& engine, const ProblemList& problems, bool json) {
    engine.loadReport();
    const auto signatures = engine.signatureCounts();
    if (json) {
        nlohmann::json findings = nlohmann::json::array();
        std::vector<ScanModule> kinds{{"Malware"}, {"Spyware"}, {"Virus"}};
        for (const auto& v : engine.virs) {
            const std::string kind = VirtualScan::typeNameWithName(v->name);
            findings.push_back(
                {{"path", v->path}, {"name", v->name}, {"kind", kind}, {"size", v->fileSize}});
            for (ScanModule& row : kinds)
                if (row.name == kind)
                    row.add(v->fileSize, v->isCheck);
        }
        printJson(scanJson(engine, kinds, problems,
                           {{"findings", findings},
                            {"viruses", engine.virusesCount},
                            {"malware", engine.malwareCount},
                            {"spyware", engine.exploitCount},
                            {"scanned", engine.scanCount},
                            {"seconds", engine.scanTime},
                            {"time", VirtualScan::covertString(engine.scanTime)},
                            {"signatures",
                             {{"byte", signatures.byteSignatures},
                              {"digest", signatures.digests},
                              {"skippedLines", signatures.skippedLines}}}}),
                  std::cout);
        return;
    }
    for (const auto& v : engine.virs)
        std::cout << VirtualScan::typeNameWithName(v->name) << "  " << shown(v->name) << "  "
                  << shown(v->path) << "  " << CommonFunction::getSizeString(v->fileSize) << "\n";
    std::cout << "Viruses Objects: " << engine.virusesCount << " Items\n"
              << "Malware Objects: " << engine.malwareCount << " Items\n"
              << "Spyware Objects: " << engine.exploitCount << " Items\n"
              << "Scanned Objects: " << engine.scanCount << " Items\n"
              << "Scanned Time: " << VirtualScan::covertString(engine.scanTime) << "\n";
    if (signatures.skippedLines > 0)
        std::cout << signatures.skippedLines
                  << " lines of the signature files were skipped (not signatures this "
                     "scanner can use)\n";
    printProblems("Problems", problems, std::cout);
}

void addWhatToScan(CLI::App& command, SecurityOptions& options) {
    command.add_flag("--system", options.system, "scan everything on the disk (not other volumes)");
    command.add_flag("--home", options.home, "scan the home folders");
    command.add_option("folders", options.folders, "folders to scan");
    command.add_option("--signatures", options.signatures,
                       "also use this signature file (.hsb hashes or .ndb body signatures); "
                       "repeatable");
}

} // namespace

void addSecurityCommand(CLI::App& root) {
    auto options = std::make_shared<SecurityOptions>();
    CLI::App* security = root.add_subcommand(
        "security", "System Security: scan files for known malware by signature");
    security->require_subcommand(1);

    CLI::App* scanCommand = security->add_subcommand("scan", "list the files found, by kind");
    addWhatToScan(*scanCommand, *options);
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        VirtualScan& engine = VirtualScan::shareVirtualScan();
        ProblemList problems = scan(engine, *options);
        printScan(engine, problems, options->json);
    });

    CLI::App* cleanCommand = security->add_subcommand("clean", "remove the files the scan finds");
    addWhatToScan(*cleanCommand, *options);
    addJsonFlag(*cleanCommand, options->json);
    addYesFlag(*cleanCommand, options->yes);
    cleanCommand->callback([options] {
        VirtualScan& engine = VirtualScan::shareVirtualScan();
        ProblemList problems = scan(engine, *options);
        // A file that was never looked at may be one the clean should have
        // removed: such a clean is partial.
        cleanTool(engine, {options->yes, options->json, !problems.empty()}, problems);
    });
}

} // namespace tessaly::cli
