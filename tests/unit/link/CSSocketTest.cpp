// The gateway session against a scripted peer on loopback (real time, short deadlines).
#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "platform/Bytes.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kaptiv;
using namespace kaptiv::link;
using platform::HexDump;

namespace {

struct GatewayFixture : ::testing::Test {
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    test::LoopbackPeer peer;
    CSSocket socket{loop};
    int discoveries = 0;

    void SetUp() override {
        socket.SetDiscoveryStarter([this] { ++discoveries; });
    }

    bool Pump(const std::function<bool()>& done, int64_t ms = 2000) {
        const int64_t end = clock.NowMs() + ms;
        while (!done() && clock.NowMs() < end)
            loop.RunOnce(10);
        return done();
    }
    // Connects and answers the opening; the rack link is reported up when linkUp.
    void OpenSession(bool linkUp = true) {
        socket.ConnectTo("127.0.0.1", peer.Port());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(peer.Send({0x00, 0x05, 0x12, 0x34, 0x00}));
        ASSERT_TRUE(Pump([&] { return socket.IsSessionOpen(); }));
        const auto accept = peer.Receive(13);
        ASSERT_EQ(HexDump(accept), "00 0D 12 34 01 4B 41 50 54 49 56 0A 02");
        if (linkUp) {
            ASSERT_TRUE(peer.Send({0x00, 0x06, 0x00, 0x01, 0x05, 0x01}));
            ASSERT_TRUE(Pump([&] { return socket.IsRackLinkUp(); }));
        }
    }
    LinkResult Exchange(uint8_t address, uint8_t command, std::vector<uint8_t> data, int timeout,
                        uint8_t& control, std::vector<uint8_t>& answer) {
        answer.assign(8192, 0);
        int length = 0;
        const auto r = socket.TcpExchange(data.size(), address, command, data.data(), timeout, &control,
                                          answer.data(), &length);
        answer.resize(static_cast<size_t>(length));
        return r;
    }
    // The gateway's side of one exchange, on a thread of its own: once the request (8 bytes,
    // no data) has arrived, the replies are sent in order.
    std::thread Respond(std::vector<std::vector<uint8_t>> replies) {
        return std::thread([this, replies = std::move(replies)] {
            if (peer.Receive(8).size() != 8)
                return;
            for (const auto& reply : replies)
                peer.Send(reply);
        });
    }
};

} // namespace

TEST_F(GatewayFixture, SessionOpensKeepsAliveAndFollowsTheLinkState) {
    OpenSession(false);
    EXPECT_FALSE(socket.IsRackLinkUp());
    ASSERT_TRUE(peer.Send({0x00, 0x05, 0x12, 0x34, 0x08}));
    ASSERT_TRUE(Pump([&] { return !peer.Quiet(0); }));
    EXPECT_EQ(HexDump(peer.Receive(5)), "00 05 12 34 08");

    ASSERT_TRUE(peer.Send({0x00, 0x06, 0x00, 0x01, 0x05, 0x00}));
    Pump([] { return false; }, 50);
    EXPECT_EQ(discoveries, 0); // link state 0 is only stored
    ASSERT_TRUE(peer.Send({0x00, 0x06, 0x00, 0x01, 0x05, 0x01}));
    ASSERT_TRUE(Pump([&] { return discoveries == 1; }));
    EXPECT_TRUE(socket.IsRackLinkUp());
}

TEST_F(GatewayFixture, RequestTravelsAsARelayMessageAndItsAnswerComesBack) {
    OpenSession();
    ASSERT_TRUE(peer.Send({0x00, 0x0A, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x77, 0x04}));
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    EXPECT_EQ(Exchange(0x05, 0x10, {}, 10, control, answer), LinkResult::Ok);
    EXPECT_EQ(HexDump(peer.Receive(8)), "00 08 00 00 07 05 FD 10");
    EXPECT_EQ(control, 0xF0);
    EXPECT_EQ(HexDump(answer), "77 04");
}

TEST_F(GatewayFixture, NegativeRelayedAnswerFailsTheExchange) {
    OpenSession();
    ASSERT_TRUE(peer.Send({0x00, 0x08, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xE0}));
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    EXPECT_EQ(Exchange(0x05, 0x70, {}, 10, control, answer), LinkResult::Negative);
    EXPECT_EQ(control, 0xE0);
}

