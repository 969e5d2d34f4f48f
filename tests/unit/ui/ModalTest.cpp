#include "UiTestSupport.h"
#include "ui/PageTexts.h"
#include "ui/ScriptedResponder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::ui;
using namespace kaptiv::ui::testing;

namespace {

const ControlTemplate kAskControls[] = {
    {1, ControlKind::Edit, {4, 4, 40, 12}, "", 0, {}},
    {2, ControlKind::Button, {4, 20, 40, 12}, "OK", style::DefaultButton, {}},
};
const DialogTemplate kAskTemplate{910, DialogKind::Popup, {60, 40}, "Port", kAskControls, true};

// A small modal dialog whose OK checks its field like a DDX exchange does.
class AskDialog : public Dialog {
public:
    explicit AskDialog(WindowSystem& windows) : Dialog(windows, kAskTemplate) {}
    std::optional<int> value;
    void OnClick(int id) override {
        if (id == 2)
            OnOK();
    }
    void OnOK() override {
        value = DdxInteger(*this, 1, 1, 65535);
        if (value)
            EndDialog(ModalResult::Ok);
    }
};

struct ModalFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    std::vector<std::string> failures;
    ScriptedResponder responder{windows, [this](const std::string& what) { failures.push_back(what); },
                                10'000};
    ProbeDialog owner{windows};

    void SetUp() override {
        owner.Create();
        owner.Show(true);
    }

    static void Type(Dialog& dialog, int id, const std::string& text) {
        dialog.Windows().DeliverEvent(
            {.dialogId = dialog.Id(), .controlId = id, .kind = EventKind::EditChange, .text = text});
    }
};

TEST_F(ModalFixture, DoModalReturnsWhatEndDialogGaveAndBlocksOtherWindows) {
    AskDialog ask{windows};
    DeliverResult toOwner = DeliverResult::Delivered;
    responder.OnModalDialog(910, [&](Dialog& dialog) {
        toOwner = windows.DeliverEvent({.dialogId = kProbeDialog, .controlId = kButton});
        Type(dialog, 1, "666");
        windows.DeliverEvent({.dialogId = 910, .controlId = 2});
    });
    EXPECT_EQ(ask.DoModal(&owner), ModalResult::Ok);
    EXPECT_EQ(ask.value, 666);
    EXPECT_EQ(toOwner, DeliverResult::Blocked);
    EXPECT_FALSE(ask.IsCreated());
    EXPECT_TRUE(windows.ModalStack().empty());
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(responder.Unused(), 0u);
}

TEST_F(ModalFixture, RangeMessageKeepsTheDialogOpenUntilTheValueFits) {
    AskDialog ask{windows};
    responder.OnModalDialog(910, [&](Dialog& dialog) {
        Type(dialog, 1, "70000");
        windows.DeliverEvent(
            {.dialogId = 910, .controlId = 1, .kind = EventKind::KeyDown, .key = Key::Enter});
        // The message box has been answered; the dialog is still up and the field has the focus.
        EXPECT_TRUE(dialog.IsVisible());
        EXPECT_EQ(windows.Focus(), (ControlRef{910, 1}));
        Type(dialog, 1, " 8080 ");
        windows.DeliverEvent({.dialogId = 910, .controlId = 2});
    });
    responder.AnswerMessageBox(ModalResult::Ok, "Please enter an integer between 1 and 65535.");
    EXPECT_EQ(ask.DoModal(&owner), ModalResult::Ok);
    EXPECT_EQ(ask.value, 8080);
    ASSERT_EQ(responder.Asked().size(), 1u);
    EXPECT_EQ(responder.Asked()[0].icon, MessageBoxIcon::Warning);
    EXPECT_TRUE(failures.empty()) << failures.front();
}

TEST_F(ModalFixture, TextThatIsNoNumberGetsItsOwnMessage) {
    AskDialog ask{windows};
    responder.OnModalDialog(910, [&](Dialog& dialog) {
        for (const char* text : {"12a", "", "99999999999999999999"}) {
            Type(dialog, 1, text);
            windows.DeliverEvent({.dialogId = 910, .controlId = 2});
        }
        windows.DeliverEvent({.dialogId = 910, .kind = EventKind::KeyDown, .key = Key::Escape});
    });
    responder.AnswerMessageBox(ModalResult::Ok, "Please enter an integer.");
    responder.AnswerMessageBox(ModalResult::Ok, "Please enter an integer.");
    responder.AnswerMessageBox(ModalResult::Ok, "between 1 and 65535");
    EXPECT_EQ(ask.DoModal(&owner), ModalResult::Cancel);
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(responder.Unused(), 0u);
}

TEST_F(ModalFixture, EscapeCancelsAModalDialog) {
    AskDialog ask{windows};
    responder.OnModalDialog(910, [&](Dialog&) {
        windows.DeliverEvent({.dialogId = 910, .kind = EventKind::KeyDown, .key = Key::Escape});
    });
    EXPECT_EQ(ask.DoModal(&owner), ModalResult::Cancel);
    EXPECT_FALSE(ask.value);
}

TEST_F(ModalFixture, AMissingAnswerFailsThroughTheWatchdogInsteadOfHanging) {
    const int64_t start = clock.NowMs();
    EXPECT_EQ(windows.MessageBox("Firmware update failed", "KAPTIV", MessageBoxButtons::OkCancel),
              ModalResult::Abort);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], "unscripted message box \"Firmware update failed\"");
    EXPECT_EQ(failures[1], "watchdog: no answer to message box \"Firmware update failed\"");
    EXPECT_GE(clock.NowMs() - start, 10'000);
    EXPECT_TRUE(windows.OpenRequests().empty());
}

