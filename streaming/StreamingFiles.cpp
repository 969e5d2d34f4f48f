#include "streaming/StreamingFiles.h"

#include "platform/FileAccess.h"
#include "platform/ModuleType.h"
#include "rack/CDetachInfo.h"
#include "settings/BlockText.h"
#include "streaming/ModuleAnswers.h"
#include "streaming/ShellText.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/Dialog.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <climits>
#include <filesystem>

namespace kaptiv::streaming {

namespace {

// Texts of the language table.
constexpr int kTextError = 27;
constexpr int kTextSelectUpload = 86;
constexpr int kTextPressEscape = 87;
constexpr int kTextLoading = 91;

constexpr const char* kFileWriteError = "FILE WRITE ERROR";
constexpr const char* kLogsSaved = "Logs saved into ";

constexpr int64_t kMessageMs = 1000;
constexpr int64_t kRefusalMs = 5000;
constexpr int kCreateBeepMs = 100;
constexpr int kFailureBeepMs = 250;
constexpr int kWarningBeepMs = 250;

constexpr int kMaxPort = 65535;
// The module's file sizes are signed 32-bit numbers: from 2^31 on a size is not positive, and
// no larger file could be reported back after its upload either.
constexpr int64_t kMaxModuleFileBytes = INT32_MAX;

bool HasStreamEntries(uint8_t type) {
    return type == type::kSat2 || type == type::kTerrestrial;
}

} // namespace

std::string DisplayName(const std::u32string& name) {
    return ShownName(name);
}

bool ToModuleBytes(const std::u32string& name, std::string& bytes) {
    bytes.clear();
    for (char32_t c : name) {
        if (c > 0xFF)
            return false;
        bytes.push_back(static_cast<char>(c));
    }
    return true;
}

StreamingFiles::StreamingFiles(ui::Dialog& page, const PlayoutControls& controls)
    : m_page(page), m_ids(controls) {}

void StreamingFiles::Open(StreamingHost& host, ModuleFiles& files, uint8_t moduleType, uint8_t address,
                          std::string programFolder) {
    ++m_generation;
    m_host = &host;
    m_files = &files;
    m_type = moduleType;
    m_address = address;
    // The program folder is the current directory when nobody named it.
    m_programFolder = programFolder.empty() ? std::string(".") : std::move(programFolder);
    m_names.clear();
    m_usable.clear();
    SetUpScheduleColumns(m_page.Item(m_ids.scheduleList));
    m_page.Item(m_ids.scheduleList).SetRows({});
    // Until the first status answer tells whether a key is there.
    RefillFileList(false);
    RefreshSchedule();
}

void StreamingFiles::Close() {
    ++m_generation;
    m_host = nullptr;
    m_files = nullptr;
}

int StreamingFiles::StreamEntryCount() const {
    return HasStreamEntries(m_type) ? 2 : 0;
}

size_t StreamingFiles::UploadBlockSize() const {
    return m_files && m_files->OverGateway() ? kGatewayUploadBlock : kSerialUploadBlock;
}

// File list ----------------------------------------------------------------------------------

void StreamingFiles::RefillFileList(bool enabled) {
    if (!m_host)
        return;
    ui::Control& list = m_page.Item(m_ids.fileList);
    m_page.Item(m_ids.upload).Enable(enabled);
    std::vector<std::string> items;
    if (HasStreamEntries(m_type)) {
        items.push_back(kUdpEntry);
        items.push_back(kRtpEntry);
    }
    m_names.clear();
    m_usable.clear();
    std::vector<uint8_t> answer;
    if (enabled && m_files->ReadNameList(answer))
        if (const auto parsed = ParseNameList(answer))
            for (const std::string& raw : parsed->names) {
                std::u32string name;
                for (const char c : raw)
                    name.push_back(static_cast<unsigned char>(c)); // one byte per character
                // Listed whatever it holds, but only a name every command can carry is usable.
                const bool usable = DeleteCommand(raw).Ok() && UploadPath(raw).Ok();
                m_names.push_back(name);
                m_usable.push_back(usable);
                std::string item = DisplayName(name);
                if (!usable)
                    item += "  " + text::LocalizedToolText(text::ToolText::FileNameUnusableMark);
                items.push_back(std::move(item));
            }
    list.SetItems(std::move(items));
    list.SetSelectedItem(-1);
    FileSelectionChanged();
    UpdateAddButton();
    UpdateRemoveButton();
}

const std::u32string* StreamingFiles::FileAt(int position) const {
    const int index = position - StreamEntryCount();
    if (position < 0 || index < 0 || index >= int(m_names.size()))
        return nullptr;
    return &m_names[size_t(index)];
}

bool StreamingFiles::UsableAt(int position) const {
    const int index = position - StreamEntryCount();
    return FileAt(position) != nullptr && size_t(index) < m_usable.size() && m_usable[size_t(index)];
}

void StreamingFiles::FileSelectionChanged() {
    const int p = m_page.Item(m_ids.fileList).SelectedItem();
    // Only files can be deleted, and only those whose name a command can carry. On type 7,
    // whose list starts with the files, that includes the first two entries.
    m_page.Item(m_ids.remove).Enable(UsableAt(p));
    ui::Control& port = m_page.Item(m_ids.port);
    if (HasStreamEntries(m_type) && p <= 1) {
        port.SetText(std::to_string(kDefaultStreamPort));
        port.Enable(true);
        m_page.SetFocus(m_ids.port);
    } else {
        port.SetText("0");
        port.Enable(false);
    }
    UpdateAddButton();
}

// Messages -----------------------------------------------------------------------------------

void StreamingFiles::ShowTransferMessage(const std::string& text, int64_t ms) {
    m_messages.push_back(text);
    if (m_transfer) {
        if (!m_transfer->IsCreated())
            m_transfer->Create();
        m_transfer->ShowMessage(text, ms);
    }
}

void StreamingFiles::Beep(int hz, int ms) {
    m_page.Windows().Beep(hz, ms);
}

void StreamingFiles::Refuse(const std::string& problem) {
    Beep(kWarningBeepHz, kWarningBeepMs);
    ShowTransferMessage(problem, kRefusalMs);
    if (m_host)
        m_host->ShowMessage(problem);
}

void StreamingFiles::MarkTransferStart() {
    m_escapeMark = m_page.Windows().KeyPresses(ui::Key::Escape);
}

bool StreamingFiles::CancelRequested(uint64_t generation) {
    m_page.Windows().Loop().PumpPending();
    m_page.Windows().Repaint();
    ui::WindowSystem& windows = m_page.Windows();
    return !StillOpen(generation) || windows.IsKeyDown(ui::Key::Escape) ||
           windows.KeyPresses(ui::Key::Escape) != m_escapeMark || windows.Loop().QuitRequested();
}

// Upload -------------------------------------------------------------------------------------

bool StreamingFiles::UploadFile(const std::string& modulePath, const std::string& localPath) {
    if (!m_files)
        return false;
    if (!m_busy)
        MarkTransferStart();
    const platform::FileReadResult local = platform::ReadRegularFile(localPath, size_t(kMaxModuleFileBytes));
    if (!local) {
        m_messages.push_back(local.error);
        if (m_host)
            m_host->ShowMessage(local.error);
        return false;
    }
    const auto length = static_cast<int64_t>(local.bytes.size());
    const uint64_t generation = m_generation;
    ModuleFiles& files = *m_files;
    if (!files.CreateByName(modulePath)) {
        Beep(kTransferBeepHz, kCreateBeepMs);
        ShowTransferMessage(kFileWriteError, kMessageMs);
        return false;
    }
    ShowTransferMessage(localPath + "\r\n" + kaptiv::text::LocalizedText(kTextPressEscape), kMessageMs);
    if (m_transfer)
        m_transfer->Start(length);
    const size_t block = UploadBlockSize();
    bool ok = true;
    for (int64_t offset = 0; offset < length && ok; offset += int64_t(block)) {
        const size_t n = std::min<size_t>(block, size_t(length - offset));
        ok = files.WriteForm4({local.bytes.data() + offset, n});
        if (m_transfer && StillOpen(generation))
            m_transfer->Progress(offset + int64_t(n));
        if (ok && CancelRequested(generation))
            ok = false;
    }
    files.CloseLong();
    if (!ok) {
        const ShellText remove = RemovePathCommand(modulePath);
        if (remove.Ok())
            files.ExecuteText(remove.text);
    }
    return ok;
}

bool StreamingFiles::WriteScheduleOrRestore(const Schedule& before, PassThroughChange applied, int failure,
                                            const std::u32string& name) {
    RefreshSchedule();
    if (m_host->WriteSettings())
        return true;
    // The module keeps its old schedule: so does the page, and nothing on the key changes.
    m_host->ScheduleValues() = before;
    if (applied == PassThroughChange::Add)
        m_host->PassThrough(false);
    else if (applied == PassThroughChange::Remove)
        m_host->PassThrough(true);
    RefreshSchedule();
    std::string text = text::LocalizedToolText(static_cast<text::ToolText>(failure));
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, DisplayName(name));
    Refuse(text);
    return false;
}

