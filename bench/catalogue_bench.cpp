// Times the application catalogue beside `find` with the same pruning (and beside
// `find | du`, which also sizes what it finds), in one run, over a generated tree:
// application bundles in the system's Applications folder and in the home folder
// among many ordinary files.
//   TESSALY_BENCH_APPS    number of application bundles (default 400)
//   TESSALY_BENCH_FILES   number of ordinary files (default 40000)
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include "bench/BenchTree.h"
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string gRoot, gHome, gSystem;

void makeApp(const std::string& bundle, long n) {
    using namespace tessaly;
    paths::makeDirectories(bundle + "/Contents/MacOS");
    paths::makeDirectories(bundle + "/Contents/Resources/en.lproj");
    PlistValue::Dict info{{"CFBundleIdentifier", "com.maker.app" + std::to_string(n)},
                          {"CFBundleExecutable", "main"},
                          {"CFBundleShortVersionString", "1." + std::to_string(n % 10)}};
    plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), plist::Format::Binary);
    tessaly::bench::writeBenchFile(bundle + "/Contents/MacOS/main",
                                   20000 + static_cast<std::size_t>(n % 50) * 100);
    for (int r = 0; r < 8; ++r)
        tessaly::bench::writeBenchFile(bundle + "/Contents/Resources/r" + std::to_string(r), 500);
    tessaly::bench::writeBenchFile(bundle + "/Contents/Resources/en.lproj/Localizable.strings",
                                   300);
}

void buildTree(long apps, long files) {
    using namespace tessaly;
    long homeApps = apps / 4;
    for (long a = 0; a < apps - homeApps; ++a)
        makeApp(gSystem + "/Applications/Group" + std::to_string(a % 5) + "/App" +
                    std::to_string(a) + ".app",
                a);
    for (long a = 0; a < homeApps; ++a)
        makeApp(gHome + "/Projects/p" + std::to_string(a % 20) + "/Tool" + std::to_string(a) +
                    ".app",
                a);
    // Ordinary files: documents, a hidden cache and the user's Library, all of which
    // the walk lists or prunes.
    long made = 0;
    const char* places[] = {"Documents/d", "Library/Caches/c", ".cache/h", "Projects/p"};
    for (long d = 0; made < files; ++d) {
        std::string dir =
            gHome + "/" + places[d % 4] + std::to_string(d / 4) + "/sub" + std::to_string(d % 7);
        paths::makeDirectories(dir);
        for (int f = 0; f < 40 && made < files; ++f, ++made)
            tessaly::bench::writeBenchFile(dir + "/f" + std::to_string(f),
                                           static_cast<std::size_t>(made % 3000));
    }
    paths::makeDirectories(gSystem + "/Developer/Applications");
}

const char* kPackages[] = {"appex",  "bundle",   "component", "framework", "kext",
                           "plugin", "prefPane", "wdgt",      "xpc"};

std::string findCommand(bool withSizes) {
    std::string cmd = "find '" + gSystem + "/Applications' '" + gHome + "' '" + gSystem +
                      "/Developer/Applications' -path '" + gHome +
                      "/Library' -prune -o -name '.?*' -prune -o" +
                      " -type d -name '*.app' -print -prune -o";
    for (const char* p : kPackages)
        cmd += std::string(" -name '*.") + p + "' -prune -o";
    cmd += " -type d -false";
    if (withSizes)
        cmd += " | tr '\\n' '\\0' | xargs -0 du -s -B1";
    return cmd + " > /dev/null";
}

void BM_catalogue(benchmark::State& state) {
    std::size_t count = 0;
    for (auto _ : state) {
        tessaly::SearchApplications engine;
        engine.buildCatalogue();
        count = engine.allApplications().size();
    }
    state.counters["apps"] = static_cast<double>(count);
}

void BM_find(benchmark::State& state) {
    std::string cmd = findCommand(false);
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("find failed");
}

void BM_find_du(benchmark::State& state) {
    std::string cmd = findCommand(true);
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("find | du failed");
}

BENCHMARK(BM_catalogue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_find)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_find_du)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    const char* a = std::getenv("TESSALY_BENCH_APPS");
    const char* f = std::getenv("TESSALY_BENCH_FILES");
    long apps = a ? std::atol(a) : 400;
    long files = f ? std::atol(f) : 40000;
    char tmpl[] = "/tmp/tessaly-catalogue-bench-XXXXXX";
    if (!::mkdtemp(tmpl))
        return 1;
    gRoot = tmpl;
    gHome = gRoot + "/home";
    gSystem = gRoot + "/root";
    ::setenv("TESSALY_HOME", gHome.c_str(), 1);
    ::setenv("TESSALY_ROOT", gSystem.c_str(), 1);
    std::fprintf(stderr, "building %ld applications among %ld files under %s\n", apps, files, tmpl);
    buildTree(apps, files);
    tessaly::SettingModel::shareSettingModel().blockSize =
        tessaly::fileattr::preferredBlockSize(gHome);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tessaly::fileops::removeItem(gRoot);
    return 0;
}
