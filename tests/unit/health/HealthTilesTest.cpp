// What a tile says and what its plots draw, from measures and history.
#include "health/HealthTiles.h"

#include "text/ToolText.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::health;

namespace {
constexpr int kEnglish = 0;

monitor::ModuleMeasures Up(int slot, uint8_t address) {
    monitor::ModuleMeasures m;
    m.slot = slot;
    m.address = address;
    m.asked = true;
    m.up = true;
    m.statusAnswered = true;
    return m;
}
} // namespace

TEST(HealthTile, OneLinePerInputThenTheRestTwoToALineAndWhatIsLeftOnTheLast) {
    monitor::ModuleMeasures tuner = Up(1, 10);
    tuner.inputs = {{"A", 2, 76, 73}, {"B", 0, 4, 0}};
    tuner.usbKeyPresent = true;
    const TileText t = DescribeTile(1, "RkSat2.0", "2.3", &tuner, kEnglish);
    EXPECT_EQ(t.title, "1 \u00B7 RkSat2.0 2.3");
    EXPECT_EQ(t.lines[0], "A locked \u00B7 lvl 76% \u00B7 Q 73%");
    // Without lock there is no quality to show.
    EXPECT_EQ(t.lines[1], "B no lock \u00B7 lvl 4%");
    EXPECT_EQ(t.lines[2], "USB key");

    monitor::ModuleMeasures modulator = Up(3, 12);
    modulator.outputRunning = true;
    modulator.temperatureCelsius = 41;
    for (int ch = 1; ch <= 4; ++ch)
        modulator.channels.push_back({ch, 12'300'000, 31'600'000});
    // Six parts fill the three lines two by two.
    TileText m = DescribeTile(3, "RkModT4", "2.1", &modulator, kEnglish);
    EXPECT_EQ(m.lines[0], "output on \u00B7 41 \u00B0C");
    EXPECT_EQ(m.lines[1], "ch1 12.3/31.6 \u00B7 ch2 12.3/31.6");
    EXPECT_EQ(m.lines[2], "ch3 12.3/31.6 \u00B7 ch4 12.3/31.6 Mbit/s");
    // A seventh has no line of its own: it goes on the last one, not lost.
    modulator.camState = 2;
    m = DescribeTile(3, "RkModT4", "2.1", &modulator, kEnglish);
    EXPECT_EQ(m.lines[2], "ch3 12.3/31.6 \u00B7 ch4 12.3/31.6 Mbit/s \u00B7 CAM ready");
}

TEST(HealthTile, SaysWhenThereIsNothingToShowYetAndWhenTheModuleIsSilent) {
    EXPECT_EQ(DescribeTile(2, "RkCI", "", nullptr, kEnglish).lines[0], "waiting for the first round");
    const monitor::ModuleMeasures encoder = Up(6, 15); // nothing to watch but its answer
    EXPECT_EQ(DescribeTile(6, "RkHD", "", &encoder, kEnglish).lines[0], "answering");
    monitor::ModuleMeasures silent;
    silent.asked = true;
    EXPECT_EQ(DescribeTile(2, "RkCI", "", &silent, kEnglish).lines[0], "not answering");
    // In the installer's language.
    EXPECT_EQ(DescribeTile(2, "RkCI", "", &silent, 1).lines[0], "ne répond pas");
    EXPECT_EQ(StripColor(std::nullopt), (ui::Color{0x9a, 0xa0, 0xa6}));
    EXPECT_NE(StripColor(monitor::AlarmSeverity::Critical), StripColor(monitor::AlarmSeverity::Warning));
    EXPECT_NE(StripColor(monitor::AlarmSeverity::Warning), StripColor(monitor::AlarmSeverity::None));
}

TEST(HealthPlot, TimesBecomeWallSecondsAndALaterSeriesIsAlignedOnTheNewest) {
    monitor::RackHistory history;
    monitor::RackMeasures rack;
    rack.modules.push_back(Up(1, 10));
    rack.modules[0].inputs = {{"A", 0, 5, 0}};
    history.Record(0, rack); // no lock: no quality yet
    rack.modules[0].inputs = {{"A", 2, 70, 60}};
    history.Record(10'000, rack);
    history.Record(20'000, rack);

    const double epoch = 1'765'000'000;
    const ui::PlotData small = BuildPlot(history, 10, PlotKind::Levels, false, 25'000, epoch, kEnglish);
    EXPECT_FALSE(small.axes);
    ASSERT_EQ(small.series.size(), 1u); // the level only
    EXPECT_EQ(small.series[0].label, "level A");
    EXPECT_EQ(small.times, (std::vector<double>{epoch - 25, epoch - 15, epoch - 5}));
    EXPECT_EQ(small.yMin, 0);
    EXPECT_EQ(small.yMax, 100);

    const ui::PlotData large = BuildPlot(history, 10, PlotKind::Levels, true, 25'000, epoch, kEnglish);
    ASSERT_EQ(large.series.size(), 2u);
    EXPECT_EQ(large.series[1].label, "quality A");
    EXPECT_EQ(large.series[1].unit, "%");
    // The first sample had no lock: a gap where the line breaks, then the values.
    EXPECT_EQ(large.series[1].values, (std::vector<std::optional<double>>{std::nullopt, 60.0, 60.0}));
    EXPECT_NE(large.series[0].color, large.series[1].color);

    // Another module's address plots nothing of this one.
    EXPECT_TRUE(BuildPlot(history, 11, PlotKind::Levels, true, 25'000, epoch, kEnglish).series.empty());
}
