// kaptiv-exporter's pieces: probe targets and request targets, the probe's text, and probes
// over loopback against the simulated gateway (one session only, a dead port).
#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"
#include "tools/exporter/HttpServer.h"
#include "tools/exporter/Probe.h"
#include "tools/exporter/ProbeMetrics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace kaptiv;
using namespace kaptiv::exporter;

namespace {

bool HasLine(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos || text.rfind(line + "\n", 0) == 0;
}

TEST(ProbeTarget, GatewayAndSerialForms) {
    auto t = ParseProbeTarget("192.168.1.50:666");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->kind, ProbeTarget::Kind::Gateway);
    EXPECT_EQ(t->host, "192.168.1.50");
    EXPECT_EQ(t->port, 666);
    t = ParseProbeTarget("[::1]:65535");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->host, "::1");
    EXPECT_EQ(t->port, 65535);
    t = ParseProbeTarget("serial:/dev/ttyUSB0");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->kind, ProbeTarget::Kind::Serial);
    EXPECT_EQ(t->device, "/dev/ttyUSB0");
    EXPECT_TRUE(ParseProbeTarget("rack-7.example.net:1"));
}

TEST(ProbeTarget, RefusesWhatIsNoRack) {
    for (const char* bad : {"", "host", "host:", "host:0", "host:65536", "host:12a", ":666", "::1:666",
                            "serial:", "serial:dev/ttyUSB0", "serial:/dev/tty\nX", "a b:666", "h;rm:666"})
        EXPECT_FALSE(ParseProbeTarget(bad)) << bad;
}

TEST(ProbeTarget, SerialProbeOpensOnlySerialLines) {
    // A file, a disk-like device and the controlling terminal are refused before any open.
    for (const char* device : {"/etc/hostname", "/dev/null", "/dev/tty", "/dev/nonexistent"}) {
        const ProbeResult r = RunProbe(*ParseProbeTarget(std::string("serial:") + device), ProbeOptions{});
        EXPECT_EQ(r.failure, ProbeFailure::SerialUnavailable) << device;
        EXPECT_NE(r.reasonText.find("not a serial line"), std::string::npos)
            << device << ": " << r.reasonText;
    }
}

TEST(RequestTarget, DecodesTheQuery) {
    const auto r = ParseRequestTarget("/probe?target=serial%3A%2Fdev%2FttyUSB0&x=1&target=other");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->path, "/probe");
    EXPECT_EQ(r->query.at("target"), "serial:/dev/ttyUSB0"); // the first one counts
    EXPECT_EQ(r->query.at("x"), "1");
    EXPECT_EQ(ParseRequestTarget("/metrics")->path, "/metrics");
    EXPECT_FALSE(ParseRequestTarget("/probe?target=%3"));
    EXPECT_FALSE(ParseRequestTarget("/probe?target=%zz"));
    EXPECT_TRUE(ParseRequestTarget("/probe?target=" + std::string(2048 - 14, 'a')));
    EXPECT_FALSE(ParseRequestTarget("/probe?target=" + std::string(2048 - 13, 'a')));
}

