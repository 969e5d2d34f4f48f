#include "app/ShutdownSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <pthread.h>
#include <vector>

using namespace kaptiv;

// A blocked SIGTERM sent to ourselves arrives as an event of the loop, not as a default
// action that would kill the test.
TEST(ShutdownSignals, ABlockedSignalArrivesThroughTheLoop) {
    sigset_t previous;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &previous), 0);
    std::string error;
    ASSERT_TRUE(app::ShutdownSignals::Block(error)) << error;

    platform::ManualClock clock;
    platform::EventLoop loop(clock);
    std::vector<int> received;
    {
        app::ShutdownSignals signals(loop, [&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(signals.IsWatching());
        ASSERT_EQ(::pthread_kill(::pthread_self(), SIGTERM), 0);
        EXPECT_TRUE(received.empty()); // nothing happens until the loop dispatches
        loop.RunOnce(0);
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
        loop.RunOnce(0);
        EXPECT_EQ(received.size(), 1u);
    }
    ASSERT_EQ(::pthread_sigmask(SIG_SETMASK, &previous, nullptr), 0);
}
