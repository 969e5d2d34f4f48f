// Shared by the benchmarks: the simulated rack on a pty or behind its gateway, the tool's link
// opened on it, and CPU time. Each failure says what failed on stderr.
#pragma once

#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "link/SerialTransport.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace kaptiv::bench {

// 115200 baud at 10 bits a byte (start bit, 8 data bits, stop bit).
inline constexpr double kWireBytesPerSecond = 115200.0 / 10.0;

// CPU seconds of the calling thread (or, with CLOCK_PROCESS_CPUTIME_ID, of the process).
inline double CpuSeconds(clockid_t id = CLOCK_THREAD_CPUTIME_ID) {
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The demo rack with modules that answer at once: the figures are the link's, not the modules'.
inline mulvane::RackConfig QuickDemoRack() {
    auto rack = mulvane::DemoRack();
    for (auto& m : rack.modules)
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
    return rack;
}

// The simulated bus on a pty, throttled to 115200 baud or not; nothing when it cannot start.
inline std::unique_ptr<mulvane::PtyServer> StartPty(mulvane::RackEngine& engine, bool throttle) {
    mulvane::PtyOptions options;
    options.throttle = throttle;
    auto pty = std::make_unique<mulvane::PtyServer>(&engine, options);
    std::string error;
    if (!pty->Start(error)) {
        std::fprintf(stderr, "cannot start the simulated bus: %s\n", error.c_str());
        return nullptr;
    }
    return pty;
}

// The tool's serial link opened on the pty; false when no rack answers there.
inline bool OpenOnPty(link::CXmit& xmit, platform::Clock& clock, const mulvane::PtyServer& pty) {
    xmit.SetPortOpener(
        std::make_unique<link::DeviceListOpener>(clock, std::vector<std::string>{pty.SlavePath()}));
    if (xmit.OpenLink())
        return true;
    std::fprintf(stderr, "no rack on the simulated bus\n");
    return false;
}

// The simulated gateway on a free loopback port; nothing when it cannot start.
inline std::unique_ptr<mulvane::GatewayServer> StartGateway(mulvane::RackEngine& engine) {
    auto gateway = std::make_unique<mulvane::GatewayServer>(engine);
    std::string error;
    if (!gateway->Start(error)) {
        std::fprintf(stderr, "cannot start the gateway: %s\n", error.c_str());
        return nullptr;
    }
    return gateway;
}

// The tool's link through the socket to the gateway at loopback `port`, the loop run until the
// session is up (3 s at the most); false when it did not open.
inline bool OpenOnGateway(link::CXmit& xmit, link::CSSocket& socket, platform::EventLoop& loop,
                          platform::Clock& clock, uint16_t port) {
    xmit.SetGateway(&socket);
    socket.ConnectTo("127.0.0.1", port);
    const int64_t deadline = clock.NowMs() + 3000;
    while (!xmit.IsGatewayLinkUp() && clock.NowMs() < deadline)
        loop.RunOnce(10);
    if (xmit.IsGatewayLinkUp())
        return true;
    std::fprintf(stderr, "the gateway session did not open\n");
    return false;
}

} // namespace kaptiv::bench
