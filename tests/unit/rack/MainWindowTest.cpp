// Selection, chains, commands and the title of the main window, on a rack image filled by
// hand (no link).
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace kaptiv;
using rack::Chain;
using rack::CQuorvelDlg;
using rack::kNoModule;
using rack::kNoOutput;

namespace {

constexpr char kLaterSettings[] = "The settings page comes in a later version.";

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
    EXPECT_EQ(info.Message(), kLaterSettings);
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
    EXPECT_EQ(info.Message(), kLaterSettings);
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

TEST_F(MainWindow, TitleShowsTheLinkOnlyOnceModulesAreKnown) {
    main.RefreshTitle();
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX");
    Rack({});
    main.RefreshTitle();
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX - (USB)");
    EXPECT_FALSE(main.NetworkSession());
}

TEST_F(MainWindow, LaterFeaturesSayHowTheyStandAndAboutShowsTheVersion) {
    main.OnClick(CQuorvelDlg::kLoadButton);
    EXPECT_EQ(info.Message(), "Loading a configuration file comes in a later version.");
    main.OnClick(CQuorvelDlg::kReportButton);
    EXPECT_EQ(info.Message(), "The installation report comes in a later version.");

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

} // namespace
