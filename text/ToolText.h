#pragma once
// Texts this tool adds to those of the language tables: every text the installer sees that
// the tables do not give. Same rules as the tables: UTF-8, one
// row per text in English, French, Italian, German and Spanish, placeholders alike in all
// five.
#include "text/Language.h"

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kaptiv::text {

enum class ToolText : int {
    ModuleListRefused, // %d modules listed, at most %d
    BlockRefused,      // module %d, %d bytes, at most %d

    // Every window in five languages: the rack's state, the settings page, configuration
    // files, the USB key, the about box, the file dialog and the page's own texts.
    NoRackConnected,  // quiet line of the message panel while no rack is connected
    ExtraViewPlayout, // titles of the settings page's extra view
    ExtraViewRemoteServer,
    ExtraViewTunerLock,
    RackRestarts,       // after settings that need the rack to restart
    SettingsNotRead,    // %d module address: its block did not decode
    SettingsUnreadable, // %s what the decoder said
    SettingsNotWritten, // %s what the encoder said
    ConfigFileRefused,  // %s why
    LogFetchFailed,     // %s local file
    UsbNameEmpty,       // refusals of USB-key names: %s the name
    UsbNameNotOnKey,
    UsbNameControlCharacter,
    UsbNameCharacter, // %s name, %s the character
    UsbNameSpace,
    UsbNameTooLong,
    UsbNameNotWritable,
    AboutCaption,
    AboutText,       // %s title line
    ReplaceQuestion, // %s file name
    PageOk,          // the page's buttons, captions and banners
    PageCancel,
    PageYes,
    PageNo,
    PageRetry,
    PageSaveAs,
    PageOpenTitle,
    PageSave,
    PageOpen,
    PageFileName,
    PageFileType,
    PageParentFolder,
    PageAllFiles,
    PageFirstEntriesOnly,
    PageClose,
    PageConnectionLost,
    PageConnecting,
    PageNotAFolder, // %s folder
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

// The text with its placeholders (%d, %s, in order) filled from args; a placeholder without
// an argument is left empty, an argument without a placeholder is dropped. No printf: what a
// module or a file names cannot be read as a format.
std::string FormatToolText(ToolText id, std::initializer_list<std::string_view> args);
std::string FormatToolText(ToolText id, int language, std::initializer_list<std::string_view> args);

// Two-letter code of the language (en, fr, it, de, es) for the page.
std::string_view LanguageCode(int language);

} // namespace kaptiv::text
