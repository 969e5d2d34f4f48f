#include "UiTestSupport.h"
#include "ui/CInPlaceEdit.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::ui;
using namespace kaptiv::ui::testing;

namespace {

struct DialogFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    RecordingDisplay display{windows};
    ProbeDialog dialog{windows};

    void SetUp() override {
        dialog.Create();
        dialog.Show(true);
        windows.Repaint();
        dialog.calls.clear();
        display.updates.clear();
    }

    DeliverResult Send(UiEvent event) {
        event.dialogId = kProbeDialog;
        return windows.DeliverEvent(event);
    }
};

TEST_F(DialogFixture, ChangesMadeByCodeNeverReachHandlers) {
    dialog.Item(kEdit).SetText("12500");
    dialog.Item(kCheck).SetCheck(true);
    dialog.Item(kCombo).SetItems({"QPSK", "16QAM", "64QAM"});
    dialog.Item(kCombo).SetSelectedItem(2);
    dialog.Item(kSlider).SetPosition(40);
    dialog.Item(kTime).SetMinutesOfDay(90);
    dialog.Item(kList).SetRows({ListRow{{{"a"}}}, ListRow{{{"b"}}}});
    dialog.Item(kList).SelectRow(1, true);
    loop.RunFor(10);
    EXPECT_TRUE(dialog.calls.empty());
    EXPECT_EQ(dialog.Item(kCombo).Text(), "64QAM");
    EXPECT_EQ(dialog.Item(kTime).Text(), "01:30");
}

TEST_F(DialogFixture, PageEventsChangeStateThenCallTheHandler) {
    dialog.Item(kCombo).SetItems({"QPSK", "16QAM"});
    dialog.Item(kList).SetColumns({{"Service", 120, Align::Left}, {"SID", 40, Align::Right}});
    dialog.Item(kList).SetRows({ListRow{{{"One"}, {"101"}}}, ListRow{{{"Two"}, {"102"}}}});

    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::EditChange, .text = "474"}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kCheck, .kind = EventKind::CheckChange, .value = 1}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kCombo, .kind = EventKind::SelChange, .value = 1}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kSlider, .kind = EventKind::Scroll, .value = 250}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kTime, .kind = EventKind::TimeChange, .text = "07:05"}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::DoubleClick, .row = 1, .column = 1}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::Click, .row = -1}), DeliverResult::Delivered);
    // An end of editing with no editor open on the list reaches no one.
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::EndLabelEdit, .row = 0, .column = 1, .value = 1}),
              DeliverResult::Invalid);
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 1, "101"));
    EXPECT_EQ(Send({.controlId = kList,
                    .kind = EventKind::EndLabelEdit,
                    .row = 0,
                    .column = 1,
                    .value = 1,
                    .text = "201"}),
              DeliverResult::Delivered);
    ASSERT_TRUE(CInPlaceEdit::Create(dialog, kList, 0, 1, "201"));
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::EndLabelEdit, .row = 0, .column = 1, .value = 0}),
              DeliverResult::Delivered);

    EXPECT_EQ(dialog.Item(kEdit).Text(), "474");
    EXPECT_TRUE(dialog.Item(kCheck).IsChecked());
    EXPECT_EQ(dialog.Item(kCombo).SelectedItem(), 1);
    EXPECT_EQ(dialog.Item(kSlider).Position(), 100); // clamped to the range
    EXPECT_EQ(dialog.Item(kTime).MinutesOfDay(), 7 * 60 + 5);
    EXPECT_EQ(dialog.Item(kList).LastHit(), (ListHit{-1, -1}));
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"edit 5", "check 4", "sel 6", "scroll 10 100",
                                                      "time 12", "dblclick 8 1/1", "click 8",
                                                      "endlabel 8 0/1 201", "endlabel 8 0/1 <cancelled>"}));
}

