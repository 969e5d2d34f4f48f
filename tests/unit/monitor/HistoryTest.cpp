// The measure history (rings, sampling period, gaps) and the alarm log (raise, clear, CSV).
#include "monitor/History.h"
#include "monitor/AlarmLog.h"
#include "platform/FileAccess.h"
#include "platform/ModuleType.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kaptiv;
using namespace kaptiv::monitor;

namespace {

ModuleMeasures Tuner(int slot, uint8_t level, uint8_t lockA = 2) {
    ModuleMeasures m;
    m.slot = slot;
    m.address = static_cast<uint8_t>(slot + 1);
    m.listedType = type::kSat2_0;
    m.asked = true;
    m.up = true;
    m.identifiedType = type::kSat2_0;
    m.statusAnswered = true;
    m.inputs = {{"A", lockA, level, 80}, {"B", 2, 70, 80}};
    m.temperatureCelsius = 40;
    return m;
}

RackMeasures Rack(uint8_t level, uint8_t lockA = 2) {
    RackMeasures r;
    r.modules.push_back(Tuner(1, level, lockA));
    return r;
}

RackMeasures Lost() {
    RackMeasures r;
    r.failure = RoundFailure::NoController;
    return r;
}

std::vector<std::optional<double>> Values(const RackHistory& h, int slot, const std::string& key) {
    std::vector<std::optional<double>> out;
    const MeasureSeries* s = h.Find(slot, key);
    if (s)
        for (const HistorySample& sample : s->ring.Samples())
            out.push_back(sample.value);
    return out;
}

std::tm At(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

} // namespace

TEST(MeasureRing, WrapsAroundKeepingTheNewestOldestFirst) {
    MeasureRing ring(3);
    EXPECT_EQ(ring.Last(), nullptr);
    for (int i = 1; i <= 5; ++i)
        ring.Push(i * 10, i == 4 ? std::nullopt : std::optional<double>(i));
    const auto samples = ring.Samples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].timeMs, 30);
    EXPECT_EQ(samples[0].value, 3.0);
    EXPECT_FALSE(samples[1].value); // the gap survives the wrap
    EXPECT_EQ(samples[2].value, 5.0);
    EXPECT_EQ(ring.Last()->timeMs, 50);
}

