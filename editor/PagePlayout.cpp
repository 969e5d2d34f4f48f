#include "editor/PagePlayout.h"

#include "editor/CSatCofdm.h"
#include "editor/ChainRules.h"
#include "resources/SettingsIds.h"

namespace kaptiv::editor {

using namespace resources::page;

namespace {
constexpr int kMaxServiceId = 65535;

streaming::PlayoutControls Controls() {
    streaming::PlayoutControls c;
    c.fileList = kFileList;
    c.upload = kFileUpload;
    c.remove = kFileDelete;
    c.port = kStreamPort;
    c.start = kScheduleStart;
    c.end = kScheduleEnd;
    c.add = kScheduleAdd;
    c.removeEntries = kScheduleRemove;
    c.scheduleList = kScheduleList;
    return c;
}
} // namespace

PagePlayout::PagePlayout(CSatCofdm& page) : m_page(page), m_operations(page, Controls()) {}

PagePlayout::~PagePlayout() = default;

void PagePlayout::Build() {
    for (int id : {kScheduleAdd, kScheduleRemove, kFileUpload, kFileDelete, kStreamPort})
        m_page.Item(id).Enable(false);
}

void PagePlayout::Open() {
    if (!m_page.IsStreamingTuner() || !m_page.m_image || !m_page.m_commands)
        return;
    const rack::ModuleRecord& input = m_page.m_image->Live(m_page.m_chain.input);
    if (m_operations.Busy() && m_module)
        m_retired.push_back(std::move(m_module));
    else
        m_retired.clear();
    m_module = std::make_unique<streaming::CommandSetFiles>(*m_page.m_commands, input.address);
    m_operations.Open(*this, *m_module, input.type, input.address, m_page.m_image->applicationFolder);
}

void PagePlayout::Close() {
    // A transfer still running holds the module until its next block, where it ends.
    m_operations.Close();
}

void PagePlayout::ShowView(bool playout, bool server) {
    for (int id : {kFileDelete, kStreamPort})
        m_page.Item(id).Show(playout);
    for (int id : {kLogLabel, kLogOn, kLogGet, kLogOff})
        m_page.Item(id).Show(server);
}

void PagePlayout::UsbKeyState(std::optional<uint8_t> last, uint8_t now) {
    if (!last || *last != now)
        m_operations.RefillFileList(now != 0);
}

bool PagePlayout::OnClick(int controlId) {
    if (!m_operations.IsOpen())
        return false;
    switch (controlId) {
    case kFileUpload:
        m_operations.UploadFiles();
        return true;
    case kFileDelete:
        m_operations.DeleteFile();
        return true;
    case kScheduleAdd:
        m_operations.AddScheduleEntry();
        return true;
    case kScheduleRemove:
        m_operations.RemoveScheduleEntries();
        return true;
    case kScheduleList:
        m_operations.UpdateRemoveButton();
        return true;
    case kLogOn:
        m_operations.LogOn();
        return true;
    case kLogGet:
        m_operations.FetchLog();
        return true;
    case kLogOff:
        m_operations.LogOff();
        return true;
    default:
        return false;
    }
}

bool PagePlayout::OnEditChange(int controlId) {
    if (controlId != kStreamPort)
        return false;
    // A number field: anything but digits empties it and an empty field shows 0, while typing.
    // The port is read when a stream entry is added, not written with the tick.
    m_page.m_fields.Sanitise(kStreamPort);
    return true;
}

bool PagePlayout::OnSelChange(int controlId) {
    if (!m_operations.IsOpen())
        return false;
    if (controlId == kFileList) {
        m_operations.FileSelectionChanged();
        return true;
    }
    if (controlId == kScheduleList) {
        m_operations.UpdateRemoveButton();
        return true;
    }
    return false;
}

bool PagePlayout::OnTimeChange(int controlId) {
    if (!m_operations.IsOpen() || (controlId != kScheduleStart && controlId != kScheduleEnd))
        return false;
    m_operations.UpdateAddButton();
    return true;
}

streaming::Schedule& PagePlayout::ScheduleValues() {
    return m_page.m_tunerView.Values().schedule;
}

bool PagePlayout::WriteSettings() {
    if (!m_page.m_open)
        return false;
    m_page.Write();
    // Written when the blocks could be encoded and every module answered its write positively.
    return m_page.WriteProblem().empty() && !m_page.LastWriteFailed() &&
           !m_page.m_commands->Xmit().IsLinkLost();
}

void PagePlayout::MarkInputChanged() {
    m_page.Mark(true, false, false, false);
}

void PagePlayout::PassThrough(bool add) {
    // The id the installer sees in its field, even before the next tick has read it.
    if (const auto id = m_page.m_fields.Integer(kStreamSid, 0, kMaxServiceId))
        m_page.m_tunerView.Values().streamingServiceId = static_cast<uint16_t>(*id);
    ApplyPassThrough(*m_page.m_image, m_page.m_chain.input, m_page.m_tunerView.Values().streamingServiceId,
                     add);
}

void PagePlayout::ScheduleShown() {
    m_page.m_table.SetStreaming(m_page.m_tunerView.Values().streamingServiceId,
                                m_page.m_tunerView.Values().streamedName,
                                !m_page.m_tunerView.Values().schedule.empty());
    m_page.RebuildTable();
}

void PagePlayout::ShowMessage(const std::string& text) {
    m_page.ShowPageMessage(text);
}

} // namespace kaptiv::editor
