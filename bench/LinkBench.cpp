// Figures of the rack link against the simulated rack (not a test: it prints ratios).
//  1. Serial efficiency: a 64 KiB image written in 256-byte flash blocks over a pty throttled
//     to 115200 baud, against the wire limit of that traffic (request and its echo share one
//     half-duplex line with the answer; 10 bits a byte: 11,520 bytes/s).
//  2. CPU per exchange while answers are slow (100 ms module delay): CPU time of the thread
//     that waits, over wall time.
//  3. Exchanges per second through the gateway over loopback TCP.
#include "BenchSupport.h"
#include "link/CommandSet.h"
#include "link/Frame.h"

#include <cstdio>
#include <random>

using namespace kaptiv;
using namespace kaptiv::bench;

namespace {

constexpr uint8_t kTuner = 10; // a module of the demo rack

// Bytes one flash block puts on the line: the stuffed request (its echo is the same
// transmission) and the module's empty positive answer.
size_t WireBytesOfBlock(const std::vector<uint8_t>& payload, uint8_t address) {
    link::FrameBuilder frame;
    frame.Build(address, link::cmd::kFlash, payload.data(), payload.size());
    const size_t answer = 5; // 02 FD addr F0 F0
    return frame.Size() + answer;
}

int SerialEfficiency() {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
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
    const double cpu0 = CpuSeconds();
    int ok = 0;
    for (int i = 0; i < exchanges; ++i) {
        int length = 0;
        ok += commands.ReadStatus(kTuner, length) != nullptr;
    }
    const double cpu = CpuSeconds() - cpu0;
    const double wall = static_cast<double>(clock.NowMs() - start) / 1000.0;
    std::printf("CPU while waiting: %d status reads with a 100 ms module delay (%d answered)\n", exchanges,
                ok);
    std::printf("  wall %.2f s, CPU of the waiting thread %.4f s, ratio %.2f %% (target < 2 %%)\n", wall, cpu,
                100.0 * cpu / wall);
    return 0;
}

int GatewayRate() {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
    auto gateway = StartGateway(engine);
    if (!gateway)
        return 1;
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    link::CXmit xmit(clock);
    if (!OpenOnGateway(xmit, socket, loop, clock, gateway->Port()))
        return 1;
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
