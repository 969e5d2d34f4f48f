// The answer faults on the simulated serial line, on virtual time: a cut frame, a frame whose
// bytes come 1 ms apart, a frame from another address; and how faults are counted.
#include "sim/AnswerFaults.h"
#include "SimTestSupport.h"
#include "sim/Engine.h"

#include <gtest/gtest.h>

using namespace mulvane;

namespace {

RackConfig Rack() {
    RackConfig rack;
    for (auto [address, type] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {10, 4}, {0xFC, 2}}) {
        ModuleConfig m;
        m.address = address;
        m.type = type;
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
        m.block = std::vector<uint8_t>(30, 0x02); // every byte stuffed on the line
        rack.modules.push_back(m);
    }
    return rack;
}

struct AnswerFaultsFixture : ::testing::Test {
    RackEngine engine{Rack()};
    Faults& faults = engine.GetFaults();
    SerialLine line{&engine};
    int64_t now = 1000;

    test::BusExchange Ask(uint8_t address, uint8_t command = kCmdReadParameters) {
        return test::Exchange(line, now, address, command, {}, 500);
    }
    // The answer's bytes as they came after the echo of a request without data.
    static std::vector<uint8_t> AnswerBytes(const test::BusExchange& x, size_t echo = 5) {
        return {x.raw.begin() + static_cast<std::ptrdiff_t>(echo), x.raw.end()};
    }
};

} // namespace

TEST_F(AnswerFaultsFixture, TruncatedFrameStopsHalfWayAndNeverCompletes) {
    const auto clean = Ask(10);
    ASSERT_TRUE(clean.answer);
    const size_t whole = AnswerBytes(clean).size();

    faults.InjectAnswerFault(AnswerFault::Truncated, 1);
    const auto cut = Ask(10);
    EXPECT_FALSE(cut.answer);
    EXPECT_EQ(AnswerBytes(cut).size(), whole / 2);
    EXPECT_TRUE(std::equal(cut.raw.begin() + 5, cut.raw.end(), clean.raw.begin() + 5));
    EXPECT_EQ(line.Pending(), 0u); // the rest is not coming
    EXPECT_TRUE(Ask(10).answer);
}

TEST_F(AnswerFaultsFixture, ByteByByteFrameTakesOneMillisecondPerByteAndArrivesWhole) {
    const auto clean = Ask(10);
    ASSERT_TRUE(clean.answer);
    faults.InjectAnswerFault(AnswerFault::ByteByByte, 1);
    const int64_t sent = now;
    const auto slow = Ask(10);
    ASSERT_TRUE(slow.answer);
    EXPECT_EQ(slow.answer->data, clean.answer->data);
    EXPECT_EQ(slow.answeredAtMs - sent, static_cast<int64_t>(AnswerBytes(clean).size()) - 1);
}

TEST_F(AnswerFaultsFixture, OtherAddressNeverNamesThePcOrAllModules) {
    faults.InjectAnswerFault(AnswerFault::OtherAddress, 1);
    const auto x = Ask(10);
    ASSERT_TRUE(x.answer);
    EXPECT_NE(x.answer->source, 10);
    EXPECT_EQ(Ask(10).answer->source, 10);
    EXPECT_EQ(OtherAddress(0xFC), 0xFE);
    EXPECT_EQ(OtherAddress(0xFE), 0x00);
    EXPECT_EQ(OtherAddress(0x00), 0x01);
}

TEST_F(AnswerFaultsFixture, CountedAndPeriodicFaultsAndClear) {
    faults.InjectAnswerFaultEvery(AnswerFault::OtherAddress, 3);
    std::vector<bool> hit;
    for (int i = 0; i < 6; ++i)
        hit.push_back(faults.Consume(10).otherAddress);
    EXPECT_EQ(hit, (std::vector<bool>{true, false, false, true, false, false}));
    faults.Clear();
    faults.InjectAnswerFault(AnswerFault::Truncated, 2);
    faults.InjectAnswerFault(AnswerFault::ByteByByte, 1);
    AnswerFate first = faults.Consume(10);
    EXPECT_TRUE(first.truncated && first.byteByByte && !first.otherAddress);
    AnswerFate second = faults.Consume(10);
    EXPECT_TRUE(second.truncated && !second.byteByByte);
    EXPECT_FALSE(faults.Consume(10).truncated);
    // A dropped answer does not use up a fault.
    faults.InjectAnswerFault(AnswerFault::Truncated, 1);
    faults.DropNextAnswers(1);
    EXPECT_TRUE(faults.Consume(10).drop);
    EXPECT_TRUE(faults.Consume(10).truncated);
}

TEST(AnswerFaultNames, ParseAndPieces) {
    EXPECT_EQ(AnswerFaultByName("truncated"), AnswerFault::Truncated);
    EXPECT_EQ(AnswerFaultByName("byte-by-byte"), AnswerFault::ByteByByte);
    EXPECT_EQ(AnswerFaultByName("other-address"), AnswerFault::OtherAddress);
    EXPECT_FALSE(AnswerFaultByName("Truncated"));
    EXPECT_FALSE(AnswerFaultByName(""));
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    EXPECT_EQ(DeliveryPieces(bytes, false, false), (std::vector<std::vector<uint8_t>>{{1, 2, 3, 4, 5}}));
    EXPECT_EQ(DeliveryPieces(bytes, true, false), (std::vector<std::vector<uint8_t>>{{1, 2}}));
    EXPECT_EQ(DeliveryPieces(bytes, true, true), (std::vector<std::vector<uint8_t>>{{1}, {2}}));
    EXPECT_EQ(DeliveryPieces(bytes, false, true).size(), 5u);
}
