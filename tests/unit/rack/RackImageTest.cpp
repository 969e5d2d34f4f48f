#include "rack/RackImage.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::rack;

namespace {

ModuleRecord Record(uint8_t type, uint8_t release, uint8_t hw = 0, uint8_t sub = 255) {
    ModuleRecord r;
    r.type = type;
    r.release = release;
    r.hardwareRevision = hw;
    r.subRelease = sub;
    return r;
}

} // namespace

TEST(ModuleNames, ReleaseTextsAndSuffixes) {
    EXPECT_EQ(ListRowText(Record(7, 23)), "RkSat2.0\r\n2.3");
    EXPECT_EQ(ReleaseText(Record(2, 5)), "\r\n0.5");
    EXPECT_EQ(ReleaseText(Record(7, 23, 3)), "\r\n2.3(H3)");
    EXPECT_EQ(ReleaseText(Record(13, 15, 2)), "\r\n1.5.2");
    EXPECT_EQ(ReleaseText(Record(13, 15, 0)), "\r\n1.5");
    // The HD encoder shows hardware revision and sub-release even with revision 0.
    EXPECT_EQ(ReleaseText(Record(14, 30, 0, 1)), "\r\n3.0.0.1");
    EXPECT_STREQ(ModuleName(0), "RkPSU");
    EXPECT_STREQ(ModuleName(12), "QVXCT2");
    EXPECT_STREQ(ModuleName(15), "");
    EXPECT_EQ(RoleOf(15), ModuleRole::None);
}

TEST(ModuleList, EntriesOfThreeBytesAndNoMoreThanTheImageHolds) {
    const std::vector<uint8_t> two = {10, 7, 0, 11, 3, 0, 99};
    auto list = ParseModuleList(two);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[1].address, 11);
    EXPECT_EQ((*list)[1].type, 3);
    EXPECT_TRUE(ParseModuleList(std::vector<uint8_t>(14 * 3, 1)));
    EXPECT_FALSE(ParseModuleList(std::vector<uint8_t>(15 * 3, 1)));
    EXPECT_TRUE(ParseModuleList({})->empty());
}

TEST(RackImageRecords, BlocksOver1024BytesAreRefusedAndTheLiveHalfHolds15) {
    RackImage image;
    image.StartScan();
    for (uint8_t a = 1; a < 15; ++a)
        EXPECT_TRUE(image.Append(a, 7));
    EXPECT_FALSE(image.Append(15, 7));
    EXPECT_EQ(image.moduleCount, 15);
    std::vector<uint8_t> big(1025, 1);
    EXPECT_FALSE(image.Live(1).SetBlock(big));
    EXPECT_EQ(image.Live(1).blockLength, 0);
    big.resize(1024);
    EXPECT_TRUE(image.Live(1).SetBlock(big));
}

TEST(RackImageRecords, ControllerAndCommonInterfaceNeverGetAReference) {
    RackImage image;
    image.StartScan();
    image.Append(11, 3);
    image.Append(12, 6);
    const std::vector<uint8_t> block = {1, 2, 3};
    for (size_t i = 0; i < 3; ++i)
        image.Live(i).SetBlock(block);
    image.TakeReference();
    EXPECT_EQ(image.Live(0).referenceLength, 0);
    EXPECT_EQ(image.Live(1).referenceLength, 0);
    EXPECT_EQ(image.Live(2).referenceLength, 3);
    EXPECT_FALSE(image.Live(2).DiffersFromReference());
}

namespace {

struct ImageOnSimRack : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 2};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    RackImage image;

    void SetUp() override {
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line));
        ASSERT_TRUE(xmit.OpenLink());
        image.StartScan();
        for (const auto& m : engine.Config().modules) {
            if (m.address == 0)
                continue;
            ASSERT_TRUE(image.Append(m.address, m.type));
            image.Live(image.moduleCount - 1u).SetBlock(m.block);
        }
        image.TakeReference();
        engine.ClearHistory();
    }
    size_t IndexOf(uint8_t address) {
        for (size_t i = 0; i < image.moduleCount; ++i)
            if (image.Live(i).address == address)
                return i;
        return 0;
    }
};

} // namespace

TEST_F(ImageOnSimRack, SendChangesWritesOnlyChangedBlocksAndAppliesOutputs) {
    EXPECT_FALSE(image.SendChanges(commands));
    EXPECT_TRUE(engine.AllRequests().empty());

    ModuleRecord& tuner = image.Live(IndexOf(10));
    tuner.block[0] ^= 0xFF;
    ModuleRecord& modulator = image.Live(IndexOf(12));
    std::vector<uint8_t> longer(modulator.block.begin(), modulator.block.begin() + modulator.blockLength);
    longer.push_back(0x42);
    modulator.SetBlock(longer);
    image.RequestRestart();

    EXPECT_TRUE(image.SendChanges(commands));
    EXPECT_EQ(engine.BlocksWritten(10).size(), 1u);
    EXPECT_EQ(engine.CurrentBlock(10),
              std::vector<uint8_t>(tuner.block.begin(), tuner.block.begin() + tuner.blockLength));
    EXPECT_EQ(engine.ExecuteCount(10), 0); // an input is not told to apply
    EXPECT_EQ(engine.CurrentBlock(12), longer);
    EXPECT_EQ(engine.ExecuteCount(12), 1);
    EXPECT_EQ(engine.AllRequests().size(), 3u);
    EXPECT_FALSE(tuner.DiffersFromReference());
    EXPECT_FALSE(image.SendChanges(commands)); // the request was cleared
}

TEST_F(ImageOnSimRack, ApplyOutputsFollowsTheChainOfTheFilter) {
    // Demo slots: 10 sat -> 11 CI -> 12 COFDM; 13 terrestrial -> 14 QAM; 15 HD -> 16 IP;
    // 17 sat -> 18 COFDM; 19 A/V -> 20 QAM.
    image.ApplyOutputs(commands, 10);
    EXPECT_EQ(engine.ExecuteCount(12), 1);
    EXPECT_EQ(engine.ExecuteCount(14), 0);
    engine.ClearHistory();

    // The IP streamer takes no apply request, so nothing was served when the next input
    // comes: the next chain's output is told to apply as well.
    image.ApplyOutputs(commands, 15);
    EXPECT_EQ(engine.ExecuteCount(16), 0);
    EXPECT_EQ(engine.ExecuteCount(18), 1);
    EXPECT_EQ(engine.ExecuteCount(20), 0);
    engine.ClearHistory();

    image.ApplyOutputs(commands, kAllChains);
    for (uint8_t output : {12, 14, 18, 20})
        EXPECT_EQ(engine.ExecuteCount(output), 1) << int(output);
    EXPECT_EQ(engine.ExecuteCount(16), 0);
}
