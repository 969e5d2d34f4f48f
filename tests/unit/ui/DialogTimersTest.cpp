#include "UiTestSupport.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::ui;
using namespace kaptiv::ui::testing;

namespace {

const DialogTemplate kOtherTemplate{901, DialogKind::Child, {20, 20}, "", {}, false};

struct TimerFixture : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    ProbeDialog first{windows};
    ProbeDialog second{windows, kOtherTemplate};

    void SetUp() override {
        first.Create();
        second.Create(&first);
        first.calls.clear();
        second.calls.clear();
    }
};

TEST_F(TimerFixture, TimerIdsBelongToTheirWindow) {
    first.SetTimer(1, 100);
    second.SetTimer(1, 250);
    loop.RunFor(300);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"timer 1", "timer 1", "timer 1"}));
    EXPECT_EQ(second.calls, (std::vector<std::string>{"timer 1"}));
    EXPECT_TRUE(first.KillTimer(1));
    EXPECT_FALSE(first.KillTimer(1));
    EXPECT_TRUE(second.IsTimerSet(1));
}

TEST_F(TimerFixture, SettingARunningTimerRestartsItWithTheNewPeriod) {
    first.SetTimer(10, 5000);
    loop.RunFor(50);
    first.SetTimer(10, 100);
    loop.RunFor(99);
    EXPECT_TRUE(first.calls.empty());
    loop.RunFor(1);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"timer 10"}));
}

TEST_F(TimerFixture, ClosingAWindowKillsItsTimersButHidingDoesNot) {
    first.SetTimer(1, 100);
    first.SetTimer(2, 100);
    second.SetTimer(1, 100);
    second.Show(false);
    first.DestroyWindow();
    loop.RunFor(100);
    EXPECT_TRUE(first.calls.empty());
    EXPECT_FALSE(first.IsTimerSet(2));
    EXPECT_EQ(second.calls, (std::vector<std::string>{"timer 1"}));
}

TEST_F(TimerFixture, ATimerHandlerMayKillItsOwnTimerForAOneShot) {
    struct OneShot : ProbeDialog {
        using ProbeDialog::ProbeDialog;
        void OnTimer(int id) override {
            KillTimer(id);
            ProbeDialog::OnTimer(id);
        }
    } oneShot{windows, kProbeTemplate};
    first.DestroyWindow(); // frees dialog id 900 for the one-shot window
    oneShot.Create();
    oneShot.calls.clear();
    oneShot.SetTimer(3, 10);
    loop.RunFor(100);
    EXPECT_EQ(oneShot.calls, (std::vector<std::string>{"timer 3"}));
}

} // namespace
