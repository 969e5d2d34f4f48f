// Selection, chains, commands and the title of the main window, on a rack image filled by
// hand (no link).
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace kaptiv;
using rack::Chain;
using rack::CQuorvelDlg;
using rack::kNoModule;
using rack::kNoOutput;

namespace {

struct MainWindow : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    CQuorvelDlg main{windows, info, status};

    void SetUp() override {
        main.Create();
        main.Show(true);
    }

    // Fills the image with these types, controller first, at addresses 10, 11, ...
    void Rack(std::initializer_list<uint8_t> types) {
        rack::RackImage& image = main.Image();
        image.StartScan();
        uint8_t address = 10;
        for (uint8_t type : types) {
            image.Append(address++, type);
            image.Live(image.moduleCount - 1).hardwareRevision = 1;
        }
    }
    int RowImage(int r) const { return main.Item(CQuorvelDlg::kModuleList).Row(r).cells.at(0).image; }
};

TEST_F(MainWindow, OutputFindsItsInputBackOverTheCiModules) {
    Rack({1, 3, 3, 2});
    main.SelectModule(4);
    EXPECT_EQ(main.SelectedChain(), (Chain{1, 4, 2}));
    EXPECT_EQ(RowImage(1), 3); // highlighted input
    EXPECT_EQ(RowImage(2), 6); // CI modules stay normal
    EXPECT_EQ(RowImage(4), 5); // highlighted output
    // The input finds the same chain forwards.
    main.SelectModule(1);
    EXPECT_EQ(main.SelectedChain(), (Chain{1, 4, 2}));
}

TEST_F(MainWindow, InputFollowedByAnInputHasNoOutput) {
    Rack({4, 7, 2});
    main.SelectModule(1);
    EXPECT_EQ(main.SelectedChain(), (Chain{1, kNoOutput, 0}));
    EXPECT_EQ(RowImage(1), 3);
    EXPECT_EQ(RowImage(2), 2);
}

TEST_F(MainWindow, OutputWithoutAnInputOpensNothing) {
    Rack({3, 2});
    main.SelectModule(2);
    EXPECT_FALSE(main.SelectedChain().HasInput());
    EXPECT_EQ(info.Message(), "Configuration require input and output modules.");
    EXPECT_EQ(RowImage(2), 4);
    // An output search never walks past the rows of the current scan either.
    main.Image().moduleCount = 2;
    main.SelectModule(1);
    EXPECT_EQ(main.SelectedChain(), Chain{});
}

TEST_F(MainWindow, ControllerOnlyHighlightsAndTheSameRowDoesNotReopen) {
    Rack({1, 2});
    main.SelectModule(0);
    EXPECT_EQ(RowImage(0), 1);
    EXPECT_EQ(main.SelectedChain(), Chain{});
    EXPECT_EQ(info.Message(), "");

    main.SelectModule(2);
    info.ShowMessage("still here", 5000);
    main.SelectModule(2);
    EXPECT_EQ(info.Message(), "still here");
    main.SelectModule(kNoModule);
    EXPECT_EQ(RowImage(1), 2);
    EXPECT_EQ(RowImage(2), 4);
}

TEST_F(MainWindow, ClicksInTheColumnSelectByHitTestAndRowsNeverStaySelected) {
    Rack({1, 2});
    const int id = CQuorvelDlg::kDialogId;
    ui::UiEvent click = ui::MakeEvent(id, CQuorvelDlg::kModuleList);
    click.row = 2;
    EXPECT_EQ(windows.DeliverEvent(click), ui::DeliverResult::Delivered);
    EXPECT_EQ(main.SelectedModule(), 2);
    click.row = -1;
    windows.DeliverEvent(click);
    EXPECT_EQ(main.SelectedModule(), 2);

    ui::UiEvent select = ui::MakeEvent(id, CQuorvelDlg::kModuleList, ui::EventKind::SelChange);
    select.rows = {1};
    windows.DeliverEvent(select);
    EXPECT_TRUE(main.Item(CQuorvelDlg::kModuleList).SelectedRows().empty());
}

TEST_F(MainWindow, LogAndPersonalityButtonsFollowTheChain) {
    Rack({7, 6, 12, 5});
    main.Image().Live(4).hardwareRevision = 0;
    main.SetAdvancedMode(true);
    main.SelectModule(1);
    EXPECT_TRUE(main.Item(CQuorvelDlg::kLogButton).IsVisible());
    EXPECT_TRUE(main.Item(CQuorvelDlg::kPersonalityButton).IsEnabled());
    // A modulator of hardware revision 0 cannot change personality.
    main.SelectModule(4);
    EXPECT_FALSE(main.Item(CQuorvelDlg::kPersonalityButton).IsEnabled());
    main.SetAdvancedMode(false);
    main.SelectModule(3);
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLogButton).IsVisible());
}

