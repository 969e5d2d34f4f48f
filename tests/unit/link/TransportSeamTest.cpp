// The exchange over its transport seam: a scripted gateway-side transport, the serial line
// behind it, the answer parser's source filter and the gateway stream reassembly.
#include "link/CXmit.h"
#include "link/GatewayMessage.h"
#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/FrameDecode.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

#include <deque>

using namespace kaptiv;
using namespace kaptiv::link;

namespace {

struct SeenRequest {
    uint8_t address;
    uint8_t command;
    std::vector<uint8_t> data;
    int timeout;
};

Answer Scripted(LinkResult result, bool arrived = false, uint8_t control = 0,
                std::vector<uint8_t> data = {}) {
    Answer a;
    a.result = result;
    if (arrived)
        a.Store(control, data);
    return a;
}

// A transport that answers from a script, counting 7 bytes of traffic per exchange.
class ScriptedGateway final : public GatewayTransport {
public:
    bool up = true;
    std::deque<Answer> script;
    std::vector<SeenRequest> seen;

    Answer Exchange(const Request& r) override {
        seen.push_back({r.address, r.command, {r.data.begin(), r.data.end()}, r.timeout});
        if (script.empty())
            return Scripted(LinkResult::Timeout);
        Answer a = script.front();
        script.pop_front();
        return a;
    }
    std::string_view Name() const override { return "scripted"; }
    long TrafficOf(const Request&, const Answer&) const override { return 7; }
    bool IsRackLinkUp() const override { return up; }
};

struct SeamFixture : ::testing::Test {
    platform::ManualClock clock;
    test::RecordingIndicators lamps;
    ScriptedGateway gateway;
    CXmit xmit{clock};

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        xmit.SetGateway(&gateway);
    }
};

} // namespace

TEST_F(SeamFixture, RequestReachesTheTransportAndTheAnswerValueFillsTheAnswerFields) {
    gateway.script.push_back(Scripted(LinkResult::Ok, true, 0xF3, {0x11, 0x02, 0x33}));
    const uint8_t data[] = {0xA0, 0xA1};
    xmit.SetWriteFlag();
    ASSERT_TRUE(xmit.Exchange(2, 0x0C, 0x50, data, 42));
    ASSERT_EQ(gateway.seen.size(), 1u);
    EXPECT_EQ(gateway.seen[0].address, 0x0C);
    EXPECT_EQ(gateway.seen[0].command, 0x50);
    EXPECT_EQ(gateway.seen[0].data, (std::vector<uint8_t>{0xA0, 0xA1}));
    EXPECT_EQ(gateway.seen[0].timeout, 42);
    EXPECT_EQ(xmit.LastResult(), LinkResult::Ok);
    EXPECT_EQ(xmit.AnswerControl(), 0xF3);
    ASSERT_EQ(xmit.AnswerLength(), 3);
    EXPECT_EQ(platform::HexDump({xmit.AnswerData(), 3}), "11 02 33");
    EXPECT_EQ(xmit.TcpTrafficCount(), 7);
    EXPECT_FALSE(xmit.WriteFlag());
    EXPECT_EQ(lamps.calls, (std::vector<std::string>{"light+write", "arm"}));
}

TEST_F(SeamFixture, EveryFailingResultIsPassedOnAndOnlyTheFirstShowsTheNotice) {
    for (LinkResult r : {LinkResult::Timeout, LinkResult::Negative, LinkResult::BadChecksum,
                         LinkResult::AnswerTooLong, LinkResult::SendFailed}) {
        SCOPED_TRACE(ToText(r));
        xmit.ClearLinkLost();
        lamps.calls.clear();
        gateway.script.push_back(Scripted(r));
        gateway.script.push_back(Scripted(r));
        EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 1));
        EXPECT_EQ(xmit.LastResult(), r);
        EXPECT_TRUE(xmit.IsLinkLost());
        EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 1));
        EXPECT_EQ(lamps.calls, (std::vector<std::string>{"light", "notice:LME#1A", "arm", "light", "arm"}));
    }
    // A request the transport refused to send says nothing about the rack.
    xmit.ClearLinkLost();
    gateway.script.push_back(Scripted(LinkResult::Refused));
    EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 1));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Refused);
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(SeamFixture, AFailureWithoutAnAnswerLeavesNoBytesOfTheLastOne) {
    gateway.script.push_back(Scripted(LinkResult::Ok, true, 0xF0, {1, 2, 3, 4}));
    ASSERT_TRUE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    gateway.script.push_back(Scripted(LinkResult::Timeout));
    EXPECT_FALSE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    EXPECT_EQ(xmit.AnswerLength(), 0);
    // A negative answer is an answer: its control and data are kept for the caller.
    gateway.script.push_back(Scripted(LinkResult::Negative, true, 0xE1, {9}));
    EXPECT_FALSE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    EXPECT_EQ(xmit.AnswerControl(), 0xE1);
    EXPECT_EQ(xmit.AnswerLength(), 1);
    EXPECT_EQ(xmit.AnswerData()[0], 9);
}

