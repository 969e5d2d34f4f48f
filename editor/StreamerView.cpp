#include "editor/StreamerView.h"

#include "editor/ServiceTable.h"
#include "platform/ModuleType.h"
#include "resources/SettingsIds.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {
const std::vector<std::string> kProtocolTexts = {"UDP", "RTP"};
constexpr int kMaxByte = 255;
constexpr int kAddressBytes = 4;
constexpr int kMacBytes = 6;
constexpr int kStreams = 16;
constexpr int kBarMaxKbps = 100000;

bool InRange(int id, int first, int count) {
    return id >= first && id < first + count;
}

bool IsAddressField(int id) {
    return InRange(id, kIpAddress, kAddressBytes) || InRange(id, kIpMask, kAddressBytes) ||
           InRange(id, kIpGateway, kAddressBytes);
}
} // namespace

void StreamerView::Build() {
    m_page.Item(kProtocol).SetItems(kProtocolTexts);
    m_page.Item(kQos).SetItems({st::kQosTexts.begin(), st::kQosTexts.end()});
    m_page.Item(kStreamerRate).SetTextColor(ui::Color{0x80, 0x80, 0x80});
    for (int i = 0; i < kStreams; ++i)
        m_page.Item(kStreamLetter + i).SetTextColor(ui::Color{0xFF, 0xFF, 0xFF});
}

void StreamerView::Open(std::optional<uint8_t> outputType) {
    m_active = outputType == type::kIpStreamer;
    m_values = {};
    m_page.Item(kStreamerRate).SetText("");
    for (int id = kDhcp; id <= kQos; ++id)
        m_page.Item(id).Show(m_active);
    for (int i = 0; i < kMacBytes; ++i)
        m_page.Item(kMac + i).Show(m_active);
    m_page.Item(kMacLabel).Show(m_active);
    for (int id : {kStreamTable, kStreamerRate, kStreamerBar, kStreamLetterStrip})
        m_page.Item(id).Show(m_active);
    for (int i = 0; i < kStreams; ++i)
        m_page.Item(kStreamLetter + i).Show(m_active);
}

std::string StreamerView::Decode(std::span<const uint8_t> block) {
    if (!m_active)
        return {};
    auto decoded = st::DecodeIpStreamerBlock(block);
    if (!decoded.Ok())
        return decoded.error;
    m_values = std::move(decoded.values);
    return {};
}

void StreamerView::ShowValues() {
    if (!m_active)
        return;
    const st::IpStreamerValues& s = m_values;
    m_page.Item(kDhcp).SetCheck(s.dhcp);
    m_page.Item(kSap).SetCheck(s.sap);
    for (int i = 0; i < kAddressBytes; ++i) {
        m_fields.SetNumber(kIpAddress + i, s.address[i]);
        m_fields.SetNumber(kIpMask + i, s.mask[i]);
        m_fields.SetNumber(kIpGateway + i, s.gateway[i]);
    }
    for (int i = 0; i < kMacBytes; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", s.mac[i]);
        m_page.Item(kMac + i).SetText(hex);
    }
    m_page.Item(kProtocol).SetSelectedItem(s.protocol);
    m_fields.SetNumber(kTtl, s.ttl);
    m_page.Item(kQos).SetSelectedItem(static_cast<int>(s.qos));
    stream_table::SetUpColumns(m_page.Item(kStreamTable));
    stream_table::Fill(m_page.Item(kStreamTable), s);
    RefreshAddressFields();
}

void StreamerView::RefreshAddressFields() {
    const bool manual = !m_page.Item(kDhcp).IsChecked();
    for (int i = 0; i < kAddressBytes; ++i)
        for (int first : {kIpAddress, kIpMask, kIpGateway})
            m_page.Item(first + i).Enable(manual);
}

bool StreamerView::ReadBack() {
    if (!m_active)
        return true;
    st::IpStreamerValues v = m_values;
    v.dhcp = m_page.Item(kDhcp).IsChecked();
    v.sap = m_page.Item(kSap).IsChecked();
    // Disabled while DHCP is on: the stored address goes back as it is.
    if (!v.dhcp) {
        for (int i = 0; i < kAddressBytes; ++i) {
            for (auto [first, target] : {std::pair{kIpAddress, &v.address}, std::pair{kIpMask, &v.mask},
                                         std::pair{kIpGateway, &v.gateway}}) {
                auto byte = m_fields.Integer(first + i, 0, kMaxByte);
                if (!byte)
                    return false;
                (*target)[i] = uint8_t(*byte);
            }
        }
    }
    for (int i = 0; i < kMacBytes; ++i)
        v.mac[i] = st::MacByteFromText(m_page.Item(kMac + i).Text());
    if (int i = m_page.Item(kProtocol).SelectedItem(); i >= 0)
        v.protocol = uint8_t(i);
    auto ttl = m_fields.Integer(kTtl, 0, kMaxByte);
    if (!ttl)
        return false;
    v.ttl = uint8_t(*ttl);
    if (int i = m_page.Item(kQos).SelectedItem(); i >= 0)
        v.qos = static_cast<st::QosChoice>(i);
    m_values = std::move(v);
    return true;
}

std::optional<FieldMarks> StreamerView::OnEditChange(int controlId) {
    if (IsAddressField(controlId) || InRange(controlId, kMac, kMacBytes) || controlId == kTtl)
        return kOutputOnly;
    return std::nullopt;
}

std::optional<FieldMarks> StreamerView::OnSelChange(int controlId) {
    if (controlId == kProtocol || controlId == kQos)
        return kOutputOnly;
    return std::nullopt;
}

std::optional<FieldMarks> StreamerView::OnCheckChange(int controlId) {
    if (controlId == kDhcp) {
        RefreshAddressFields();
        return kOutputOnly;
    }
    if (controlId == kSap)
        return kOutputOnly;
    return std::nullopt;
}

void StreamerView::RefreshStreamTable(const ServiceTable& table) {
    if (!m_active)
        return;
    st::IpStreamerValues routed = m_values;
    table.StoreOutput(routed);
    stream_table::Fill(m_page.Item(kStreamTable), routed);
}

bool StreamerView::EndStreamEdit(int row, int column, const std::optional<std::string>& text,
                                 const ServiceTable& table) {
    if (!m_active || !stream_table::EndEdit(m_values, row, column, text))
        return false;
    RefreshStreamTable(table);
    return true;
}

void StreamerView::ShowStatus(const StreamerStatus& status, ServiceTable& table) {
    if (status.total) {
        const uint32_t kbps = StreamerTotalKbps(*status.total, m_values.protocol);
        char text[48];
        std::snprintf(text, sizeof text, "%u kb/s", kbps);
        m_page.Item(kStreamerRate).SetText(text);
        m_page.Item(kStreamerRate).Show(true);
        m_page.Item(kStreamerBar).SetRange(0, kBarMaxKbps);
        m_page.Item(kStreamerBar).SetPosition(int(std::min<uint32_t>(kbps, kBarMaxKbps)));
        m_page.Item(kStreamerBar).Show(true);
    }
    for (const ServiceRate& rate : status.services)
        table.SetBitRate(rate.serviceId, rate.rateBps);
}

void StreamerView::HideRates() {
    m_page.Item(kStreamerRate).Show(false);
    m_page.Item(kStreamerBar).Show(false);
}

const std::string& StreamerView::RateText() const {
    return m_page.Item(kStreamerRate).Text();
}

} // namespace kaptiv::editor
