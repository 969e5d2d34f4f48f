#include "rack/CInfo.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using rack::CInfo;

namespace {

// Records the message line as each repaint hands it over, with the time.
struct MessageLog final : ui::Display {
    platform::Clock* clock = nullptr;
    std::vector<std::pair<int64_t, std::string>> shown;
    void Present(const ui::DisplayUpdate& update) override {
        for (const auto& c : update.controls)
            if (c.dialogId == CInfo::kDialogId && c.control.id == CInfo::kMessage)
                shown.emplace_back(clock->NowMs(), c.control.text);
    }
};

struct InfoFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    CInfo info{windows};
    MessageLog log;

    void SetUp() override {
        log.clock = &clock;
        windows.AddDisplay(&log);
        info.Create();
        windows.Repaint();
        log.shown.clear();
    }
    void TearDown() override { windows.RemoveDisplay(&log); }
    std::string Line() const { return info.Item(CInfo::kMessage).Text(); }
};

TEST_F(InfoFixture, AMessageShowsForItsDisplayTime) {
    info.ShowMessage("Scanning...", 1000);
    EXPECT_TRUE(info.IsVisible());
    EXPECT_TRUE(info.IsShown());
    EXPECT_EQ(Line(), "Scanning...");
    ASSERT_EQ(log.shown.size(), 1u); // painted at once, not at the next event
    loop.RunFor(999);
    EXPECT_EQ(Line(), "Scanning...");
    loop.RunFor(1);
    EXPECT_EQ(Line(), "");
    EXPECT_FALSE(info.IsShown());
    EXPECT_FALSE(info.IsTimerSet(CInfo::kDisplayTimer));
}

TEST_F(InfoFixture, ASecondMessageReplacesTheFirstAndRestartsTheTime) {
    info.ShowMessage("first", 1000);
    loop.RunFor(800);
    info.ShowMessage("second", 500);
    loop.RunFor(499); // past the first message's end
    EXPECT_EQ(Line(), "second");
    loop.RunFor(1);
    EXPECT_EQ(Line(), "");
}

TEST_F(InfoFixture, WaitHoldsTheCallerForTheDisplayTimeOnTheClock) {
    const int64_t start = clock.NowMs();
    bool otherTimerRan = false;
    loop.SetTimer(this, 1, 10, [&] { otherTimerRan = true; });
    info.ShowMessage("Hardware not found...", 1000, true);
    EXPECT_EQ(clock.NowMs() - start, 1000);
    EXPECT_FALSE(otherTimerRan); // nothing else ran during the wait
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown[0], (std::pair<int64_t, std::string>{start, "Hardware not found..."}));
    loop.RunOnce(0);
    EXPECT_EQ(Line(), "");
    loop.KillTimers(this);
}

TEST_F(InfoFixture, TheRestingLineShowsPalerWheneverNoMessageIs) {
    info.SetRestingText("No rack connected.");
    EXPECT_EQ(Line(), "No rack connected."); // at once when the panel is quiet
    EXPECT_EQ(info.Item(CInfo::kMessage).Data().textColor, (ui::Color{0x90, 0x90, 0x90}));
    EXPECT_FALSE(info.IsShown());
    info.ShowMessage("Searching...", 1000);
    EXPECT_EQ(Line(), "Searching...");
    EXPECT_EQ(info.Item(CInfo::kMessage).Data().textColor, (ui::Color{0x60, 0x60, 0x60}));
    loop.RunFor(1000);
    EXPECT_EQ(Line(), "No rack connected."); // back after the message
    EXPECT_TRUE(info.Message().empty());
    info.SetRestingText({});
    EXPECT_EQ(Line(), "");
    // Set while a message shows, it waits for the message's end.
    info.ShowMessage("Searching...", 1000);
    info.SetRestingText("quiet");
    EXPECT_EQ(Line(), "Searching...");
    loop.RunFor(1000);
    EXPECT_EQ(Line(), "quiet");
}

TEST_F(InfoFixture, GreyTextOnAPaleBackground) {
    const ui::ControlData& line = info.Item(CInfo::kMessage).Data();
    EXPECT_EQ(line.textColor, (ui::Color{0x60, 0x60, 0x60}));
    EXPECT_EQ(line.backColor, (ui::Color{0xF8, 0xF8, 0xFF}));
    ASSERT_TRUE(line.font);
    EXPECT_EQ(line.font->heightPx, 18);
    EXPECT_TRUE(line.readOnly);
}

TEST_F(InfoFixture, ProgressBarFollowsItsTotal) {
    const ui::Control& bar = info.Item(CInfo::kProgress);
    EXPECT_FALSE(bar.IsVisible());
    info.SetProgress(10, 200);
    EXPECT_TRUE(bar.IsVisible());
    EXPECT_EQ(bar.Data().rangeMax, 200);
    EXPECT_EQ(bar.Position(), 10);
    info.SetProgress(6'000'000'000, 8'000'000'000); // beyond an int: shown in steps
    EXPECT_EQ(static_cast<double>(bar.Position()) / bar.Data().rangeMax, 0.75);
    info.EndProgress();
    EXPECT_FALSE(bar.IsVisible());
    EXPECT_EQ(info.ProgressTotal(), 0);
}

} // namespace
