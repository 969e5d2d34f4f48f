#include "platform/DeviceWatch.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaptiv::platform;

TEST(DeviceWatch, ReportsTtyNodesComingAndGoingButNothingElse) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kaptiv-devwatch-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    RealClock clock;
    EventLoop loop(clock);
    int changes = 0;
    DeviceWatch watch(
        loop, [&] { ++changes; }, folder.string());
    ASSERT_TRUE(watch.IsWatching());
    auto pump = [&] {
        const int64_t end = clock.NowMs() + 1000;
        const int before = changes;
        while (changes == before && clock.NowMs() < end)
            loop.RunOnce(20);
    };

    std::ofstream(folder / "sda1").put('x');
    loop.RunOnce(50);
    EXPECT_EQ(changes, 0);

    std::ofstream(folder / "ttyUSB0").put('x');
    pump();
    EXPECT_EQ(changes, 1);
    std::filesystem::remove(folder / "ttyUSB0");
    pump();
    EXPECT_EQ(changes, 2);
    std::filesystem::remove_all(folder);
}