TEST(ListenAddress, Forms) {
    std::string address;
    uint16_t port = 0;
    ASSERT_TRUE(ParseListenAddress("127.0.0.1:9468", address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 9468);
    ASSERT_TRUE(ParseListenAddress(":9100", address, port));
    EXPECT_EQ(address, "0.0.0.0");
    ASSERT_TRUE(ParseListenAddress("[::1]:80", address, port));
    EXPECT_EQ(address, "::1");
    EXPECT_FALSE(ParseListenAddress("localhost:80", address, port)); // an address, not a name
    EXPECT_FALSE(ParseListenAddress("127.0.0.1", address, port));
    EXPECT_FALSE(ParseListenAddress("127.0.0.1:65536", address, port));
}

TEST(ProbeText, FailureGivesSuccessDurationAndReasonOnly) {
    ProbeResult r;
    r.reason = "gateway_busy";
    r.durationSeconds = 0.25;
    const std::string text = RenderProbe(r);
    EXPECT_TRUE(HasLine(text, "kaptiv_probe_success 0")) << text;
    EXPECT_TRUE(HasLine(text, "kaptiv_probe_duration_seconds 0.25")) << text;
    EXPECT_TRUE(HasLine(text, "kaptiv_probe_failure{reason=\"gateway_busy\"} 1")) << text;
    EXPECT_EQ(text.find("kaptiv_module_up"), std::string::npos);
}

TEST(ProbeText, ModulesCarryTheirLabels) {
    monitor::RoundAnswers round;
    monitor::ModuleAnswers twin;
    twin.slot = 1;
    twin.address = 10;
    twin.listedType = 7;
    twin.identify = monitor::Bytes{0x77, 7, 23, 3, 1, 1, 0};
    twin.status = monitor::Bytes{2, 76, 70, 0, 4, 0, 0, 0};
    round.modules.push_back(twin);
    monitor::ModuleAnswers gone;
    gone.slot = 2;
    gone.address = 11;
    gone.listedType = 3;
    gone.asked = true;
    round.modules.push_back(gone);
    monitor::ModuleAnswers unasked; // the round ran out of time before it
    unasked.slot = 3;
    unasked.address = 12;
    unasked.listedType = 6;
    round.modules.push_back(unasked);
    ProbeResult r;
    r.success = true;
    r.measures = monitor::DecodeRound(round);
    r.alarms = monitor::EvaluateAlarms(r.measures);
    const std::string text = RenderProbe(r);
    const std::string labels = "address=\"10\",input=\"A\",module=\"RkSat2.0\",slot=\"1\",type=\"7\"";
    EXPECT_TRUE(HasLine(text, "kaptiv_tuner_input_locked{" + labels + "} 1")) << text;
    EXPECT_TRUE(HasLine(text, "kaptiv_tuner_input_level{" + labels + "} 76")) << text;
    EXPECT_TRUE(HasLine(text,
                        "kaptiv_tuner_input_locked{address=\"10\",input=\"B\",module=\"RkSat2.0\",slot=\"1\","
                        "type=\"7\"} 0"))
        << text;
    EXPECT_TRUE(HasLine(text, "kaptiv_module_info{address=\"10\",hw_revision=\"3\",module=\"RkSat2.0\","
                              "personality=\"1\",release=\"2.3\",slot=\"1\",type=\"7\"} 1"))
        << text;
    EXPECT_TRUE(HasLine(text, "kaptiv_module_up{address=\"11\",module=\"RkCI\",slot=\"2\",type=\"3\"} 0"))
        << text;
    EXPECT_TRUE(HasLine(text,
                        "kaptiv_alarm{address=\"10\",alarm=\"input_no_lock\",input=\"B\",module=\"RkSat2.0\","
                        "slot=\"1\",type=\"7\"} 1"))
        << text;
    EXPECT_TRUE(HasLine(text,
                        "kaptiv_alarm{address=\"11\",alarm=\"module_missing\",module=\"RkCI\",slot=\"2\","
                        "type=\"3\"} 1"))
        << text;
    EXPECT_TRUE(
        HasLine(text, "kaptiv_usb_key_present{address=\"10\",module=\"RkSat2.0\",slot=\"1\",type=\"7\"} 0"))
        << text;
}

// Over loopback against the simulated gateway (real time, bounded).
struct LoopbackProbe : ::testing::Test {
    mulvane::RackEngine engine{mulvane::DemoRack(), 5};
    std::unique_ptr<mulvane::GatewayServer> gateway;

    void Start(int maxSessions) {
        mulvane::GatewayOptions options;
        options.maxSessions = maxSessions;
        gateway = std::make_unique<mulvane::GatewayServer>(engine, options);
        std::string error;
        ASSERT_TRUE(gateway->Start(error)) << error;
    }
    ProbeTarget Target() const { return *ParseProbeTarget("127.0.0.1:" + std::to_string(gateway->Port())); }
};

TEST_F(LoopbackProbe, RoundOverTheGatewayThenTheSessionIsClosed) {
    Start(0);
    const ProbeResult r = RunProbe(Target(), ProbeOptions{});
    ASSERT_TRUE(r.success) << r.reasonText;
    EXPECT_EQ(r.measures.modules.size(), 12u);
    EXPECT_LT(r.durationSeconds, 2.0);
    // The gateway's thread reads the closing message a moment later.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (gateway->Stats().closesReceived == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto stats = gateway->Stats();
    EXPECT_EQ(stats.sessionsOpened, 1);
    EXPECT_EQ(stats.closesReceived, 1); // the probe said goodbye
}

TEST_F(LoopbackProbe, BusyGatewayIsReportedAndTheSessionInProgressGoesOn) {
    Start(1);
    // An installer's kaptiv holds the one session.
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    link::CXmit xmit(clock);
    link::CSSocket socket(loop);
    xmit.SetGateway(&socket);
    socket.ConnectTo("127.0.0.1", gateway->Port());
    const int64_t until = clock.NowMs() + 3000;
    while (!xmit.IsGatewayLinkUp() && clock.NowMs() < until)
        loop.RunOnce(20);
    ASSERT_TRUE(xmit.IsGatewayLinkUp());

    const ProbeResult r = RunProbe(Target(), ProbeOptions{});
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.failure, ProbeFailure::GatewayBusy);
    EXPECT_EQ(r.reason, "gateway_busy");
    EXPECT_TRUE(HasLine(RenderProbe(r), "kaptiv_probe_success 0"));
    EXPECT_EQ(gateway->Stats().connectionsRefused, 1); // refused once, never retried

    // kaptiv's session was not touched: it still exchanges.
    EXPECT_TRUE(xmit.OpenLink());
    EXPECT_EQ(gateway->Stats().sessionsOpened, 1);
    socket.Disconnect();
}

TEST_F(LoopbackProbe, RoundOverTheSerialBusOnAPty) {
    mulvane::PtyServer pty(&engine, mulvane::PtyOptions{});
    std::string error;
    ASSERT_TRUE(pty.Start(error)) << error;
    const ProbeResult r = RunProbe(*ParseProbeTarget("serial:" + pty.SlavePath()), ProbeOptions{});
    EXPECT_TRUE(r.success) << r.reasonText;
    EXPECT_EQ(r.measures.modules.size(), 12u);
    pty.Stop();
}

TEST_F(LoopbackProbe, NoGatewayAtThePort) {
    Start(0);
    const ProbeTarget target = Target();
    gateway->Stop();
    const ProbeResult r = RunProbe(target, ProbeOptions{});
    EXPECT_EQ(r.failure, ProbeFailure::ConnectFailed);
}

TEST_F(LoopbackProbe, GatewayWithoutRackLink) {
    Start(0);
    gateway->SetLinkState(0);
    ProbeOptions options;
    options.sessionWaitMs = 300;
    const ProbeResult r = RunProbe(Target(), options);
    EXPECT_EQ(r.failure, ProbeFailure::NoSession);
    EXPECT_EQ(r.reason, "no_session");
}

} // namespace
