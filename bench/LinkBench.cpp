// Figures of the rack link against the simulated rack (not a test: it prints ratios).
//  1. Serial efficiency: a 64 KiB image written in 256-byte flash blocks over a pty throttled
//     to 115200 baud, against the wire limit of that traffic (request and its echo share one
//     half-duplex line with the answer; 10 bits a byte: 11,520 bytes/s).
//  2. CPU per exchange while answers are slow (100 ms module delay): CPU time of the thread
//     that waits, over wall time.
//  3. Exchanges per second through the gateway over loopback TCP.
//  4. The cost of the link trace (--trace): 3 and 1 again with every exchange traced to a file,
//     their ratios to the untraced runs, and the writer's own time per line.
//     "link_bench trace" runs only this part.
#include "BenchSupport.h"
#include "link/CommandSet.h"
#include "link/Frame.h"
#include "link/LinkTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <unistd.h>

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

int SerialEfficiency(const std::string& tracePath = {}, double* payloadRate = nullptr) {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
    auto pty = StartPty(engine, true);
    if (!pty)
        return 1;
    platform::RealClock clock;
    link::CXmit xmit(clock);
    std::string error;
    const auto trace = tracePath.empty() ? nullptr : link::AttachTrace(xmit, clock, tracePath, error);
    if (!tracePath.empty() && !trace) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
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
    if (payloadRate)
        *payloadRate = achieved;
    std::printf("serial efficiency%s: 64 KiB in 256-byte flash blocks over a 115200-baud pty\n",
                trace ? " (traced)" : "");
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

int GatewayRate(const std::string& tracePath = {}, double* rate = nullptr) {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
    auto gateway = StartGateway(engine);
    if (!gateway)
        return 1;
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    link::CSSocket socket(loop);
    link::CXmit xmit(clock);
    std::string error;
    const auto trace = tracePath.empty() ? nullptr : link::AttachTrace(xmit, clock, tracePath, error);
    if (!tracePath.empty() && !trace) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (trace)
        trace->SetGateway(&socket);
    if (!OpenOnGateway(xmit, socket, loop, clock, gateway->Port()))
        return 1;
    link::CommandSet commands(xmit);
    const int exchanges = 5000;
    int ok = 0;
    const int64_t start = clock.NowMs();
    for (int i = 0; i < exchanges; ++i)
        ok += commands.Identify(kTuner) == 7;
    const double seconds = static_cast<double>(clock.NowMs() - start) / 1000.0;
    if (rate)
        *rate = exchanges / seconds;
    std::printf("gateway%s: %d identifications over loopback TCP in %.2f s (%d answered): %.0f exchanges/s\n",
                trace ? " (traced)" : "", exchanges, seconds, ok, exchanges / seconds);
    return ok == exchanges ? 0 : 1;
}

// The writer alone: lines of an identification and of a 256-byte flash block, formatted and
// written to a file, per line.
void TraceWriterCost(const std::string& path) {
    platform::RealClock clock;
    std::string error;
    auto trace = link::LinkTrace::Open(clock, path, error);
    if (!trace)
        return;
    const std::vector<uint8_t> identity = {0x77, 7, 23, 3, 1, 1, 0};
    std::vector<uint8_t> flash(260, 0x5A);
    flash[0] = link::cmd::kFlashWrite;
    const int lines = 200000;
    link::ExchangeRecord record;
    record.address = kTuner;
    record.result = link::LinkResult::Ok;
    record.answerControl = 0xF0;
    record.viaGateway = false;
    trace->SetSerialDevice("/dev/ttyUSB0");
    const auto time = [&](uint8_t command, std::span<const uint8_t> request,
                          std::span<const uint8_t> answer) {
        record.command = command;
        record.request = request;
        record.answer = answer;
        const double cpu0 = CpuSeconds();
        for (int i = 0; i < lines; ++i)
            trace->OnExchange(record);
        trace->Flush();
        return (CpuSeconds() - cpu0) / lines * 1e6;
    };
    const double identify = time(link::cmd::kIdentify, {}, identity);
    const double block = time(link::cmd::kFlash, flash, {});
    std::printf("trace writer: %.2f us per identification line, %.2f us per 256-byte flash block line "
                "(CPU, %d lines each, file flushed every %zu lines)\n",
                identify, block, lines, link::LinkTrace::kFlushLines);
}

int TraceCost() {
    char dir[] = "/tmp/link_bench_trace_XXXXXX";
    if (!mkdtemp(dir)) {
        std::fprintf(stderr, "cannot make a folder for the trace: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string path = std::string(dir) + "/trace.txt";
    // Loopback rates wander from run to run: the best of three runs each, taken in turn.
    double plain = 0;
    double traced = 0;
    int rc = 0;
    for (int run = 0; run < 3; ++run) {
        double rate = 0;
        rc |= GatewayRate({}, &rate);
        plain = std::max(plain, rate);
        rc |= GatewayRate(path, &rate);
        traced = std::max(traced, rate);
    }
    std::printf("  trace cost through the gateway: traced/untraced exchange rate %.3f\n", traced / plain);
    double serialPlain = 0;
    double serialTraced = 0;
    rc |= SerialEfficiency({}, &serialPlain);
    rc |= SerialEfficiency(path, &serialTraced);
    std::printf("  trace cost on the serial line: traced/untraced payload rate %.3f\n",
                serialTraced / serialPlain);
    TraceWriterCost(path);
    std::remove(path.c_str());
    rmdir(dir);
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "trace") == 0)
        return TraceCost();
    int rc = SerialEfficiency();
    rc |= CpuWhileWaiting();
    rc |= GatewayRate();
    rc |= TraceCost();
    return rc;
}
