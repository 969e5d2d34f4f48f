// The link against the simulated rack over a real pseudo-terminal (echo included) and over
// loopback TCP to the simulated gateway. Real time, short bounded deadlines.
#include "link/CSSocket.h"
#include "link/CommandSet.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;

namespace {

std::unique_ptr<mulvane::PtyServer> StartPty(mulvane::RackEngine* engine, mulvane::PtyMode mode) {
    mulvane::PtyOptions options;
    options.mode = mode;
    auto pty = std::make_unique<mulvane::PtyServer>(engine, options);
    std::string error;
    EXPECT_TRUE(pty->Start(error)) << error;
    return pty;
}

struct GatewayRack : ::testing::Test {
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::GatewayServer gateway{engine};
    CSSocket socket{loop};
    test::RecordingIndicators lamps;
    CXmit xmit{clock};
    CommandSet commands{xmit};
    int discoveries = 0;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(gateway.Start(error)) << error;
        xmit.SetIndicators(&lamps);
        xmit.SetGateway(&socket);
        socket.SetDiscoveryStarter([this] { ++discoveries; });
        socket.ConnectTo("127.0.0.1", gateway.Port());
        ASSERT_TRUE(Pump([&] { return xmit.IsGatewayLinkUp(); }));
    }
    bool Pump(const std::function<bool()>& done, int64_t ms = 3000) {
        const int64_t end = clock.NowMs() + ms;
        while (!done() && clock.NowMs() < end)
            loop.RunOnce(10);
        return done();
    }
};

} // namespace

TEST(SerialPty, ExchangesWithTheRackOverARealPseudoTerminal) {
    mulvane::RackEngine engine(mulvane::DemoRack(), 5);
    auto pty = StartPty(&engine, mulvane::PtyMode::Rack);
    platform::RealClock clock;
    CXmit xmit(clock);
    xmit.SetPortOpener(std::make_unique<DeviceListOpener>(clock, std::vector<std::string>{pty->SlavePath()}));
    ASSERT_TRUE(xmit.OpenLink());
    CommandSet commands(xmit);
    for (const auto& module : engine.Config().modules)
        EXPECT_EQ(commands.Identify(module.address), module.type);

    // A block large enough to go out in several 400-byte pieces, each echoed back.
    std::vector<uint8_t> block(1000);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i % 5); // many 0x02 to stuff
    commands.WriteData(12, block);
    EXPECT_FALSE(xmit.IsLinkLost());
    EXPECT_EQ(engine.CurrentBlock(12), block);
    uint8_t back[1024];
    uint16_t length = 0;
    ASSERT_TRUE(commands.ReadParameters(12, length, back));
    EXPECT_EQ(length, block.size());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), back));
}

TEST(SerialPty, PortSearchFindsTheOnePortWithARack) {
    mulvane::RackEngine engine(mulvane::DemoRack(), 5);
    auto dead = StartPty(nullptr, mulvane::PtyMode::Dead);
    auto echoOnly = StartPty(nullptr, mulvane::PtyMode::EchoOnly);
    auto rack = StartPty(&engine, mulvane::PtyMode::Rack);
    platform::RealClock clock;
    CXmit xmit(clock);
    xmit.SetPortOpener(std::make_unique<DeviceListOpener>(
        clock, std::vector<std::string>{"/dev/kaptiv-no-such-port", dead->SlavePath(), echoOnly->SlavePath(),
                                        rack->SlavePath()}));
    ASSERT_TRUE(xmit.OpenLink());
    EXPECT_EQ(xmit.PortNumber(), 3);
    EXPECT_EQ(CommandSet(xmit).Identify(10), 7);
}

TEST_F(GatewayRack, ExchangesThroughTheGateway) {
    ASSERT_TRUE(xmit.OpenLink());
    for (const auto& module : engine.Config().modules) {
        EXPECT_EQ(commands.Identify(module.address), module.type);
        if (module.block.empty())
            continue;
        uint8_t block[1024];
        uint16_t length = 0;
        ASSERT_TRUE(commands.ReadParameters(module.address, length, block));
        EXPECT_EQ(length, module.block.size());
    }
    EXPECT_GT(xmit.TcpTrafficCount(), 0);
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(GatewayRack, NegativeAnswerThroughTheGatewayFailsLikeOnTheSerialLine) {
    engine.GetFaults().AnswerNegatively(1);
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType);
    EXPECT_EQ(xmit.LastResult(), LinkResult::Negative);
    EXPECT_TRUE(xmit.IsLinkLost());
}

TEST_F(GatewayRack, ReconnectsAfterTheGatewayDropsTheConnection) {
    const int accepted = gateway.Stats().connectionsAccepted;
    gateway.DisconnectClients();
    ASSERT_TRUE(Pump([&] { return !xmit.IsGatewayLinkUp(); }));
    ASSERT_TRUE(Pump([&] { return xmit.IsGatewayLinkUp(); }));
    EXPECT_EQ(gateway.Stats().connectionsAccepted, accepted + 1);
    EXPECT_EQ(commands.Identify(10), 7);
}

TEST_F(GatewayRack, LinkUpArrivingDuringAnExchangeStartsDiscoveryOnlyAfterIt) {
    Pump([] { return false; }, 50); // the opening's own link-up message is handled
    const int before = discoveries;
    engine.GetFaults().DelayAnswers(150);
    gateway.SetLinkState(1); // reaches the PC while the identification below waits
    IdentifyResults r;
    EXPECT_EQ(commands.Identify(16, &r), 13);
    EXPECT_EQ(discoveries, before);
    EXPECT_EQ(r.release, 15); // the pending answer was not overwritten
    ASSERT_TRUE(Pump([&] { return discoveries == before + 1; }));
}

TEST_F(GatewayRack, GatewayLosingItsRackLinkSendsRequestsNowhere) {
    gateway.SetLinkState(0);
    ASSERT_TRUE(Pump([&] { return !xmit.IsGatewayLinkUp(); }));
    EXPECT_FALSE(xmit.IsLinkOpen());
    EXPECT_EQ(commands.Identify(10), CommandSet::kNoModuleType);
    EXPECT_EQ(xmit.LastResult(), LinkResult::NoLink);
}
