// Time to discover the whole demo rack, through the gateway over loopback TCP and over the
// simulated serial bus on a pty, against the least the protocol allows: the number of
// exchanges a discovery cannot do without times the measured round trip of one
// identification on the same link. Prints the ratio (target: at most 1.2).
//
// The least number of exchanges for N modules (controller included): one identification of
// the controller to open the link, the module list, one identification of each other module
// and one parameter read per module: 2N + 1.
#include "BenchSupport.h"
#include "link/CommandSet.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kaptiv;
using namespace kaptiv::bench;

namespace {

constexpr int kRuns = 7;
constexpr int kIdentifySamples = 200;

// One firmware file on record: no scan stops for the missing-files warning.
struct OneFirmwareFile final : rack::FirmwareCheck {
    void IndexFolder(rack::RackImage& image) override {
        image.firmware = {{"firmware/x_0_V30.bin", 7, 0, 30, 10}};
    }
    bool CheckAndUpdate(rack::RackImage&, size_t, uint8_t) override { return false; }
};

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Window {
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    link::CXmit xmit{clock};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    OneFirmwareFile firmware;
    rack::CQuorvelDlg main{windows, info, status};

    Window() { xmit.SetIndicators(&status); }

    // Median seconds of one whole scan, run as the scan timer runs it.
    double TimeScans() {
        std::vector<double> runs;
        for (int i = 0; i < kRuns; ++i) {
            const double start = NowSeconds();
            main.OnTimer(rack::CQuorvelDlg::kScanTimer);
            runs.push_back(NowSeconds() - start);
            if (main.LastScan().outcome != rack::ScanOutcome::Connected)
                return -1;
        }
        return Median(runs);
    }
    double IdentifyRoundTrip() {
        link::CommandSet commands(xmit);
        std::vector<double> samples;
        for (int i = 0; i < kIdentifySamples; ++i) {
            const double start = NowSeconds();
            commands.Identify(10);
            samples.push_back(NowSeconds() - start);
        }
        return Median(samples);
    }
};

void Report(const char* link, double scan, double roundTrip, size_t modules, size_t exchangesMade) {
    const size_t least = 2 * modules + 1;
    const double floor = static_cast<double>(least) * roundTrip;
    std::printf("%-22s scan %8.3f ms  exchanges %zu (least %zu)  identify round trip %7.3f ms  "
                "least %8.3f ms  ratio %.2f\n",
                link, scan * 1e3, exchangesMade, least, roundTrip * 1e3, floor * 1e3, scan / floor);
}

int OverGateway() {
    mulvane::RackEngine engine(mulvane::DemoRack(), 1);
    auto gateway = StartGateway(engine);
    if (!gateway)
        return 1;
    Window w;
    link::CSSocket socket(w.loop);
    w.xmit.SetGateway(&socket);
    socket.ConnectTo("127.0.0.1", gateway->Port());
    w.main.AttachLink(&w.xmit, &socket);
    w.main.SetFirmwareCheck(&w.firmware);
    w.main.Create();
    w.main.KillTimer(rack::CQuorvelDlg::kStartTimer); // the bench drives the scans itself
    w.firmware.IndexFolder(w.main.Image());
    const double end = NowSeconds() + 5;
    while (!socket.IsRackLinkUp() && NowSeconds() < end)
        w.loop.RunOnce(10);
    if (!socket.IsRackLinkUp()) {
        std::fprintf(stderr, "the gateway did not report its rack link\n");
        return 1;
    }
    engine.ClearHistory();
    const double scan = w.TimeScans();
    const size_t made = engine.AllRequests().size() / kRuns;
    const double roundTrip = w.IdentifyRoundTrip();
    w.main.AttachLink(&w.xmit, nullptr);
    socket.Disconnect();
    if (scan < 0) {
        std::fprintf(stderr, "a scan through the gateway failed\n");
        return 1;
    }
    Report("gateway (loopback TCP)", scan, roundTrip, engine.Config().modules.size(), made);
    return 0;
}

int OverPty() {
    mulvane::RackEngine engine(mulvane::DemoRack(), 1);
    auto pty = StartPty(engine, false);
    if (!pty)
        return 1;
    Window w;
    w.xmit.SetPortOpener(
        std::make_unique<link::DeviceListOpener>(w.clock, std::vector<std::string>{pty->SlavePath()}));
    w.main.AttachLink(&w.xmit, nullptr);
    w.main.SetFirmwareCheck(&w.firmware);
    w.main.Create();
    w.main.KillTimer(rack::CQuorvelDlg::kStartTimer);
    w.firmware.IndexFolder(w.main.Image());
    engine.ClearHistory();
    const double scan = w.TimeScans();
    const size_t made = engine.AllRequests().size() / kRuns;
    const double roundTrip = w.IdentifyRoundTrip();
    if (scan < 0) {
        std::fprintf(stderr, "a scan over the pty failed\n");
        return 1;
    }
    Report("serial (pty)", scan, roundTrip, engine.Config().modules.size(), made);
    return 0;
}

} // namespace

int main() {
    std::printf("Discovery of the demo rack, median of %d scans:\n", kRuns);
    const int gateway = OverGateway();
    const int serial = OverPty();
    return gateway != 0 || serial != 0 ? 1 : 0;
}