TEST_F(GatewayFixture, NoAnswerTimesOutInUnitsOf100Ms) {
    OpenSession();
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    const int64_t before = clock.NowMs();
    EXPECT_EQ(Exchange(0x05, 0x70, {}, 2, control, answer), LinkResult::Timeout);
    const int64_t took = clock.NowMs() - before;
    EXPECT_GE(took, 200);
    EXPECT_LT(took, 1500);
}

TEST_F(GatewayFixture, BroadcastGoesOutTwiceAndDoesNotWait) {
    OpenSession();
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    EXPECT_EQ(Exchange(0xFF, 0xC0, {0x03}, 1, control, answer), LinkResult::Ok);
    EXPECT_EQ(HexDump(peer.Receive(18)), "00 09 00 00 07 FF FD C0 03 00 09 00 00 07 00 FD C0 03");
}

TEST_F(GatewayFixture, LinkUpDuringAPendingExchangeStartsDiscoveryAfterItReturns) {
    OpenSession();
    const int before = discoveries;
    // The link-state message arrives in the same read as the awaited answer.
    ASSERT_TRUE(peer.Send(
        {0x00, 0x06, 0x00, 0x01, 0x05, 0x01, 0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x42}));
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    int seenDuring = -1;
    socket.SetDiscoveryStarter([&] { ++discoveries; });
    EXPECT_EQ(Exchange(0x05, 0x70, {}, 10, control, answer), LinkResult::Ok);
    seenDuring = discoveries;
    EXPECT_EQ(seenDuring, before);    // not inside the exchange
    EXPECT_EQ(HexDump(answer), "42"); // the answer was not overwritten
    ASSERT_TRUE(Pump([&] { return discoveries == before + 1; }));
}

TEST_F(GatewayFixture, DisconnectSendsTheClosingMessageOnlyWithAnOpenSession) {
    OpenSession();
    socket.Disconnect();
    EXPECT_EQ(HexDump(peer.Receive(5)), "00 05 FF FF 06");
    EXPECT_FALSE(socket.IsSessionOpen());
    socket.Disconnect();
    EXPECT_TRUE(peer.Receive(1, 100).empty());
}

TEST_F(GatewayFixture, ReconnectsWhenTheGatewayClosesTheConnection) {
    OpenSession();
    peer.CloseClient();
    ASSERT_TRUE(Pump([&] { return !socket.IsSessionOpen(); }));
    EXPECT_FALSE(socket.IsRackLinkUp());
    Pump([&] { return peer.HasPendingConnection(0); });
    EXPECT_TRUE(peer.Accept(1000));
}

TEST_F(GatewayFixture, ExchangeUsesTheGatewayWhileItsRackLinkIsUp) {
    test::RecordingIndicators lamps;
    CXmit xmit(clock);
    xmit.SetIndicators(&lamps);
    xmit.SetGateway(&socket);
    EXPECT_FALSE(xmit.IsLinkOpen());
    OpenSession();
    EXPECT_TRUE(xmit.IsGatewayLinkUp());
    ASSERT_TRUE(peer.Send({0x00, 0x0A, 0x00, 0x00, 0x07, 0xFD, 0x00, 0xF0, 0x77, 0x00}));
    EXPECT_TRUE(xmit.OpenLink());
    ASSERT_TRUE(peer.Send({0x00, 0x0B, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 1, 2, 3}));
    const uint8_t data[] = {9, 9};
    xmit.SetWriteFlag();
    EXPECT_TRUE(xmit.Exchange(2, 0x05, 0x50, data, 10));
    EXPECT_EQ(xmit.AnswerLength(), 3);
    EXPECT_EQ(xmit.TcpTrafficCount(), (0 + 2 + 100) + (2 + 3 + 100));
    EXPECT_EQ(lamps.calls.back(), "arm");
    EXPECT_EQ(lamps.calls[lamps.calls.size() - 2], "light+write");
    // No answer: the notice names the module once.
    EXPECT_FALSE(xmit.Exchange(0, 0x1A, 0x70, nullptr, 1));
    EXPECT_EQ(lamps.calls[lamps.calls.size() - 2], "notice:LME#1A");
}

