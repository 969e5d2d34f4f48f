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
    // USB-key file names and the CAM panel's answer (streaming/, cam/).
    FileNameEmpty,
    FileNameNotOnKey,         // "%s": the name
    FileNameControl,          // "%s"
    FileNameQuote,            // "%s"
    FileNameTooLong,          // "%s"
    FileNameNotWritable,      // "%s": a character beyond ISO-8859-1
    FileNameUnusableMark,     // after a listed name the tool cannot pass to the module
    UploadScheduleNotWritten, // "%s": the file whose schedule entries could not be renamed
    DeleteScheduleNotWritten, // "%s": the file whose schedule entries could not be removed
    CamAnswerTooLong,         // %d: the most characters
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

} // namespace kaptiv::text
