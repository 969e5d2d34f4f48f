// Discovery, the watchdog and the device-change event of the main window, against the
// simulated rack on virtual time.
#include "MainWindowSupport.h"

#include "link/CommandSet.h"
#include "platform/ModuleType.h"
#include "text/Language.h"
#include "text/ToolText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace kaptiv;
using rack::CQuorvelDlg;
using rack::ScanOutcome;

namespace {

struct Discovery : ::testing::Test, test::MainWindowOnSim {};

std::string Text(const ui::ListRow& row) {
    return row.cells.at(0).text;
}

TEST_F(Discovery, DemoRackFillsTheColumnAndStartsTheWatchdog) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    ASSERT_EQ(main.LastScan().outcome, ScanOutcome::Connected);

    const auto modules = engine->Config().modules;
    ASSERT_EQ(main.Image().moduleCount, modules.size());
    for (size_t i = 0; i < modules.size(); ++i) {
        const rack::ModuleRecord& r = main.Image().Live(i);
        EXPECT_EQ(r.address, modules[i].address);
        EXPECT_EQ(Text(Row(int(i))), rack::ListRowText(r)) << i;
        EXPECT_EQ(r.blockLength, modules[i].block.size()) << i;
        // The blocks of the controller and the CI module are never compared or written.
        EXPECT_EQ(r.referenceLength, kaptiv::HasEditableBlock(r.type) ? r.blockLength : 0) << i;
    }
    EXPECT_EQ(Text(Row(1)), "RkSat2.0\r\n2.3(H3)");
    EXPECT_EQ(RowImage(0), 1); // the controller is selected: highlighted
    EXPECT_EQ(RowImage(1), 2);
    EXPECT_EQ(RowImage(2), 6);
    EXPECT_EQ(RowImage(12), CQuorvelDlg::kEmptyRowImage);

    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX - (USB)");
    for (int id : {CQuorvelDlg::kRescanButton, CQuorvelDlg::kLoadButton, CQuorvelDlg::kSaveButton,
                   CQuorvelDlg::kReportButton})
        EXPECT_TRUE(main.Item(id).IsEnabled()) << id;
    EXPECT_FALSE(main.Item(CQuorvelDlg::kPersonalityButton).IsEnabled());
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
    EXPECT_EQ(info.Message(), "");
    EXPECT_TRUE(windows.Beeps().empty());
    EXPECT_EQ(firmware.offers.size(), modules.size());

    // The watchdog keeps re-arming itself while the link holds.
    loop.RunFor(1000);
    EXPECT_EQ(main.ScanCount(), 1);
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
}

TEST_F(Discovery, AnEmptyModuleListLeavesTheControllerRowOnly) {
    mulvane::RackConfig rack;
    rack.modules = {test::Module(0, 0, 31)};
    Open(rack);
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    EXPECT_EQ(main.Image().moduleCount, 1);
    EXPECT_EQ(Text(Row(0)), "RkPSU\r\n3.1(H1)");
    EXPECT_EQ(Text(Row(1)), "");
    EXPECT_EQ(RowImage(1), CQuorvelDlg::kEmptyRowImage);
}

TEST_F(Discovery, AModuleOfAnotherTypeStopsTheScanAtItsIndex) {
    Open(mulvane::DemoRack());
    engine->GetFaults().ChangeModuleType(13, 2, mulvane::TypeChangeScope::IdentifyOnly);
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::InactiveModule);
    EXPECT_EQ(main.LastScan().failedIndex, 4); // the controller counts as 0
    EXPECT_EQ(info.Message(), "Inactive module detected... (#4)");
    EXPECT_EQ(engine->RestartCount(), 1);
    EXPECT_FALSE(xmit.IsLinkOpen());
    // Idle: nothing is armed until the installer, a device or the gateway asks again.
    for (int timer : {CQuorvelDlg::kScanTimer, CQuorvelDlg::kWatchdogTimer})
        EXPECT_FALSE(main.IsTimerSet(timer));
    EXPECT_TRUE(main.Item(CQuorvelDlg::kRescanButton).IsEnabled());
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLoadButton).IsEnabled());
}

