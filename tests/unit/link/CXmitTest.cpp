#include "link/CXmit.h"
#include "platform/Clock.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/FrameDecode.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;
using test::ModuleAnswer;

namespace {

struct XmitFixture : ::testing::Test {
    platform::ManualClock clock;
    std::shared_ptr<test::SerialScript> script = std::make_shared<test::SerialScript>();
    test::RecordingIndicators lamps;
    CXmit xmit{clock};
    test::FakeOpener* opener = nullptr;

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        UsePorts({0});
    }
    void UsePorts(std::vector<int> live) {
        auto o = std::make_unique<test::FakeOpener>(clock, script, std::move(live));
        opener = o.get();
        xmit.SetPortOpener(std::move(o));
    }
    // Opens the link with a controller that answers the identification.
    void Open() {
        script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 23}));
        ASSERT_TRUE(xmit.OpenLink());
        script->writes.clear();
        lamps.calls.clear();
    }
};

} // namespace

TEST_F(XmitFixture, ExchangeLeavesThePositiveAnswerInTheAnswerFields) {
    Open();
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x11, 0x02, 0x33, 0x44}));
    const uint8_t request[] = {0x02};
    ASSERT_TRUE(xmit.Exchange(1, 0x05, 0x70, request, 10));
    EXPECT_EQ(xmit.AnswerLength(), 4);
    EXPECT_EQ(xmit.AnswerData()[1], 0x02);
    EXPECT_EQ(xmit.AnswerControl(), 0xF0);
    ASSERT_EQ(script->writes.size(), 1u);
    auto sent = test::DecodeSentFrame(script->writes[0]);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->destination, 0x05);
    EXPECT_EQ(sent->source, 0xFD);
    EXPECT_EQ(sent->control, 0x71);
    EXPECT_TRUE(sent->checksumOk);
    EXPECT_EQ(lamps.calls, (std::vector<std::string>{"light", "arm"}));
}

TEST_F(XmitFixture, WriteFlagLightsTheWriteLampAndIsClearedByTheExchange) {
    Open();
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {}));
    xmit.SetWriteFlag();
    ASSERT_TRUE(xmit.Exchange(0, 0x05, 0x80, nullptr, 100));
    EXPECT_FALSE(xmit.WriteFlag());
    EXPECT_EQ(lamps.calls, (std::vector<std::string>{"light+write", "arm"}));
}

TEST_F(XmitFixture, BroadcastReturnsAtOnceWithoutReading) {
    Open();
    const int64_t before = clock.NowMs();
    const uint8_t restart[] = {0x03};
    EXPECT_TRUE(xmit.Exchange(1, 0xFF, 0xC0, restart, 1));
    EXPECT_EQ(clock.NowMs(), before); // no echo wait ran out, no answer awaited
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(XmitFixture, NegativeAnswerFailsAfterBeingReadToItsEnd) {
    Open();
    auto negative = ModuleAnswer(0x05, 0xE0, {9, 9, 9, 9});
    auto next = ModuleAnswer(0x05, 0xF0, {1});
    script->answers.push_back(negative);
    script->answers.push_back(next);
    EXPECT_FALSE(xmit.Exchange(0, 0x05, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Negative);
    EXPECT_EQ(xmit.AnswerControl(), 0xE0);
    EXPECT_TRUE(script->pending.empty()); // nothing of it left on the line
    xmit.ClearLinkLost();
    EXPECT_TRUE(xmit.Exchange(0, 0x05, 0x70, nullptr, 10));
}

TEST_F(XmitFixture, FirstFailureShowsOneNoticeAndRaisesLinkLost) {
    Open();
    script->answers.push_back({});
    script->answers.push_back({});
    const int64_t before = clock.NowMs();
    EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
    EXPECT_EQ(clock.NowMs() - before, 10 * 10); // the time-out counts 10 ms units
    EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 10));
    EXPECT_TRUE(xmit.IsLinkLost());
    EXPECT_EQ(lamps.calls, (std::vector<std::string>{"light", "notice:LME#1A", "arm", "light", "arm"}));
}

