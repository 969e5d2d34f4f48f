// The JSON forms of kaptiv-config: complete enough to give every block back byte for byte, and
// strict about what they read.
#include "tools/json/BlockJson.h"

#include "BlockTestSupport.h"

#include <gtest/gtest.h>

namespace kaptiv::tools {
namespace {

using settings::test::Fixture;
using settings::test::Hex;
using settings::test::SameBytes;

struct JsonCase {
    const char* file;
    uint8_t type;
};

class BlockJsonRoundTrip : public ::testing::TestWithParam<JsonCase> {};

TEST_P(BlockJsonRoundTrip, JsonGivesTheBlockBack) {
    const auto block = Fixture(GetParam().file);
    const auto decoded = BlockToJson(GetParam().type, block);
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    // Through text, as the command line does.
    const auto json = nlohmann::json::parse(decoded.json.dump());
    const auto encoded = BlockFromJson(GetParam().type, json);
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    EXPECT_TRUE(SameBytes(block, encoded.block));
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlockJsonRoundTrip,
                         ::testing::Values(JsonCase{"type-1.hex", 1}, JsonCase{"type-4.hex", 4},
                                           JsonCase{"type-7.hex", 7}, JsonCase{"type-10.hex", 10},
                                           JsonCase{"type-12.hex", 12}, JsonCase{"type-9.hex", 9},
                                           JsonCase{"type-9-cascade.hex", 9}, JsonCase{"type-14.hex", 14},
                                           JsonCase{"type-13.hex", 13}, JsonCase{"type-2.hex", 2},
                                           JsonCase{"type-5.hex", 5}, JsonCase{"type-6.hex", 6},
                                           JsonCase{"type-8.hex", 8}, JsonCase{"type-11.hex", 11}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             for (char& c : name) {
                                 if (c == '-')
                                     c = '_';
                             }
                             return name;
                         });

TEST(BlockJson, NamesFieldsInEngineeringUnitsWithTheirTexts) {
    const auto tuner = BlockToJson(1, Fixture("type-1.hex")).json;
    EXPECT_EQ(tuner["sections"][0]["frequencyMHz"], 12188);
    EXPECT_EQ(tuner["sections"][0]["fecText"], "5/6");
    const auto encoder = BlockToJson(9, Fixture("type-9.hex")).json;
    EXPECT_EQ(encoder["channels"][0]["name"], "L'\xC3\x89"
                                              "cho du Lac");
    EXPECT_EQ(encoder["channels"][1]["audioText"], "128 Kb/s");
    const auto streamer = BlockToJson(13, Fixture("type-13.hex")).json;
    EXPECT_EQ(streamer["mac"], "02:4D:56:13:2C:E7");
    EXPECT_EQ(streamer["qosText"], "MAX");
    EXPECT_EQ(streamer["services"][3]["streamText"], "P");
    EXPECT_EQ(streamer["streams"][0]["address"], "239.10.1.1");
}

TEST(BlockJson, PageStatesDecideWhatIsWritten) {
    auto tuner = BlockToJson(7, Fixture("type-7.hex")).json;
    tuner["page"]["lockTimeoutChecked"] = false;
    const auto tunerBlock = BlockFromJson(7, tuner).block;
    EXPECT_TRUE(SameBytes(Hex("00 00 01"), {tunerBlock.end() - 3, tunerBlock.end()}));

    auto encoder = BlockToJson(9, Fixture("type-9-cascade.hex")).json;
    encoder["page"]["changed"] = true;
    EXPECT_EQ(BlockFromJson(9, encoder).block.at(0), 0x00); // 255 + 1
}

TEST(BlockJson, AbsentFieldsTakeTheValuesOfAFreshEditor) {
    const auto block = BlockFromJson(1, nlohmann::json::parse(R"({"sections":[{"frequencyMHz":11700}]})"));
    ASSERT_TRUE(block.Ok()) << block.error;
    EXPECT_TRUE(SameBytes(Hex("84 4C 00 00 0E 00"), block.block));
}

TEST(BlockJson, RefusesWhatDoesNotFitWithThePathOfTheField) {
    auto expectError = [](uint8_t type, const char* text, const char* fragment) {
        const auto result = BlockFromJson(type, nlohmann::json::parse(text));
        EXPECT_FALSE(result.Ok()) << text;
        EXPECT_NE(result.error.find(fragment), std::string::npos) << result.error;
    };
    expectError(7, R"({"sections":[{},{"services":[{"serviceId":70000}]}]})",
                "sections[1].services[0].serviceId");
    expectError(7, R"({"sections":[{},{},{},{}]})", "at most 3");
    expectError(7, R"({"keptBytes":"01 02"})", "keptBytes");
    expectError(7, R"({"lockWatchdog":1})", "lockWatchdog");
    expectError(9, R"({"channels":[{"name":42}]})", "channels[0].name");
    expectError(9, R"({"type":14})", "type");
    expectError(13, R"({"address":"1.2.3.256"})", "address");
    expectError(13, R"({"services":[{"serviceId":1,"stream":17}]})", "stream");
    expectError(14, R"({"channels":[{"unseen":[1,2]}]})", "unseen");
    expectError(1, R"({"sections":[{"frequencyMHz":5000}]})", "5000 MHz"); // refused by the codec
    expectError(3, R"({})", "no parameter block");
    EXPECT_FALSE(BlockToJson(0, Hex("00")).Ok());
}

} // namespace
} // namespace kaptiv::tools