TEST_F(Discovery, ShortIdentificationReleaseOffsetsAndAnOversizedBlock) {
    mulvane::RackConfig rack;
    rack.modules = {test::Module(0, 0, 31), test::Module(10, 10, 12), test::Module(11, 4, 35, 3),
                    test::Module(12, 12, 12), test::Module(13, 2, 27)};
    rack.modules[4].block.assign(1100, 0x5A);
    Open(rack);
    RunUntilScans(1);
    ASSERT_EQ(main.LastScan().outcome, ScanOutcome::Connected);

    // Type 10 and 12 modules are compared with type 7 files, release numbered on.
    ASSERT_EQ(firmware.offers.size(), 5u);
    EXPECT_EQ(firmware.offers[1].type, 7);
    EXPECT_EQ(firmware.offers[1].release, 50);
    EXPECT_EQ(firmware.offers[1].offset, 38);
    EXPECT_EQ(firmware.offers[3].type, 7);
    EXPECT_EQ(firmware.offers[3].release, 64);
    EXPECT_EQ(firmware.offers[3].offset, 52);
    EXPECT_EQ(firmware.offers[2].type, 4);
    EXPECT_EQ(firmware.offers[2].offset, 0);
    const rack::ModuleRecord& sat = main.Image().Live(1);
    EXPECT_EQ(sat.type, 10);
    EXPECT_EQ(sat.release, 12);
    EXPECT_EQ(sat.reportedType, 10);
    EXPECT_EQ(main.Image().Live(3).type, 12);

    const rack::ModuleRecord& old = main.Image().Live(2);
    EXPECT_EQ(old.release, 35);
    EXPECT_EQ(old.hardwareRevision, 0);
    EXPECT_EQ(old.wantedPersonality, 255);
    EXPECT_EQ(old.subRelease, 255);
    EXPECT_EQ(old.runningPersonality, 255);
    EXPECT_EQ(old.extraStatus, 0);
    EXPECT_EQ(Text(Row(2)), "RkSat1\r\n3.5");

    // The oversized block is refused whole: no block, no reference, a warning beep.
    const rack::ModuleRecord& big = main.Image().Live(4);
    EXPECT_EQ(big.blockLength, 0);
    EXPECT_EQ(big.referenceLength, 0);
    EXPECT_EQ(Text(Row(4)), "RkModT1\r\n2.7(H1)");
    ASSERT_EQ(windows.Beeps().size(), 1u);
    EXPECT_EQ(windows.Beeps()[0].frequencyHz, 440);
}

TEST_F(Discovery, MoreModulesThanTheImageHoldsAreRefused) {
    mulvane::RackConfig rack;
    rack.modules = {test::Module(0, 0, 31)};
    for (uint8_t i = 0; i < 15; ++i)
        rack.modules.push_back(test::Module(uint8_t(10 + i), 4));
    Open(rack);
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::TooManyModules);
    EXPECT_EQ(info.Message(), "Module list refused: 15 modules listed, at most 14.");
    EXPECT_EQ(main.Image().moduleCount, 1);

    // In another language the refusal is in that language too.
    text::SetLanguageIndex(static_cast<int>(text::Language::German));
    main.OnClick(CQuorvelDlg::kRescanButton);
    RunUntilScans(2);
    text::SetLanguageIndex(static_cast<int>(text::Language::English));
    EXPECT_EQ(info.Message(), "Modulliste abgelehnt: 15 Module gemeldet, höchstens 14.");
    EXPECT_FALSE(xmit.IsLinkOpen());
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLoadButton).IsEnabled());
}

TEST_F(Discovery, NoHardwareAndNoFirmwareFiles) {
    firmware.haveFiles = false;
    Open(mulvane::DemoRack(), -1);
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::HardwareNotFound);
    ASSERT_EQ(windows.Beeps().size(), 1u);
    EXPECT_EQ(windows.Beeps()[0].frequencyHz, 440);
    EXPECT_EQ(windows.Beeps()[0].durationMs, 200);
    EXPECT_EQ(info.Message(), "Firmware files not found...");
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX");
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLoadButton).IsEnabled());
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
}

TEST_F(Discovery, WithoutAFirmwareCheckTheScanSaysNothingAboutFirmwareFiles) {
    Open(mulvane::DemoRack());
    main.SetFirmwareCheck(nullptr); // the program as shipped: no firmware folder is read
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    EXPECT_TRUE(windows.Beeps().empty());
    EXPECT_NE(info.Message(), "Firmware files not found...");
}

TEST_F(Discovery, AnUpdateRebootsTheRackAndScansOnceMore) {
    Open(mulvane::DemoRack());
    firmware.onCheck = [](size_t index) { return index == 1; };
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    EXPECT_EQ(main.LastScan().passes, 2);
    EXPECT_EQ(engine->RestartCount(), 1);
    // The check is made on the first pass only.
    EXPECT_EQ(firmware.offers.size(), engine->Config().modules.size());
    EXPECT_EQ(main.Image().moduleCount, engine->Config().modules.size());
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
}