TEST_F(DialogFixture, UntrustedEventsAreRefusedWithoutCallingHandlers) {
    dialog.Item(kCombo).SetItems({"QPSK"});
    dialog.Item(kList).SetRows({ListRow{{{"One"}}}, ListRow{{{"Two"}}}});
    dialog.Item(kButton).Enable(false);

    EXPECT_EQ(windows.DeliverEvent({.dialogId = 4242, .controlId = kButton}), DeliverResult::UnknownDialog);
    EXPECT_EQ(Send({.controlId = 777}), DeliverResult::UnknownControl);
    EXPECT_EQ(Send({.controlId = kButton}), DeliverResult::Disabled);
    EXPECT_EQ(Send({.controlId = kHidden}), DeliverResult::Disabled);
    EXPECT_EQ(Send({.controlId = kCombo, .kind = EventKind::SelChange, .value = 3}), DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kCombo, .kind = EventKind::EditChange, .text = "typed"}),
              DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kTime, .kind = EventKind::TimeChange, .text = "24:00"}),
              DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::Click, .row = 2}), DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kList, .kind = EventKind::SelChange, .rows = {0, 1}}),
              DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kText, .kind = EventKind::CheckChange, .value = 1}), DeliverResult::Invalid);
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::EditChange, .text = std::string(70000, 'x')}),
              DeliverResult::Invalid);

    dialog.Item(kEdit).SetReadOnly(true);
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::EditChange, .text = "x"}), DeliverResult::Invalid);

    dialog.Show(false);
    dialog.Item(kButton).Enable(true);
    EXPECT_EQ(Send({.controlId = kButton}), DeliverResult::Blocked);

    EXPECT_TRUE(dialog.calls.empty());
    EXPECT_EQ(dialog.Item(kCombo).SelectedItem(), -1);
    EXPECT_TRUE(dialog.Item(kList).SelectedRows().empty());
}

TEST_F(DialogFixture, EditKeepsToItsMaximumLengthWhateverThePageSends) {
    dialog.Item(kEdit).SetMaxLength(4);
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::EditChange, .text = "123456"}),
              DeliverResult::Delivered);
    EXPECT_EQ(dialog.Item(kEdit).Text(), "1234");
}

TEST_F(DialogFixture, EnterAndEscapeMapToOkAndCancelAndKeepTheKeyState) {
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::KeyDown, .key = Key::Enter}),
              DeliverResult::Delivered);
    EXPECT_EQ(Send({.kind = EventKind::KeyDown, .key = Key::Escape}), DeliverResult::Delivered);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_TRUE(windows.IsKeyDown(Key::Escape));
    EXPECT_EQ(windows.DeliverEvent({.kind = EventKind::KeyUp, .key = Key::Escape}), DeliverResult::Delivered);
    EXPECT_FALSE(windows.IsKeyDown(Key::Escape));
    // A modeless window stays up on Enter and Escape.
    EXPECT_TRUE(dialog.IsVisible());
}

TEST_F(DialogFixture, FocusLostReachesTheDialogAndFocusStateFollowsThePage) {
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::FocusGained}), DeliverResult::Delivered);
    EXPECT_EQ(windows.Focus(), (ControlRef{kProbeDialog, kEdit}));
    EXPECT_EQ(Send({.controlId = kEdit, .kind = EventKind::FocusLost}), DeliverResult::Delivered);
    EXPECT_EQ(windows.Focus(), ControlRef{});
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"focuslost 5"}));

    dialog.SetFocus(kCheck);
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 1u);
    EXPECT_EQ(display.updates[0].focus, (ControlRef{kProbeDialog, kCheck}));
}

TEST_F(DialogFixture, DeviceChangeReachesTopLevelWindowsOnly) {
    const DialogTemplate panelTemplate{902, DialogKind::Child, {10, 10}, "", {}, false};
    ProbeDialog panel{windows, panelTemplate};
    panel.Create(&dialog);
    panel.calls.clear();
    windows.BroadcastDeviceChange();
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"devicechange"});
    EXPECT_TRUE(panel.calls.empty());
}

