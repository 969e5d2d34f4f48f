#pragma once
// The play-out part of the settings page of a streaming tuner (types 7, 10, 12): it hands the
// page's controls and schedule to the file, schedule and log operations and forwards the
// installer's events on those controls. The page calls it from a few places only.
#include "streaming/StreamingFiles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kaptiv::rack {
class CDetachInfo;
}

namespace kaptiv::editor {

class CSatCofdm;

class PagePlayout final : public streaming::StreamingHost {
public:
    explicit PagePlayout(CSatCofdm& page);
    ~PagePlayout() override;

    void SetTransferWindow(rack::CDetachInfo* window) { m_operations.SetTransferWindow(window); }
    // Page built: the controls wait for a streaming tuner.
    void Build();
    // The page opened (after its values are shown) or closes.
    void Open();
    void Close();
    // Visibility of the controls this part adds, by the extra panel's view.
    void ShowView(bool playout, bool server);
    // Every status answer's USB-key byte: a change refills the file list.
    void UsbKeyState(std::optional<uint8_t> last, uint8_t now);
    // Installer events on the play-out controls; true when handled here.
    bool OnClick(int controlId);
    bool OnSelChange(int controlId);
    bool OnEditChange(int controlId);
    bool OnTimeChange(int controlId);
    // The main window's log button.
    void FetchLog() { m_operations.FetchLog(); }

    streaming::StreamingFiles& Operations() { return m_operations; }
    const streaming::StreamingFiles& Operations() const { return m_operations; }

    // streaming::StreamingHost.
    streaming::Schedule& ScheduleValues() override;
    bool WriteSettings() override;
    void MarkInputChanged() override;
    void PassThrough(bool add) override;
    void ScheduleShown() override;
    void ShowMessage(const std::string& text) override;

private:
    CSatCofdm& m_page;
    streaming::StreamingFiles m_operations;
    std::unique_ptr<streaming::CommandSetFiles> m_module;
    // Modules of a page closed while their transfer ran: kept until that transfer has ended.
    std::vector<std::unique_ptr<streaming::CommandSetFiles>> m_retired;
};

} // namespace kaptiv::editor
