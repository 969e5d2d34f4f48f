// A whole scan of the demo rack with the firmware folder mulvane-sim writes for it: the
// first pass updates, the rack reboots, the second pass shows the new releases.
#include "firmware/FirmwareUpdate.h"
#include "sim/FirmwareFolder.h"
#include "tests/unit/rack/MainWindowSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

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
    // One folder per process and test: ctest runs the tests of this file side by side.
    fs::path program =
        fs::temp_directory_path() / ("kaptiv-scan-firmware-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
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

namespace {

// The gateway's side of the link over the simulated rack, on virtual time: requests reach the
// rack while it is not restarting, and the gateway's link-up after a restart starts a scan,
// as the socket's notification does.
class SimGateway final : public link::GatewayTransport {
public:
    SimGateway(platform::ManualClock& clock, mulvane::RackEngine& engine)
        : m_clock(clock), m_engine(engine) {}
    link::Answer Exchange(const link::Request& r) override {
        link::Answer a;
        if (!IsRackLinkUp()) {
            a.result = link::LinkResult::NoLink;
            return a;
        }
        const auto answer = m_engine.Handle(r.address, r.command, r.data, m_clock.NowMs());
        if (r.address == link::kBroadcastAddress) {
            a.result = link::LinkResult::Ok;
            return a;
        }
        if (!answer || answer->corruptChecksum) {
            m_clock.Advance(int64_t{r.timeout} * 100);
            a.result = link::LinkResult::Timeout;
            return a;
        }
        m_clock.Advance(answer->delayMs);
        a.Store(answer->Control(), answer->data);
        a.result = answer->kind == link::kAnswerPositive ? link::LinkResult::Ok : link::LinkResult::Negative;
        return a;
    }
    std::string_view Name() const override { return "gateway"; }
    bool IsRackLinkUp() const override { return !m_engine.IsRestarting(m_clock.NowMs()); }

private:
    platform::ManualClock& m_clock;
    mulvane::RackEngine& m_engine;
};

struct FaultyFolder : ScanWithFirmware {
    mulvane::FirmwarePlan plan;
    std::unique_ptr<SimGateway> gateway;

    // The demo's firmware folder, for `rack`'s simulator (by default the demo rack as the
    // folder was written for it).
    void Start(std::optional<mulvane::RackConfig> rack, bool overGateway) {
        mulvane::RackConfig demo = mulvane::DemoRack();
        plan = mulvane::PlanFirmware(demo);
        std::string error;
        ASSERT_TRUE(mulvane::WriteFirmwareFolder(plan, (program / "firmware").string(), error)) << error;
        Open(rack ? std::move(*rack) : demo, overGateway ? -1 : 0);
        mulvane::InstallFirmware(*engine, plan);
        if (overGateway) {
            gateway = std::make_unique<SimGateway>(clock, *engine);
            xmit.SetGateway(gateway.get());
        }
        main.SetFirmwareCheck(&update);
        main.Image().applicationFolder = program.string();
    }
    // Runs the program for ms of virtual time; over the gateway each link-up after a restart
    // starts a scan.
    void RunFor(int64_t ms) {
        const int64_t end = clock.NowMs() + ms;
        int restartsSeen = engine->RestartCount();
        bool linkUpDue = false;
        while (clock.NowMs() < end) {
            loop.RunOnce(100);
            if (!gateway)
                continue;
            if (engine->RestartCount() != restartsSeen) {
                restartsSeen = engine->RestartCount();
                linkUpDue = true;
            }
            if (linkUpDue && gateway->IsRackLinkUp()) {
                linkUpDue = false;
                main.StartDiscoveryFromGateway();
            }
        }
    }
    int FlashRequests(uint8_t address) const {
        int n = 0;
        for (const auto& r : engine->RequestsTo(address))
            n += r.command == link::cmd::kFlash;
        return n;
    }
};

// The demo rack without the picture its personality change needs: the other modules are
// updated and the rack restarted once; the modulator is left as it is and said so.
void MissingPictureRestartsOnce(FaultyFolder& t, bool overGateway) {
    t.Start(std::nullopt, overGateway);
    fs::remove(t.program / "firmware" / "FP_C4V0.rle");
    t.RunFor(60'000);
    EXPECT_EQ(t.engine->RestartCount(), 1) << "the restart for the other modules' updates, no more";
    // Through the gateway the rack's link-up after the restart starts the next scan, whose
    // first pass checks every module again.
    EXPECT_EQ(t.main.ScanCount(), overGateway ? 2 : 1);
    EXPECT_EQ(t.main.LastScan().outcome, rack::ScanOutcome::Connected);
    EXPECT_EQ(t.xmit.IsGatewayLinkUp(), overGateway);
    EXPECT_EQ(t.FlashRequests(12), 0) << "nothing is sent to the modulator that cannot change";
    EXPECT_TRUE(
        t.log.Saw("Module 3 (RkModT4) left as it is: the front-panel picture FP_C4V0.rle is missing or "
                  "unreadable."))
        << ::testing::PrintToString(t.log.messages);
    EXPECT_EQ(t.main.Image().Live(3).type, 6);
    EXPECT_EQ(t.main.Image().Live(1).release, 25) << "the other modules were updated";
}

TEST_F(FaultyFolder, AMissingPictureRestartsTheRackOnceOverTheSerialBus) {
    MissingPictureRestartsOnce(*this, false);
}

TEST_F(FaultyFolder, AMissingPictureRestartsTheRackOnceThroughTheGateway) {
    MissingPictureRestartsOnce(*this, true);
}

TEST_F(FaultyFolder, AModulatorThatCannotChangeAloneCausesNoRestart) {
    mulvane::RackConfig demo = mulvane::DemoRack();
    mulvane::PlanFirmware(demo); // gives the first modulator its wanted personality
    mulvane::RackConfig rack;
    rack.modules = {demo.modules[0], demo.modules[3]};
    ASSERT_NE(rack.modules[1].wantedPersonality, rack.modules[1].runningPersonality);
    Start(rack, false);
    fs::remove(program / "firmware" / "FP_C4V0.rle");
    RunFor(60'000);
    EXPECT_EQ(engine->RestartCount(), 0);
    EXPECT_EQ(main.ScanCount(), 1);
    EXPECT_EQ(main.LastScan().passes, 1);
    EXPECT_TRUE(engine->RequestsTo(12).size() > 0);
    EXPECT_EQ(FlashRequests(12), 0);
}

TEST_F(FaultyFolder, RescanWithThePictureInTheFolderChangesThePersonality) {
    Start(std::nullopt, false);
    const fs::path picture = program / "firmware" / "FP_C4V0.rle";
    const fs::path kept = program / "FP_C4V0.rle";
    fs::rename(picture, kept);
    RunFor(30'000);
    ASSERT_EQ(engine->RestartCount(), 1);
    EXPECT_EQ(main.Image().Live(3).type, 6);

    // Rescan with the same folder: the modulator is checked again and left as it is.
    main.OnClick(rack::CQuorvelDlg::kRescanButton);
    RunFor(30'000);
    EXPECT_EQ(engine->RestartCount(), 1);
    EXPECT_EQ(FlashRequests(12), 0);

    // The installer puts the picture into the folder and presses rescan: it changes.
    fs::rename(kept, picture);
    main.OnClick(rack::CQuorvelDlg::kRescanButton);
    RunFor(30'000);
    EXPECT_EQ(engine->RestartCount(), 2);
    EXPECT_GT(FlashRequests(12), 0);
    EXPECT_EQ(main.Image().Live(3).type, 8);
    EXPECT_TRUE(engine->Firmware().Errors(12).empty()) << engine->Firmware().Errors(12).front();
}

TEST_F(FaultyFolder, AForeignPersonalityByteNeverSelectsFirmware) {
    // A modulator that asks for the twin-input tuner's personality: the folder has a file
    // for that type, none for the module's own.
    mulvane::RackConfig rack;
    rack.modules = {mulvane::DemoRack().modules[0], test::Module(21, 5, 20)};
    rack.modules[1].wantedPersonality = 7;
    rack.modules[1].runningPersonality = 5;
    std::vector<std::string> warnings;
    update.SetWarningSink([&](const std::string& w) { warnings.push_back(w); });
    Start(rack, true);
    RunFor(60'000);
    EXPECT_EQ(FlashRequests(21), 0);
    for (const auto& r : engine->RequestsTo(21))
        EXPECT_NE(r.command, link::cmd::kFile) << "no component request either";
    EXPECT_EQ(engine->RestartCount(), 0);
    EXPECT_EQ(main.LastScan().outcome, rack::ScanOutcome::Connected);
    ASSERT_EQ(
        std::count_if(warnings.begin(), warnings.end(),
                      [](const std::string& w) { return w.find("personality 7") != std::string::npos; }),
        1)
        << "said once, however many scans";
    const std::string& said = *std::find_if(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("personality 7") != std::string::npos;
    });
    EXPECT_NE(said.find("module 1 (address 0x15, RkModT2)"), std::string::npos) << said;
}

} // namespace
