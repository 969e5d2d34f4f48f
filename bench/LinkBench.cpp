// Figures of the rack link against the simulated rack (not a test: it prints ratios).
//  1. Serial efficiency: a 64 KiB image written in 256-byte flash blocks over a pty throttled
//     to 115200 baud, against the wire limit of that traffic (request and its echo share one
//     half-duplex line with the answer; 10 bits a byte: 11,520 bytes/s).
//  2. CPU per exchange while answers are slow (100 ms module delay): CPU time of the thread
//     that waits, over wall time.
//  3. Exchanges per second through the gateway over loopback TCP.
#include "link/CSSocket.h"
#include "link/CommandSet.h"
#include "link/Frame.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"

#include <cstdio>
#include <ctime>
#include <random>

using namespace kaptiv;

namespace {

constexpr double kWireBytesPerSecond = 115200.0 / 10.0;
constexpr uint8_t kTuner = 10; // a module of the demo rack

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::unique_ptr<mulvane::PtyServer> StartPty(mulvane::RackEngine& engine, bool throttle) {
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

bool OpenOnPty(link::CXmit& xmit, platform::Clock& clock, mulvane::PtyServer& pty) {
    xmit.SetPortOpener(
        std::make_unique<link::DeviceListOpener>(clock, std::vector<std::string>{pty.SlavePath()}));
    if (xmit.OpenLink())
        return true;
    std::fprintf(stderr, "no rack on the simulated bus\n");
    return false;
}

// Bytes one flash block puts on the line: the stuffed request (its echo is the same
// transmission) and the module's empty positive answer.
size_t WireBytesOfBlock(const std::vector<uint8_t>& payload, uint8_t address) {
    link::FrameBuilder frame;
    frame.Build(address, link::cmd::kFlash, payload.data(), payload.size());
    const size_t answer = 5; // 02 FD addr F0 F0
    return frame.Size() + answer;
}

int SerialEfficiency() {
    auto rack = mulvane::DemoRack();
    for (auto& m : rack.modules)
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
    mulvane::RackEngine engine(rack, 1);
    auto pty = StartPty(engine, true);
    if (!pty)
        return 1;
    platform::RealClock clock;
    link::CXmit xmit(clock);
    if (!OpenOnPty(xmit, clock, *pty))
        return 1;
    link::CommandSet commands(xmit);
    std::mt19937 rng(42);
    std::vector<uint8_t> image(64 * 1024);
    for (auto& b : image)
        b = static_cast<uint8_t>(rng());

    size_t wireBytes = 0;
    const int64_t start = clock.NowMs();
    int failures = 0;
    for (size_t offset = 0; offset < image.size(); offset += 256) {
        std::span<const uint8_t> block(image.data() + offset, 256);
        std::vector<uint8_t> payload{link::cmd::kFlashWrite, static_cast<uint8_t>(offset >> 16),
                                     static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset)};
        payload.insert(payload.end(), block.begin(), block.end());
        wireBytes += WireBytesOfBlock(payload, kTuner);
        if (!commands.FlashWrite(block, static_cast<uint32_t>(offset), kTuner, true))
            ++failures;
    }
    const double seconds = static_cast<double>(clock.NowMs() - start) / 1000.0;
    const double achieved = static_cast<double>(image.size()) / seconds;
    const double limit =
        static_cast<double>(image.size()) / (static_cast<double>(wireBytes) / kWireBytesPerSecond);
    std::printf("serial efficiency: 64 KiB in 256-byte flash blocks over a 115200-baud pty\n");
    std::printf("  wire bytes %zu, time %.2f s, failed blocks %d\n", wireBytes, seconds, failures);
    std::printf(
        "  payload %.0f bytes/s, wire limit for this traffic %.0f bytes/s, ratio %.3f (target >= 0.9)\n",
        achieved, limit, achieved / limit);
    return failures == 0 ? 0 : 1;
}

int CpuWhileWaiting() {
    mulvane::RackEngine engine(mulvane::DemoRack(), 1);
    auto pty = StartPty(engine, false);
    if (!pty)
        return 1;
    platform::RealClock clock;
    link::CXmit xmit(clock);
    if (!OpenOnPty(xmit, clock, *pty))
        return 1;
    // Slow answers from now on; the status read's 1 s time-out covers them.
    engine.GetFaults().DelayAnswers(100);
    link::CommandSet commands(xmit);
    const int exchanges = 20;
    const int64_t start = clock.NowMs();
    const double cpu0 = ThreadCpuSeconds();
    int ok = 0;
    for (int i = 0; i < exchanges; ++i) {
        int length = 0;
        ok += commands.ReadStatus(kTuner, length) != nullptr;
    }
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall = static_cast<double>(clock.NowMs() - start) / 1000.0;
    std::printf("CPU while waiting: %d status reads with a 100 ms module delay (%d answered)\n", exchanges,
                ok);
    std::printf("  wall %.2f s, CPU of the waiting thread %.4f s, ratio %.2f %% (target < 2 %%)\n", wall, cpu,
                100.0 * cpu / wall);
    return 0;
}

int GatewayRate() {
    auto rack = mulvane::DemoRack();
    for (auto& m : rack.modules)
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
    mulvane::RackEngine engine(rack, 1);
    mulvane::GatewayServer gateway(engine);
    std::string error;
    if (!gateway.Start(error)) {
        std::fprintf(stderr, "cannot start the gateway: %s\n", error.c_str());
        return 1;
    }
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    link::CXmit xmit(clock);
    xmit.SetGateway(&socket);
    socket.ConnectTo("127.0.0.1", gateway.Port());
    const int64_t deadline = clock.NowMs() + 3000;
    while (!xmit.IsGatewayLinkUp() && clock.NowMs() < deadline)
        loop.RunOnce(10);
    if (!xmit.IsGatewayLinkUp()) {
        std::fprintf(stderr, "the gateway session did not open\n");
        return 1;
    }
    link::CommandSet commands(xmit);
    const int exchanges = 5000;
    int ok = 0;
    const int64_t start = clock.NowMs();
    for (int i = 0; i < exchanges; ++i)
        ok += commands.Identify(kTuner) == 7;
    const double seconds = static_cast<double>(clock.NowMs() - start) / 1000.0;
    std::printf("gateway: %d identifications over loopback TCP in %.2f s (%d answered): %.0f exchanges/s\n",
                exchanges, seconds, ok, exchanges / seconds);
    return ok == exchanges ? 0 : 1;
}

} // namespace

int main() {
    int rc = SerialEfficiency();
    rc |= CpuWhileWaiting();
    rc |= GatewayRate();
    return rc;
}
