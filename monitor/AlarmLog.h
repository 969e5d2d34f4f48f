#pragma once
// The log of a rack's alarms as kaptiv sees them live: one entry per alarm, from the round
// that first raised it to the round that no longer found it. Conditions and thresholds are
// those of monitor/Alarms.h, the ones the exporter's alerting rules use; the rules' "for:"
// waits are left to Prometheus (here the installer is watching, so an alarm shows at once).
// A round that did not complete says nothing about the alarms: it neither raises nor clears.
#include "monitor/Alarms.h"
#include "platform/FileAccess.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::monitor {

enum class AlarmSeverity { None, Warning, Critical };
// As the exporter's rules grade them.
AlarmSeverity SeverityOf(AlarmKind kind);

struct AlarmLogEntry {
    Alarm alarm;
    uint8_t moduleType = 0;
    std::tm raised{};
    std::optional<std::tm> cleared;
    bool Active() const { return !cleared; }
};

class AlarmLog {
public:
    explicit AlarmLog(size_t maxEntries = 1000) : m_maxEntries(maxEntries ? maxEntries : 1) {}

    // Compares the alarms of a round with the active ones; `wall` is the round's local time.
    void Update(const RackMeasures& rack, const std::vector<Alarm>& alarms, const std::tm& wall);

    // Oldest first; beyond maxEntries the oldest cleared entries are dropped.
    const std::vector<AlarmLogEntry>& Entries() const { return m_entries; }
    // The worst active alarm of a module (slot).
    AlarmSeverity WorstActive(int slot) const;
    void Clear() { m_entries.clear(); }

private:
    void Trim();
    size_t m_maxEntries;
    std::vector<AlarmLogEntry> m_entries;
};

// "2026-12-08 17:30:12": the times of the log.
std::string FormatAlarmTime(const std::tm& when);

// What happened, in `language` (0 to 4): "Input A has no lock"...
std::string DescribeAlarm(const Alarm& alarm, const AlarmThresholds& thresholds, int language);

// The log as CSV (RFC 4180 quoting, UTF-8): raised, cleared, slot, address, module, alarm, what
// happened; the header in `language`.
std::string AlarmLogCsv(const AlarmLog& log, const AlarmThresholds& thresholds, int language);
// Written atomically (platform/FileAccess.h).
platform::FileResult SaveAlarmLogCsv(const std::string& path, const AlarmLog& log,
                                     const AlarmThresholds& thresholds, int language);

} // namespace kaptiv::monitor