// A termination signal while a modal dialog holds a file dialog that holds a message box:
// every one of them ends at once, unanswered, innermost first, and no watchdog is needed.
TEST_F(ModalFixture, AQuitRequestEndsEveryOpenModalWaitAtOnce) {
    AskDialog ask{windows};
    std::vector<std::string> ended;
    responder.OnModalDialog(910, [&](Dialog&) {
        loop.SetTimer(&ask, 7, 100, [&] {
            loop.KillTimer(&ask, 7);
            const ModalResult box = windows.MessageBox("Replace it?", "KAPTIV", MessageBoxButtons::YesNo);
            ended.push_back(box == ModalResult::Abort ? "message box aborted" : "message box answered");
        });
        loop.SetTimer(&ask, 8, 200, [&] {
            loop.KillTimer(&ask, 8);
            loop.RequestQuit();
        });
        FileDialogOptions options;
        options.title = "Load configuration";
        ended.push_back(windows.FileDialog(options) ? "file dialog answered" : "file dialog cancelled");
    });
    const int64_t start = clock.NowMs();
    EXPECT_EQ(ask.DoModal(&owner), ModalResult::Abort);
    EXPECT_EQ(ended, (std::vector<std::string>{"message box aborted", "file dialog cancelled"}));
    EXPECT_LT(clock.NowMs() - start, 1'000);
    EXPECT_TRUE(windows.OpenRequests().empty());
    EXPECT_TRUE(windows.ModalStack().empty());
    for (const std::string& failure : failures)
        EXPECT_EQ(failure.find("watchdog"), std::string::npos) << failure;
}

TEST_F(ModalFixture, AnswersAreCheckedAgainstTheQuestion) {
    uint64_t id = 0;
    struct Catch final : Display {
        uint64_t* id;
        void Present(const DisplayUpdate& update) override {
            if (!update.requests.empty())
                *id = update.requests.back().id;
        }
    } catcher;
    catcher.id = &id;
    windows.AddDisplay(&catcher);
    std::vector<bool> accepted;
    loop.Post([&] {
        accepted.push_back(windows.AnswerRequest(id, {ModalResult::Ok, {}}));      // not a Yes/No answer
        accepted.push_back(windows.AnswerRequest(id + 1, {ModalResult::Yes, {}})); // no such request
        accepted.push_back(windows.AnswerRequest(id, {ModalResult::No, {}}));
        accepted.push_back(windows.AnswerRequest(id, {ModalResult::Yes, {}})); // answered already
    });
    responder.AnswerMessageBox(ModalResult::Yes); // posted after the test's own answers
    EXPECT_EQ(windows.MessageBox("Replace?", "KAPTIV", MessageBoxButtons::YesNo), ModalResult::No);
    EXPECT_EQ(accepted, (std::vector<bool>{false, false, true, false}));
    windows.RemoveDisplay(&catcher);
    failures.clear(); // the responder's own late answer was refused, as it must be
}

TEST_F(ModalFixture, SaveDialogAsksBeforeReplacingAndAddsTheExtension) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kaptiv-ui-save-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "rack.qvc") << "x";

    FileDialogOptions options;
    options.save = true;
    options.title = "Save configuration";
    options.initialFolder = folder.string();
    options.defaultExtension = "qvc";
    options.filters = {{"Configuration files (*.qvc)", "*.qvc"}};
    options.overwritePrompt = true;

    responder.AnswerFileDialog({(folder / "rack").string()});
    responder.AnswerMessageBox(ModalResult::No, "rack.qvc already exists");
    responder.AnswerFileDialog({(folder / "rack").string()});
    responder.AnswerMessageBox(ModalResult::Yes);
    const auto chosen = windows.FileDialog(options);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, std::vector<std::string>{(folder / "rack.qvc").string()});
    ASSERT_EQ(responder.Asked().size(), 4u);
    EXPECT_EQ(responder.Asked()[0].file, options);

    responder.AnswerFileDialog({}); // cancelled
    EXPECT_FALSE(windows.FileDialog(options));
    EXPECT_TRUE(failures.empty()) << failures.front();
    std::filesystem::remove_all(folder);
}