StreamingFiles::Outcome StreamingFiles::UploadOne(const std::string& localPath) {
    const std::u32string display = settings::FromUtf8(UploadName(localPath)).value_or(U"");
    std::string name;
    if (display.empty() || !ToModuleBytes(display, name)) {
        Refuse(kaptiv::text::FormatToolText(kaptiv::text::ToolText::FileNameNotWritable,
                                            {UploadName(localPath)}));
        return Outcome::Refused;
    }
    // Every text this upload sends is checked before the first byte goes out.
    const ShellText path = UploadPath(name);
    const ShellText removeOld = RemoveOldCopyCommand(name);
    const ShellText move = MoveUploadCommand(name);
    for (const ShellText* t : {&path, &removeOld, &move})
        if (!t->Ok()) {
            Refuse(t->problem);
            return Outcome::Refused;
        }
    const uint64_t generation = m_generation;
    if (!UploadFile(path.text, localPath))
        return Outcome::Failed;
    if (!StillOpen(generation))
        return Outcome::Failed;
    const std::u32string& keyName = display; // every character fits one byte (checked above)
    const std::u32string replacing = keyName + settings::FromUtf8(kReplacingSuffix).value_or(U"");
    // The module stops playing the file while it is replaced; unless it has been told so, the
    // file is not touched, and the upload's temporary copy goes again.
    const Schedule before = m_host->ScheduleValues();
    if (RenameEntries(m_host->ScheduleValues(), keyName, replacing) > 0 &&
        !WriteScheduleOrRestore(before, PassThroughChange::None,
                                static_cast<int>(text::ToolText::UploadScheduleNotWritten), keyName)) {
        const ShellText removeTemporary = RemovePathCommand(path.text);
        if (removeTemporary.Ok())
            m_files->ExecuteText(removeTemporary.text);
        return Outcome::Failed;
    }
    const bool placed = m_files->ExecuteText(removeOld.text) && m_files->ExecuteText(move.text) &&
                        m_files->ExecuteText(kSyncCommand);
    if (!placed)
        return Outcome::Failed;
    if (RenameEntries(m_host->ScheduleValues(), replacing, keyName) > 0) {
        RefreshSchedule();
        if (!m_host->WriteSettings())
            return Outcome::Failed; // in place, but the module still names it with ".upt"
    }
    RefillFileList(true);
    return Outcome::Ok;
}