TEST(MainWindowTitle, TrafficIsShownInKiloBytesWithThreeDecimals) {
    EXPECT_EQ(CQuorvelDlg::TrafficText(8005), " [8.005ko]");
    EXPECT_EQ(CQuorvelDlg::TrafficText(0), " [0.000ko]");
    EXPECT_EQ(CQuorvelDlg::TrafficText(999), " [0.999ko]");
    EXPECT_EQ(CQuorvelDlg::TrafficText(1000), " [1.000ko]");
    EXPECT_EQ(CQuorvelDlg::TrafficText(123456789), " [123456.789ko]");
}

TEST_F(MainWindow, TitleShowsTheLinkOnlyOnceModulesAreKnown) {
    main.RefreshTitle();
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX");
    Rack({});
    main.RefreshTitle();
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX - (USB)");
    EXPECT_FALSE(main.NetworkSession());
}

// Stands in for the configuration files behind buttons 1024 and 1025.
struct RecordingConfigurationFiles final : rack::ConfigurationFiles {
    std::vector<std::string> calls;
    void Save(rack::RackImage& image, ui::Dialog& owner) override {
        calls.push_back("save " + std::to_string(image.moduleCount) + " " + std::to_string(owner.Id()));
    }
    void Load(rack::RackImage& image, link::CommandSet&, ui::Dialog& owner) override {
        calls.push_back("load " + std::to_string(image.moduleCount) + " " + std::to_string(owner.Id()));
    }
};

TEST_F(MainWindow, SaveAndLoadButtonsReachTheConfigurationFiles) {
    RecordingConfigurationFiles files;
    main.SetConfigurationFiles(&files);
    Rack({7, 5});
    main.SelectModule(1);
    main.OnClick(CQuorvelDlg::kSaveButton);
    EXPECT_EQ(main.SelectedModule(), rack::kNoModule);
    main.OnClick(CQuorvelDlg::kLoadButton);
    EXPECT_EQ(files.calls, (std::vector<std::string>{"save 3 102", "load 3 102"}));
    main.SetConfigurationFiles(nullptr);
}

TEST_F(MainWindow, AboutShowsTheVersion) {
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{windows, [&](const std::string& what) { failures.push_back(what); },
                                    5000};
    responder.AnswerMessageBox(ui::ModalResult::Ok, "KAPTIV 10.2 - FENWIX");
    EXPECT_EQ(windows.DeliverEvent(ui::MakeEvent(CQuorvelDlg::kDialogId, CQuorvelDlg::kAboutButton)),
              ui::DeliverResult::Delivered);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(responder.Unused(), 0u);
}

TEST_F(MainWindow, WithoutALinkNothingStartsAndARescanFindsNoHardware) {
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kStartTimer));
    main.OnClick(CQuorvelDlg::kRescanButton);
    EXPECT_TRUE(main.IsTimerSet(CQuorvelDlg::kScanTimer));
    loop.RunFor(200);
    EXPECT_EQ(main.ScanCount(), 1);
    EXPECT_EQ(main.LastScan().outcome, rack::ScanOutcome::HardwareNotFound);
    EXPECT_TRUE(main.Item(CQuorvelDlg::kRescanButton).IsEnabled());
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLoadButton).IsEnabled());
}

TEST_F(MainWindow, AfterAFailedScanAQuietLineSaysNoRackIsConnectedUntilTheNextScan) {
    text::SetLanguageIndex(static_cast<int>(text::Language::German));
    main.OnClick(CQuorvelDlg::kRescanButton);
    loop.RunFor(10'000); // the scan, its failure message and that message's display time
    EXPECT_EQ(main.LastScan().outcome, rack::ScanOutcome::HardwareNotFound);
    const std::string quiet = text::LocalizedToolText(text::ToolText::NoRackConnected);
    EXPECT_EQ(quiet, "Kein Rack verbunden. Obere Taste: neu suchen.");
    EXPECT_EQ(info.Item(rack::CInfo::kMessage).Text(), quiet);
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kScanTimer)); // rack control stays idle
    // A scan that starts takes the line away at once (and puts it back when it fails again).
    struct Lines final : ui::Display {
        std::vector<std::string> shown;
        void Present(const ui::DisplayUpdate& update) override {
            for (const auto& c : update.controls)
                if (c.dialogId == rack::CInfo::kDialogId && c.control.id == rack::CInfo::kMessage)
                    shown.push_back(c.control.text);
        }
    } lines;
    windows.AddDisplay(&lines);
    main.OnClick(CQuorvelDlg::kRescanButton);
    loop.RunFor(10'000);
    windows.RemoveDisplay(&lines);
    ASSERT_GE(lines.shown.size(), 3u);
    EXPECT_EQ(lines.shown.front(), ""); // before "Searching..."
    EXPECT_EQ(lines.shown[1], text::LocalizedText(28));
    EXPECT_EQ(lines.shown.back(), quiet);
    text::SetLanguageIndex(static_cast<int>(text::Language::English));
}

} // namespace