TEST_F(Discovery, ALostLinkIsConfirmedTornDownAndScannedAgain) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    ASSERT_EQ(main.Image().moduleCount, 12);

    // The module leaves the rack; the next request to it (a settings page poll) fails.
    engine->GetFaults().RemoveModule(12);
    link::CommandSet commands{xmit};
    EXPECT_EQ(commands.Identify(12), link::CommandSet::kNoModuleType);
    const int64_t lostAt = clock.NowMs();
    engine->ClearHistory();
    RunUntilScans(2);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    EXPECT_EQ(main.Image().moduleCount, 11);
    // The next watchdog tick asks the silent module to identify itself, twice, each with its
    // 100 ms time-out; the new scan's first request (the controller's identification) leaves
    // one scan delay after that.
    const auto requests = engine->AllRequests();
    ASSERT_GE(requests.size(), 3u);
    for (int i = 0; i < link::CXmit::kConfirmAttempts; ++i) {
        EXPECT_EQ(requests[i].destination, 12);
        EXPECT_EQ(requests[i].command, 0x10);
    }
    const auto& first = requests[link::CXmit::kConfirmAttempts];
    EXPECT_EQ(first.destination, 0);
    EXPECT_GE(first.atMs - lostAt, 300);
    EXPECT_LE(first.atMs - lostAt, 400);
}

TEST_F(Discovery, ALostAnswerIsNotALostRack) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    ASSERT_EQ(main.Image().moduleCount, 12);
    main.SelectModule(3);
    const auto chain = main.SelectedChain();

    // One status answer of module 12 is lost; the module itself is there.
    engine->GetFaults().DropNextAnswersTo(12, 0x40, 1);
    link::CommandSet commands{xmit};
    int length = 0;
    EXPECT_EQ(commands.ReadStatus(12, length), nullptr);
    ASSERT_TRUE(xmit.IsLinkLost());
    loop.RunFor(1000); // ten watchdog ticks
    EXPECT_EQ(main.ScanCount(), 1);
    EXPECT_EQ(main.Image().moduleCount, 12);
    EXPECT_FALSE(xmit.IsLinkLost());
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
    EXPECT_EQ(main.SelectedChain(), chain); // the installer's page stays open
}

std::vector<uint8_t> Copy(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

TEST_F(Discovery, AScanAsksAgainForAnAnswerItLost) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    // One answer lost of each kind the scan reads: the module list, an identification and a
    // parameter block. None of them is an inactive module, and no module is restarted.
    engine->GetFaults().DropNextAnswersTo(0, 0x60, 1);
    engine->GetFaults().DropNextAnswersTo(12, 0x10, 1);
    engine->GetFaults().DropNextAnswersTo(13, 0x70, 1);
    engine->ClearHistory();
    main.OnClick(CQuorvelDlg::kRescanButton);
    RunUntilScans(2);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    EXPECT_EQ(main.Image().moduleCount, 12);
    for (size_t i = 0; i < main.Image().moduleCount; ++i)
        EXPECT_EQ(Copy(main.Image().Live(i).Block()), engine->CurrentBlock(main.Image().Live(i).address))
            << i;
    for (const auto& r : engine->AllRequests())
        EXPECT_NE(r.destination, 0xFF);
}

TEST_F(Discovery, DeviceChangeWhileConnectedDropsTheLinkAndWhileIdleScans) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    main.OnDeviceChange();
    EXPECT_TRUE(main.Item(CQuorvelDlg::kDeviceChangeIcon).IsVisible());
    EXPECT_EQ(main.IndicatorCountdown(), 10);
    loop.RunFor(100); // the watchdog tick tears down
    EXPECT_EQ(main.Image().moduleCount, 0);
    EXPECT_FALSE(xmit.IsLinkOpen());
    EXPECT_EQ(main.IndicatorCountdown(), 9);

    RunUntilScans(2);
    loop.RunFor(1000); // ten timer ticks hide the indicator
    EXPECT_EQ(main.IndicatorCountdown(), 0);
    EXPECT_FALSE(main.Item(CQuorvelDlg::kDeviceChangeIcon).IsVisible());

    // Idle (the rack was not found): a new adapter starts discovery at once.
    engine->GetFaults().RemoveModule(0);
    xmit.ClearLinkLost();
    link::CommandSet{xmit}.Identify(0);
    RunUntilScans(3);
    ASSERT_EQ(main.LastScan().outcome, ScanOutcome::HardwareNotFound);
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
    main.OnDeviceChange();
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
}

TEST_F(Discovery, ADeviceChangeSeenBeforeASuccessfulScanDoesNotTearTheNewLinkDown) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    main.OnDeviceChange(); // the link is open: remembered for the next watchdog tick
    // A scan begins before that tick (here the rescan button; the gateway's link-up does
    // the same) and finds the rack again.
    main.OnClick(CQuorvelDlg::kRescanButton);
    RunUntilScans(2);
    ASSERT_EQ(main.LastScan().outcome, ScanOutcome::Connected);
    loop.RunFor(1000); // ten watchdog ticks
    EXPECT_EQ(main.ScanCount(), 2);
    EXPECT_EQ(main.Image().moduleCount, 12);
    EXPECT_TRUE(xmit.IsLinkOpen());
}

