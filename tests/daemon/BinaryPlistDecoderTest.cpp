// The service's message reader against what our own writer produces and
// against hostile binary property lists.
#include "daemon/BinaryPlistDecoder.h"
#include "daemon/PlistNode.h"
#include "daemon/WireFormat.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

std::optional<PlistValue> throughDecoder(const std::vector<std::uint8_t>& bytes) {
    dorn::PlistNode node(dorn::decodeBinaryPlist(bytes.data(), bytes.size()));
    if (!node)
        return std::nullopt;
    return plist::parse(dorn::toBinary(node.get()));
}

TEST(BinaryPlistDecoder, ReadsEveryKindOfValueAsWritten) {
    PlistValue::Dict d;
    d["command"] = PlistValue("writeDicToSystemFile:path:");
    d["arguments"] = PlistValue(PlistValue::Array{
        PlistValue(PlistValue::Dict{
            {"Name", PlistValue("Grüße ✓ 𝄞")},
            {"Count", PlistValue(-42)},
            {"Big", PlistValue(static_cast<long long>(1) << 40)},
            {"Ratio", PlistValue(0.25)},
            {"On", PlistValue(true)},
            {"Bytes", PlistValue(Data{0, 1, 2, 255})},
            {"Same", PlistValue(PlistValue::Array{PlistValue("a"), PlistValue("a")})}}),
        PlistValue("/tmp/path with spaces")});
    PlistValue original(d);
    auto bytes = plist::serialize(original, plist::Format::Binary);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(throughDecoder(*bytes), original);

    std::string error;
    auto request = dorn::decodeRequest(bytes->data(), bytes->size(), &error);
    ASSERT_TRUE(request) << error;
    EXPECT_EQ(request->command, "writeDicToSystemFile:path:");
    EXPECT_EQ(dorn::arraySize(request->arguments.get()), 2u);
}

TEST(BinaryPlistDecoder, RefusesMalformedAndExplodingInput) {
    auto good = *plist::serialize(
        PlistValue(PlistValue::Dict{{"command", PlistValue("stop")},
                                    {"arguments", PlistValue(PlistValue::Array{})}}),
        plist::Format::Binary);
    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 20));
    auto wrongMagic = good;
    wrongMagic[7] = '1';
    bad.push_back(wrongMagic);
    auto topOutOfRange = good;
    topOutOfRange[good.size() - 9] = 0xFF;
    bad.push_back(topOutOfRange);
    auto tableOutOfRange = good;
    tableOutOfRange[good.size() - 1] = 0xFF;
    bad.push_back(tableOutOfRange);
    // An array that holds itself: "bplist00", A1 00, offsets {8}, trailer.
    std::vector<std::uint8_t> cycle{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xA1, 0x00, 8};
    std::vector<std::uint8_t> trailer(32, 0);
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 1;
    trailer[31] = 10;
    cycle.insert(cycle.end(), trailer.begin(), trailer.end());
    bad.push_back(cycle);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(dorn::decodeBinaryPlist(bad[i].data(), bad[i].size()), nullptr) << i;
    }

    // Deeper than the limit, even when each level is small.
    PlistValue deep("leaf");
    for (int i = 0; i < 40; ++i)
        deep = PlistValue(PlistValue::Array{deep});
    auto deepBytes = *plist::serialize(deep, plist::Format::Binary);
    EXPECT_EQ(dorn::decodeBinaryPlist(deepBytes.data(), deepBytes.size()), nullptr);
    dorn::DecodeLimits roomy;
    roomy.maxDepth = 64;
    dorn::PlistNode ok(dorn::decodeBinaryPlist(deepBytes.data(), deepBytes.size(), roomy));
    EXPECT_TRUE(ok);
}

} // namespace
} // namespace tessaly