TEST_F(XmitFixture, FailureOfTheControllerRaisesLinkLostWithoutNotice) {
    Open();
    script->answers.push_back({});
    EXPECT_FALSE(xmit.Exchange(0, 0x00, 0x70, nullptr, 10));
    EXPECT_TRUE(xmit.IsLinkLost());
    for (const auto& call : lamps.calls)
        EXPECT_EQ(call.find("notice"), std::string::npos);
}

TEST_F(XmitFixture, LongFramesGoOutInPiecesOf400Bytes) {
    Open();
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {}));
    std::vector<uint8_t> block(1000, 0x11);
    ASSERT_TRUE(xmit.Exchange(block.size(), 0x05, 0x50, block.data(), 500));
    ASSERT_EQ(script->writes.size(), 3u);
    EXPECT_EQ(script->writes[0].size(), 400u);
    EXPECT_EQ(script->writes[1].size(), 400u);
    EXPECT_EQ(script->writes[2].size(), 1000u + 7 - 800); // 3 header, control, 2 length, checksum
}

TEST_F(XmitFixture, StaleBytesAreDrainedBeforeTheRequest) {
    Open();
    // A late answer of an earlier request still sits on the line.
    auto late = ModuleAnswer(0x05, 0xF0, {0xBA, 0xD0});
    script->pending = late;
    script->answers.push_back(ModuleAnswer(0x05, 0xF0, {0x60, 0x0D}));
    ASSERT_TRUE(xmit.Exchange(0, 0x05, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.AnswerData()[0], 0x60);
}

TEST_F(XmitFixture, RefusedRequestIsNotALinkFailure) {
    Open();
    std::vector<uint8_t> huge(5000, 0x02);
    EXPECT_FALSE(xmit.Exchange(huge.size(), 0x05, 0x50, huge.data(), 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Refused);
    EXPECT_FALSE(xmit.IsLinkLost());
    EXPECT_TRUE(script->writes.empty());
}

TEST_F(XmitFixture, FailedWriteStillWaitsForTheAnswerAndFails) {
    Open();
    script->failWrites = true;
    EXPECT_FALSE(xmit.Exchange(0, 0x05, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
}

TEST_F(XmitFixture, WithoutAnyLinkTheExchangeFails) {
    EXPECT_FALSE(xmit.IsLinkOpen());
    EXPECT_FALSE(xmit.Exchange(0, 0x05, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::NoLink);
    EXPECT_FALSE(xmit.CloseSerialPort()); // nothing was open
}

TEST_F(XmitFixture, PortSearchStopsAtTheFirstControllerAndStartsThereNextTime) {
    UsePorts({3});
    script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 10}));
    ASSERT_TRUE(xmit.OpenLink());
    EXPECT_EQ(opener->opened, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(xmit.PortNumber(), 3);
    EXPECT_TRUE(xmit.IsLinkOpen());
    opener->opened.clear();
    script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 10}));
    ASSERT_TRUE(xmit.OpenLink());
    EXPECT_EQ(opener->opened, (std::vector<int>{3}));
}

TEST_F(XmitFixture, PortSearchWrapsAroundAndGivesUpAfterAllPorts) {
    UsePorts({3});
    script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 10}));
    ASSERT_TRUE(xmit.OpenLink());
    UsePorts({1});
    opener->opened.clear();
    script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x00, 10}));
    ASSERT_TRUE(xmit.OpenLink());
    ASSERT_EQ(opener->opened.size(), 256u - 3 + 2);
    EXPECT_EQ(opener->opened.front(), 3);
    EXPECT_EQ(opener->opened.back(), 1);

    // A port that answers with something else than a controller is closed again.
    UsePorts({1});
    opener->opened.clear();
    script->answers.push_back(ModuleAnswer(0x00, 0xF0, {0x77, 0x04, 10}));
    EXPECT_FALSE(xmit.OpenLink());
    EXPECT_EQ(opener->opened.size(), 256u);
    EXPECT_FALSE(xmit.IsLinkOpen());
}
