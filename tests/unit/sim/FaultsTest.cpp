#include "SimTestSupport.h"
#include "sim/Engine.h"

#include <gtest/gtest.h>

using namespace mulvane;

namespace {

RackConfig Rack() {
    RackConfig rack;
    for (auto [address, type] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {10, 4}, {11, 2}}) {
        ModuleConfig m;
        m.address = address;
        m.type = type;
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
        m.block = std::vector<uint8_t>(20, 0x55);
        rack.modules.push_back(m);
    }
    return rack;
}

struct FaultsFixture : ::testing::Test {
    RackEngine engine{Rack()};
    Faults& faults = engine.GetFaults();
    SerialLine line{&engine};
    int64_t now = 1000;

    test::BusExchange Ask(uint8_t address, uint8_t command = kCmdIdentify,
                          const std::vector<uint8_t>& data = {}) {
        return test::Exchange(line, now, address, command, data);
    }
};

} // namespace

TEST_F(FaultsFixture, DropsTheNextAnswersThenAnswersAgain) {
    faults.DropNextAnswers(2);
    EXPECT_FALSE(Ask(10).answer);
    EXPECT_FALSE(Ask(11).answer);
    EXPECT_TRUE(Ask(10).answer);
}

TEST_F(FaultsFixture, DropsEveryAnswerOfOneAddress) {
    faults.DropAllAnswersOf(10);
    EXPECT_FALSE(Ask(10).answer);
    EXPECT_FALSE(Ask(10).answer);
    EXPECT_TRUE(Ask(11).answer);
    faults.DropAllAnswersOf(10, false);
    EXPECT_TRUE(Ask(10).answer);
}

TEST_F(FaultsFixture, DelayedAnswerArrivesLate) {
    faults.DelayAnswers(250);
    const int64_t sent = now;
    auto x = test::Exchange(line, now, 10, kCmdIdentify, {}, 1000);
    ASSERT_TRUE(x.answer);
    EXPECT_EQ(x.answeredAtMs - sent, 250);
}

TEST_F(FaultsFixture, CorruptedChecksumFailsOnTheWireOnce) {
    faults.CorruptNextChecksum();
    auto bad = Ask(10);
    EXPECT_FALSE(bad.answer);
    EXPECT_GT(bad.raw.size(), 5u); // the answer did come, but a checking receiver drops it
    EXPECT_TRUE(Ask(10).answer);
}

TEST_F(FaultsFixture, NegativeAnswers) {
    faults.AnswerNegatively(1);
    auto x = Ask(10, kCmdReadParameters);
    ASSERT_TRUE(x.answer);
    EXPECT_EQ(x.answer->control, kAnswerNegative);
    EXPECT_TRUE(x.answer->data.empty());
    EXPECT_EQ(Ask(10, kCmdReadParameters).answer->control, kAnswerPositive | kLengthFormOneByte);

    faults.AnswerNegativelyAlways(11);
    EXPECT_EQ(Ask(11).answer->Command(), kAnswerNegative);
    EXPECT_EQ(Ask(11).answer->Command(), kAnswerNegative);
}

TEST_F(FaultsFixture, RemovedModuleIsSilentAndLeavesTheListUntilReinserted) {
    faults.RemoveModule(10);
    EXPECT_FALSE(Ask(10).answer);
    EXPECT_EQ(Ask(0, kCmdReadData).answer->data, (std::vector<uint8_t>{11, 2, 0}));
    faults.ReinsertModule(10);
    EXPECT_TRUE(Ask(10).answer);
    EXPECT_EQ(Ask(0, kCmdReadData).answer->data, (std::vector<uint8_t>{10, 4, 0, 11, 2, 0}));
}

TEST_F(FaultsFixture, ChangedTypeShowsInIdentificationAndOptionallyInTheList) {
    faults.ChangeModuleType(10, 1, TypeChangeScope::IdentifyOnly);
    EXPECT_EQ(Ask(10).answer->data[1], 1);
    EXPECT_EQ(Ask(0, kCmdReadData).answer->data[1], 4); // the controller still lists type 4
    faults.ChangeModuleType(10, 1, TypeChangeScope::IdentifyAndList);
    EXPECT_EQ(Ask(0, kCmdReadData).answer->data[1], 1);
    faults.RestoreModuleType(10);
    EXPECT_EQ(Ask(10).answer->data[1], 4);
}

TEST_F(FaultsFixture, ThrottledLinePacesEchoAndAnswerAt11520BytesPerSecond) {
    faults.ThrottleSerial(true);
    const int64_t sent = now;
    auto request = *EncodeFrame(10, kAddrPc, kCmdReadParameters, {}); // 5 bytes
    line.SerialWrite(request, now);
    uint8_t buffer[64];
    EXPECT_EQ(line.SerialRead(buffer, sizeof buffer, now), 0u); // nothing has gone through yet
    // The 5 echo bytes are through after 435 us; the answer (20-byte block, 26 bytes on the
    // line) starts there and needs 2257 us more: byte k is through at 435 + ceil(k * 86.8) us.
    EXPECT_EQ(line.SerialNextOutputMs(), sent + 1);
    EXPECT_EQ(line.SerialRead(buffer, sizeof buffer, sent + 1), 5u + 6u);  // 435 + 521 <= 1000
    EXPECT_EQ(line.SerialRead(buffer, sizeof buffer, sent + 2), 18u - 6u); // 435 + 1563 <= 2000
    EXPECT_EQ(line.SerialRead(buffer, sizeof buffer, sent + 3), 26u - 18u);
    EXPECT_EQ(line.Pending(), 0u);
}

TEST_F(FaultsFixture, ClearEndsEveryFault) {
    faults.DropAllAnswersOf(10);
    faults.AnswerNegativelyAlways(11);
    faults.RemoveModule(11);
    faults.Clear();
    EXPECT_TRUE(Ask(10).answer);
    EXPECT_EQ(Ask(11).answer->Command(), kAnswerPositive);
}
