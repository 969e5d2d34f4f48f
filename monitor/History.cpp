#include "monitor/History.h"

#include <algorithm>

namespace kaptiv::monitor {

MeasureRing::MeasureRing(size_t capacity) : m_slots(std::max<size_t>(capacity, 1)) {}

void MeasureRing::Push(int64_t timeMs, std::optional<double> value) {
    m_slots[m_next] = {timeMs, value};
    m_next = (m_next + 1) % m_slots.size();
    m_size = std::min(m_size + 1, m_slots.size());
}

std::vector<HistorySample> MeasureRing::Samples() const {
    std::vector<HistorySample> out;
    out.reserve(m_size);
    const size_t first = (m_next + m_slots.size() - m_size) % m_slots.size();
    for (size_t i = 0; i < m_size; ++i)
        out.push_back(m_slots[(first + i) % m_slots.size()]);
    return out;
}

const HistorySample* MeasureRing::Last() const {
    if (m_size == 0)
        return nullptr;
    return &m_slots[(m_next + m_slots.size() - 1) % m_slots.size()];
}

std::vector<MeasureValue> ValuesOf(const ModuleMeasures& m) {
    std::vector<MeasureValue> out;
    for (const TunerInputMeasure& input : m.inputs) {
        out.push_back({input.name + ".lock", "", static_cast<double>(input.lock)});
        out.push_back({input.name + ".level", "%", static_cast<double>(input.level)});
        // Without lock the module has nothing to measure a quality on: a gap, not a 0 that
        // would read as a measured bad signal.
        if (input.Locked())
            out.push_back({input.name + ".quality", "%", static_cast<double>(input.quality)});
    }
    if (m.outputRunning)
        out.push_back({"output", "", *m.outputRunning ? 1.0 : 0.0});
    if (m.temperatureCelsius)
        out.push_back({"temperature", "\u00B0C", static_cast<double>(*m.temperatureCelsius)});
    for (const ChannelRateMeasure& ch : m.channels)
        out.push_back(
            {"ch" + std::to_string(ch.channel) + ".rate", "Mbit/s", static_cast<double>(ch.usedBps) / 1e6});
    if (m.streamerRateBps)
        out.push_back({"rate", "Mbit/s", static_cast<double>(*m.streamerRateBps) / 1e6});
    if (m.camState)
        out.push_back({"cam", "", static_cast<double>(*m.camState)});
    if (m.usbKeyPresent)
        out.push_back({"usb", "", *m.usbKeyPresent ? 1.0 : 0.0});
    return out;
}

RackHistory::RackHistory(HistoryLimits limits) : m_limits(limits) {
    if (m_limits.periodMs <= 0)
        m_limits.periodMs = 10'000;
    if (m_limits.keepMs < m_limits.periodMs)
        m_limits.keepMs = m_limits.periodMs;
}

const MeasureSeries* RackHistory::Find(int slot, const std::string& key) const {
    for (const MeasureSeries& s : m_series)
        if (s.slot == slot && s.key == key)
            return &s;
    return nullptr;
}

void RackHistory::Clear() {
    m_series.clear();
    m_lastSampleMs.reset();
}

MeasureSeries& RackHistory::SeriesFor(int slot, uint8_t address, const std::string& key,
                                      const std::string& unit) {
    for (MeasureSeries& s : m_series)
        if (s.slot == slot && s.address == address && s.key == key)
            return s;
    m_series.push_back({slot, address, key, unit, MeasureRing(m_limits.Capacity())});
    return m_series.back();
}

void RackHistory::PushAll(int64_t timeMs, const std::map<size_t, double>& values) {
    for (size_t i = 0; i < m_series.size(); ++i) {
        auto it = values.find(i);
        m_series[i].ring.Push(timeMs, it == values.end() ? std::nullopt : std::optional<double>(it->second));
    }
}

bool RackHistory::Record(int64_t nowMs, const RackMeasures& rack) {
    if (m_lastSampleMs && nowMs - *m_lastSampleMs < m_limits.periodMs)
        return false;
    // Periods that passed without a round: one gap each, at most a ring's worth.
    if (m_lastSampleMs) {
        const int64_t missed = (nowMs - *m_lastSampleMs) / m_limits.periodMs - 1;
        const int64_t gaps = std::min<int64_t>(missed, static_cast<int64_t>(m_limits.Capacity()));
        for (int64_t i = gaps; i >= 1; --i)
            PushAll(nowMs - i * m_limits.periodMs, {});
    }
    std::map<size_t, double> values;
    if (rack.Complete()) {
        for (const ModuleMeasures& m : rack.modules) {
            if (!m.up)
                continue; // its series keep their gap
            for (const MeasureValue& v : ValuesOf(m)) {
                const size_t before = m_series.size();
                MeasureSeries& s = SeriesFor(m.slot, m.address, v.key, v.unit);
                const size_t index = static_cast<size_t>(&s - m_series.data());
                if (m_series.size() > before && m_lastSampleMs) {
                    // A series seen for the first time starts with the others' span as a gap.
                    for (const HistorySample& past : m_series.front().ring.Samples())
                        s.ring.Push(past.timeMs, std::nullopt);
                }
                values[index] = v.value;
            }
        }
    }
    PushAll(nowMs, values);
    m_lastSampleMs = nowMs;
    return true;
}

} // namespace kaptiv::monitor
