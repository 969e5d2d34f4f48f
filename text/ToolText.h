#pragma once
// Texts this tool adds to those of the language tables: refusals of what a rack reports.
// Same rules as the tables: UTF-8, one
// row per text in English, French, Italian, German and Spanish, placeholders alike in all
// five.
#include "text/Language.h"

#include <array>
#include <string>
#include <string_view>

namespace kaptiv::text {

enum class ToolText : int {
    ModuleListRefused, // %d modules listed, at most %d
    BlockRefused,      // module %d, %d bytes, at most %d
    // Rack health view: alarm log, tiles, CSV export.
    HealthModuleMissing,   // alarm: the module does not answer
    HealthTypeMismatch,    // alarm: answers as another type
    HealthInputNoLock,     // alarm: input %s
    HealthLevelLow,        // alarm: input %s, level under %d
    HealthCamRemoved,      // alarm: no CAM
    HealthOutputStopped,   // alarm: output stopped
    HealthTemperatureHigh, // alarm: above %d degrees
    HealthSupplyFault,     // alarm: controller supply
    HealthFanStopped,      // alarm: controller fan
    HealthCsvHeader,       // CSV columns
    HealthButtonTooltip,   // main window button
    HealthTitle,           // dialog title
    HealthAlarmLog,        // heading of the log
    HealthSaveCsv,         // button
    HealthActive,          // "cleared" column of an active alarm
    HealthPaused,          // rounds paused while kaptiv works on the rack
    HealthNoAlarm,         // empty log
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

} // namespace kaptiv::text