TEST_F(Discovery, TheDeviceWatchDeliversTheDeviceChange) {
    const auto folder = std::filesystem::temp_directory_path() / ("kaptiv-mw-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    Open(mulvane::DemoRack(), -1);
    ASSERT_TRUE(main.WatchDevices(folder.string()));
    std::ofstream(folder / "ttyUSB7") << "";
    loop.RunOnce(0);
    EXPECT_TRUE(main.Item(CQuorvelDlg::kDeviceChangeIcon).IsVisible());
    std::filesystem::remove_all(folder);
}

TEST_F(Discovery, GatewayLinkUpDuringAScanDoesNotEnterIt) {
    Open(mulvane::DemoRack());
    int nestedWhileScanning = 0;
    firmware.onCheck = [&](size_t index) {
        if (index == 2) {
            main.StartDiscoveryFromGateway();
            nestedWhileScanning += main.IsScanning();
        }
        return false;
    };
    RunUntilScans(1);
    EXPECT_EQ(nestedWhileScanning, 1);
    EXPECT_EQ(main.ScanCount(), 1);
    EXPECT_EQ(firmware.offers.size(), engine->Config().modules.size());
    // That scan found the rack: the remembered request is dropped.
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
}

TEST_F(Discovery, PersonalitySwitchWritesTheRecordAndRescans) {
    Open(mulvane::DemoRack());
    RunUntilScans(1);
    main.SelectModule(3); // COFDM 4 channels (type 6, revision 2) after a CI module
    EXPECT_EQ(main.SelectedChain(), (rack::Chain{1, 3, 1}));
    ASSERT_TRUE(main.Item(CQuorvelDlg::kPersonalityButton).IsEnabled());
    engine->ClearHistory();
    main.OnClick(CQuorvelDlg::kPersonalityButton);
    const auto requests = engine->RequestsTo(12);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].data, (std::vector<uint8_t>{0x00, 0x0F, 0xFF}));
    EXPECT_EQ(requests[1].data, (std::vector<uint8_t>{0x05, 0x83, 8, 0xFF, 0xFF}));
    EXPECT_EQ(requests[2].data, (std::vector<uint8_t>{0x02}));
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kWatchdogTimer));
    // The rescan reads the new wanted personality back from the module.
    RunUntilScans(2);
    EXPECT_EQ(main.Image().Live(3).wantedPersonality, 8);
}

} // namespace

// A termination signal during a scan: the scan stops at its next step, within a moment of
// virtual time, without blaming a module or restarting the rack, and without reading the
// modules after it.
TEST_F(Discovery, AQuitStopsTheScanAtItsNextStep) {
    Open(mulvane::DemoRack());
    int64_t quitAt = 0;
    firmware.onCheck = [&](size_t index) {
        if (index == 2) {
            quitAt = clock.NowMs();
            loop.RequestQuit();
        }
        return false;
    };
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Stopped);
    EXPECT_EQ(firmware.offers.size(), 3u);
    EXPECT_EQ(engine->RestartCount(), 0);
    EXPECT_LT(clock.NowMs() - quitAt, 100);
    EXPECT_EQ(main.ScanCount(), 1);
}

// The one exception: the firmware of the module in progress is finished (its waits are not
// cut, the message panel says the program ends after it), then the rack is restarted so that
// the module runs its new firmware, and the scan stops without waiting for the rack.
TEST_F(Discovery, AQuitDuringAFirmwareTransferFinishesThatModuleFirst) {
    Open(mulvane::DemoRack());
    std::string shownDuringTransfer;
    firmware.onCheck = [&](size_t index) {
        if (index != 1)
            return false;
        loop.RequestQuit();
        const int64_t before = clock.NowMs();
        clock.SleepMs(500); // the transfer's waits go on
        EXPECT_EQ(clock.NowMs() - before, 500);
        info.ShowMessage("Updating module 1", 10'000);
        info.SetProgress(10, 100);
        shownDuringTransfer = info.Item(rack::CInfo::kMessage).Text();
        return true;
    };
    RunUntilScans(1);
    EXPECT_EQ(main.LastScan().outcome, ScanOutcome::Stopped);
    EXPECT_EQ(firmware.offers.size(), 2u) << "no module after the one in progress";
    EXPECT_EQ(engine->RestartCount(), 1);
    EXPECT_EQ(shownDuringTransfer,
              "Updating module 1\r\n" + text::LocalizedToolText(text::ToolText::FirmwareFinishingBeforeExit));
    EXPECT_TRUE(clock.IsInterrupted()) << "once the module is done, the quit goes on";
}