TEST_F(SeamFixture, TransportIsPickedOnceAndOversizedRequestsNeverReachIt) {
    // Gateway link down and no serial port: no link, the transport is not asked, no lamp lit.
    gateway.up = false;
    EXPECT_FALSE(xmit.IsLinkOpen());
    EXPECT_FALSE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    EXPECT_EQ(xmit.LastResult(), LinkResult::NoLink);
    EXPECT_TRUE(gateway.seen.empty());
    EXPECT_EQ(lamps.calls, (std::vector<std::string>{"notice:LME#05", "arm"}));

    xmit.ClearLinkLost();
    gateway.up = true;
    std::vector<uint8_t> big(kMaxFrameData + 1, 0);
    EXPECT_FALSE(xmit.Exchange(big.size(), 5, 0x50, big.data(), 1));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Refused);
    EXPECT_FALSE(xmit.Exchange(3, 5, 0x50, nullptr, 1)); // data bytes announced, none given
    EXPECT_EQ(xmit.LastResult(), LinkResult::Refused);
    EXPECT_TRUE(gateway.seen.empty());
    EXPECT_FALSE(xmit.IsLinkLost());
    EXPECT_EQ(xmit.TcpTrafficCount(), 0);
}

TEST_F(SeamFixture, GatewayWithItsRackLinkUpIsPreferredToAnOpenSerialLine) {
    auto script = std::make_shared<test::SerialScript>();
    xmit.SetPortOpener(std::make_unique<test::FakeOpener>(clock, script, std::vector<int>{0}));
    gateway.up = false;
    script->answers.push_back(test::ModuleAnswer(0x00, 0xF0, {0x77, 0x00}));
    ASSERT_TRUE(xmit.OpenLink());
    script->writes.clear();

    gateway.up = true;
    gateway.script.push_back(Scripted(LinkResult::Ok, true, 0xF0, {0x42}));
    ASSERT_TRUE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    EXPECT_TRUE(script->writes.empty());
    EXPECT_EQ(gateway.seen.size(), 1u);

    // Gateway link lost: the same exchange goes out on the serial line, counting no traffic.
    gateway.up = false;
    script->answers.push_back(test::ModuleAnswer(0x05, 0xF0, {0x43}));
    ASSERT_TRUE(xmit.Exchange(0, 5, 0x70, nullptr, 1));
    EXPECT_EQ(script->writes.size(), 1u);
    EXPECT_EQ(gateway.seen.size(), 1u);
    EXPECT_EQ(xmit.AnswerData()[0], 0x43);
    EXPECT_EQ(xmit.TcpTrafficCount(), 7);
}

// On the serial line only the module asked may answer: another module's frame is skipped,
// and the asked one's answer after it is still found.
TEST(SerialSeam, AnswerFromAnotherAddressIsNotTakenAsTheAnswer) {
    platform::ManualClock clock;
    auto script = std::make_shared<test::SerialScript>();
    CXmit xmit(clock);
    xmit.SetPortOpener(std::make_unique<test::FakeOpener>(clock, script, std::vector<int>{0}));
    script->answers.push_back(test::ModuleAnswer(0x00, 0xF0, {0x77, 0x00}));
    ASSERT_TRUE(xmit.OpenLink());

    script->answers.push_back(test::ModuleAnswer(0x06, 0xF0, {0x66}));
    EXPECT_FALSE(xmit.Exchange(0, 5, 0x70, nullptr, 10));
    EXPECT_EQ(xmit.LastResult(), LinkResult::Timeout);
    EXPECT_EQ(xmit.AnswerLength(), 0);

    auto both = test::ModuleAnswer(0x06, 0xF0, {0x66});
    const auto right = test::ModuleAnswer(0x05, 0xF0, {0x55});
    both.insert(both.end(), right.begin(), right.end());
    script->answers.push_back(both);
    ASSERT_TRUE(xmit.Exchange(0, 5, 0x70, nullptr, 10));
    ASSERT_EQ(xmit.AnswerLength(), 1);
    EXPECT_EQ(xmit.AnswerData()[0], 0x55);
}

