#include "sim/Rack.h"
#include "SimTestSupport.h"
#include "sim/DemoBlocks.h"
#include "sim/Engine.h"

#include <gtest/gtest.h>
#include <set>

using namespace mulvane;

TEST(SimRack, DemoRackIsASmallHeadendWithEveryFamily) {
    const RackConfig rack = DemoRack();
    std::string error;
    ASSERT_TRUE(ValidateRack(rack, error)) << error;
    EXPECT_GE(rack.modules.size(), 8u);
    EXPECT_LE(rack.modules.size(), 13u);
    std::set<int> types;
    for (const auto& m : rack.modules)
        types.insert(m.type);
    auto hasAny = [&](std::initializer_list<int> wanted) {
        for (int t : wanted)
            if (types.count(t))
                return true;
        return false;
    };
    EXPECT_TRUE(hasAny({7, 10}));
    EXPECT_TRUE(hasAny({12}));
    EXPECT_TRUE(hasAny({9, 14}));
    EXPECT_TRUE(hasAny({3}));
    EXPECT_TRUE(hasAny({5, 6}));
    EXPECT_TRUE(hasAny({8, 11}));
    EXPECT_TRUE(hasAny({13}));
    EXPECT_TRUE(hasAny({1, 4}));
    EXPECT_TRUE(hasAny({2}));
}

TEST(SimRack, EveryEmbeddedFixtureParsesAndSeedsItsType) {
    for (const EmbeddedFixture& fixture : EmbeddedFixtures()) {
        std::string error;
        auto bytes = ParseHexText(std::string(fixture.text), error);
        ASSERT_TRUE(bytes) << fixture.fileName << ": " << error;
        EXPECT_FALSE(bytes->empty()) << fixture.fileName;
        EXPECT_LE(bytes->size(), 1024u) << fixture.fileName;
        if (fixture.fileName == "type-" + std::to_string(fixture.type) + ".hex") {
            EXPECT_EQ(DemoBlockFor(static_cast<uint8_t>(fixture.type)), *bytes) << fixture.fileName;
        }
    }
    // The demo modules start with their type's block.
    for (const auto& m : DemoRack().modules)
        EXPECT_EQ(m.block, DemoBlockFor(m.type)) << int(m.type);
}

TEST(SimRack, HexTextTakesCommentsPrefixesAndRuns) {
    std::string error;
    auto bytes = ParseHexText("# header\n0A 0x1b,ff # trailing\n  0102\n", error);
    ASSERT_TRUE(bytes) << error;
    EXPECT_EQ(*bytes, (std::vector<uint8_t>{0x0A, 0x1B, 0xFF, 0x01, 0x02}));
    EXPECT_FALSE(ParseHexText("0A 1", error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(ParseHexText("\nzz", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
}

TEST(SimRack, LoadsARackFile) {
    std::string error;
    auto rack = LoadRackJson(R"({
        "restartSilenceMs": 500,
        "modules": [
            {"type": 0, "address": 0},
            {"type": 9, "address": 10, "release": 41, "identifyLength": 5, "block": "2A 00 41",
             "status": "07", "answerDelayMs": [3, 3]},
            {"type": 3, "address": 11}
        ]})",
                             error);
    ASSERT_TRUE(rack) << error;
    EXPECT_EQ(rack->restartSilenceMs, 500);
    ASSERT_EQ(rack->modules.size(), 3u);
    const ModuleConfig& encoder = rack->modules[1];
    EXPECT_EQ(encoder.release, 41);
    EXPECT_EQ(encoder.identifyLength, 5);
    EXPECT_EQ(encoder.block, (std::vector<uint8_t>{0x2A, 0x00, 0x41}));
    EXPECT_EQ(encoder.answerDelayMinMs, 3);
    RackEngine engine(*rack);
    auto status = engine.Handle(10, 0x40, {}, 0);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->data, std::vector<uint8_t>{0x07});
    EXPECT_EQ(status->delayMs, 3);
    // A module without a block starts with its type's demo block.
    EXPECT_EQ(rack->modules[2].block, DemoBlockFor(3));
}

TEST(SimRack, RefusesRacksThatCannotExist) {
    const char* bad[] = {
        R"({"modules": []})",
        R"({"modules": [{"type": 4, "address": 10}]})",                             // no controller first
        R"({"modules": [{"type": 0, "address": 0}, {"type": 15, "address": 10}]})", // type out of range
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4, "address": 253}]})", // the PC's address
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4, "address": 10}, {"type": 2, "address": 10}]})",
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4, "address": 10, "identifyLength": 8}]})",
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4, "address": 10, "block": "0G"}]})",
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4, "address": 300}]})",
        R"({"modules": [{"type": 0, "address": 0}, {"type": 4}]})",
        R"([1, 2])",
        "not json",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(LoadRackJson(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(SimRack, DemoRackWalksLikeADiscovery) {
    // What a scan does: identify the controller, read its module list, identify every
    // listed module and read its block. Every list entry must match its identification.
    RackEngine engine(DemoRack(), 3);
    SerialLine line(&engine);
    int64_t now = 0;
    auto controller = test::Exchange(line, now, 0, kCmdIdentify);
    ASSERT_TRUE(controller.answer);
    EXPECT_EQ(controller.answer->data[0], kIdentifyMagic);
    EXPECT_EQ(controller.answer->data[1], 0);
    auto list = test::Exchange(line, now, 0, kCmdReadData);
    ASSERT_TRUE(list.answer);
    ASSERT_EQ(list.answer->data.size() % kModuleListEntrySize, 0u);
    const size_t count = list.answer->data.size() / kModuleListEntrySize;
    EXPECT_EQ(count + 1, DemoRack().modules.size());
    for (size_t i = 0; i < count; ++i) {
        const uint8_t address = list.answer->data[i * 3];
        const uint8_t type = list.answer->data[i * 3 + 1];
        EXPECT_EQ(address, 10 + i); // address = 9 + slot
        auto id = test::Exchange(line, now, address, kCmdIdentify);
        ASSERT_TRUE(id.answer) << int(address);
        EXPECT_EQ(id.answer->data[1], type);
        auto block = test::Exchange(line, now, address, kCmdReadParameters);
        ASSERT_TRUE(block.answer) << int(address);
        EXPECT_EQ(block.answer->data, DemoBlockFor(type));
    }
}