TEST_F(ModalFixture, TheReplaceQuestionIsAskedInTheProgramsLanguage) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kaptiv-ui-replace-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "rack.qvc") << "x";
    SetReplaceQuestion("%s existe déjà.\nVoulez-vous le remplacer ?");
    FileDialogOptions options;
    options.save = true;
    options.overwritePrompt = true;
    responder.AnswerFileDialog({(folder / "rack.qvc").string()});
    responder.AnswerMessageBox(ModalResult::Yes, "rack.qvc existe déjà.\nVoulez-vous le remplacer ?");
    EXPECT_TRUE(windows.FileDialog(options));
    EXPECT_TRUE(failures.empty()) << failures.front();
    SetReplaceQuestion("%s already exists.\nDo you want to replace it?");
    std::filesystem::remove_all(folder);
}

TEST(PageTextsTest, AChangeCountsOnceAndTheSameTextsDoNot) {
    const uint64_t before = PageTextsVersion();
    const PageTexts german{"de", {{"cancel", "Abbrechen"}}};
    SetPageTexts(german);
    EXPECT_EQ(PageTextsVersion(), before + 1);
    SetPageTexts(german);
    EXPECT_EQ(PageTextsVersion(), before + 1);
    EXPECT_EQ(GetPageTexts(), german);
    SetPageTexts(PageTexts{});
    EXPECT_EQ(PageTextsVersion(), before + 2);
}

TEST_F(ModalFixture, OpenDialogReturnsEveryChosenFile) {
    FileDialogOptions options;
    options.title = "Files for the USB key";
    options.multiSelect = true;
    responder.AnswerFileDialog({"/tmp/a.ts", "/tmp/b.ts"});
    EXPECT_EQ(windows.FileDialog(options), (std::vector<std::string>{"/tmp/a.ts", "/tmp/b.ts"}));
}

TEST_F(ModalFixture, BeepsAreRecordedAndForwardedAtTheNextRepaint) {
    RecordingDisplay display{windows};
    clock.Advance(5);
    windows.Beep(440, 250);
    windows.Beep(880, 250);
    windows.Repaint();
    const std::vector<BeepRecord> expected{{440, 250, clock.NowMs()}, {880, 250, clock.NowMs()}};
    EXPECT_EQ(windows.Beeps(), expected);
    ASSERT_EQ(display.updates.size(), 1u);
    EXPECT_EQ(display.updates[0].beeps, expected);
}

TEST(ModalDeathTest, DoModalCannotBeEnteredTwice) {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    ProbeDialog dialog{windows};
    loop.Post([&] { dialog.DoModal(); });
    EXPECT_DEATH(dialog.DoModal(), "DoModal entered again on dialog 900");
}

} // namespace
