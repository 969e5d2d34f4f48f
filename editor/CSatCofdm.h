#pragma once
// CSatCofdm: the settings page of a chain (dialog 145). One modeless child of the main window
// that holds the panels of every module family; opening it for a chain shows the panels the
// chain's modules need, decodes their blocks and starts a one-second tick that reads the
// chain's status, refreshes the measures and writes back what the installer changed.
//
// Control handlers only record what changed (the marks); the tick acts on them: it re-reads
// the page's fields (refusing values outside their limits, with the focus put back on the
// field), encodes the blocks three times with two rule passes of the service table between,
// lets the rack image send the blocks that changed, then tells the chain's modulators to apply.
#include "editor/PagePlayout.h"
#include "editor/PageStatus.h"
#include "editor/ServiceTable.h"
#include "rack/ChainPage.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorValues.h"
#include "settings/TunerBlock.h"
#include "ui/Dialog.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kaptiv::editor {

class CSatCofdm : public ui::Dialog, public rack::ChainPage {
public:
    static constexpr int kTickTimer = 1;
    static constexpr int64_t kFirstTickMs = 100;
    static constexpr int64_t kTickMs = 1000;
    static constexpr int kSatMinMHz = 10700;
    static constexpr int kSatMaxMHz = 12750;
    static constexpr int kBeepHz = 880;
    static constexpr int kBeepMs = 200;
    // Extra panel views of the streaming tuners.
    static constexpr int kViewPlayout = 0;
    static constexpr int kViewServer = 1;
    static constexpr int kViewTunerLock = 2;

    explicit CSatCofdm(ui::WindowSystem& windows);
    ~CSatCofdm() override;

    void SetAdvancedMode(bool on) { m_advancedMode = on; }
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

    // One tick of timer 1 (public for tests, which may also let the timer fire).
    void Tick();

    // State, for tests and the report writer.
    bool InputChanged() const { return m_inputChanged; }
    bool OutputChanged() const { return m_outputChanged; }
    bool ApplyNeeded() const { return m_applyNeeded; }
    bool Polling() const { return m_polling; }
    int ExtraView() const { return m_extraView; }
    const ServiceTable& Table() const { return m_table; }
    const settings::TunerValues& Tuner() const { return m_tuner; }
    const settings::EncoderValues& Encoder() const { return m_encoder; }
    const settings::HdEncoderValues& HdEncoder() const { return m_hd; }
    const settings::ModulatorValues& Modulator() const { return m_modulator; }
    const settings::IpStreamerValues& Streamer() const { return m_streamer; }
    uint8_t InputType() const { return m_inputType; }
    std::optional<uint8_t> OutputType() const { return m_outputType; }
    int ChannelCount() const { return m_channelCount; }
    // The USB-key byte of the last status answer (the file operations use it).
    std::optional<uint8_t> UsbKeyState() const { return m_lastUsbKey; }
    // The reason of the last refused encoding, empty when the last write went through.
    const std::string& WriteProblem() const { return m_writeProblem; }
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
    void Build();
    void ShowPanels();
    void ShowExtraView();
    void FillLists();
    void DecodeBlocks();
    void ShowValues();
    void ShowInputValues();
    void ShowOutputValues();
    void LoadTable();
    void RebuildTable();
    bool ReadFields();
    bool ReadInputFields();
    bool ReadOutputFields();
    void Write();
    void ReadServiceList();
    void ReadInputBlock();
    bool InputStatus();
    void OutputStatus();
    void HideRates();
    void DrawRateGraph();
    void RefreshChannelFrequencies();
    void RefreshWarnings();
    void RefreshLevelText();
    void RefreshPlayoutText();
    void RefreshTerrestrialBandwidth();
    void BandwidthChanged();
    void Mark(bool input, bool apply, bool encoder, bool output);
    void ShowPageMessage(const std::string& text);
    void BeginCellEdit(int listId, ui::ListHit cell, const std::string& text);

    // Field reading helpers: nothing (and the range message, focus on the field) when out of range.
    std::optional<int> Integer(int controlId, int min, int max);
    std::optional<std::u32string> Text(int controlId, size_t maxChars);
    uint32_t Number(int controlId); // sanitised numeric field, no limit
    void Sanitise(int controlId);
    void SetNumber(int controlId, long long value);
    void ShowBar(int barId, int textId, int value);
    // The fields an SD and an HD encoder channel share (name, service id, video rate, audio),
    // between the controls from `base` on and the channel.
    template <class Channel> bool ReadEncoderChannel(int base, int videoMax, Channel& channel);
    template <class Channel> void ShowEncoderChannel(int base, const Channel& channel);

    bool IsStreamingTuner() const;
    bool HasOutput() const { return m_outputType.has_value(); }

    rack::RackImage* m_image = nullptr;
    link::CommandSet* m_commands = nullptr;
    rack::Chain m_chain;
    uint8_t m_inputType = 0;
    std::optional<uint8_t> m_outputType;
    int m_ciCount = 0;
    int m_channelCount = 0;
    int m_inputLists = 1;

    settings::TunerValues m_tuner;
    settings::EncoderValues m_encoder;
    settings::HdEncoderValues m_hd;
    settings::ModulatorValues m_modulator;
    settings::IpStreamerValues m_streamer;
    ServiceTable m_table;

    // A block its codec refused is never written back: the page would replace what the module
    // holds with defaults.
    bool m_inputDecoded = true;
    bool m_outputDecoded = true;
    bool m_open = false;
    bool m_polling = false;
    bool m_inTick = false;
    bool m_inputChanged = false;
    bool m_outputChanged = false;
    bool m_applyNeeded = false;
    bool m_encoderChanged = false;
    bool m_advancedMode = false;
    int m_extraView = kViewPlayout;
    std::array<int, 2> m_lastLock{-1, -1};
    std::optional<uint8_t> m_lastUsbKey;
    std::optional<uint8_t> m_lastChangeIndicator;
    std::optional<uint8_t> m_lastListIndicator;
    std::string m_writeProblem;
    // The field and text of the last refusal: the message is not repeated every tick while
    // the installer has not touched the field.
    int m_refusedField = 0;
    std::string m_refusedText;
    bool m_reportPending = false;
    bool m_reportDone = false;
    std::function<void(CSatCofdm&)> m_reportHook;
    PagePlayout m_playout{*this};
};

} // namespace kaptiv::editor
