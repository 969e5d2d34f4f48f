#pragma once
// The modulator panel of the settings page (output types 2, 5, 6, 8, 11): the radio settings,
// the network table fields, the channel frequencies and the measured rates of each channel.
#include "editor/PageFields.h"
#include "editor/PageStatus.h"
#include "settings/ModulatorValues.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kaptiv::editor {

class ServiceTable;

class ModulatorView {
public:
    ModulatorView(ui::Dialog& page, PageFields& fields) : m_page(page), m_fields(fields) {}

    void Build();
    // A chain opens: its output type, or nothing (the panel then hides).
    void Open(std::optional<uint8_t> outputType, int channelCount);
    std::string Decode(std::span<const uint8_t> block);
    void ShowValues();
    bool ReadBack();
    void RefreshWarnings();
    void RefreshChannelFrequencies();
    std::optional<FieldMarks> OnEditChange(int controlId);
    std::optional<FieldMarks> OnSelChange(int controlId);
    std::optional<FieldMarks> OnCheckChange(int controlId);
    std::optional<FieldMarks> OnScroll(int controlId);

    // A status answer: the channels' rates and the total; the services' rates go to the table.
    void ShowStatus(const ModulatorStatus& status, ServiceTable& table);
    // No answer: the rate displays hide.
    void HideRates();
    // The total rate as the page shows it for this chain ("" before the first answer).
    const std::string& TotalRateText() const;

    bool Active() const { return m_active; }
    const settings::ModulatorValues& Values() const { return m_values; }
    settings::ModulatorValues& Values() { return m_values; }

private:
    void ShowPanel();
    void BandwidthChanged();
    void RefreshLevelText();
    bool IsQam() const;

    ui::Dialog& m_page;
    PageFields& m_fields;
    std::optional<uint8_t> m_type;
    bool m_active = false;
    int m_channelCount = 0;
    settings::ModulatorValues m_values;
};

} // namespace kaptiv::editor
