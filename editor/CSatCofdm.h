#pragma once
// CSatCofdm: the settings page of a chain (dialog 145). One modeless child of the main window
// that holds the panels of every module family; opening it for a chain shows the panels the
// chain's modules need, decodes their blocks and starts a one-second tick that reads the
// chain's status, refreshes the measures and writes back what the installer changed.
//
// The page keeps the life of an opening: open, the tick, the write, close, and the service
// table with its cell editor. One view per panel family shows, reads back and checks its own
// controls: TunerView, EncoderView, ModulatorView, StreamerView. Control handlers only record
// what changed (the marks); the tick acts on them: the views re-read their fields (a refused
// value keeps the focus in its field), the blocks are encoded three times with two rule passes
// of the service table between, the rack image sends the blocks that changed, then the chain's
// modulators are told to apply.
#include "editor/EncoderView.h"
#include "editor/ModulatorView.h"
#include "editor/PageFields.h"
#include "editor/PagePlayout.h"
#include "editor/PageStatus.h"
#include "editor/ServiceTable.h"
#include "editor/StreamerView.h"
#include "editor/TunerView.h"
#include "rack/ChainPage.h"
#include "ui/Dialog.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kaptiv::editor {

class CSatCofdm : public ui::Dialog, public rack::ChainPage {
public:
    static constexpr int kTickTimer = 1;
    // Clears the "Not identified service !" text kNotIdentifiedMs after it was shown.
    static constexpr int kMessageTimer = 2;
    static constexpr int64_t kFirstTickMs = 100;
    static constexpr int64_t kTickMs = 1000;
    // One lost status answer is not a silent module: the tick tries again this many times,
    // each a tick later than the one before, before the page stops until opened again.
    static constexpr int kStatusRetries = 3;
    static constexpr int kSatMinMHz = TunerView::kSatMinMHz;
    static constexpr int kSatMaxMHz = TunerView::kSatMaxMHz;
    static constexpr int kBeepHz = 880;
    static constexpr int kBeepMs = 200;
    // Extra panel views of the streaming tuners.
    static constexpr int kViewPlayout = TunerView::kViewPlayout;
    static constexpr int kViewServer = TunerView::kViewServer;
    static constexpr int kViewTunerLock = TunerView::kViewTunerLock;

    explicit CSatCofdm(ui::WindowSystem& windows);
    ~CSatCofdm() override;

    void SetAdvancedMode(bool on) { m_tunerView.SetAdvancedMode(on); }
    // The transfer window of the USB-key uploads and log downloads.
    void SetTransferWindow(rack::CDetachInfo* window) { m_playout.SetTransferWindow(window); }
    // The log of the open streaming tuner (the main window's log button).
    void FetchModuleLog() { m_playout.FetchLog(); }
    PagePlayout& Playout() { return m_playout; }
    // Once StartReportContribution was called, the hook runs at the first tick of each chain
    // the page opens; the installation report (report/CReport) sets it and writes the page's
    // section. Without a hook nothing is written.
    void SetReportHook(std::function<void(CSatCofdm&)> hook) { m_reportHook = std::move(hook); }
    void StartReportContribution() { m_reportPending = true; }

    // rack::ChainPage.
    ui::Dialog& Panel() override { return *this; }
    void OpenChain(rack::RackImage& image, link::CommandSet& commands, const rack::Chain& chain) override;
    void CloseChain() override;
    bool IsChainOpen() const override { return m_open; }
    bool IsTransferring() const override { return m_playout.Operations().Busy(); }

    // One tick of timer 1 (public for tests, which may also let the timer fire).
    void Tick();

