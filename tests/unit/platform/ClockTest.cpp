#include "platform/Clock.h"

#include <gtest/gtest.h>

using namespace kaptiv::platform;

TEST(ManualClock, WallTimeMovesWithVirtualTimeFromAnyStart) {
    for (int64_t start : {0, 1'000'000, 5'000'000}) {
        ManualClock clock(start);
        const std::tm first = clock.LocalTime();
        EXPECT_EQ(first.tm_hour, 12);
        EXPECT_EQ(first.tm_min, 0);
        clock.Advance(61'500);
        const std::tm later = clock.LocalTime();
        EXPECT_EQ(later.tm_min, 1);
        EXPECT_EQ(later.tm_sec, 1);
        std::tm wall{};
        wall.tm_year = 126;
        wall.tm_mon = 11;
        wall.tm_mday = 7;
        wall.tm_hour = 23;
        wall.tm_min = 59;
        wall.tm_sec = 30;
        clock.SetLocalTime(wall);
        clock.Advance(45'000); // past midnight
        const std::tm next = clock.LocalTime();
        EXPECT_EQ(next.tm_mday, 8);
        EXPECT_EQ(next.tm_hour, 0);
        EXPECT_EQ(next.tm_sec, 15);
    }
}
