// The main window finds the simulated demo rack through the gateway over loopback TCP, on
// real time with short bounded deadlines.
#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace kaptiv;
using rack::CQuorvelDlg;

namespace {

constexpr int64_t kDeadlineMs = 10'000;

// One firmware file on record, so that no scan stops for the missing-files warning.
struct OneFirmwareFile final : rack::FirmwareCheck {
    void IndexFolder(rack::RackImage& image) override {
        image.firmware = {{"firmware/x_0_V30.bin", 7, 0, 30, 10}};
    }
    bool CheckAndUpdate(rack::RackImage&, size_t, uint8_t) override { return false; }
};

struct GatewayDiscovery : ::testing::Test {
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    mulvane::RackEngine engine{mulvane::DemoRack(), 3};
    mulvane::GatewayServer gateway{engine};
    link::CXmit xmit{clock};
    link::CSSocket socket{loop};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    OneFirmwareFile firmware;
    CQuorvelDlg main{windows, info, status};

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(gateway.Start(error)) << error;
        xmit.SetGateway(&socket);
        socket.ConnectTo("127.0.0.1", gateway.Port());
        main.AttachLink(&xmit, &socket);
        main.SetFirmwareCheck(&firmware);
        main.Create();
    }
    void TearDown() override {
        main.AttachLink(&xmit, nullptr);
        socket.Disconnect();
        gateway.Stop();
    }
    // Settled: a scan found the rack and only the watchdog is armed.
    bool Connected() const {
        return main.LastScan().outcome == rack::ScanOutcome::Connected &&
               main.IsTimerSet(CQuorvelDlg::kWatchdogTimer) && !main.IsTimerSet(CQuorvelDlg::kStartTimer) &&
               !main.IsTimerSet(CQuorvelDlg::kScanTimer);
    }
    bool RunUntil(const std::function<bool()>& done) {
        const int64_t end = clock.NowMs() + kDeadlineMs;
        while (!done() && clock.NowMs() < end)
            loop.RunOnce(20);
        return done();
    }
};

TEST_F(GatewayDiscovery, FindsTheDemoRackAndShowsTheGatewayInTheTitle) {
    ASSERT_TRUE(RunUntil([&] { return Connected(); }));
    EXPECT_TRUE(main.NetworkSession());
    EXPECT_EQ(main.Image().moduleCount, engine.Config().modules.size());
    EXPECT_EQ(main.Image().Live(1).type, 7);

    const long traffic = xmit.TcpTrafficCount();
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX - (127.0.0.1)" + CQuorvelDlg::TrafficText(traffic));
    EXPECT_GT(traffic, 1000);

    // In a network session the serial device list is none of the window's business.
    main.OnDeviceChange();
    EXPECT_FALSE(main.Item(CQuorvelDlg::kDeviceChangeIcon).IsVisible());
    EXPECT_TRUE(Connected());

    // The gateway drops the connection: the watchdog tears down, the socket reconnects and
    // the gateway's link-up brings the rack back.
    const int scans = main.ScanCount();
    gateway.DisconnectClients();
    ASSERT_TRUE(RunUntil([&] { return main.ScanCount() > scans && Connected(); }));
    EXPECT_EQ(main.Image().moduleCount, engine.Config().modules.size());
}

} // namespace

// One answer in 40 cut short or sent from another address: the scan asks again for what it
// lost, and the watchdog keeps the rack while polls lose an answer now and then.
TEST_F(GatewayDiscovery, EveryFortiethAnswerCutOrAstrayTheRackIsFoundAndKept) {
    for (const auto fault : {mulvane::AnswerFault::Truncated, mulvane::AnswerFault::OtherAddress}) {
        SCOPED_TRACE(static_cast<int>(fault));
        engine.GetFaults().Clear();
        engine.GetFaults().InjectAnswerFaultEvery(fault, 40);
        const int scansBefore = main.ScanCount();
        main.OnClick(CQuorvelDlg::kRescanButton);
        ASSERT_TRUE(RunUntil([&] { return main.ScanCount() > scansBefore && Connected(); }));
        const int scans = main.ScanCount();
        ASSERT_EQ(main.Image().moduleCount, engine.Config().modules.size());

        link::CommandSet commands{xmit};
        const uint8_t tuner = main.Image().Live(1).address;
        int answered = 0;
        for (int i = 0; i < 100; ++i) {
            int length = 0;
            answered += commands.ReadStatus(tuner, length) != nullptr;
            loop.RunOnce(0); // the watchdog's turn
        }
        loop.RunFor(500);
        EXPECT_GE(answered, 97);
        EXPECT_LT(answered, 100); // the faults did hit
        EXPECT_EQ(main.ScanCount(), scans);
        EXPECT_TRUE(Connected());
        EXPECT_EQ(main.Image().moduleCount, engine.Config().modules.size());
    }
}
