// The in-place cell editor: the open editor travels with the list view to the page, its end
// (with or without text) reaches the dialog once and closes it, and the box widens only up to
// the list's client edge.
#include "UiTestSupport.h"

#include "ui/CInPlaceEdit.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::ui;
using namespace kaptiv::ui::testing;

namespace {

struct CellEditFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    RecordingDisplay display{windows};
    ProbeDialog dialog{windows};

    void SetUp() override {
        dialog.Create();
        dialog.Show(true);
        dialog.Item(kList).SetRows({ListRow{{{"One"}, {"101"}, {"7"}}}, ListRow{{{"Two"}, {"102"}, {""}}}});
        windows.Repaint();
        dialog.calls.clear();
        display.updates.clear();
    }

    DeliverResult End(int row, int column, const std::optional<std::string>& text) {
        return windows.DeliverEvent(CInPlaceEdit::EndOfEdit(kProbeDialog, kList, row, column, text));
    }
};

TEST_F(CellEditFixture, OpenEditorTravelsWithTheListAndReturnEndsItWithTheText) {
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 2, "7"));
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 1u);
    ASSERT_EQ(display.updates[0].controls.size(), 1u);
    EXPECT_EQ(display.updates[0].controls[0].control.cellEdit, (CellEdit{0, 2, "7", 1}));

    EXPECT_EQ(End(0, 2, "42"), DeliverResult::Delivered);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"endlabel 8 0/2 42"});
    EXPECT_FALSE(CInPlaceEdit::OpenOn(dialog, kList));
}

TEST_F(CellEditFixture, EscapeEndsWithoutTextAndDoesNotReachOkOrCancel) {
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 1, 2, ""));
    EXPECT_EQ(End(1, 2, std::nullopt), DeliverResult::Delivered);
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"endlabel 8 1/2 <cancelled>"});
    EXPECT_FALSE(CInPlaceEdit::OpenOn(dialog, kList));
}

// The page closes its box at once and may ask for a new editor on the same cell before the
// program has painted the closed state; the update then carries the new editor only, and the
// page must be able to tell it from the one it has just ended.
TEST_F(CellEditFixture, AReopenedEditorOnTheSameCellIsANewEditorForThePage) {
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 2, "7"));
    windows.Repaint();
    const auto first = display.updates.at(0).controls.at(0).control.cellEdit;
    display.updates.clear();

    EXPECT_EQ(End(0, 2, std::nullopt), DeliverResult::Delivered);
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 2, "7"));
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 1u);
    ASSERT_EQ(display.updates[0].controls.size(), 1u);
    const auto second = display.updates[0].controls[0].control.cellEdit;
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->row, first->row);
    EXPECT_EQ(second->column, first->column);
    EXPECT_NE(second->serial, first->serial);
}

TEST_F(CellEditFixture, TheEndOfAnotherCellIsRefusedWhileAnEditorIsOpen) {
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 2, "7"));
    EXPECT_EQ(End(1, 2, "5"), DeliverResult::Invalid);
    EXPECT_TRUE(dialog.calls.empty());
    EXPECT_TRUE(CInPlaceEdit::OpenOn(dialog, kList));
    // A second editor replaces the first.
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 1, 2, ""));
    EXPECT_EQ(CInPlaceEdit::OpenOn(dialog, kList)->row, 1);
}

TEST_F(CellEditFixture, OnlyListViewCellsInsideTheRowsOpen) {
    EXPECT_FALSE(CInPlaceEdit::Create(dialog, kEdit, 0, 0, "x"));
    EXPECT_FALSE(CInPlaceEdit::Create(dialog, kList, 2, 0, "x"));
    EXPECT_FALSE(CInPlaceEdit::Create(dialog, kList, -1, 0, "x"));
    EXPECT_FALSE(CInPlaceEdit::OpenOn(dialog, kList));
}

TEST(CInPlaceEditWidth, WidensWithTheTextUpToTheClientEdge) {
    // Box at x = 100, 50 px wide, client area ends at 300.
    EXPECT_EQ(CInPlaceEdit::WidenedWidth(100, 50, 20, 300), 50);   // text fits: unchanged
    EXPECT_EQ(CInPlaceEdit::WidenedWidth(100, 50, 80, 300), 85);   // text + 5
    EXPECT_EQ(CInPlaceEdit::WidenedWidth(100, 50, 400, 300), 200); // stops at the edge
    EXPECT_EQ(CInPlaceEdit::WidenedWidth(290, 50, 400, 300), 10);  // a cell cut by the edge
}

} // namespace