TEST(RackHistory, KeepsAnHourAtTenSecondsAndDropsTheSampleBeyond) {
    RackHistory h;
    const int64_t t0 = 1'000'000;
    const size_t hour = 3600 / 10 + 1; // both ends of the hour
    for (size_t i = 0; i < hour; ++i)
        ASSERT_TRUE(h.Record(t0 + static_cast<int64_t>(i) * 10'000, Rack(50)));
    auto samples = h.Find(1, "A.level")->ring.Samples();
    ASSERT_EQ(samples.size(), hour);
    EXPECT_EQ(samples.front().timeMs, t0);
    EXPECT_EQ(samples.back().timeMs - samples.front().timeMs, 3'600'000);
    h.Record(t0 + static_cast<int64_t>(hour) * 10'000, Rack(50));
    samples = h.Find(1, "A.level")->ring.Samples();
    ASSERT_EQ(samples.size(), hour);
    EXPECT_EQ(samples.front().timeMs, t0 + 10'000);
}

TEST(RackHistory, TakesOneSamplePerPeriod) {
    RackHistory h;
    EXPECT_TRUE(h.Record(0, Rack(50)));
    EXPECT_FALSE(h.Record(9'999, Rack(51)));
    EXPECT_TRUE(h.Record(10'000, Rack(52)));
    EXPECT_EQ(Values(h, 1, "A.level"), (std::vector<std::optional<double>>{50.0, 52.0}));
}

TEST(RackHistory, ALostRackAndMissedPeriodsLeaveGaps) {
    RackHistory h;
    h.Record(0, Rack(50));
    h.Record(10'000, Lost());
    h.Record(20'000, Rack(40));
    h.Record(50'000, Rack(45)); // rounds paused for 30 s: two periods without a round
    const std::vector<std::optional<double>> want{50.0, std::nullopt, 40.0, std::nullopt, std::nullopt, 45.0};
    EXPECT_EQ(Values(h, 1, "A.level"), want);
    const auto samples = h.Find(1, "A.level")->ring.Samples();
    EXPECT_EQ(samples[3].timeMs, 30'000);
    EXPECT_EQ(samples[4].timeMs, 40'000);
    EXPECT_EQ(h.Find(1, "temperature")->unit, "\u00B0C");
}

TEST(RackHistory, AModuleThatStopsAnsweringGetsAGapAndANewOneStartsAligned) {
    RackHistory h;
    h.Record(0, Rack(50));
    RackMeasures r = Rack(50);
    r.modules[0].up = false;
    ModuleMeasures mod;
    mod.slot = 2;
    mod.address = 9;
    mod.asked = true;
    mod.up = true;
    mod.channels = {{1, 20'000'000, 38'000'000}};
    mod.outputRunning = true;
    r.modules.push_back(mod);
    h.Record(10'000, r);
    EXPECT_EQ(Values(h, 1, "A.level"), (std::vector<std::optional<double>>{50.0, std::nullopt}));
    EXPECT_EQ(Values(h, 2, "ch1.rate"), (std::vector<std::optional<double>>{std::nullopt, 20.0}));
    EXPECT_EQ(h.Find(2, "ch1.rate")->unit, "Mbit/s");
}

TEST(AlarmLog, RaisesAndClearsOnceAndALostRoundChangesNothing) {
    AlarmLog log;
    RackMeasures bad = Rack(50, 0);
    log.Update(bad, EvaluateAlarms(bad), At(10, 0, 0));
    log.Update(bad, EvaluateAlarms(bad), At(10, 0, 10)); // still there: no second entry
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].alarm.kind, AlarmKind::InputNoLock);
    EXPECT_EQ(log.Entries()[0].alarm.input, "A");
    EXPECT_EQ(log.WorstActive(1), AlarmSeverity::Critical);
    EXPECT_EQ(log.WorstActive(2), AlarmSeverity::None);

    log.Update(Lost(), {}, At(10, 0, 20));
    EXPECT_TRUE(log.Entries()[0].Active());

    RackMeasures good = Rack(50);
    log.Update(good, EvaluateAlarms(good), At(10, 0, 30));
    ASSERT_FALSE(log.Entries()[0].Active());
    EXPECT_EQ(log.Entries()[0].cleared->tm_sec, 30);
    EXPECT_EQ(log.WorstActive(1), AlarmSeverity::None);

    log.Update(bad, EvaluateAlarms(bad), At(10, 1, 0)); // again: a new entry
    EXPECT_EQ(log.Entries().size(), 2u);
}

TEST(AlarmLog, UsesTheExporterThresholdsAndGrades) {
    AlarmLog log;
    RackMeasures weak = Rack(29); // under 30: warning
    log.Update(weak, EvaluateAlarms(weak), At(9, 0, 0));
    EXPECT_EQ(log.WorstActive(1), AlarmSeverity::Warning);
    RackMeasures atLimit = Rack(30);
    log.Update(atLimit, EvaluateAlarms(atLimit), At(9, 0, 10));
    EXPECT_EQ(log.WorstActive(1), AlarmSeverity::None);
}

TEST(AlarmLog, DropsTheOldestClearedEntryBeyondItsSizeAndKeepsActiveOnes) {
    AlarmLog log(2);
    RackMeasures bad = Rack(50, 0), good = Rack(50);
    log.Update(bad, EvaluateAlarms(bad), At(8, 0, 0));
    log.Update(good, EvaluateAlarms(good), At(8, 0, 10));
    log.Update(bad, EvaluateAlarms(bad), At(8, 0, 20));
    EXPECT_EQ(log.Entries().size(), 2u);
    log.Update(good, EvaluateAlarms(good), At(8, 0, 30));
    RackMeasures hot = Rack(50, 0);
    hot.modules[0].temperatureCelsius = 61;
    log.Update(hot, EvaluateAlarms(hot), At(8, 0, 40)); // two new: no lock, temperature
    ASSERT_EQ(log.Entries().size(), 2u);
    EXPECT_TRUE(log.Entries()[0].Active());
    EXPECT_TRUE(log.Entries()[1].Active());
}

TEST(AlarmLog, CsvInTheLanguageQuotedAndSavedAtomically) {
    AlarmLog log;
    RackMeasures bad = Rack(50, 0);
    log.Update(bad, EvaluateAlarms(bad), At(10, 0, 0));
    RackMeasures good = Rack(50);
    good.modules[0].temperatureCelsius = 70;
    log.Update(good, EvaluateAlarms(good), At(10, 0, 30));
    const std::string csv = AlarmLogCsv(log, {}, 1);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "Déclenchée,Terminée,Emplacement,Adresse,Module,Alarme,Description");
    EXPECT_NE(csv.find("2026-12-08 10:00:00,2026-12-08 10:00:30,1,2,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("input_no_lock,L'entrée A n'est pas verrouillée."), std::string::npos) << csv;
    EXPECT_NE(csv.find("en cours,1,2,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("Température supérieure à 60 °C."), std::string::npos) << csv;

    const auto dir = std::filesystem::path(::testing::TempDir()) / "health-csv";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "alarms.csv").string();
    ASSERT_TRUE(SaveAlarmLogCsv(path, log, {}, 0));
    const auto read = platform::ReadRegularFile(path, 1 << 20);
    ASSERT_TRUE(read);
    EXPECT_EQ(read.Text(), AlarmLogCsv(log, {}, 0));
    EXPECT_FALSE(SaveAlarmLogCsv(dir.string(), log, {}, 0)); // a folder is not replaced
    std::filesystem::remove_all(dir);
}

TEST(AlarmLog, CsvQuotesFieldsWithCommasAndQuotes) {
    AlarmLog log;
    RackMeasures bad = Rack(50, 0);
    bad.modules[0].inputs[0].name = "A,\"x\"";
    log.Update(bad, EvaluateAlarms(bad), At(10, 0, 0));
    const std::string csv = AlarmLogCsv(log, {}, 0);
    EXPECT_NE(csv.find(",\"Input A,\"\"x\"\" has no lock.\""), std::string::npos) << csv;
}
