// Figures of the firmware transfer (not a test: it prints ratios). A 256 KiB image for a
// twin-input tuner (type 7: every block, ascending) and one for a COFDM modulator (type 5:
// last block first, erased blocks skipped) go through the firmware update over a pty
// throttled to 115200 baud. Printed: payload bytes per second against the wire limit of the
// traffic that carried them (every request with its echo and every answer, 10 bits a byte
// on one half-duplex line: 11,520 bytes/s), and the CPU the tool used meanwhile.
#include "BenchSupport.h"
#include "firmware/FirmwareUpdate.h"
#include "link/CommandSet.h"
#include "link/Frame.h"
#include "rack/CInfo.h"
#include "sim/FirmwareFolder.h"
#include "ui/WindowSystem.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace kaptiv;
using namespace kaptiv::bench;
namespace fs = std::filesystem;

namespace {

constexpr size_t kAnswerBytes = 5; // 02 FD address F0 checksum: an empty positive answer
constexpr size_t kImageSize = 256 * 1024;

struct Case {
    const char* title;
    uint8_t type;
    uint8_t address;
    int erasedEvery; // 0: no erased blocks
};

int Run(const Case& c) {
    const fs::path program = fs::temp_directory_path() / ("kaptiv-firmware-bench-" + std::to_string(c.type));
    fs::remove_all(program);
    fs::create_directories(program / "firmware");
    mulvane::SimFirmwareFile file{std::string("BENCH_0_V30.bin"), c.type, 0, 30,
                                  mulvane::PatternImage(kImageSize, c.type, c.erasedEvery)};
    {
        const auto bytes = mulvane::FirmwareFileBytes(file);
        std::ofstream(program / "firmware" / file.name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(program / "firmware" / "QVX.FRM") << file.name << "\r\n";
    }

    mulvane::RackConfig rack;
    mulvane::ModuleConfig controller;
    controller.address = 0;
    controller.type = 0;
    mulvane::ModuleConfig module;
    module.address = c.address;
    module.type = c.type;
    module.release = 20;
    module.hwRevision = 0;
    module.wantedPersonality = module.runningPersonality = 255;
    controller.answerDelayMinMs = controller.answerDelayMaxMs = 0;
    module.answerDelayMinMs = module.answerDelayMaxMs = 0;
    rack.modules = {controller, module};
    mulvane::RackEngine engine(rack, 1);
    engine.Firmware().SetLibrary({{file}, {}, {}});
    auto pty = StartPty(engine, true);
    if (!pty)
        return 1;

    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);
    rack::CInfo info(windows);
    info.Create();
    link::CXmit xmit(clock);
    if (!OpenOnPty(xmit, clock, *pty))
        return 1;
    link::CommandSet commands(xmit);
    firmware::FirmwareUpdate update(commands, info);
    rack::RackImage image;
    image.applicationFolder = program.string();
    update.IndexFolder(image);
    image.StartScan();
    image.Append(c.address, c.type);
    image.Live(1).release = 20;
    image.Live(1).reportedType = c.type;
    engine.ClearHistory();

    const int64_t start = clock.NowMs();
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processCpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    update.CheckAndUpdate(image, 1, 0);
    // The update pauses after its "OK"; that pause is no transfer time.
    const double seconds =
        static_cast<double>(clock.NowMs() - start - firmware::FirmwareUpdate::kAfterSuccessPauseMs) / 1000.0;
    const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    const double processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu0;

    size_t wireBytes = 0, payload = 0, blocks = 0;
    for (const auto& r : engine.RequestsTo(c.address)) {
        link::FrameBuilder frame;
        frame.Build(c.address, r.command, r.data.data(), r.data.size());
        wireBytes += frame.Size() + kAnswerBytes;
        if (r.command == link::cmd::kFlash && !r.data.empty() && r.data[0] == link::cmd::kFlashWrite) {
            payload += r.data.size() - 4;
            ++blocks;
        }
    }
    const auto errors = engine.Firmware().Errors(c.address);
    const double achieved = static_cast<double>(payload) / seconds;
    const double limit =
        static_cast<double>(payload) / (static_cast<double>(wireBytes) / kWireBytesPerSecond);
    std::printf("%s\n", c.title);
    std::printf("  outcome \"%s\", loader errors %zu, %zu block writes, %zu payload bytes, %zu wire bytes\n",
                info.Message().c_str(), errors.size(), blocks, payload, wireBytes);
    std::printf("  time %.2f s: payload %.0f bytes/s, wire limit for this traffic %.0f bytes/s, ratio %.3f "
                "(target >= 0.90)\n",
                seconds, achieved, limit, achieved / limit);
    std::printf("  CPU: tool thread %.3f s (%.1f %% of the time), whole process with the simulator %.3f s\n",
                cpu, 100.0 * cpu / seconds, processCpu);
    fs::remove_all(program);
    return errors.empty() ? 0 : 1;
}

} // namespace

int main() {
    int failures = 0;
    failures += Run({"type 7 (RkSat2.0): 256 KiB, every 256-byte block in ascending order", 7, 10, 0});
    failures +=
        Run({"type 5 (RkModT2): 256 KiB, last block first, every 8th block erased and skipped", 5, 11, 8});
    return failures == 0 ? 0 : 1;
}