TEST_F(DialogFixture, RepaintPointsSendOnlyWhatChanged) {
    windows.Repaint();
    EXPECT_TRUE(display.updates.empty()); // nothing changed since SetUp's repaint

    dialog.Item(kText).SetText("caption"); // the same text: not a change
    dialog.Item(kEdit).SetText("1");
    dialog.Item(kProgress).SetPosition(30);
    dialog.Item(kProgress).SetPosition(31);
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 1u);
    EXPECT_EQ(display.ControlsIn(0, kProbeDialog), (std::vector<int>{kEdit, kProgress}));
    EXPECT_EQ(display.updates[0].controls[1].control.position, 31);
    EXPECT_TRUE(display.updates[0].dialogs.empty());

    // The end of every dispatched event is a repaint point.
    loop.Post([&] { dialog.Item(kGraph).SetShapes({Shape{{0, 0, 10, 20}, Color{0, 128, 0}, true}}); });
    loop.RunOnce(0);
    ASSERT_EQ(display.updates.size(), 2u);
    EXPECT_EQ(display.ControlsIn(1, kProbeDialog), (std::vector<int>{kGraph}));

    dialog.MoveTo({136, 482});
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 3u);
    ASSERT_EQ(display.updates[2].dialogs.size(), 1u);
    EXPECT_EQ(display.updates[2].dialogs[0].position, (PointPx{136, 482}));
}

TEST_F(DialogFixture, SnapshotHoldsEverythingAndDestroyIsReported) {
    const DisplayUpdate full = windows.Snapshot();
    EXPECT_TRUE(full.full);
    ASSERT_EQ(full.dialogs.size(), 1u);
    EXPECT_EQ(full.controls.size(), std::size(kProbeControls));
    EXPECT_EQ(full.modalStack, std::vector<int>{});

    dialog.DestroyWindow();
    windows.Repaint();
    ASSERT_EQ(display.updates.size(), 1u);
    EXPECT_EQ(display.updates[0].destroyedDialogs, std::vector<int>{kProbeDialog});
    EXPECT_EQ(windows.DeliverEvent({.dialogId = kProbeDialog, .controlId = kButton}),
              DeliverResult::UnknownDialog);
    EXPECT_TRUE(windows.Snapshot().dialogs.empty());
}

TEST_F(DialogFixture, ListViewRowsCellsAndSelection) {
    Control& list = dialog.Item(kList);
    list.SetRows({ListRow{{{"One"}}}, ListRow{{{"Two"}}}});
    list.SetCell(1, 2, "x", 3); // cells grow to the column
    EXPECT_EQ(list.Cell(1, 2), (ListCell{"x", 3}));
    EXPECT_EQ(list.Cell(1, 1), ListCell{});
    EXPECT_EQ(list.Cell(0, 5), ListCell{});
    list.SetRowTextColor(0, Color{255, 0, 0});
    EXPECT_EQ(list.Row(0).textColor, (Color{255, 0, 0}));
    list.SelectRow(0, true);
    list.SelectRow(1, true); // single selection: row 0 is released
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});
    list.InsertRow(0, ListRow{{{"Zero"}}});
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{2});
    list.DeleteRow(7); // out of range: nothing
    EXPECT_EQ(list.RowCount(), 3);
}

TEST(DialogDeathTest, MissingControlIdStopsWithTheIdInTheMessage) {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    ProbeDialog dialog{windows};
    EXPECT_DEATH(dialog.Item(4711), "dialog 900 has no control 4711");
    EXPECT_DEATH(dialog.Item(kText).SetCheck(true), "SetCheck on control 1, a static text");
}

TEST(TimeOfDay, FormatsAndParsesHoursAndMinutes) {
    EXPECT_EQ(FormatTimeOfDay(0), "00:00");
    EXPECT_EQ(FormatTimeOfDay(23 * 60 + 59), "23:59");
    EXPECT_EQ(ParseTimeOfDay("09:41"), 9 * 60 + 41);
    for (const char* bad : {"9:41", "09:60", "24:00", "0a:00", "09-41", ""})
        EXPECT_FALSE(ParseTimeOfDay(bad)) << bad;
}

} // namespace

// The limit of an edit box counts characters: a cut inside a multi-byte character would hand the
// page text that is not UTF-8.
TEST_F(DialogFixture, AnEditLimitCutsWholeCharacters) {
    Control& edit = dialog.Item(kEdit);
    edit.SetMaxLength(4);
    edit.SetText("Ch\xC3\xA2teau"); // "Château"
    EXPECT_EQ(edit.Text(), "Ch\xC3\xA2t");
    edit.SetText("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"); // five euro signs
    EXPECT_EQ(edit.Text(), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
    edit.SetText("abc");
    EXPECT_EQ(edit.Text(), "abc");
    edit.SetMaxLength(0);
    edit.SetText("123456789");
    EXPECT_EQ(edit.Text(), "123456789");
}