TEST(AnswerParserSource, ExpectedSourceFiltersAndAPlainResetTakesAny) {
    const auto frame = test::ModuleAnswer(0x07, 0xF0, {1, 2});
    AnswerParser parser;
    auto feed = [&] {
        AnswerParser::Outcome last = AnswerParser::Outcome::Pending;
        for (uint8_t b : frame)
            last = parser.Feed(b);
        return last;
    };
    parser.Reset(0x08);
    EXPECT_EQ(feed(), AnswerParser::Outcome::Pending);
    parser.Reset(0x07);
    EXPECT_EQ(feed(), AnswerParser::Outcome::Positive);
    parser.Reset();
    EXPECT_EQ(feed(), AnswerParser::Outcome::Positive);
}

TEST(GatewayReassembly, MessagesSplitAnywhereComeOutWholeAndInOrder) {
    const std::vector<uint8_t> stream = {0x00, 0x05, 0x12, 0x34, 0x08,                         // keep-alive
                                         0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x42, // answer
                                         0x00, 0x06, 0x00, 0x01, 0x05, 0x01};                  // link state
    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        GatewayReassembler joiner;
        std::vector<std::string> got;
        for (size_t at = 0; at < stream.size(); at += piece) {
            const size_t n = std::min(piece, stream.size() - at);
            joiner.Feed({stream.data() + at, n}, [&](const GatewayMessage& m) {
                got.push_back(std::to_string(m.type) + ":" + platform::HexDump(m.payload));
            });
        }
        EXPECT_EQ(got, (std::vector<std::string>{"8:", "7:FD 05 F0 42", "5:01"}));
        EXPECT_EQ(joiner.Held(), 0u);
    }
}

TEST(GatewayReassembly, CutMessageIsHeldUntilDiscardedAndABadLengthDropsEverything) {
    GatewayReassembler joiner;
    int count = 0;
    auto onMessage = [&](const GatewayMessage&) { ++count; };
    const std::vector<uint8_t> cut = {0x00, 0x09, 0x00, 0x00, 0x07, 0xFD};
    EXPECT_EQ(joiner.Feed(cut, onMessage), WalkEnd::CutOff);
    EXPECT_EQ(joiner.Held(), cut.size());
    joiner.Discard();
    // After the discard the next message starts on its own boundary.
    const std::vector<uint8_t> keepAlive = {0x00, 0x05, 0x00, 0x07, 0x08};
    EXPECT_EQ(joiner.Feed(keepAlive, onMessage), WalkEnd::Complete);
    EXPECT_EQ(count, 1);

    // Held bytes and a length field that cannot be a message: everything is dropped.
    const std::vector<uint8_t> cutLong = {0x00, 0x40, 0x00, 0x00, 0x07};
    EXPECT_EQ(joiner.Feed(cutLong, onMessage), WalkEnd::CutOff);
    std::vector<uint8_t> rest(0x40 - cutLong.size(), 0xAA);
    rest[0] = 0xFD; // addressed to the PC
    rest.insert(rest.end(), {0x00, 0x02, 0x00});
    EXPECT_EQ(joiner.Feed(rest, onMessage), WalkEnd::BadLength);
    EXPECT_EQ(count, 2); // the completed message came out before the bad length
    EXPECT_EQ(joiner.Held(), 0u);
}

TEST(GatewayReassembly, TheRestOfACutMessageIsNotTakenForMessages) {
    GatewayReassembler joiner;
    std::vector<std::string> got;
    auto onMessage = [&](const GatewayMessage& m) {
        got.push_back(std::to_string(m.type) + ":" + platform::HexDump(m.payload));
    };
    // An answer of module 5, cut after its header and dropped.
    const std::vector<uint8_t> head = {0x00, 0x14, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0};
    EXPECT_EQ(joiner.Feed(head, onMessage), WalkEnd::CutOff);
    joiner.Discard();
    // Its rest comes after all: 00 0C 00 00 07 would start a relayed answer addressed to 0x11,
    // which the gateway never sends the PC. It and the rest of the read are dropped.
    const std::vector<uint8_t> rest = {0x00, 0x0C, 0x00, 0x00, 0x07, 0x11,
                                       0x05, 0xF0, 0x99, 0x98, 0x97, 0x96};
    EXPECT_EQ(joiner.Feed(rest, onMessage), WalkEnd::Stray);
    EXPECT_EQ(joiner.Held(), 0u);
    // Held as the start of a message, the same header is dropped as soon as it can be judged.
    EXPECT_EQ(joiner.Feed(std::span(rest).first(5), onMessage), WalkEnd::CutOff);
    EXPECT_EQ(joiner.Feed(std::span(rest).subspan(5, 1), onMessage), WalkEnd::Stray);
    EXPECT_EQ(joiner.Held(), 0u);
    // The next message on its boundary comes out whole.
    const std::vector<uint8_t> answer = {0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x42};
    EXPECT_EQ(joiner.Feed(answer, onMessage), WalkEnd::Complete);
    EXPECT_EQ(got, (std::vector<std::string>{"7:FD 05 F0 42"}));
}