namespace {
struct CountingReport final : kaptiv::rack::InstallationReport {
    int starts = 0, steps = 0, aborts = 0;
    void StartReport() override { ++starts; }
    void ReportNextModule() override { ++steps; }
    void AbortReport(kaptiv::rack::ReportStop) override { ++aborts; }
    bool IsReportRunning() const override { return starts > aborts; }
};
} // namespace

TEST_F(MainWindow, ReportButtonStartsTheReportAndItsTimerStepsIt) {
    CountingReport report;
    main.SetInstallationReport(&report);
    info.ShowMessage("", 1);
    main.OnClick(CQuorvelDlg::kReportButton);
    EXPECT_EQ(report.starts, 1);
    main.SetTimer(CQuorvelDlg::kReportTimer, CQuorvelDlg::kReportStepMs);
    main.OnTimer(CQuorvelDlg::kReportTimer);
    EXPECT_EQ(report.steps, 1);
    EXPECT_FALSE(main.IsTimerSet(CQuorvelDlg::kReportTimer)); // one-shot
    main.SetInstallationReport(nullptr);
}

namespace {
// Records what the window says it is doing while each piece of work runs.
struct BusyRecordingFiles final : rack::ConfigurationFiles {
    const CQuorvelDlg* window = nullptr;
    std::optional<rack::RackWorkSet> duringLoad;
    void Save(rack::RackImage&, ui::Dialog&) override {}
    void Load(rack::RackImage&, link::CommandSet&, ui::Dialog&) override { duringLoad = window->BusyWith(); }
};
struct TransferringPage final : rack::ChainPage {
    ui::Dialog* panel = nullptr;
    bool transferring = false;
    ui::Dialog& Panel() override { return *panel; }
    void OpenChain(rack::RackImage&, link::CommandSet&, const rack::Chain&) override {}
    void CloseChain() override {}
    bool IsChainOpen() const override { return false; }
    bool IsTransferring() const override { return transferring; }
};
struct OpeningHealthView final : rack::HealthView {
    int opened = 0;
    void OpenHealthView(const rack::RackImage&, ui::Dialog&) override { ++opened; }
};
bool Busy(const rack::RackWorkSet& set, rack::RackWork work) {
    return set[static_cast<size_t>(work)];
}
} // namespace

TEST_F(MainWindow, SaysWhatItDoesOnTheRackForTheHealthRounds) {
    EXPECT_EQ(main.BusyWith(), rack::RackWorkSet{});
    // A configuration load, for exactly as long as it runs.
    BusyRecordingFiles files;
    files.window = &main;
    main.SetConfigurationFiles(&files);
    Rack({7, 5});
    main.OnClick(CQuorvelDlg::kLoadButton);
    ASSERT_TRUE(files.duringLoad);
    EXPECT_TRUE(Busy(*files.duringLoad, rack::RackWork::ConfigurationLoad));
    EXPECT_FALSE(Busy(main.BusyWith(), rack::RackWork::ConfigurationLoad));
    main.SetConfigurationFiles(nullptr);
    // A running report.
    CountingReport report;
    main.SetInstallationReport(&report);
    main.OnClick(CQuorvelDlg::kReportButton);
    EXPECT_TRUE(Busy(main.BusyWith(), rack::RackWork::Report));
    report.AbortReport(rack::ReportStop::Rescan);
    EXPECT_FALSE(Busy(main.BusyWith(), rack::RackWork::Report));
    main.SetInstallationReport(nullptr);
    // A USB-key transfer of the settings page.
    TransferringPage page;
    main.SetChainPage(&page);
    page.transferring = true;
    EXPECT_TRUE(Busy(main.BusyWith(), rack::RackWork::UsbKeyTransfer));
    page.transferring = false;
    EXPECT_FALSE(Busy(main.BusyWith(), rack::RackWork::UsbKeyTransfer));
    main.SetChainPage(nullptr);
}

TEST_F(MainWindow, TheHealthButtonCarriesItsTooltipAndOpensTheViewWiredIn) {
    OpeningHealthView health;
    main.SetHealthView(&health);
    EXPECT_EQ(main.Item(CQuorvelDlg::kHealthButton).Text(), "Rack health: every module at a glance");
    Rack({7, 5});
    main.OnClick(CQuorvelDlg::kHealthButton);
    EXPECT_EQ(health.opened, 1);
    main.SetHealthView(nullptr);
    main.OnClick(CQuorvelDlg::kHealthButton); // no view wired: nothing
    EXPECT_EQ(health.opened, 1);
}
