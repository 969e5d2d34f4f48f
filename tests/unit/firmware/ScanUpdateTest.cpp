// A whole scan of the demo rack with the firmware folder mulvane-sim writes for it: the
// first pass updates, the rack reboots, the second pass shows the new releases.
#include "firmware/FirmwareUpdate.h"
#include "sim/FirmwareFolder.h"
#include "tests/unit/rack/MainWindowSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kaptiv;
namespace fs = std::filesystem;

namespace {

struct PanelLog final : ui::Display {
    std::vector<std::string> messages;
    bool progressShown = false;
    void Present(const ui::DisplayUpdate& update) override {
        for (const auto& c : update.controls) {
            if (c.dialogId != rack::CInfo::kDialogId)
                continue;
            if (c.control.id == rack::CInfo::kMessage && !c.control.text.empty())
                messages.push_back(c.control.text);
            if (c.control.id == rack::CInfo::kProgress && c.control.visible)
                progressShown = true;
        }
    }
    bool Saw(const std::string& text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
};

struct ScanWithFirmware : ::testing::Test, test::MainWindowOnSim {
    fs::path program = fs::temp_directory_path() / "kaptiv-scan-firmware";
    link::CommandSet commands{xmit};
    firmware::FirmwareUpdate update{commands, info};
    PanelLog log;
    void SetUp() override {
        fs::remove_all(program);
        windows.AddDisplay(&log);
    }
    void TearDown() override {
        windows.RemoveDisplay(&log);
        fs::remove_all(program);
    }
};

TEST_F(ScanWithFirmware, TheDemoRackIsUpdatedRebootedAndShownWithItsNewReleases) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    const mulvane::FirmwarePlan plan = mulvane::PlanFirmware(rack);
    std::string error;
    ASSERT_TRUE(mulvane::WriteFirmwareFolder(plan, (program / "firmware").string(), error)) << error;
    Open(rack);
    mulvane::InstallFirmware(*engine, plan);
    main.SetFirmwareCheck(&update);
    main.Image().applicationFolder = program.string();

    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, rack::ScanOutcome::Connected);
    EXPECT_EQ(main.LastScan().passes, 2);
    EXPECT_EQ(engine->RestartCount(), 1);
    EXPECT_EQ(main.Image().FirmwareCount(), plan.library.files.size());

    EXPECT_TRUE(log.Saw("Updating module 1 (RkSat2.0) to release V2.5\r\nSending..."));
    EXPECT_TRUE(log.Saw("Updating module 1 (RkSat2.0) to release V2.5\r\nOK"));
    EXPECT_TRUE(log.Saw("Module 3 change : RkModC4 release V2.2\r\nOK"));
    EXPECT_TRUE(log.Saw("QVXHD4ENC(HW[1.2])"));
    EXPECT_TRUE(log.Saw("Updating module 10 (RkAV) to release V4.1\r\nOK"));
    EXPECT_TRUE(log.Saw("Hardware updated - Reboot required - Wait..."));
    EXPECT_TRUE(log.progressShown);
    EXPECT_TRUE(windows.Beeps().empty());

    auto row = [&](int r) { return Row(r).cells.at(0).text; };
    EXPECT_EQ(row(1), "RkSat2.0\r\n2.5(H3)");
    EXPECT_EQ(row(3), "RkModC4\r\n2.2(H2)"); // the personality changed at the restart
    EXPECT_EQ(row(6), "RkHD\r\n3.1.1.12");
    EXPECT_EQ(row(8), "RkSat1\r\n3.6"); // 3-byte identification: revision 0
    EXPECT_EQ(row(11), "RkModC4\r\n2.2(H1)");
    EXPECT_EQ(row(4), "QVXCT2\r\n1.2(H1)"); // its type 7 release (6.4) is above the file's
    for (const auto& m : engine->Config().modules)
        EXPECT_TRUE(engine->Firmware().Errors(m.address).empty())
            << int(m.address) << ": " << engine->Firmware().Errors(m.address).front();
    EXPECT_EQ((*engine->Firmware().ComponentHeader(19, 0x10))[1], 2);
}

} // namespace
