// Upload figures of the streaming tuners' USB key against the simulated rack (not a test: it
// prints figures). A file goes to the demo terrestrial tuner's key through the tool's own upload
// (the block loop that also lets the page's events through between blocks):
//  1. over the serial bus on a pty throttled to 115200 baud, in 256-byte blocks, against the
//     wire limit of that traffic (request and echo share one half-duplex line with the answer;
//     10 bits a byte: 11,520 bytes/s);
//  2. through the gateway over loopback TCP, in 1350-byte blocks (the simulated gateway does
//     not throttle: the figure is the tool's own ceiling), against the same bus limit.
// CPU of the uploading thread over wall time is printed for both.
//
// streaming_bench [--serial-bytes N] [--gateway-bytes N]   (defaults 1 MiB and 10 MiB)
#include "BenchSupport.h"
#include "link/Frame.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "sim/ModuleFiles.h"
#include "streaming/StreamingFiles.h"
#include "ui/Dialog.h"
#include "ui/WindowSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace kaptiv;
using namespace kaptiv::bench;

namespace {

constexpr uint8_t kTuner = 13; // the demo rack's terrestrial tuner (type 12)
constexpr uint8_t kTunerType = 12;
constexpr size_t kAnswerBytes = 5; // 02 FD addr F0 F0: the empty positive answer

struct Host final : streaming::StreamingHost {
    streaming::Schedule schedule;
    streaming::Schedule& ScheduleValues() override { return schedule; }
    bool WriteSettings() override { return true; }
    void MarkInputChanged() override {}
    void PassThrough(bool) override {}
    void ScheduleShown() override {}
    void ShowMessage(const std::string&) override {}
};

// The bytes the upload puts on the serial line for a file of `size` bytes.
size_t SerialWireBytes(const std::vector<uint8_t>& content) {
    size_t wire = 0;
    for (size_t offset = 0; offset < content.size(); offset += streaming::kSerialUploadBlock) {
        const size_t n = std::min(streaming::kSerialUploadBlock, content.size() - offset);
        std::vector<uint8_t> payload{link::cmd::kFileWriteForm4};
        payload.insert(payload.end(), content.begin() + long(offset), content.begin() + long(offset + n));
        link::FrameBuilder frame;
        frame.Build(kTuner, link::cmd::kFile, payload.data(), payload.size());
        wire += frame.Size() + kAnswerBytes;
    }
    return wire;
}

struct Result {
    bool ok = false;
    double seconds = 0;
    double cpu = 0;
};

Result Upload(link::CXmit& xmit, platform::EventLoop& loop, const std::string& local) {
    ui::WindowSystem windows(loop);
    ui::Dialog page(windows, resources::DialogTemplateById(resources::page::kDialogSettings));
    page.Create();
    using namespace resources::page;
    streaming::PlayoutControls ids{kFileList,    kFileUpload,  kFileDelete,     kStreamPort,  kScheduleStart,
                                   kScheduleEnd, kScheduleAdd, kScheduleRemove, kScheduleList};
    streaming::StreamingFiles ops(page, ids);
    link::CommandSet commands(xmit);
    streaming::CommandSetFiles files(commands, kTuner);
    Host host;
    ops.Open(host, files, kTunerType, kTuner, std::filesystem::temp_directory_path().string());
    const auto wall0 = loop.GetClock().NowMs();
    const double cpu0 = CpuSeconds();
    Result r;
    r.ok = ops.UploadFile("/mnt/bench.ts.tmp", local);
    r.cpu = CpuSeconds() - cpu0;
    r.seconds = double(loop.GetClock().NowMs() - wall0) / 1000.0;
    ops.Close();
    return r;
}

bool StoredIntact(mulvane::RackEngine& engine, const std::vector<uint8_t>& content) {
    for (const auto& [name, bytes] : engine.UsbKeyFiles(kTuner))
        if (name == "bench.ts.tmp")
            return bytes == content;
    return false;
}

void Report(const char* what, size_t size, const Result& r, double limit, bool intact) {
    const double rate = double(size) / r.seconds;
    std::printf("%s: %zu bytes in %.2f s (%s, %s)\n", what, size, r.seconds, r.ok ? "uploaded" : "FAILED",
                intact ? "stored intact" : "NOT stored intact");
    std::printf("  payload %.0f bytes/s, bus wire limit for this traffic %.0f bytes/s, ratio %.3f\n", rate,
                limit, rate / limit);
    std::printf("  CPU of the uploading thread %.2f s, %.1f %% of wall time\n", r.cpu,
                100.0 * r.cpu / r.seconds);
}

int SerialUpload(const std::string& local, const std::vector<uint8_t>& content) {
    mulvane::RackEngine engine(QuickDemoRack(), 1);
    auto pty = StartPty(engine, true);
    if (!pty)
        return 1;
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    link::CXmit xmit(clock);
    if (!OpenOnPty(xmit, clock, *pty))
        return 1;
    const Result r = Upload(xmit, loop, local);
    const double limit = double(content.size()) / (double(SerialWireBytes(content)) / kWireBytesPerSecond);
    Report("serial upload, 256-byte blocks, pty throttled to 115200 baud", content.size(), r, limit,
           StoredIntact(engine, content));
    return r.ok ? 0 : 1;
}

int GatewayUpload(const std::string& local, const std::vector<uint8_t>& content) {
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
    const Result r = Upload(xmit, loop, local);
    // The same bytes as 1350-byte frames on the bus behind the gateway.
    size_t wire = 0;
    for (size_t offset = 0; offset < content.size(); offset += streaming::kGatewayUploadBlock) {
        const size_t n = std::min(streaming::kGatewayUploadBlock, content.size() - offset);
        std::vector<uint8_t> payload{link::cmd::kFileWriteForm4};
        payload.insert(payload.end(), content.begin() + long(offset), content.begin() + long(offset + n));
        link::FrameBuilder frame;
        frame.Build(kTuner, link::cmd::kFile, payload.data(), payload.size());
        wire += frame.Size() + kAnswerBytes;
    }
    const double limit = double(content.size()) / (double(wire) / kWireBytesPerSecond);
    Report("gateway upload, 1350-byte blocks, loopback TCP (unthrottled)", content.size(), r, limit,
           StoredIntact(engine, content));
    return r.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    size_t serialBytes = 1 << 20;
    size_t gatewayBytes = 10 << 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--serial-bytes") == 0)
            serialBytes = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--gateway-bytes") == 0)
            gatewayBytes = std::strtoull(argv[i + 1], nullptr, 10);
    }
    const auto folder =
        std::filesystem::temp_directory_path() / ("streaming-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    int rc = 0;
    for (const auto& [size, serial] : {std::pair{gatewayBytes, false}, std::pair{serialBytes, true}}) {
        if (size == 0)
            continue;
        const auto content = mulvane::DemoTransportStream("bench.ts", size);
        const std::string local = (folder / "bench.ts").string();
        std::ofstream(local, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), long(content.size()));
        rc |= serial ? SerialUpload(local, content) : GatewayUpload(local, content);
    }
    std::filesystem::remove_all(folder);
    return rc;
}
