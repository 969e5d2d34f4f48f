#pragma once
// The recent past of a rack's measures, in memory: one ring of samples per measure, sampled
// on a fixed period (10 s by default, at least an hour kept). A round that does not complete
// (the rack is lost) and a stretch with no round at all (rounds paused, kaptiv busy) both
// leave gaps: samples without a value, so a plot breaks its line there instead of joining
// two distant points.
#include "monitor/Measures.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::monitor {

struct HistorySample {
    int64_t timeMs = 0;          // monotonic (platform::Clock::NowMs)
    std::optional<double> value; // empty: a gap
};

// A fixed-capacity ring of samples, oldest overwritten first.
class MeasureRing {
public:
    explicit MeasureRing(size_t capacity);
    void Push(int64_t timeMs, std::optional<double> value);
    size_t Size() const { return m_size; }
    size_t Capacity() const { return m_slots.size(); }
    // Oldest first.
    std::vector<HistorySample> Samples() const;
    const HistorySample* Last() const;

private:
    std::vector<HistorySample> m_slots;
    size_t m_next = 0; // where the next sample goes
    size_t m_size = 0;
};

// What a series measures, and in which unit (for the plot's y-axis).
struct MeasureSeries {
    int slot = 0;
    uint8_t address = 0;
    std::string key;  // "A.level", "temperature", "ch2.rate"...
    std::string unit; // "%", "°C", "Mbit/s", "" for states
    MeasureRing ring;
};

struct HistoryLimits {
    int64_t periodMs = 10'000;
    int64_t keepMs = 3'600'000;
    // Samples a ring holds: the whole kept span, both ends included.
    size_t Capacity() const { return static_cast<size_t>(keepMs / periodMs) + 1; }
};

class RackHistory {
public:
    explicit RackHistory(HistoryLimits limits = {});

    // Takes the measures of one round, done at `nowMs`. At most one sample per period is kept
    // (a round within the period of the last sample is skipped; returns false then). Periods
    // without any round are filled with gaps, and a round that did not complete records a gap
    // on every series known so far.
    bool Record(int64_t nowMs, const RackMeasures& rack);

    const std::vector<MeasureSeries>& Series() const { return m_series; }
    const MeasureSeries* Find(int slot, const std::string& key) const;
    const HistoryLimits& Limits() const { return m_limits; }
    void Clear();

private:
    MeasureSeries& SeriesFor(int slot, uint8_t address, const std::string& key, const std::string& unit);
    void PushAll(int64_t timeMs, const std::map<size_t, double>& values);

    HistoryLimits m_limits;
    std::vector<MeasureSeries> m_series;
    std::optional<int64_t> m_lastSampleMs;
};

// The measures of one module as (key, unit, value) triples, as RackHistory records them.
struct MeasureValue {
    std::string key;
    std::string unit;
    double value = 0;
};
std::vector<MeasureValue> ValuesOf(const ModuleMeasures& module);

} // namespace kaptiv::monitor
