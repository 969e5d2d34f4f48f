// The tool's command set against the simulated demo rack on virtual time: the status and
// list answers the settings page reads, and the file, shell and log requests of the
// streaming modules, as they travel on the serial bus (stuffing, echo and all).
#include "link/CommandSet.h"
#include "sim/Dynamics.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/RecordingIndicators.h"
#include "tests/support/SimSerial.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::link;

namespace {

constexpr uint8_t kStreamingTuner = 10;
constexpr uint8_t kModulator = 12;

struct SimModules : ::testing::Test {
    platform::ManualClock clock;
    mulvane::RackEngine engine{mulvane::DemoRack(), 7};
    mulvane::SerialLine line{&engine};
    test::RecordingIndicators lamps;
    CXmit xmit{clock};
    CommandSet commands{xmit};

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, line, 2));
        ASSERT_TRUE(xmit.OpenLink());
    }

    std::vector<uint8_t> Status(uint8_t address) {
        int length = 0;
        const uint8_t* data = commands.ReadStatus(address, length);
        return data ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>{};
    }
    std::vector<std::string> Names() {
        const uint8_t* data = nullptr;
        int length = 0;
        const uint16_t n = commands.ReadNameList(kStreamingTuner, data, length);
        std::vector<std::string> names;
        if (n < 4)
            return names;
        const int count = data[2] << 8 | data[3];
        size_t at = 4;
        for (int i = 0; i < count && at < n; ++i) {
            std::string name;
            while (at < n && data[at] != 0)
                name.push_back(static_cast<char>(data[at++]));
            ++at;
            names.push_back(name);
        }
        return names;
    }
};

TEST_F(SimModules, StatusAndListsArriveWhole) {
    const auto status = Status(kStreamingTuner);
    ASSERT_EQ(status.size(), 12u);
    EXPECT_EQ(status[0], mulvane::kLockLocked);

    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = commands.ReadData(kStreamingTuner, data, length);
    ASSERT_GT(n, 0);
    EXPECT_EQ(data[0], 5) << "five services on input A";

    const uint16_t rates = commands.ReadData(kModulator, data, length);
    EXPECT_EQ(rates, 52 + 8 * 4) << "four channel slots and eight services";
    EXPECT_FALSE(xmit.IsLinkLost());
}

TEST_F(SimModules, RetuneSeenThroughTheLink) {
    uint8_t block[1024];
    uint16_t length = 0;
    ASSERT_TRUE(commands.ReadParameters(kStreamingTuner, length, block));
    block[1] += 10;
    commands.WriteData(kStreamingTuner, {block, length});
    EXPECT_EQ(Status(kStreamingTuner)[0], mulvane::kLockNone);
    clock.Advance(mulvane::kLockAfterMs);
    EXPECT_EQ(Status(kStreamingTuner)[0], mulvane::kLockLocked);
}

TEST_F(SimModules, UploadOnTheSerialBlockSizeThenMoveAndFetchTheLog) {
    std::vector<uint8_t> clip(1000);
    for (size_t i = 0; i < clip.size(); ++i)
        clip[i] = static_cast<uint8_t>(i % 5 == 0 ? 0x02 : i); // start bytes to stuff
    ASSERT_TRUE(commands.CreateByName(kStreamingTuner, "/mnt/clip.ts.tmp"));
    for (size_t at = 0; at < clip.size(); at += 256)
        ASSERT_TRUE(commands.WriteForm4(kStreamingTuner, std::span<const uint8_t>(clip).subspan(
                                                             at, std::min<size_t>(256, clip.size() - at))));
    ASSERT_TRUE(commands.CloseLong(kStreamingTuner));
    EXPECT_TRUE(commands.ExecuteText(kStreamingTuner, "rm -f \"/mnt/clip.ts\""));
    EXPECT_TRUE(commands.ExecuteText(kStreamingTuner, "mv \"/mnt/clip.ts.tmp\" \"/mnt/clip.ts\""));
    EXPECT_TRUE(commands.ExecuteText(kStreamingTuner, "sync"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"promo_matin.ts", "meteo_soir.ts", "clip.ts"}));
    EXPECT_EQ(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts"), clip);

    EXPECT_FALSE(commands.ExecuteText(kStreamingTuner, "rm -f /mnt/clip.ts;reboot"));
    EXPECT_TRUE(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts"));

    commands.SetMode(kStreamingTuner, 1);
    commands.ExecuteText(kStreamingTuner, "touch /logFile.0");
    commands.ExecuteText(kStreamingTuner, "cat /logFile.0 /logFile >/tmp/log.txt");
    const uint32_t size = commands.OpenByName(kStreamingTuner, "/tmp/log.txt");
    ASSERT_NE(size, CommandSet::kNoHandle);
    ASSERT_GT(size, 0u);
    std::string log;
    for (uint32_t at = 0; at < size; at += 400) {
        const auto count = static_cast<uint16_t>(std::min<uint32_t>(400, size - at));
        uint8_t buffer[400];
        ASSERT_TRUE(commands.ReadBlock(kStreamingTuner, count, buffer));
        log.append(buffer, buffer + count);
    }
    commands.CloseLong(kStreamingTuner);
    EXPECT_EQ(log, engine.ModuleLog(kStreamingTuner));
    EXPECT_NE(log.find("shell: refused"), std::string::npos);
    EXPECT_EQ(commands.OpenByName(kStreamingTuner, "/tmp/none.txt"), CommandSet::kNoHandle);
}

} // namespace
