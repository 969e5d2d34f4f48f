// What one scan says and does, in order: its messages (text, display time, whether the scan
// waits them out), its beeps and each change it asks of the main window, the device-change
// indicator (1204) included. Recorded through the scan's two ports, on virtual time.
#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "platform/Clock.h"
#include "rack/Discovery.h"
#include "rack/FirmwareCheck.h"
#include "rack/RackImage.h"
#include "rack/ScanFeedback.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kaptiv;

namespace {

struct Recorder final : rack::ScanFeedback, rack::ScanHost {
    explicit Recorder(platform::ManualClock& clock) : clock(clock) {}
    platform::ManualClock& clock;
    std::vector<std::string> log;

    void ShowMessage(const std::string& text, int64_t displayMs, bool wait) override {
        log.push_back("message \"" + text + "\" " + std::to_string(displayMs) + (wait ? " wait" : ""));
    }
    void WarningBeep(int hz, int ms) override {
        log.push_back("beep " + std::to_string(hz) + "/" + std::to_string(ms));
    }
    platform::Clock& ScanClock() override { return clock; }

    void BeginScan() override { log.push_back("begin"); }
    void ClearModuleList() override { log.push_back("clear"); }
    void ShowModuleRow(size_t index) override { log.push_back("row " + std::to_string(index)); }
    void HideDeviceChangeIndicator() override { log.push_back("hide 1204"); }
    void RackConnected() override { log.push_back("connected"); }
    void EnableRackButtons() override { log.push_back("rack buttons"); }
    void EndScan() override { log.push_back("end"); }
};

struct EmptyFirmwareFolder final : rack::FirmwareCheck {
    void IndexFolder(rack::RackImage& image) override { image.firmware.clear(); }
    bool CheckAndUpdate(rack::RackImage&, size_t, uint8_t) override { return false; }
};

struct Scan : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackConfig config = SmallRack();
    mulvane::RackEngine engine{config, 7};
    mulvane::SerialLine line{&engine};
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    rack::RackImage image;
    Recorder recorder{clock};

    static mulvane::RackConfig SmallRack() {
        mulvane::RackConfig rack;
        for (auto [address, type] : {std::pair<uint8_t, uint8_t>{0, 0}, {10, 7}, {11, 6}}) {
            mulvane::ModuleConfig m;
            m.address = address;
            m.type = type;
            m.release = 20;
            m.identifyLength = 7;
            m.answerDelayMinMs = 1;
            m.answerDelayMaxMs = 1;
            rack.modules.push_back(m);
        }
        return rack;
    }
    std::vector<std::string> Run(rack::FirmwareCheck& firmware, int port = 0) {
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, port));
        firmware.IndexFolder(image);
        rack::Discovery discovery(commands, image, recorder, firmware, recorder);
        discovery.Run();
        return recorder.log;
    }
};

} // namespace

TEST_F(Scan, AFoundRackWithoutFirmwareCheck) {
    rack::NoFirmwareCheck none;
    EXPECT_EQ(Run(none), (std::vector<std::string>{
                             "begin",
                             "clear",
                             "message \"Searching...\" 10000",
                             "message \"Found. Getting configuration...\" 10000",
                             "row 0",
                             "row 1",
                             "row 2",
                             "message \"\" 1",
                             "connected",
                             "rack buttons",
                             "end",
                         }));
}

TEST_F(Scan, AnEmptyFirmwareFolderIsReportedAfterThePass) {
    EmptyFirmwareFolder empty;
    const auto log = Run(empty);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
              (std::vector<std::string>{"rack buttons", "beep 440/200",
                                        "message \"Firmware files not found...\" 1000 wait", "end"}));
}

TEST_F(Scan, NoHardware) {
    rack::NoFirmwareCheck none;
    EXPECT_EQ(Run(none, -1), (std::vector<std::string>{
                                 "begin",
                                 "clear",
                                 "message \"Searching...\" 10000",
                                 "message \"Hardware not found...\" 1000 wait",
                                 "hide 1204",
                                 "end",
                             }));
}
