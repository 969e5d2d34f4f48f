#include "monitor/AlarmLog.h"

#include "platform/ModuleType.h"
#include "text/ToolText.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::monitor {

namespace {

bool Same(const Alarm& a, const Alarm& b) {
    return a.kind == b.kind && a.slot == b.slot && a.address == b.address && a.input == b.input;
}

std::string Format(text::ToolText id, int language, const char* s, int d) {
    const std::string pattern = text::LocalizedToolText(id, language);
    char buffer[256];
    if (s)
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), s, d);
    else
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), d);
    return buffer;
}

std::string CsvField(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::string FormatAlarmTime(const std::tm& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return buffer;
}

AlarmSeverity SeverityOf(AlarmKind kind) {
    switch (kind) {
    case AlarmKind::LevelLow:
    case AlarmKind::TypeMismatch:
    case AlarmKind::TemperatureHigh:
    case AlarmKind::FanStopped:
        return AlarmSeverity::Warning;
    case AlarmKind::ModuleMissing:
    case AlarmKind::InputNoLock:
    case AlarmKind::CamRemoved:
    case AlarmKind::OutputStopped:
    case AlarmKind::SupplyFault:
        return AlarmSeverity::Critical;
    }
    return AlarmSeverity::Critical;
}

void AlarmLog::Update(const RackMeasures& rack, const std::vector<Alarm>& alarms, const std::tm& wall) {
    if (!rack.Complete())
        return;
    for (AlarmLogEntry& entry : m_entries) {
        if (!entry.Active())
            continue;
        const bool still =
            std::any_of(alarms.begin(), alarms.end(), [&](const Alarm& a) { return Same(a, entry.alarm); });
        if (!still)
            entry.cleared = wall;
    }
    for (const Alarm& alarm : alarms) {
        const bool known = std::any_of(m_entries.begin(), m_entries.end(), [&](const AlarmLogEntry& e) {
            return e.Active() && Same(e.alarm, alarm);
        });
        if (known)
            continue;
        AlarmLogEntry entry;
        entry.alarm = alarm;
        for (const ModuleMeasures& m : rack.modules)
            if (m.slot == alarm.slot && m.address == alarm.address)
                entry.moduleType = m.Type();
        entry.raised = wall;
        m_entries.push_back(std::move(entry));
    }
    Trim();
}

void AlarmLog::Trim() {
    while (m_entries.size() > m_maxEntries) {
        auto oldestCleared = std::find_if(m_entries.begin(), m_entries.end(),
                                          [](const AlarmLogEntry& e) { return !e.Active(); });
        m_entries.erase(oldestCleared != m_entries.end() ? oldestCleared : m_entries.begin());
    }
}

AlarmSeverity AlarmLog::WorstActive(int slot) const {
    AlarmSeverity worst = AlarmSeverity::None;
    for (const AlarmLogEntry& e : m_entries)
        if (e.Active() && e.alarm.slot == slot)
            worst = std::max(worst, SeverityOf(e.alarm.kind));
    return worst;
}

std::string DescribeAlarm(const Alarm& alarm, const AlarmThresholds& thresholds, int language) {
    using text::ToolText;
    switch (alarm.kind) {
    case AlarmKind::ModuleMissing:
        return text::LocalizedToolText(ToolText::HealthModuleMissing, language);
    case AlarmKind::TypeMismatch:
        return text::LocalizedToolText(ToolText::HealthTypeMismatch, language);
    case AlarmKind::InputNoLock:
        return Format(ToolText::HealthInputNoLock, language, alarm.input.c_str(), 0);
    case AlarmKind::LevelLow:
        return Format(ToolText::HealthLevelLow, language, alarm.input.c_str(), thresholds.minLevel);
    case AlarmKind::CamRemoved:
        return text::LocalizedToolText(ToolText::HealthCamRemoved, language);
    case AlarmKind::OutputStopped:
        return text::LocalizedToolText(ToolText::HealthOutputStopped, language);
    case AlarmKind::TemperatureHigh:
        return Format(ToolText::HealthTemperatureHigh, language, nullptr, thresholds.maxTemperatureCelsius);
    case AlarmKind::SupplyFault:
        return text::LocalizedToolText(ToolText::HealthSupplyFault, language);
    case AlarmKind::FanStopped:
        return text::LocalizedToolText(ToolText::HealthFanStopped, language);
    }
    return {};
}

std::string AlarmLogCsv(const AlarmLog& log, const AlarmThresholds& thresholds, int language) {
    std::string out = text::LocalizedToolText(text::ToolText::HealthCsvHeader, language) + "\r\n";
    for (const AlarmLogEntry& e : log.Entries()) {
        const std::string cleared = e.cleared
                                        ? FormatAlarmTime(*e.cleared)
                                        : text::LocalizedToolText(text::ToolText::HealthActive, language);
        const std::string fields[] = {FormatAlarmTime(e.raised),
                                      cleared,
                                      std::to_string(e.alarm.slot),
                                      std::to_string(e.alarm.address),
                                      ModuleName(e.moduleType),
                                      LabelOf(e.alarm.kind),
                                      DescribeAlarm(e.alarm, thresholds, language)};
        for (size_t i = 0; i < std::size(fields); ++i)
            out += (i ? "," : "") + CsvField(fields[i]);
        out += "\r\n";
    }
    return out;
}

platform::FileResult SaveAlarmLogCsv(const std::string& path, const AlarmLog& log,
                                     const AlarmThresholds& thresholds, int language) {
    return platform::WriteFileAtomic(path, AlarmLogCsv(log, thresholds, language));
}

} // namespace kaptiv::monitor
