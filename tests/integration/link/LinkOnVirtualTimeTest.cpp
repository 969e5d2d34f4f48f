// The link against the simulated rack's in-memory bus, echo included, on virtual time.
#include "link/CommandSet.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/RecordingIndicators.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;

namespace {

struct SimBus : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 7};
    mulvane::SerialLine line{&engine};
    test::RecordingIndicators lamps;
    CXmit xmit{clock};
    CommandSet commands{xmit};

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 2));
        ASSERT_TRUE(xmit.OpenLink());
        EXPECT_EQ(xmit.PortNumber(), 2);
    }
};

} // namespace

TEST_F(SimBus, IdentifiesEveryModuleOfTheDemoRack) {
    const auto rack = engine.Config();
    for (const auto& module : rack.modules) {
        IdentifyResults r;
        EXPECT_EQ(commands.Identify(module.address, &r), module.type) << int(module.address);
        EXPECT_EQ(r.release, module.release);
        if (module.identifyLength < 4)
            EXPECT_EQ(r.hardwareRevision, 0);
        else
            EXPECT_EQ(r.hardwareRevision, module.hwRevision);
    }
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(SimBus, BlocksWrittenAreStoredAndReadBack) {
    for (const auto& module : engine.Config().modules) {
        if (module.block.empty())
            continue;
        uint8_t block[1024];
        uint16_t length = 0;
        ASSERT_TRUE(commands.ReadParameters(module.address, length, block)) << int(module.address);
        ASSERT_EQ(length, module.block.size());
        EXPECT_TRUE(std::equal(module.block.begin(), module.block.end(), block));

        // Change every byte that is 0x01 into 0x02 so that stuffing is exercised both ways.
        std::vector<uint8_t> changed(block, block + length);
        for (auto& b : changed)
            b = b == 0x01 ? 0x02 : b;
        commands.WriteData(module.address, changed);
        EXPECT_EQ(engine.CurrentBlock(module.address), changed);
    }
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(SimBus, FaultsGiveTheirOwnResults) {
    auto& faults = engine.GetFaults();
    faults.CorruptNextChecksum();
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType);
    EXPECT_EQ(xmit.LastResult(), LinkResult::BadChecksum);

    faults.AnswerNegatively(1);
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType);
    EXPECT_EQ(xmit.LastResult(), LinkResult::Negative);

    faults.DropNextAnswers(1);
    const int64_t before = clock.NowMs();
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType);
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
    EXPECT_GE(clock.NowMs() - before, 100);

    // Only the first failure told the status panel.
    int notices = 0;
    for (const auto& c : lamps.calls)
        notices += c.rfind("notice:", 0) == 0;
    EXPECT_EQ(notices, 1);

    xmit.ClearLinkLost();
    EXPECT_EQ(commands.Identify(10), 7);
}

TEST_F(SimBus, AnswerLaterThanTheTimeoutFailsAndDoesNotSpoilTheNextExchange) {
    engine.GetFaults().DelayAnswers(150);
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType); // 100 ms time-out
    engine.GetFaults().DelayAnswers(0);
    xmit.ClearLinkLost();
    clock.Advance(200); // the late answer has arrived meanwhile and is drained
    IdentifyResults r;
    EXPECT_EQ(commands.Identify(11, &r), 3);
}

TEST_F(SimBus, RestartSilencesTheRackUntilItComesBack) {
    commands.RestartAll();
    EXPECT_EQ(engine.RestartCount(), 1);
    EXPECT_EQ(commands.Identify(0), CommandSet::kNoModuleType);
    EXPECT_TRUE(xmit.IsLinkLost());
    // Once a second, as discovery does, until the controller answers.
    int attempts = 0;
    while (!xmit.OpenLink() && attempts < 10) {
        clock.Advance(1000);
        ++attempts;
    }
    EXPECT_GE(attempts, 2);
    EXPECT_LT(attempts, 10);
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(SimBus, ThrottledLineTakesTheWireTimeOfRequestEchoAndAnswer) {
    line.SetThrottled(true);
    std::vector<uint8_t> image(256);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i);
    const int64_t before = clock.NowMs();
    ASSERT_TRUE(commands.FlashWrite(image, 0x4000, 10, false));
    const int64_t took = clock.NowMs() - before;
    // 260 data bytes (one of them 0x02, so 261 on the line) + 7 framing bytes go out, then a
    // 5-byte answer: at 11,520 bytes/s that is about 23.7 ms.
    EXPECT_GE(took, 23);
    EXPECT_LE(took, 30);
}