    // State, for tests and the report writer.
    bool InputChanged() const { return m_inputChanged; }
    bool OutputChanged() const { return m_outputChanged; }
    bool ApplyNeeded() const { return m_applyNeeded; }
    bool Polling() const { return m_polling; }
    int ExtraView() const { return m_tunerView.ExtraView(); }
    const ServiceTable& Table() const { return m_table; }
    const settings::TunerValues& Tuner() const { return m_tunerView.Values(); }
    const settings::EncoderValues& Encoder() const { return m_encoderView.Encoder(); }
    const settings::HdEncoderValues& HdEncoder() const { return m_encoderView.Hd(); }
    const settings::ModulatorValues& Modulator() const { return m_modulatorView.Values(); }
    const settings::IpStreamerValues& Streamer() const { return m_streamerView.Values(); }
    uint8_t InputType() const { return m_inputType; }
    std::optional<uint8_t> OutputType() const { return m_outputType; }
    int ChannelCount() const { return m_channelCount; }
    // Whether the block of the chain's input, and of its output, decoded at this opening.
    bool InputDecoded() const { return m_inputDecoded; }
    bool OutputDecoded() const { return m_outputDecoded; }
    // The total rate the page shows for this chain's output ("" without output or answer).
    std::string TotalRateText() const;
    // The USB-key byte of the last status answer (the file operations use it).
    std::optional<uint8_t> UsbKeyState() const { return m_lastUsbKey; }
    // The reason of the last refused encoding, empty when the last write went through.
    const std::string& WriteProblem() const { return m_writeProblem; }
    // Whether a module answered the last write negatively or not at all (its block is sent
    // again at the next write).
    bool LastWriteFailed() const { return m_lastWriteFailed; }
    // The cell editor open on a list of the page (the service table or the stream table).
    std::optional<ui::CellEdit> OpenCellEdit(int listId) const;

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnClick(int controlId) override;
    void OnDoubleClick(int controlId, ui::ListHit hit) override;
    void OnSelChange(int controlId) override;
    void OnEditChange(int controlId) override;
    void OnCheckChange(int controlId) override;
    void OnScroll(int controlId, int position) override;
    void OnTimeChange(int controlId) override;
    void OnEndLabelEdit(int controlId, ui::ListHit cell, const std::optional<std::string>& text) override;
    // Enter and Escape do not hide a child page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    friend class PagePlayout;
    // The service table's cell being edited: its service, not its row, so that a rebuild
    // that moves or drops the service ends the edit instead of writing to another one.
    struct ServiceCellEdit {
        uint16_t serviceId = 0;
        int column = 0;
    };

    void Build();
    void ShowOutputGroup();
    void DecodeBlocks();
    void ShowValues();
    void LoadTable();
    void RebuildTable();
    void FillServiceList();
    bool ReadFields();
    void Write();
    void ReadServiceList();
    void ReadInputBlock();
    bool InputStatus();
    void OutputStatus();
    void HideRates();
    void DrawRateGraph();
    void RefreshWarnings();
    void Mark(bool input, bool apply, bool encoder, bool output);
    void Mark(const FieldMarks& marks) { Mark(marks.input, marks.apply, marks.encoder, marks.output); }
    void ShowPageMessage(const std::string& text);
    void ShowNotIdentified();

    bool IsStreamingTuner() const { return m_tunerView.IsStreaming(); }
    bool HasOutput() const { return m_outputType.has_value(); }

    rack::RackImage* m_image = nullptr;
    link::CommandSet* m_commands = nullptr;
    rack::Chain m_chain;
    uint8_t m_inputType = 0;
    std::optional<uint8_t> m_outputType;
    int m_ciCount = 0;
    int m_channelCount = 0;
    int m_inputLists = 1;

    ServiceTable m_table;
    std::optional<ServiceCellEdit> m_cellEdit;

    // A block its codec refused is never written back: the page would replace what the module
    // holds with defaults.
    bool m_inputDecoded = true;
    bool m_outputDecoded = true;
    bool m_open = false;
    bool m_polling = false;
    bool m_inTick = false;
    int m_failedStatusReads = 0; // in a row
    bool m_inputChanged = false;
    bool m_outputChanged = false;
    bool m_applyNeeded = false;
    bool m_encoderChanged = false;
    std::optional<uint8_t> m_lastUsbKey;
    std::optional<uint8_t> m_lastChangeIndicator;
    std::optional<uint8_t> m_lastListIndicator;
    std::string m_writeProblem;
    bool m_lastWriteFailed = false;
    bool m_reportPending = false;
    bool m_reportDone = false;
    std::function<void(CSatCofdm&)> m_reportHook;
    PagePlayout m_playout{*this};
    PageFields m_fields{*this};
    TunerView m_tunerView{*this, m_fields, m_playout};
    EncoderView m_encoderView{*this, m_fields};
    ModulatorView m_modulatorView{*this, m_fields};
    StreamerView m_streamerView{*this, m_fields};
};

} // namespace kaptiv::editor
