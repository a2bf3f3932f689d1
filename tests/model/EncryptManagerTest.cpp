#include "model/EncryptManager.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tessaly;

namespace {

const std::string kDataKey = "KPW5820417396";
const std::string kDataIV = "_KPW@5r*";

Data bytesOf(std::string_view s) {
    return Data(s.begin(), s.end());
}

std::string xml(const std::optional<PlistValue>& v) {
    if (!v)
        return "(none)";
    auto bytes = plist::serialize(*v, plist::Format::Xml);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(not serialisable)";
}

// A list like the data files hold.
PlistValue sampleList() {
    return PlistValue(PlistValue::Array{
        PlistValue::Dict{{"name", "Xcode caches"},
                         {"path", "~/Library/Caches/com.example.Xcode"},
                         {"size", std::numeric_limits<std::int64_t>::max()},
                         {"delta", std::numeric_limits<std::int64_t>::min()},
                         {"offset", -12},
                         {"ratio", 0.125},
                         {"enabled", true}},
        PlistValue::Dict{{"name", "Résumé ✓"},
                         {"path", "~/Library/Caches/com.example.Xcode"},
                         {"magic", PlistValue::Data{0xCA, 0xFE, 0x00, 0xBA, 0xBE}},
                         {"ratio", -1e-300},
                         {"enabled", false}},
    });
}

} // namespace

TEST(AES128, MatchesIndependentlyComputedVectors) {
    // Cipher texts produced by `openssl enc -aes-128-cbc` with the key and IV
    // buffers written out in hex (text, zero-filled to 16 bytes).
    struct Case {
        const char* plain;
        std::string key, iv;
        Data expected;
    };
    const Case cases[] = {
        {"0123456789abcdef", kDataKey, kDataIV, {0xd4, 0x71, 0x06, 0xc2, 0x23, 0xeb, 0x58, 0x81,
                                                 0xea, 0x41, 0x32, 0xad, 0x9d, 0xb3, 0xdd, 0x11,
                                                 0xd5, 0xb7, 0xe8, 0x70, 0x9c, 0x4f, 0xa5, 0x61,
                                                 0x2f, 0xe5, 0xac, 0x49, 0xa4, 0x99, 0x18, 0x4b}},
        {"Tessaly cipher!",
         kDataKey,
         kDataIV,
         {0x6b, 0x99, 0x29, 0x38, 0xdd, 0x48, 0x2e, 0x09, 0x32, 0xdc, 0x4d, 0x25, 0xed, 0xa9, 0x21,
          0x56}},
        // Key text beyond 16 bytes is cut: the key is "ABCDEFGHIJKLMNOP".
        {"Hello",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
         "iv-text",
         {0x4b, 0x1e, 0xed, 0xbd, 0xbe, 0x19, 0x35, 0x0b, 0x7d, 0x69, 0x1e, 0x0d, 0x40, 0xd0, 0x06,
          0xf2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AES128EncryptWithKey(bytesOf(c.plain), c.key, c.iv), c.expected) << c.plain;
        EXPECT_EQ(AES128DecryptWithKey(c.expected, c.key, c.iv), bytesOf(c.plain)) << c.plain;
    }
    // The manager uses the data-file key and IV.
    EXPECT_EQ(EncryptManager::encryptString("0123456789abcdef"), cases[0].expected);
    EXPECT_EQ(EncryptManager::decryptData(cases[1].expected), "Tessaly cipher!");
}

TEST(AES128, OutputIsPaddedToTheNextBlock) {
    const std::pair<std::size_t, std::size_t> sizes[] = {{0, 16},  {1, 16},  {15, 16}, {16, 32},
                                                         {17, 32}, {31, 32}, {32, 48}};
    for (auto [in, out] : sizes) {
        Data plain(in, 0x5A);
        auto sealed = AES128EncryptWithKey(plain, "k", "v");
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), out) << in;
        EXPECT_EQ(AES128DecryptWithKey(*sealed, "k", "v"), plain) << in;
    }
}