void StreamingFiles::UploadFiles() {
    if (!m_host || m_busy)
        return;
    ui::FileDialogOptions options;
    options.title = kaptiv::text::LocalizedText(kTextSelectUpload);
    options.filters = {{"TS", "*.ts"}};
    options.multiSelect = true;
    const auto paths = m_page.Windows().FileDialog(options);
    if (!paths || paths->empty() || !m_host)
        return;
    m_busy = true;
    MarkTransferStart();
    Outcome outcome = Outcome::Ok;
    for (const std::string& path : *paths) {
        outcome = UploadOne(path);
        if (outcome != Outcome::Ok)
            break;
    }
    if (outcome == Outcome::Failed) {
        Beep(kTransferBeepHz, kFailureBeepMs);
        ShowTransferMessage(kaptiv::text::LocalizedText(kTextError), kMessageMs);
        if (m_host)
            m_host->ShowMessage(kaptiv::text::LocalizedText(kTextError));
    }
    if (m_transfer && m_transfer->IsCreated())
        m_transfer->Show(false);
    m_busy = false;
    UpdateAddButton(); // held off while the transfer ran
}

// Delete -------------------------------------------------------------------------------------

void StreamingFiles::DeleteFile() {
    if (!m_host || m_busy)
        return;
    const int position = m_page.Item(m_ids.fileList).SelectedItem();
    const std::u32string* selected = FileAt(position);
    if (!selected)
        return;
    const std::u32string name = *selected;
    std::string bytes;
    ToModuleBytes(name, bytes); // names of the list are 8-bit already
    const ShellText command = DeleteCommand(bytes);
    if (!command.Ok() || !UsableAt(position)) {
        Refuse(command.Ok() ? *NameProblem(bytes) : command.problem);
        return;
    }
    // The module stops playing the file before it goes; unless it has been told so, the file
    // stays.
    const Schedule before = m_host->ScheduleValues();
    const RemoveResult removed = RemoveNamed(m_host->ScheduleValues(), name);
    if (removed.removed > 0) {
        ApplyPassThrough(removed.passThrough);
        if (!WriteScheduleOrRestore(before, removed.passThrough,
                                    static_cast<int>(text::ToolText::DeleteScheduleNotWritten), name))
            return;
    }
    if (m_files->ExecuteText(command.text))
        m_files->ExecuteText(kSyncCommand);
    RefillFileList(true);
}

