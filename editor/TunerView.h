#pragma once
// The tuner panels of the settings page: satellite inputs A and B (types 1, 4, 7, 10), the
// terrestrial and cable inputs (type 12) and the extra panel of the streaming tuners (7, 10,
// 12) with its play-out, remote-server and tuner-lock views. The view shows the decoded
// values, reads back and checks only the controls the installer can reach for the type (a
// value behind a panel that never shows is written back as decoded) and keeps the measures.
#include "editor/PageFields.h"
#include "editor/PageStatus.h"
#include "settings/TunerBlock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kaptiv::editor {

class PagePlayout;

class TunerView {
public:
    // Extra panel views of the streaming tuners.
    static constexpr int kViewPlayout = 0;
    static constexpr int kViewServer = 1;
    static constexpr int kViewTunerLock = 2;
    static constexpr int kSatMinMHz = 10700;
    static constexpr int kSatMaxMHz = 12750;

    TunerView(ui::Dialog& page, PageFields& fields, PagePlayout& playout);

    void Build();
    // Advanced mode adds the tuner-lock view.
    void SetAdvancedMode(bool on) { m_advancedMode = on; }
    // A chain opens with an input of `type` (any family: the tuner panels hide for the others).
    void Open(uint8_t type);
    // The decode's problem, empty when the block decoded (the values then hold it).
    std::string Decode(std::span<const uint8_t> block);
    void ShowValues();
    // Reads back the reachable controls; false (message shown, focus in the field) on a refusal.
    bool ReadBack();
    void RefreshWarnings();
    // The streaming fields are editable only while the schedule is empty, the name only for a
    // streaming service of unknown or own ("D") source.
    void EnableStreamingFields(bool scheduleEmpty, uint8_t streamingSource);

    // Control events; nothing when the control is not one of this view's.
    std::optional<FieldMarks> OnEditChange(int controlId);
    std::optional<FieldMarks> OnSelChange(int controlId);
    std::optional<FieldMarks> OnCheckChange(int controlId);
    std::optional<FieldMarks> OnScroll(int controlId, int position);
    bool OnClick(int controlId);
    // Before a refusal of one of its fields: the extra panel's view holding it comes up.
    void BringUpField(int controlId);

    // Level, quality and lock of each input from a status answer; true when a lock changed.
    bool ShowMeasures(const TunerStatus& status);
    // The lock value of input k (-1 before the first answer).
    int LastLock(size_t k) const { return k < m_lastLock.size() ? m_lastLock[k] : -1; }

    bool IsStreaming() const;
    int ExtraView() const { return m_extraView; }
    const settings::TunerValues& Values() const { return m_values; }
    settings::TunerValues& Values() { return m_values; }
    const settings::TunerChecks& Checks() const { return m_checks; }

private:
    void ShowPanels();
    void ShowExtraView();
    void RefreshPlayoutText();
    void RefreshTerrestrialBandwidth();
    bool Satellite() const;
    bool HasSelector() const;
    bool Reachable(int view) const;
    int ViewOfField(int controlId) const;

    ui::Dialog& m_page;
    PageFields& m_fields;
    PagePlayout& m_playout;
    uint8_t m_type = 0;
    bool m_advancedMode = false;
    int m_extraView = kViewPlayout;
    settings::TunerValues m_values;
    settings::TunerChecks m_checks;
    std::array<int, 2> m_lastLock{-1, -1};
};

} // namespace kaptiv::editor