TEST(AES128, FailuresGiveNone) {
    const Data sealed =
        *AES128EncryptWithKey(Data(16, 'x'), kDataKey, kDataIV); // last block all padding
    Data truncated(sealed.begin(), sealed.end() - 1);
    // Flipping a bit of the block before the last flips the same bit of the
    // last plain block: the padding byte 0x10 becomes 0x30.
    Data badPadding = sealed;
    badPadding[15] ^= 0x20;

    EXPECT_FALSE(AES128DecryptWithKey(truncated, kDataKey, kDataIV));
    EXPECT_FALSE(AES128DecryptWithKey(Data(), kDataKey, kDataIV));
    EXPECT_FALSE(AES128DecryptWithKey(badPadding, kDataKey, kDataIV));
    EXPECT_FALSE(AES128DecryptWithKey(sealed, "KPW5820417397", kDataIV));
    EXPECT_FALSE(AES128Operation(2, sealed, kDataKey, kDataIV));
    EXPECT_FALSE(EncryptManager::decryptData(truncated));
    EXPECT_FALSE(EncryptManager::decryptDataWithArray(badPadding));
}

TEST(EncryptManager, TextRoundTrips) {
    const std::string texts[] = {
        "",
        "plain ASCII",
        "Grüße aus Zürich — 東京 🍣",
        std::string("zero\0inside", 11),
        "\xF4\x8F\xBF\xBF \xEF\xBF\xBF", // U+10FFFF and U+FFFF
    };
    for (const auto& text : texts) {
        auto sealed = EncryptManager::encryptString(text);
        ASSERT_TRUE(sealed) << text;
        EXPECT_NE(*sealed, bytesOf(text));
        EXPECT_EQ(EncryptManager::decryptData(*sealed), text);
    }
}

TEST(EncryptManager, InvalidUtf8GivesNone) {
    const std::string invalid[] = {
        "\xC3",             // truncated sequence
        "ok\x80",           // stray continuation byte
        "\xC0\xAF",         // overlong "/"
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xED\xA0\x80",     // surrogate half
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xFF",
    };
    for (const auto& text : invalid) {
        EXPECT_FALSE(
            EncryptManager::decryptData(*AES128EncryptWithKey(bytesOf(text), kDataKey, kDataIV)))
            << text;
        EXPECT_FALSE(EncryptManager::encryptString(text)) << text;
    }
}

TEST(EncryptManager, ListsRoundTripThroughEncipheredArchives) {
    const PlistValue list = sampleList();
    auto sealed = EncryptManager::encryptDataWithArray(list);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(sealed->size() % 16, 0u);
    auto opened = EncryptManager::decryptDataWithArray(*sealed);
    ASSERT_TRUE(opened);
    EXPECT_EQ(*opened, list) << xml(opened);

    // Deciphered bytes that are not an archive, and values that cannot be archived.
    EXPECT_FALSE(EncryptManager::decryptDataWithArray(
        *AES128EncryptWithKey(bytesOf("not an archive"), kDataKey, kDataIV)));
    EXPECT_FALSE(EncryptManager::encryptDataWithArray(
        PlistValue(PlistValue::Array{PlistValue::Dict{{"bad", "\xC3("}}})));
}

TEST(EncryptManager, ReadsDataFiles) {
    test::TempTree tree;
    const std::string path = tree.path("CV.data");
    auto sealed = EncryptManager::encryptDataWithArray(sampleList());
    ASSERT_TRUE(sealed);
    ASSERT_TRUE(writeFileAtomically(path, sealed->data(), sealed->size()));
    EXPECT_EQ(EncryptManager::decryptResourceFile(path), sampleList());
    EXPECT_FALSE(EncryptManager::decryptResourceFile(tree.path("missing.data")));
    EXPECT_FALSE(EncryptManager::decryptResourceFile(tree.file("plain.data", "plain text")));
}