// Log ----------------------------------------------------------------------------------------

bool StreamingFiles::DownloadFile(const std::string& modulePath, const std::string& localPath) {
    if (!m_files)
        return false;
    if (!m_busy)
        MarkTransferStart();
    ModuleFiles& files = *m_files;
    // Nothing appears under the local name before the whole file is there: a failed, stopped
    // or cut download leaves no file that could pass for the module's whole log.
    platform::AtomicFileWriter local;
    if (!local.Open(localPath))
        return false;
    const int64_t size = files.OpenByName(modulePath);
    if (size <= 0 || size > kMaxModuleFileBytes) // not positive as the module counts
        return false;
    ShowTransferMessage(kaptiv::text::LocalizedText(kTextLoading), kMessageMs);
    if (m_transfer)
        m_transfer->Start(size);
    const uint64_t generation = m_generation;
    bool ok = true;
    std::vector<uint8_t> bytes;
    for (int64_t offset = 0; offset < size && ok; offset += kDownloadBlock) {
        const auto count = static_cast<uint16_t>(std::min<int64_t>(kDownloadBlock, size - offset));
        ok = files.ReadBlock(count, bytes) && bytes.size() >= count;
        if (m_transfer && StillOpen(generation))
            m_transfer->Progress(offset + count);
        if (ok)
            ok = bool(local.Write({bytes.data(), count}));
        if (ok && CancelRequested(generation))
            ok = false; // Escape or the page closed
    }
    files.CloseLong();
    if (m_transfer && m_transfer->IsCreated())
        m_transfer->Show(false);
    return ok && local.Commit();
}

void StreamingFiles::FetchLog() {
    if (!m_host || m_busy)
        return;
    m_busy = true;
    MarkTransferStart();
    ModuleFiles& files = *m_files;
    files.SetMode(kLogHold);
    const std::string local =
        LogFileName(m_programFolder, m_address, m_page.Windows().GetClock().LocalTime());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(local).parent_path(), ec);
    files.ExecuteText(kTouchLogCommand);
    files.ExecuteText(kJoinLogCommand);
    const bool ok = !ec && DownloadFile(kJoinedLogPath, local);
    if (ok) {
        m_page.Windows().MessageBox(kLogsSaved + local);
    } else {
        Beep(kWarningBeepHz, kWarningBeepMs);
        const std::string text =
            kaptiv::text::FormatToolText(kaptiv::text::ToolText::LogFetchFailed, {local});
        m_messages.push_back(text);
        if (m_host)
            m_host->ShowMessage(text);
    }
    files.SetMode(kLogRelease);
    files.SetMode(kLogOn);
    m_busy = false;
    UpdateAddButton();
}

