// Start-up against the simulated gateway over loopback TCP (real time, short bounded
// deadlines): the gateway named in the profile gets the session, the main window finds the
// rack through the application's link, and closing the main window closes the session with
// the closing message before the program ends.
#include "app/CQuorvelApp.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"

#include "tests/unit/app/TempFolder.h"

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <poll.h>

using namespace kaptiv;

namespace {

constexpr int64_t kDeadlineMs = 3000;

// Runs the loop until done() holds or the deadline passes.
bool Pump(platform::EventLoop& loop, const std::function<bool()>& done) {
    const int64_t end = loop.GetClock().NowMs() + kDeadlineMs;
    while (!done() && loop.GetClock().NowMs() < end)
        loop.RunOnce(10);
    return done();
}

// The gateway's thread counts what it received; wait for it without spinning.
bool WaitForGateway(platform::Clock& clock, const std::function<bool()>& done) {
    const int64_t end = clock.NowMs() + kDeadlineMs;
    while (!done() && clock.NowMs() < end)
        ::poll(nullptr, 0, 10);
    return done();
}

} // namespace

TEST(StartupGateway, TheMainWindowScansThroughTheProfileGatewayAndClosesTheSession) {
    mulvane::RackEngine engine(mulvane::DemoRack(), 7);
    mulvane::GatewayServer gateway(engine);
    std::string error;
    ASSERT_TRUE(gateway.Start(error)) << error;

    app::test::TempFolder config;
    config.Write("kaptiv.ini",
                 "serverAddress=127.0.0.1\nserverPort=" + std::to_string(gateway.Port()) + "\n");
    app::Options options;
    options.profilePath = config.Path() / "kaptiv.ini";
    options.serialDevices = std::vector<std::string>{"/nonexistent/kaptiv-test-tty"};

    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);
    std::vector<std::string> failures;
    ui::ScriptedResponder responder(
        windows, [&](const std::string& what) { failures.push_back(what); }, 10'000);

    app::CQuorvelApp application(windows, options, [](const char*) -> const char* { return nullptr; });
    bool sessionOpen = false;
    bool rackFound = false;
    const size_t modules = engine.Config().modules.size();
    responder.OnModalDialog(rack::CQuorvelDlg::kDialogId, [&](ui::Dialog& dialog) {
        sessionOpen = Pump(loop, [&] { return application.Xmit().IsGatewayLinkUp(); });
        rackFound = Pump(loop, [&] { return application.MainWindow().Image().moduleCount == modules; });
        dialog.OnClose();
    });

    EXPECT_FALSE(application.InitInstance());
    EXPECT_TRUE(failures.empty());
    EXPECT_TRUE(sessionOpen);
    EXPECT_TRUE(rackFound);
    EXPECT_GT(gateway.Stats().relayedRequests, 0);
    // The main window reconnects once as it starts; every session, the last one included,
    // ends with the closing message.
    EXPECT_TRUE(WaitForGateway(clock,
                               [&] {
                                   const mulvane::GatewayStats stats = gateway.Stats();
                                   return stats.sessionsOpened >= 1 &&
                                          stats.closesReceived == stats.sessionsOpened;
                               }))
        << gateway.Stats().sessionsOpened << " sessions, " << gateway.Stats().closesReceived << " closes";
    gateway.Stop();
}
