#include "rack/CQuorvelDlg.h"
#include "rack/CInfo.h"
#include "rack/CSTATUS.h"
#include "resources/Images.h"
#include "ui/ScriptedResponder.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using rack::CQuorvelDlg;

namespace {

const ui::DialogTemplate kPanelTemplate{145, ui::DialogKind::Child, {360, 330}, "", {}, false};

struct MainFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    CQuorvelDlg main{windows, info, status};

    void SetUp() override { main.Create(); }
};

TEST_F(MainFixture, ShellLayoutTitleAndChildPanels) {
    EXPECT_EQ(main.Title(), "KAPTIV 10.2 - FENWIX");
    EXPECT_EQ(main.Data().size, (ui::SizeDu{505, 338}));
    EXPECT_EQ(status.Data().parentId, CQuorvelDlg::kDialogId);
    EXPECT_EQ(info.Data().parentId, CQuorvelDlg::kDialogId);
    EXPECT_EQ(status.Data().position, (ui::PointPx{0, 516}));
    EXPECT_EQ(info.Data().position, (ui::PointPx{136, 482}));
    EXPECT_TRUE(status.IsVisible());
    EXPECT_TRUE(info.IsVisible());
    EXPECT_FALSE(main.Item(CQuorvelDlg::kLogButton).IsVisible());
    EXPECT_FALSE(main.Item(CQuorvelDlg::kTestButton).IsVisible());
    EXPECT_FALSE(main.Item(1106).IsVisible());
    EXPECT_EQ(main.Item(CQuorvelDlg::kRescanButton).Image(), ui::Icon(139));
    EXPECT_EQ(main.Item(CQuorvelDlg::kPersonalityButton).Image(), ui::Icon(262));
}

TEST_F(MainFixture, ModuleColumnIsAnIconListOfThirteenEmptyRows) {
    const ui::ControlData& list = main.Item(CQuorvelDlg::kModuleList).Data();
    EXPECT_EQ(list.mode, ui::ListViewMode::Icon);
    ASSERT_EQ(list.imageList.size(), 21u);
    EXPECT_EQ(list.imageList.front(), ui::Bitmap(150));
    EXPECT_EQ(list.imageList.back(), ui::Bitmap(155));
    for (ui::ImageRef image : list.imageList)
        EXPECT_NE(resources::FindImage(image), nullptr) << image.id;
    ASSERT_EQ(list.rows.size(), 13u);
    for (const ui::ListRow& row : list.rows)
        EXPECT_EQ(row.cells.at(0).image, CQuorvelDlg::kEmptyRowImage);
}

TEST_F(MainFixture, APanelCoversTheDecorationAndTheEditorHidesTheMessagePanel) {
    ui::Dialog panel{windows, kPanelTemplate};
    panel.Create(&main);
    main.PlacePanels(&panel, true);
    EXPECT_EQ(panel.Data().position, (ui::PointPx{136, 0}));
    for (int id : {1101, 1102, 1103, 1104, 1105, 1107, 1108})
        EXPECT_FALSE(main.Item(id).IsVisible()) << id;
    EXPECT_FALSE(info.IsVisible());
    EXPECT_TRUE(status.IsVisible());
    main.PlacePanels(nullptr);
    EXPECT_TRUE(main.Item(1104).IsVisible());
    EXPECT_TRUE(info.IsVisible());
}

TEST(MainWindow, RunsModallyUntilClosedWithInertButtons) {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    CQuorvelDlg main{windows, info, status};
    std::vector<std::string> failures;
    ui::ScriptedResponder responder{windows, [&](const std::string& what) { failures.push_back(what); }};
    std::vector<ui::DeliverResult> results;
    responder.OnModalDialog(CQuorvelDlg::kDialogId, [&](ui::Dialog&) {
        const int id = CQuorvelDlg::kDialogId;
        results.push_back(windows.DeliverEvent(ui::MakeEvent(id, CQuorvelDlg::kRescanButton)));
        results.push_back(windows.DeliverEvent(ui::MakeKeyEvent(id, 0, ui::Key::Enter)));
        // Had Enter ended the window, DoModal would return before this runs.
        loop.Post(
            [&] { results.push_back(windows.DeliverEvent(ui::MakeEvent(id, 0, ui::EventKind::Close))); });
    });
    EXPECT_EQ(main.DoModal(), ui::ModalResult::Cancel);
    EXPECT_EQ(results, (std::vector<ui::DeliverResult>(3, ui::DeliverResult::Delivered)));
    EXPECT_TRUE(failures.empty());
}

} // namespace
