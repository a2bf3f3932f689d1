// The service's message reader: requests as our own writer produces them, and
// hostile or malformed bodies.
#include "daemon/WireFormat.h"
#include "daemon/Arguments.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

std::vector<std::uint8_t> binary(const PlistValue& v) {
    return *plist::serialize(v, plist::Format::Binary);
}

TEST(WireFormat, DecodesRequestsAndTheirArguments) {
    PlistValue::Dict job{{"Label", PlistValue("Grüße ✓ 𝄞")}, {"Count", PlistValue(-42)}};
    PlistValue request(PlistValue::Dict{
        {"command", PlistValue("writeDicToSystemFile:path:")},
        {"arguments", PlistValue(PlistValue::Array{PlistValue(job), PlistValue("/tmp/a b"),
                                                   PlistValue(true), PlistValue(Data{0, 255}),
                                                   PlistValue(PlistValue::Array{"x", "y"})})}});
    auto bytes = binary(request);
    std::string error;
    auto r = dorn::decodeRequest(bytes.data(), bytes.size(), &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->command, "writeDicToSystemFile:path:");
    ASSERT_EQ(r->arguments.size(), 5u);
    EXPECT_EQ(*dorn::dictAt(r->arguments, 0), job);
    EXPECT_EQ(dorn::stringAt(r->arguments, 1), std::optional<std::string>("/tmp/a b"));
    EXPECT_EQ(dorn::boolAt(r->arguments, 2), std::optional<bool>(true));
    EXPECT_EQ(*dorn::dataAt(r->arguments, 3), (Data{0, 255}));
    EXPECT_EQ(dorn::stringListAt(r->arguments, 4), (std::vector<std::string>{"x", "y"}));

    // Reads of the wrong kind or past the end give nothing.
    EXPECT_FALSE(dorn::stringAt(r->arguments, 2));
    EXPECT_FALSE(dorn::boolAt(r->arguments, 1));
    EXPECT_FALSE(dorn::stringListAt(r->arguments, 1));
    EXPECT_FALSE(dorn::stringAt(r->arguments, 9));
    // Text holding a NUL would name another file to the system than the one checked.
    PlistValue::Array nul{PlistValue(std::string("/tmp/a\0/etc", 11)),
                          PlistValue(PlistValue::Array{std::string("b\0", 2)})};
    EXPECT_FALSE(dorn::stringAt(nul, 0));
    EXPECT_FALSE(dorn::stringListAt(nul, 1));

    // "arguments" may be left out.
    auto bare = binary(PlistValue(PlistValue::Dict{{"command", PlistValue("stop")}}));
    auto stop = dorn::decodeRequest(bare.data(), bare.size(), &error);
    ASSERT_TRUE(stop);
    EXPECT_TRUE(stop->arguments.empty());
}

TEST(WireFormat, RefusesMalformedAndExplodingBodies) {
    auto good = binary(PlistValue(PlistValue::Dict{
        {"command", PlistValue("stop")}, {"arguments", PlistValue(PlistValue::Array{})}}));
    auto truncated = std::vector<std::uint8_t>(good.begin(), good.begin() + 20);
    auto wrongMagic = good;
    wrongMagic[7] = '1';
    auto topOutOfRange = good;
    topOutOfRange[good.size() - 9] = 0xFF;
    // An array that holds itself: "bplist00", A1 00, offsets {8}, trailer.
    std::vector<std::uint8_t> cycle{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xA1, 0x00, 8};
    std::vector<std::uint8_t> trailer(32, 0);
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 1;
    trailer[31] = 10;
    cycle.insert(cycle.end(), trailer.begin(), trailer.end());
    PlistValue deep("leaf");
    for (int i = 0; i < 40; ++i)
        deep = PlistValue(PlistValue::Array{deep});
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>command</key>"
                      "<string>stop</string></dict></plist>";

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    std::vector<Case> cases = {
        {"empty", {}, "malformed property list"},
        {"truncated", truncated, "malformed property list"},
        {"wrong signature", wrongMagic, "malformed property list"},
        {"top object out of range", topOutOfRange, "malformed property list"},
        {"self-holding array", cycle, "malformed property list"},
        {"deeper than 32 levels",
         binary(PlistValue(PlistValue::Dict{{"command", PlistValue("stop")}, {"arguments", deep}})),
         "malformed property list"},
        {"a null value",
         {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x00, 8, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0,
          0,   0,   0,   0,   1,   0,   0,   0,   0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9},
         "malformed property list"},
        {"XML instead of binary", std::vector<std::uint8_t>(xml.begin(), xml.end()),
         "malformed property list"},
        {"not a dictionary", binary(PlistValue(PlistValue::Array{"stop"})),
         "request is not a dictionary"},
        {"no command", binary(PlistValue(PlistValue::Dict{{"arguments", PlistValue::Array{}}})),
         "request without a command"},
        {"command not text", binary(PlistValue(PlistValue::Dict{{"command", PlistValue(7)}})),
         "request without a command"},
        {"arguments not a list",
         binary(PlistValue(PlistValue::Dict{{"command", "stop"}, {"arguments", "x"}})),
         "arguments are not a list"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(dorn::decodeRequest(c.bytes.data(), c.bytes.size(), &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(WireFormat, RepliesReadBack) {
    auto reply = dorn::decodeMessage(dorn::encodeReply(PlistValue(true)).data(),
                                     dorn::encodeReply(PlistValue(true)).size());
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, PlistValue(PlistValue::Dict{{"reply", PlistValue(true)}}));
    auto error = dorn::encodeError("wrong arguments");
    EXPECT_EQ(*dorn::decodeMessage(error.data(), error.size()),
              PlistValue(PlistValue::Dict{{"error", PlistValue("wrong arguments")}}));
    auto empty = dorn::encodeEmptyReply();
    EXPECT_EQ(*dorn::decodeMessage(empty.data(), empty.size()), PlistValue(PlistValue::Dict{}));
    auto framed = dorn::frame({1, 2, 3});
    EXPECT_EQ(framed, (std::vector<std::uint8_t>{0, 0, 0, 3, 1, 2, 3}));
}

} // namespace
} // namespace tessaly
