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
    // Settings page and installation report: one view per module family.
    CharacterNotStored, // a refused character in a text field
    BlockNotDecoded,    // report line for a block that does not decode
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

} // namespace kaptiv::text