namespace {

struct ToolRun {
    int status = -1;
    std::string errors;
};

// Runs the data tool with its standard error captured.
ToolRun runDataTool(const test::TempTree& tree, const std::string& input,
                    const std::string& output) {
    const std::string errPath = tree.path("tool-stderr.txt");
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, 2);
        const char* args[] = {TESSALY_MKDATA_PATH, input.c_str(), output.c_str(), nullptr};
        ::execv(TESSALY_MKDATA_PATH, const_cast<char* const*>(args));
        ::_exit(127);
    }
    ToolRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.errors = test::readText(errPath);
    return run;
}

} // namespace

TEST(DataTool, BuildsDataFilesThatReadBackAsTheSourceList) {
    test::TempTree tree;
    const PlistValue expected(PlistValue::Array{
        PlistValue::Dict{{"name", "Mail downloads"},
                         {"size", -9223372036854775807LL - 1},
                         {"max", 9223372036854775807LL},
                         {"ratio", 1.5},
                         {"whole", 2.0},
                         {"on", true},
                         {"blob", PlistValue::Data{0x00, 0xFF, 0x10}},
                         {"tags", PlistValue::Array{"a", "Ω"}}},
        PlistValue::Dict{{"name", "Mail downloads"}, {"off", false}},
    });
    const std::string json = tree.file("CV.json", R"([
        {"name": "Mail downloads", "size": -9223372036854775808, "max": 9223372036854775807,
         "ratio": 1.5, "whole": 2.0, "on": true, "blob": {"$data": "AP8Q"}, "tags": ["a", "\u03a9"]},
        {"name": "Mail downloads", "off": false}
    ])");
    auto xmlSource = plist::serialize(expected, plist::Format::Xml);
    auto binarySource = plist::serialize(expected, plist::Format::Binary);
    ASSERT_TRUE(xmlSource && binarySource);
    const std::string xmlPath =
        tree.file("CV2.plist", std::string(xmlSource->begin(), xmlSource->end()));
    // No telling extension: the binary list is recognised by its content.
    const std::string binaryPath =
        tree.file("CV3.src", std::string(binarySource->begin(), binarySource->end()));

    for (const auto& input : {json, xmlPath, binaryPath}) {
        const std::string output = tree.path("out/" + paths::lastComponent(input) + ".data");
        tree.dir("out");
        auto run = runDataTool(tree, input, output);
        ASSERT_EQ(run.status, 0) << input << ": " << run.errors;
        auto decoded = EncryptManager::decryptResourceFile(output);
        ASSERT_TRUE(decoded) << input;
        EXPECT_EQ(*decoded, expected) << input << "\n" << xml(decoded);
    }
}

TEST(DataTool, RejectsBadSourcesWithoutWritingOutput) {
    test::TempTree tree;
    struct Case {
        const char* name;
        const char* contents;
        const char* mentions;
    };
    const Case cases[] = {
        {"broken.json", R"([{"a": 1},)", "JSON"},
        {"object.json", R"({"a": 1})", "list"},
        {"scalar-entry.json", R"([{"a": 1}, 5])", "[1]"},
        {"mixed-texts.json", R"(["a.example", {"a": 1}])", "[1]"},
        {"null.json", R"([{"a": null}])", "[0].a"},
        {"base64.json", R"([{"b": {"$data": "A=P8"}}])", "base64"},
        {"zero.json", R"([{"t": "a\u0000b"}])", "zero"},
        {"too-big.json", R"([{"n": 18446744073709551615}])", "[0].n"},
        {"broken.plist", "<plist><array><dict><key>a</key></array>", "property list"},
    };
    for (const auto& c : cases) {
        const std::string input = tree.file(c.name, c.contents);
        const std::string output = tree.path(std::string(c.name) + ".data");
        auto run = runDataTool(tree, input, output);
        EXPECT_NE(run.status, 0) << c.name;
        EXPECT_NE(run.errors.find(c.mentions), std::string::npos) << c.name << ": " << run.errors;
        EXPECT_NE(run.errors.find(c.name), std::string::npos) << run.errors;
        EXPECT_FALSE(tree.exists(std::string(c.name) + ".data")) << c.name;
    }
    auto missing = runDataTool(tree, tree.path("absent.json"), tree.path("absent.data"));
    EXPECT_NE(missing.status, 0);
    EXPECT_FALSE(tree.exists("absent.data"));
}