TEST_F(GatewayFixture, LateAnswerIsNotTakenForTheNextRequest) {
    OpenSession();
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 1, control, answer), LinkResult::Timeout);
    ASSERT_EQ(peer.Receive(8).size(), 8u);
    // The status answer comes after its deadline, before the next request to the same module.
    ASSERT_TRUE(peer.Send({0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0xAA}));
    std::thread gateway = Respond({{0x00, 0x0A, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0xBB, 0xBC}});
    EXPECT_EQ(Exchange(0x05, 0x60, {}, 10, control, answer), LinkResult::Ok);
    gateway.join();
    EXPECT_EQ(HexDump(answer), "BB BC");
}

TEST_F(GatewayFixture, CutAnswerEndsTheWaitOnceItsBytesStopAndLeavesTheStreamInStep) {
    OpenSession();
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    // 16 bytes announced, 10 sent: the rest never comes.
    std::thread gateway = Respond({{0x00, 0x10, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x01, 0x02}});
    const int64_t before = clock.NowMs();
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 50, control, answer), LinkResult::Timeout);
    const int64_t took = clock.NowMs() - before;
    gateway.join();
    EXPECT_GE(took, CSSocket::kStallMs);
    EXPECT_LT(took, 4000); // not the 5 s of the time-out
    // The next answer is not read as the rest of the cut one.
    gateway = Respond({{0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x42}});
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 10, control, answer), LinkResult::Ok);
    gateway.join();
    EXPECT_EQ(HexDump(answer), "42");

    // An answer without data cut in its header: not even its type came.
    gateway = Respond({{0x00, 0x08, 0x00, 0x00}});
    const int64_t headerCutAt = clock.NowMs();
    EXPECT_EQ(Exchange(0x05, 0x80, {}, 50, control, answer), LinkResult::Timeout);
    gateway.join();
    EXPECT_LT(clock.NowMs() - headerCutAt, 4000);
    gateway = Respond({{0x00, 0x08, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0}});
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 10, control, answer), LinkResult::Ok);
    gateway.join();
}

TEST_F(GatewayFixture, AnswerFromAnotherModuleEndsTheWaitUnlessThatModuleOwesALateOne) {
    OpenSession();
    uint8_t control = 0;
    std::vector<uint8_t> answer;
    // Module 5's one answer comes with source 6: nothing else will come for this request.
    std::thread gateway = Respond({{0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x06, 0xF0, 0x42}});
    int64_t before = clock.NowMs();
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 50, control, answer), LinkResult::Timeout);
    gateway.join();
    EXPECT_LT(clock.NowMs() - before, 2000);
    EXPECT_TRUE(answer.empty());

    // Module 6 got no answer in time; its late answer during an exchange with module 5 is
    // dropped, and module 5's own answer is taken.
    gateway = Respond({});
    EXPECT_EQ(Exchange(0x06, 0x40, {}, 1, control, answer), LinkResult::Timeout);
    gateway.join();
    gateway = Respond({{0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x06, 0xF0, 0x66},
                       {0x00, 0x09, 0x00, 0x00, 0x07, 0xFD, 0x05, 0xF0, 0x55}});
    EXPECT_EQ(Exchange(0x05, 0x40, {}, 10, control, answer), LinkResult::Ok);
    gateway.join();
    EXPECT_EQ(HexDump(answer), "55");
}

TEST_F(GatewayFixture, OpeningTheLinkAsksTheControllerAgainWhenItsAnswerIsLost) {
    test::RecordingIndicators lamps;
    CXmit xmit(clock);
    xmit.SetIndicators(&lamps);
    xmit.SetGateway(&socket);
    OpenSession();
    // The first identification gets no answer; the second is answered.
    std::thread gateway([this] {
        if (peer.Receive(8).size() != 8 || peer.Receive(8).size() != 8)
            return;
        peer.Send({0x00, 0x0A, 0x00, 0x00, 0x07, 0xFD, 0x00, 0xF0, 0x77, 0x00});
    });
    EXPECT_TRUE(xmit.OpenLink());
    gateway.join();
}
