#pragma once
// The USB-key files, the play-out schedule and the log of the streaming tuner (types 7, 10, 12)
// whose settings page is open: the file list, upload and delete, the schedule's pickers, list and
// buttons, and the log controls. The settings page owns the controls and the schedule values;
// it hands them over through StreamingHost and forwards the installer's events here.
//
// Everything runs on the user-interface thread. A transfer lets pending events run between its
// blocks (the page's status poll, the installer's Escape key): while one runs, the other file
// and schedule operations are refused. Escape is latched: a press at any moment since the
// transfer started stops it at its next block, even when the key was let go before the
// transfer looked. Closing the page stops it the same way. A stopped or failed download
// leaves no file behind.
//
// Names come from the module as bytes and are not trusted: a name with a control character,
// a '/', "..", a quotation mark or too long for a command is listed with its bytes escaped
// ("\x1B") and marked, and it is never put into a command: it cannot be deleted or scheduled
// from the page.
#include "streaming/ModuleFiles.h"
#include "streaming/Schedule.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::ui {
class Dialog;
class WindowSystem;
} // namespace kaptiv::ui
namespace kaptiv::rack {
class CDetachInfo;
}

namespace kaptiv::streaming {

// Control ids of the play-out controls on the settings page.
struct PlayoutControls {
    int fileList = 0;
    int upload = 0;
    int remove = 0; // delete the selected file
    int port = 0;
    int start = 0;
    int end = 0;
    int add = 0;
    int removeEntries = 0;
    int scheduleList = 0;
};

// What the settings page does for the file and schedule operations.
class StreamingHost {
public:
    virtual ~StreamingHost() = default;
    virtual Schedule& ScheduleValues() = 0;
    // Encodes the module's settings now and sends the blocks that changed; false when the
    // settings could not be encoded or sent (the module keeps its old schedule then).
    virtual bool WriteSettings() = 0;
    // The page's next tick writes the module's settings.
    virtual void MarkInputChanged() = 0;
    // The first entry was added (true) or the last one removed (false): the streaming service id
    // goes into, or out of, the pass-through lists of the following inputs.
    virtual void PassThrough(bool add) = 0;
    // After each display refresh: the streaming service id and name fields follow the schedule.
    virtual void ScheduleShown() = 0;
    // A line on the page that the installer sees while the page covers the message panel.
    virtual void ShowMessage(const std::string& text) = 0;
};

// Frequencies and durations of the beeps.
inline constexpr int kWarningBeepHz = 440;
inline constexpr int kTransferBeepHz = 880;

class StreamingFiles {
public:
    StreamingFiles(ui::Dialog& page, const PlayoutControls& controls);

    // The transfer window (may be absent in tests of the schedule alone).
    void SetTransferWindow(rack::CDetachInfo* window) { m_transfer = window; }

    // The page opened a streaming tuner. `programFolder` is where logs/ lives.
    void Open(StreamingHost& host, ModuleFiles& files, uint8_t moduleType, uint8_t address,
              std::string programFolder);
    // The page closes: a transfer still running stops at its next block.
    void Close();
    bool IsOpen() const { return m_host != nullptr; }
    bool Busy() const { return m_busy; }

    // The file list: emptied, the stream entries of types 10 and 12, then the key's names when
    // `enabled` (the module reports a USB key); no entry selected afterwards.
    void RefillFileList(bool enabled);
    void FileSelectionChanged();
    void UploadFiles();
    void DeleteFile();
    // The log: "Get" and the main window's log button.
    void FetchLog();
    // "ON": SetMode 0. "OFF": SetMode 1 then 2.
    void LogOn();
    void LogOff();

    // One file each way; true on success.
    bool UploadFile(const std::string& modulePath, const std::string& localPath);
    bool DownloadFile(const std::string& modulePath, const std::string& localPath);

    // Schedule.
    void AddScheduleEntry();
    void RemoveScheduleEntries();
    void RefreshSchedule(); // display refresh
    void UpdateAddButton();
    void UpdateRemoveButton();

    // What the file operations showed in the transfer window, in order (for tests and logs).
    const std::vector<std::string>& Messages() const { return m_messages; }
    // The names the key reported at the last refill (module bytes, one char each), and whether
    // each can be passed to the module.
    const std::vector<std::u32string>& KeyNames() const { return m_names; }
    const std::vector<bool>& KeyNamesUsable() const { return m_usable; }
    int StreamEntryCount() const;
    size_t UploadBlockSize() const;

private:
    enum class Outcome { Ok, Failed, Refused };
    Outcome UploadOne(const std::string& localPath);
    bool StillOpen(uint64_t generation) const { return m_host && generation == m_generation; }
    void ShowTransferMessage(const std::string& text, int64_t ms);
    void Refuse(const std::string& problem);
    void Beep(int hz, int ms);
    void ApplyPassThrough(PassThroughChange change);
    // The name of file-list entry p, or nothing for a stream entry / no entry.
    const std::u32string* FileAt(int position) const;
    // Whether that name can be put into a command (false for stream entries and no entry).
    bool UsableAt(int position) const;
    // A transfer starts: Escape presses are counted from here.
    void MarkTransferStart();
    // Between blocks: lets the page's poll and the installer's keys through.
    bool CancelRequested(uint64_t generation);
    // Writes the schedule after a change made for a file operation; on failure the schedule
    // goes back to `before` and the installer is told with `failure` (a tool text).
    bool WriteScheduleOrRestore(const Schedule& before, PassThroughChange applied, int failure,
                                const std::u32string& name);

    ui::Dialog& m_page;
    PlayoutControls m_ids;
    rack::CDetachInfo* m_transfer = nullptr;
    StreamingHost* m_host = nullptr;
    ModuleFiles* m_files = nullptr;
    uint8_t m_type = 0;
    uint8_t m_address = 0;
    std::string m_programFolder;
    std::vector<std::u32string> m_names;
    std::vector<bool> m_usable;
    uint64_t m_escapeMark = 0;
    std::vector<std::string> m_messages;
    bool m_busy = false;
    uint64_t m_generation = 0;
};

// Module bytes (one char each) <-> what the page shows (UTF-8, control characters escaped as
// in ShownName). A name with a character beyond 8 bits cannot be sent to the module.
std::string DisplayName(const std::u32string& name);
bool ToModuleBytes(const std::u32string& name, std::string& bytes);

} // namespace kaptiv::streaming
