#pragma once
// The IP streamer panel of the settings page (output type 13): DHCP and SAP, the module's
// address, mask and gateway (disabled while DHCP is on), MAC, protocol, TTL, QoS, the stream
// table with its used/unused colouring and the measured rate.
#include "editor/PageFields.h"
#include "editor/PageStatus.h"
#include "settings/IpStreamerBlock.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kaptiv::editor {

class ServiceTable;

class StreamerView {
public:
    StreamerView(ui::Dialog& page, PageFields& fields) : m_page(page), m_fields(fields) {}

    void Build();
    void Open(std::optional<uint8_t> outputType);
    std::string Decode(std::span<const uint8_t> block);
    void ShowValues();
    bool ReadBack();
    std::optional<FieldMarks> OnEditChange(int controlId);
    std::optional<FieldMarks> OnSelChange(int controlId);
    std::optional<FieldMarks> OnCheckChange(int controlId);
    // The stream table's colours follow the routing the service table holds now.
    void RefreshStreamTable(const ServiceTable& table);
    // An edited stream cell: true (output changed) when stored.
    bool EndStreamEdit(int row, int column, const std::optional<std::string>& text,
                       const ServiceTable& table);

    void ShowStatus(const StreamerStatus& status, ServiceTable& table);
    void HideRates();
    const std::string& RateText() const;

    bool Active() const { return m_active; }
    const settings::IpStreamerValues& Values() const { return m_values; }
    settings::IpStreamerValues& Values() { return m_values; }

private:
    // DHCP on: the twelve address fields are disabled (their stored values are still written).
    void RefreshAddressFields();

    ui::Dialog& m_page;
    PageFields& m_fields;
    bool m_active = false;
    settings::IpStreamerValues m_values;
};

} // namespace kaptiv::editor
