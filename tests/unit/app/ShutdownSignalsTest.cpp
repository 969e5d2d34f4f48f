#include "app/ShutdownSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <pthread.h>
#include <unistd.h>
#include <vector>

using namespace kaptiv;

// A blocked SIGTERM sent to the process requests the loop's quit at once, even while the
// loop's thread is busy and dispatches nothing (as in a scan): its waits through the clock end
// early. The handler then runs on the loop's thread as an ordinary event, once.
TEST(ShutdownSignals, ASignalRequestsTheQuitWhileTheLoopIsBusy) {
    sigset_t previous;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &previous), 0);
    std::string error;
    ASSERT_TRUE(app::ShutdownSignals::Block(error)) << error;

    platform::RealClock clock;
    platform::EventLoop loop(clock);
    std::vector<int> received;
    {
        app::ShutdownSignals signals(loop, [&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(signals.IsWatching());
        EXPECT_FALSE(loop.QuitRequested());
        const int64_t start = clock.NowMs();
        ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
        clock.SleepMs(10'000); // busy, as a scan waiting for an answer: cut short by the quit
        EXPECT_LT(clock.NowMs() - start, 2'000);
        EXPECT_TRUE(loop.QuitRequested());
        EXPECT_TRUE(received.empty()) << "nothing runs on the loop's thread until it turns";
        for (int turn = 0; turn < 50 && received.empty(); ++turn)
            loop.RunOnce(100);
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
        loop.RunOnce(0);
        EXPECT_EQ(received.size(), 1u);
    }
    ASSERT_EQ(::pthread_sigmask(SIG_SETMASK, &previous, nullptr), 0);
}
