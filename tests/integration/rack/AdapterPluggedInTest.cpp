// An adapter plugged in after start-up: the main window over an empty device folder, then a
// pseudo-terminal of the simulated rack appearing in it. Real time, bounded deadlines.
#include "link/CXmit.h"
#include "platform/EventLoop.h"
#include "platform/SerialPort.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "sim/Engine.h"
#include "sim/PtyServer.h"
#include "sim/Rack.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace kaptiv;

namespace {

struct DeviceFolder {
    std::filesystem::path path;
    DeviceFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaptiv-dev-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~DeviceFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

TEST(AdapterPluggedInLater, IsFoundWithoutARestart) {
    DeviceFolder dev;
    ASSERT_FALSE(dev.path.empty());
    platform::RealClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    link::CXmit xmit{clock};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    rack::CQuorvelDlg main{windows, info, status};
    // As the program wires it without --serial: the folder is listed at every link opening.
    const std::string folder = dev.path.string();
    xmit.SetPortOpener(std::make_unique<link::DeviceListOpener>(
        clock, link::DeviceListOpener::Lister([folder] { return platform::SerialDevicesIn(folder); })));
    main.AttachLink(&xmit, nullptr);
    main.Create();
    ASSERT_TRUE(main.WatchDevices(folder));

    const auto pump = [&](const std::function<bool()>& done, int64_t ms) {
        const int64_t end = clock.NowMs() + ms;
        while (!done() && clock.NowMs() < end)
            loop.RunOnce(10);
        return done();
    };
    ASSERT_TRUE(pump([&] { return main.ScanCount() >= 1; }, 5000));
    EXPECT_EQ(main.LastScan().outcome, rack::ScanOutcome::HardwareNotFound);

    // The adapter appears: a device node (here a link to the simulator's pty) in the folder.
    mulvane::RackEngine engine(mulvane::DemoRack(), 5);
    mulvane::PtyOptions options;
    options.linkPath = (dev.path / "ttyUSB0").string();
    mulvane::PtyServer pty(&engine, options);
    std::string error;
    ASSERT_TRUE(pty.Start(error)) << error;

    ASSERT_TRUE(pump([&] { return main.LastScan().outcome == rack::ScanOutcome::Connected; }, 15000))
        << "scans: " << main.ScanCount();
    EXPECT_EQ(main.Image().moduleCount, static_cast<int>(engine.Config().modules.size()));
    pty.Stop();
}
