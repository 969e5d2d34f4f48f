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
    // Files: a report that was not written or is incomplete, a load not written everywhere.
    ReportNotWrittenLinkLost,
    ReportNotWrittenRescan,
    ReportNotWrittenError,    // %s: the system's reason, naming the file
    ReportModuleNotShown,     // a line of the report under a module past the module list
    ReportIncomplete,         // %d modules whose settings are not shown, %s the file
    ConfigurationNotUploaded, // %s: the modules whose write failed
    // Ending on a signal, and the link trace's write failures.
    FirmwareFinishingBeforeExit, // the program ends once this module's firmware is written
    TraceWriteFailed,            // %s: the trace file's name and the reason
    // Firmware update: a module the update leaves as it is, and why.
    FirmwareNotRetried,     // module %d, its type name %s, the file name %s
    FirmwarePictureMissing, // module %d, its type name %s, the picture's name %s
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
    // Settings page and installation report: one view per module family.
    CharacterNotStored, // a refused character in a text field
    BlockNotDecoded,    // report line for a block that does not decode
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
    // Health view: tiles, round line, plots, CSV.
    HealthLocked,
    HealthCarrierOnly,
    HealthNoLockShort,
    HealthInputLine,
    HealthInputLineNoQuality,
    HealthOutputOn,
    HealthOutputOff,
    HealthCamReady,
    HealthCamStarting,
    HealthNoCam,
    HealthUsbKey,
    HealthNoUsbKey,
    HealthSupplyOk,
    HealthSupplyBad,
    HealthFanOk,
    HealthFanBad,
    HealthNotAnswering,
    HealthWaiting,
    HealthLastRound,
    HealthRoundIncomplete,
    HealthNoRack,
    HealthPlotLevels,
    HealthPlotRates,
    HealthPlotTemperature,
    HealthPlotRate,
    HealthPlotCam,
    HealthLevelSeries,
    HealthQualitySeries,
    HealthChannelSeries,
    HealthCsvSaved,
    HealthCsvNotSaved,
    HealthPlotHint,
    HealthAnswering,
    Count,
};
inline constexpr int kToolTextCount = static_cast<int>(ToolText::Count);

using ToolTextRow = std::array<const char*, kLanguageCount>;
extern const std::array<ToolTextRow, kToolTextCount> kToolTextTable;

// The text in the current language, or in `language` (0 to 4; empty outside).
std::string LocalizedToolText(ToolText id);
std::string LocalizedToolText(ToolText id, int language);

// The text in the current language with its placeholders (%s, %d) replaced in order by
// `values`; the values are put in as they are (a "%" in a file name stays one).
std::string FillToolText(ToolText id, std::initializer_list<std::string> values);
// The text with its placeholders (%d, %s, in order) filled from args; a placeholder without
// an argument is left empty, an argument without a placeholder is dropped. No printf: what a
// module or a file names cannot be read as a format.
std::string FormatToolText(ToolText id, std::initializer_list<std::string_view> args);
std::string FormatToolText(ToolText id, int language, std::initializer_list<std::string_view> args);

// Two-letter code of the language (en, fr, it, de, es) for the page.
std::string_view LanguageCode(int language);

} // namespace kaptiv::text