void StreamingFiles::LogOn() {
    if (m_files && !m_busy)
        m_files->SetMode(kLogOn);
}

void StreamingFiles::LogOff() {
    if (!m_files || m_busy)
        return;
    m_files->SetMode(kLogHold);
    m_files->SetMode(kLogRelease);
}

// Schedule -----------------------------------------------------------------------------------

void StreamingFiles::UpdateAddButton() {
    if (!m_host) {
        m_page.Item(m_ids.add).Enable(false);
        return;
    }
    const Schedule& schedule = m_host->ScheduleValues();
    const ui::Control& list = m_page.Item(m_ids.fileList);
    const auto s = uint32_t(m_page.Item(m_ids.start).MinutesOfDay());
    const auto e = uint32_t(m_page.Item(m_ids.end).MinutesOfDay());
    const int p = list.SelectedItem();
    // A name the tool cannot pass on is not scheduled either: the module would play it by name.
    const bool enable = schedule.size() < settings::kMaxScheduleEntries && !list.Items().empty() && p >= 0 &&
                        (FileAt(p) == nullptr || UsableAt(p)) && WindowValid(schedule, s, e);
    m_page.Item(m_ids.add).Enable(enable && !m_busy);
}

void StreamingFiles::UpdateRemoveButton() {
    m_page.Item(m_ids.removeEntries)
        .Enable(m_host && !m_page.Item(m_ids.scheduleList).SelectedRows().empty());
}

void StreamingFiles::RefreshSchedule() {
    if (!m_host)
        return;
    FillScheduleList(m_page.Item(m_ids.scheduleList), m_host->ScheduleValues());
    m_host->ScheduleShown();
    UpdateAddButton();
    UpdateRemoveButton();
}

void StreamingFiles::ApplyPassThrough(PassThroughChange change) {
    if (change == PassThroughChange::Add)
        m_host->PassThrough(true);
    else if (change == PassThroughChange::Remove)
        m_host->PassThrough(false);
}

void StreamingFiles::AddScheduleEntry() {
    if (!m_host || m_busy)
        return;
    const ui::Control& list = m_page.Item(m_ids.fileList);
    const int p = list.SelectedItem();
    if (p < 0 || p >= int(list.Items().size()))
        return;
    const auto s = uint32_t(m_page.Item(m_ids.start).MinutesOfDay());
    const auto e = uint32_t(m_page.Item(m_ids.end).MinutesOfDay());
    Schedule& schedule = m_host->ScheduleValues();
    if (!WindowValid(schedule, s, e))
        return;
    int port = 0;
    const std::u32string* file = FileAt(p);
    if (file && !UsableAt(p))
        return;
    std::u32string name;
    if (file) {
        name = *file;
    } else {
        const auto value = ui::DdxInteger(m_page, m_ids.port, 0, kMaxPort);
        if (!value)
            return;
        port = *value;
        name = EntryName(list.Items()[size_t(p)], port);
    }
    const AddResult added = AddEntry(schedule, s, e, std::move(name));
    if (!added.added)
        return;
    ApplyPassThrough(added.passThrough);
    RefreshSchedule();
    m_host->MarkInputChanged();
}

void StreamingFiles::RemoveScheduleEntries() {
    if (!m_host || m_busy)
        return;
    const RemoveResult removed =
        RemoveRows(m_host->ScheduleValues(), m_page.Item(m_ids.scheduleList).SelectedRows());
    if (removed.removed == 0)
        return;
    ApplyPassThrough(removed.passThrough);
    // The rows that held the removed entries are gone: nothing stays selected.
    ui::Control& list = m_page.Item(m_ids.scheduleList);
    for (int row = 0; row < list.RowCount(); ++row)
        list.SelectRow(row, false);
    RefreshSchedule();
    m_host->MarkInputChanged();
}

} // namespace kaptiv::streaming
