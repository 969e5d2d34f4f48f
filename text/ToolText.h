#pragma once
// Texts this tool adds to those of the language tables: refusals of what a rack reports and
// the notes on features that come in a later version. Same rules as the tables: UTF-8, one
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
    CommonInterfaceMenuLater,
    SettingsPageLater,
    LoadConfigurationLater,
    SaveConfigurationLater,
    InstallationReportLater,
    ModuleLogLater,
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

// "<feature> comes in a later version." in the current language, for the features named in
// English as the main window names them ("The settings page", ...); a feature not in the
// table gets the English sentence.
std::string ComingLaterText(std::string_view feature);

} // namespace kaptiv::text
