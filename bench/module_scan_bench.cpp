// Times the Language and App Leftover scans of the System Cleanup on a generated
// fixture machine, built once in a temporary folder:
//   TESSALY_BENCH_APPS    number of application bundles (default 300), each with
//                         40 localisation folders of 6 files
//   TESSALY_BENCH_FILES   number of entries in the libraries the leftover scan
//                         lists (default 20000)
// The counters show what each scan found.
#include "ScanCode/system/AppLeftoverCleanner.h"
#include "ScanCode/system/ScanLanguageOperation.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "bench/BenchTree.h"
#include "model/SettingModel.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using namespace tessaly;

std::string gHome, gSystem;
SearchApplications* gCatalogue = nullptr;
PlistValue::Dict gLanguages;

const char* kCodes[] = {"en",    "en_GB", "fr",    "de",    "it",    "es",     "ja",    "ko",
                        "zh_CN", "zh_TW", "pt_BR", "pt_PT", "nl",    "sv",     "da",    "fi",
                        "nb",    "pl",    "ru",    "tr",    "cs",    "hu",     "el",    "he",
                        "ar",    "th",    "vi",    "id",    "ms",    "uk",     "ro",    "sk",
                        "hr",    "ca",    "hi",    "Base",  "fr_CA", "es_419", "ca_ES", "xx"};

void makeApp(long n) {
    std::string bundle = gSystem + "/Applications/App" + std::to_string(n) + ".app";
    paths::makeDirectories(bundle + "/Contents/MacOS");
    PlistValue::Dict info{
        {"CFBundleIdentifier", "com.maker" + std::to_string(n % 40) + ".app" + std::to_string(n)},
        {"CFBundleExecutable", "Runner" + std::to_string(n)}};
    plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), plist::Format::Binary);
    tessaly::bench::writeBenchFile(bundle + "/Contents/MacOS/Runner" + std::to_string(n), 20000);
    for (const char* code : kCodes) {
        std::string folder = bundle + "/Contents/Resources/" + code + ".lproj";
        paths::makeDirectories(folder);
        for (int f = 0; f < 6; ++f)
            tessaly::bench::writeBenchFile(
                folder + "/s" + std::to_string(f) + ".strings",
                static_cast<std::size_t>(200 + (n * 31 + f * 97) % 9000));
    }
}

// Preference files and support folders, a third of them left by removed applications.
void makeLibraries(long entries) {
    const std::string prefs = gHome + "/Library/Preferences";
    const std::string support = gHome + "/Library/Application Support";
    paths::makeDirectories(prefs);
    for (long e = 0; e < entries; ++e) {
        std::string vendor =
            e % 3 == 0 ? "gone" + std::to_string(e) : "maker" + std::to_string(e % 40);
        if (e % 4 == 0) {
            std::string folder = support + "/Vendor" + std::to_string(e % 50) + "/com." + vendor +
                                 ".tool" + std::to_string(e);
            paths::makeDirectories(folder);
            tessaly::bench::writeBenchFile(folder + "/data", 3000);
        } else {
            tessaly::bench::writeBenchFile(
                prefs + "/com." + vendor + ".helper" + std::to_string(e) + ".plist", 700);
        }
    }
}

ScanServices services() {
    ScanServices s;
    s.keepLanguages = [] { return std::vector<std::string>{"en", "de"}; };
    s.languageInfo = [](const std::string& code) -> std::optional<LanguageInfo> {
        auto it = gLanguages.find(code);
        if (it == gLanguages.end())
            return std::nullopt;
        const PlistValue* language = it->second.find("language");
        const PlistValue* country = it->second.find("country");
        if (!language || !country || !language->isString() || !country->isString())
            return std::nullopt;
        return LanguageInfo{*language->string(), *country->string()};
    };
    return s;
}

void BM_languageScan(benchmark::State& state) {
    std::size_t groups = 0, folders = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        ScanLanguageOperation op(*gCatalogue, services(), nullptr);
        auto found = op.scanLanguage();
        groups = found.size();
        folders = 0;
        bytes = totalSize(found);
        for (const auto& g : found)
            for (const auto& app : *g->subObjects)
                folders += app->removePaths.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["folders"] = static_cast<double>(folders);
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_leftoverScan(benchmark::State& state) {
    std::size_t items = 0;
    for (auto _ : state) {
        AppLeftoverCleanner op(*gCatalogue, nullptr);
        auto found = op.scanAppLeftOver();
        items = found.size();
        benchmark::DoNotOptimize(items);
    }
    state.counters["items"] = static_cast<double>(items);
}

BENCHMARK(BM_languageScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_leftoverScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    bench::BenchFolder folder("tessaly-module-bench");
    if (!folder.ok())
        return 1;
    gHome = folder.path() + "/home";
    gSystem = folder.path() + "/root";
    paths::makeDirectories(gHome);
    paths::makeDirectories(gSystem + "/Applications");
    ::setenv("TESSALY_HOME", gHome.c_str(), 1);
    ::setenv("TESSALY_ROOT", gSystem.c_str(), 1);
    const char* appsEnv = std::getenv("TESSALY_BENCH_APPS");
    long apps = appsEnv ? std::atol(appsEnv) : 300;
    long entries = std::getenv("TESSALY_BENCH_FILES") ? bench::benchFileCount() : 20000;
    if (auto table = plist::readFile(paths::resourcePath("Language", "plist"));
        table && table->isDict())
        gLanguages = *table->dict();
    if (gLanguages.empty()) {
        std::fprintf(stderr, "the language table was not found (build the resources)\n");
        return 1;
    }
    std::fprintf(stderr, "building %ld applications and %ld library entries under %s\n", apps,
                 entries, folder.path().c_str());
    for (long a = 0; a < apps; ++a)
        makeApp(a);
    makeLibraries(entries);
    SettingModel::shareSettingModel().blockSize = fileattr::preferredBlockSize(gHome);
    SearchApplications catalogue;
    catalogue.buildCatalogue();
    gCatalogue = &catalogue;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
