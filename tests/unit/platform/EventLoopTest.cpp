#include "platform/EventLoop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kaptiv::platform;

namespace {
struct LoopFixture : ::testing::Test {
    ManualClock clock;
    EventLoop loop{clock};
    int owner = 0;
};
} // namespace

TEST_F(LoopFixture, TimerRepeatsUntilKilledLikeAWindowTimer) {
    std::vector<int64_t> firedAt;
    loop.SetTimer(&owner, 1, 100, [&] {
        firedAt.push_back(clock.NowMs());
        if (firedAt.size() == 3)
            loop.KillTimer(&owner, 1);
    });
    const int64_t start = clock.NowMs();
    loop.RunFor(1000);
    ASSERT_EQ(firedAt.size(), 3u);
    EXPECT_EQ(firedAt[0] - start, 100);
    EXPECT_EQ(firedAt[2] - start, 300);
    EXPECT_FALSE(loop.IsTimerSet(&owner, 1));
}

TEST_F(LoopFixture, SettingARunningTimerRestartsIt) {
    int fired = 0;
    loop.SetTimer(&owner, 10, 100, [&] {
        fired++;
        loop.KillTimer(&owner, 10);
    });
    loop.RunFor(60);
    loop.SetTimer(&owner, 10, 100, [&] {
        fired++;
        loop.KillTimer(&owner, 10);
    });
    loop.RunFor(60); // 120 ms after the first set, only 60 after the second
    EXPECT_EQ(fired, 0);
    loop.RunFor(40);
    EXPECT_EQ(fired, 1);
}

TEST_F(LoopFixture, TimersAreKeyedByOwnerAndId) {
    int other = 0;
    int a = 0, b = 0;
    loop.SetTimer(&owner, 1, 10, [&] { a++; });
    loop.SetTimer(&other, 1, 10, [&] { b++; });
    loop.KillTimers(&owner);
    loop.RunFor(25);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 2);
}

TEST_F(LoopFixture, HandlerKillingALaterTimerPreventsItFiring) {
    bool secondFired = false;
    loop.SetTimer(&owner, 1, 10, [&] {
        loop.KillTimer(&owner, 2);
        loop.KillTimer(&owner, 1);
    });
    loop.SetTimer(&owner, 2, 10, [&] { secondFired = true; });
    loop.RunFor(10);
    EXPECT_FALSE(secondFired);
}

TEST_F(LoopFixture, NestedRunDispatchesTimersOfOtherWindows) {
    int ticks = 0;
    bool done = false;
    loop.SetTimer(&owner, 1, 10, [&] { ticks++; });
    loop.Post([&] {
        // A modal loop inside a posted task still runs the other timers.
        loop.RunUntil([&] { return ticks >= 5; });
        done = true;
    });
    loop.RunOnce(0);
    EXPECT_TRUE(done);
    EXPECT_GE(ticks, 5);
}

TEST(EventLoopReal, PostFromAnotherThreadWakesAWaitingLoop) {
    RealClock clock;
    EventLoop loop(clock);
    bool ran = false;
    std::thread poster([&] { loop.Post([&] { ran = true; }); });
    // Without the wake-up this would wait the full 10 s.
    const int64_t start = clock.NowMs();
    while (!ran && clock.NowMs() - start < 10'000)
        loop.RunOnce(10'000);
    poster.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(clock.NowMs() - start, 5'000);
}

TEST(EventLoopReal, FdWatcherSeesReadableData) {
    RealClock clock;
    EventLoop loop(clock);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    char got = 0;
    auto id = loop.WatchFd(fds[0], POLLIN, [&](short) { ASSERT_EQ(read(fds[0], &got, 1), 1); });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop.RunOnce(1000);
    EXPECT_EQ(got, 'x');
    loop.UnwatchFd(id);
    close(fds[0]);
    close(fds[1]);
}

// A quit request (a termination signal) ends every run of the loop, nested ones included,
// and every later one at once; the outermost Run ends too.
TEST_F(LoopFixture, AQuitRequestEndsNestedAndLaterRuns) {
    bool innerReturned = false;
    bool innerDone = true;
    loop.SetTimer(&owner, 1, 10, [&] {
        loop.KillTimer(&owner, 1);
        loop.SetTimer(&owner, 2, 50, [&] { loop.RequestQuit(); });
        // A modal wait whose answer never comes.
        innerDone = loop.RunUntil([] { return false; });
        innerReturned = true;
    });
    loop.Run();
    EXPECT_TRUE(innerReturned);
    EXPECT_FALSE(innerDone) << "a wait ended by the quit is not an answer";
    EXPECT_TRUE(loop.QuitRequested());

    bool ran = false;
    loop.Post([&] { ran = true; });
    EXPECT_FALSE(loop.RunUntil([] { return false; }));
    const int64_t before = clock.NowMs();
    loop.RunFor(10'000);
    EXPECT_EQ(clock.NowMs(), before) << "no time passes once quitting";
    EXPECT_FALSE(ran);
    EXPECT_TRUE(loop.RunUntil([] { return true; })) << "a wait already answered still says so";
}

// Once quitting, waits through the clock take no time, except while a deferral is held
// (the firmware of the module in progress): then the clock waits as usual until it ends.
TEST_F(LoopFixture, AQuitCutsTheClocksWaitsUnlessDeferred) {
    {
        EventLoop::QuitDeferral finishing(loop);
        loop.RequestQuit();
        EXPECT_TRUE(loop.QuitRequested());
        EXPECT_TRUE(loop.IsQuitDeferred());
        EXPECT_FALSE(clock.IsInterrupted());
        const int64_t before = clock.NowMs();
        clock.SleepMs(300);
        EXPECT_EQ(clock.NowMs() - before, 300);
    }
    EXPECT_FALSE(loop.IsQuitDeferred());
    EXPECT_TRUE(clock.IsInterrupted());
    const int64_t before = clock.NowMs();
    clock.SleepMs(300);
    EXPECT_EQ(clock.NowMs(), before);
}

// The request comes from the signal watcher's thread while the loop waits in poll(): the
// loop wakes at once instead of after its wait, and a real clock's sleep is cut short.
TEST(EventLoopReal, AQuitRequestFromAnotherThreadWakesTheLoopAndCutsSleeps) {
    RealClock clock;
    EventLoop loop(clock);
    const int64_t start = clock.NowMs();
    std::thread requester([&] {
        clock.SleepMs(50);
        loop.RequestQuit();
    });
    loop.Run();
    const int64_t woke = clock.NowMs();
    clock.SleepMs(60'000);
    const int64_t slept = clock.NowMs() - woke;
    requester.join();
    EXPECT_LT(woke - start, 5'000);
    EXPECT_LT(slept, 1'000);
}
