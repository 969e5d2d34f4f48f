#include "editor/ModulatorView.h"

#include "editor/ServiceTable.h"
#include "platform/ModuleType.h"
#include "resources/SettingsIds.h"
#include "settings/BlockText.h"
#include "settings/ModulatorBlock.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {
const std::vector<std::string> kFecTexts = {"1/2", "2/3", "3/4", "5/6", "7/8"};
const std::vector<std::string> kGuardTexts = {"1/32", "1/16", "1/8", "1/4"};
const std::vector<std::string> kBandwidthTexts = {"7 Mhz", "8 Mhz"};
const std::vector<std::string> kModeTexts = {"2K", "8K"};
const std::vector<std::string> kCofdmConstellations = {"QPSK", "QAM16", "QAM64"};
const std::vector<std::string> kQamConstellations = {"QAM16", "QAM32", "QAM64", "QAM128", "QAM256"};
const std::vector<std::string> kLcnTexts = {"EACEM", "ITC"};

constexpr int kMaxWord = 65535;
constexpr size_t kMaxNetworkNameChars = 30;
constexpr int kMaxChannels = 4;

std::string Kbps(long long value) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld kb/s", value);
    return text;
}
} // namespace

bool ModulatorView::IsQam() const {
    return m_type == type::kModC4 || m_type == type::kModC2;
}

void ModulatorView::Build() {
    m_page.Item(kOutputLevel).SetRange(10, 30);
    m_page.Item(kOutputLevel).SetTickFrequency(5);
    m_page.Item(kBandwidth).SetItems(kBandwidthTexts);
    m_page.Item(kGuard).SetItems(kGuardTexts);
    m_page.Item(kCodeRate).SetItems(kFecTexts);
    m_page.Item(kMode).SetItems(kModeTexts);
    m_page.Item(kLcnFlavour).SetItems(kLcnTexts);
    for (int k = 0; k < kMaxChannels; ++k)
        m_page.Item(kChannelBase + k * kChannelStride + kChanFrequency)
            .SetTextColor(ui::Color{0x80, 0x80, 0x80});
    m_page.Item(kTotalRate).SetTextColor(ui::Color{0x80, 0x80, 0x80});
}

void ModulatorView::Open(std::optional<uint8_t> outputType, int channelCount) {
    m_type = outputType;
    m_active = outputType && IsModulatorType(*outputType);
    m_channelCount = channelCount;
    m_values = {};
    m_page.Item(kConstellation).SetItems(IsQam() ? kQamConstellations : kCofdmConstellations);
    // The rates of the chain before are not this one's.
    for (int k = 0; k < kMaxChannels; ++k)
        m_page.Item(kChannelBase + k * kChannelStride + kChanRate).SetText("");
    m_page.Item(kTotalRate).SetText("");
    ShowPanel();
}

void ModulatorView::ShowPanel() {
    const bool modulator = m_active;
    for (int id : {kModFreqLabel,
                   kModFreq,
                   kBandwidthLabel,
                   kBandwidth,
                   kGuardLabel,
                   kGuard,
                   kCodeRateLabel,
                   kCodeRate,
                   kConstellationLabel,
                   kConstellation,
                   kOutputLevelLabel,
                   kOutputLevel,
                   kOutputLevelText,
                   kOnidLabel,
                   kOnid,
                   kNidLabel,
                   kNid,
                   kTsidLabel,
                   kTsid,
                   kNetworkNameLabel,
                   kNetworkName,
                   kVersionLabel,
                   kVersion,
                   kLcnLabel,
                   kLcnFlavour,
                   kRemoveCatEmm,
                   kModWatchdog,
                   kTotalRate})
        m_page.Item(id).Show(modulator);
    m_page.Item(kModeLabel).Show(modulator && m_channelCount == 1);
    m_page.Item(kMode).Show(modulator && m_channelCount == 1);
    m_page.Item(kModSymbolRateLabel).Show(modulator && IsQam());
    m_page.Item(kModSymbolRate).Show(modulator && IsQam());
    for (int k = 1; k <= kMaxChannels; ++k) {
        const int b = kChannelBase + (k - 1) * kChannelStride;
        const bool shown = modulator && k <= m_channelCount;
        m_page.Item(b + kChanLabel).Show(shown);
        m_page.Item(b + kChanFrequency).Show(shown && k >= 2);
        m_page.Item(b + kChanBar).Show(shown);
        m_page.Item(b + kChanRate).Show(shown);
        if (k >= 2)
            m_page.Item(kTsid + k - 1).Show(shown);
    }
}

std::string ModulatorView::Decode(std::span<const uint8_t> block) {
    if (!m_active)
        return {};
    auto decoded = st::DecodeModulatorBlock(*m_type, block, m_values.radio);
    if (!decoded.Ok())
        return decoded.error;
    m_values = std::move(decoded.values);
    return {};
}

void ModulatorView::ShowValues() {
    if (!m_active)
        return;
    const st::ModulatorValues& m = m_values;
    m_fields.SetNumber(kModFreq, m.radio.frequencyKHz);
    m_page.Item(kBandwidth).SetSelectedItem(int(m.radio.bandwidthCode) - 1);
    m_page.Item(kGuard).SetSelectedItem(m.radio.guard);
    m_page.Item(kCodeRate).SetSelectedItem(m.radio.codeRate);
    m_page.Item(kMode).SetSelectedItem(m.radio.mode);
    m_page.Item(kConstellation).SetSelectedItem(m.radio.constellation);
    m_fields.SetNumber(kModSymbolRate, m.symbolRateKSps);
    m_page.Item(kOutputLevel).SetPosition(m.radio.levelStep);
    RefreshLevelText();
    m_fields.SetNumber(kOnid, m.originalNetworkId);
    m_fields.SetNumber(kNid, m.networkId);
    for (int k = 0; k < kMaxChannels; ++k)
        m_fields.SetNumber(kTsid + k, m.transportStreamIds[k]);
    m_page.Item(kNetworkName).SetText(st::ToUtf8(m.networkName));
    m_fields.SetNumber(kVersion, m.nitVersion);
    m_page.Item(kLcnFlavour).SetSelectedItem(static_cast<int>(m.lcnFlavour));
    m_page.Item(kRemoveCatEmm).SetCheck(m.removeCatEmm);
    m_page.Item(kModWatchdog).SetCheck(m.watchdog);
    RefreshChannelFrequencies();
}

bool ModulatorView::ReadBack() {
    if (!m_active)
        return true;
    st::ModulatorValues v = m_values;
    v.radio.frequencyKHz = m_fields.Number(kModFreq);
    if (int i = m_page.Item(kBandwidth).SelectedItem(); i >= 0)
        v.radio.bandwidthCode = uint8_t(i + 1);
    if (int i = m_page.Item(kGuard).SelectedItem(); i >= 0)
        v.radio.guard = uint8_t(i);
    if (int i = m_page.Item(kCodeRate).SelectedItem(); i >= 0)
        v.radio.codeRate = uint8_t(i);
    if (int i = m_page.Item(kMode).SelectedItem(); i >= 0 && m_channelCount == 1)
        v.radio.mode = uint8_t(i);
    if (int i = m_page.Item(kConstellation).SelectedItem(); i >= 0)
        v.radio.constellation = uint8_t(i);
    v.radio.levelStep = uint8_t(m_page.Item(kOutputLevel).Position());
    if (IsQam())
        v.symbolRateKSps = m_fields.Word(kModSymbolRate);
    v.originalNetworkId = m_fields.Word(kOnid);
    v.networkId = m_fields.Word(kNid);
    for (int k = 0; k < kMaxChannels; ++k)
        if (k < std::max(m_channelCount, 1))
            v.transportStreamIds[k] = m_fields.Word(kTsid + k);
    m_fields.Sanitise(kVersion);
    auto version = m_fields.Integer(kVersion, 0, st::kMaxNitVersion);
    if (!version)
        return false;
    v.nitVersion = uint8_t(*version);
    auto name = m_fields.Text(kNetworkName, kMaxNetworkNameChars);
    if (!name)
        return false;
    v.networkName = *name;
    if (int i = m_page.Item(kLcnFlavour).SelectedItem(); i >= 0)
        v.lcnFlavour = static_cast<st::LcnFlavour>(i);
    v.removeCatEmm = m_page.Item(kRemoveCatEmm).IsChecked();
    v.watchdog = m_page.Item(kModWatchdog).IsChecked();
    m_values = std::move(v);
    return true;
}

void ModulatorView::RefreshChannelFrequencies() {
    for (int k = 2; k <= kMaxChannels; ++k)
        m_page.Item(kChannelBase + (k - 1) * kChannelStride + kChanFrequency)
            .SetText(std::to_string(st::ChannelFrequencyKHz(m_values.radio, k)));
}

void ModulatorView::RefreshLevelText() {
    char text[32];
    std::snprintf(text, sizeof text, "%ddB", m_page.Item(kOutputLevel).Position() - 30);
    m_page.Item(kOutputLevelText).SetText(text);
}

void ModulatorView::RefreshWarnings() {
    if (!m_active)
        return;
    auto red = [this](int id, bool warn) {
        m_page.Item(id).SetTextColor(warn ? std::optional(ui::Color{0xFF, 0x00, 0x00}) : std::nullopt);
    };
    st::ModulatorRadio radio = m_values.radio;
    radio.frequencyKHz = static_cast<uint32_t>(std::min<long long>(m_fields.Shown(kModFreq), UINT32_MAX));
    red(kModFreq, !st::FrequencyInRange(radio, m_channelCount));
    const long long rate = m_fields.Shown(kModSymbolRate);
    red(kModSymbolRate, rate > kMaxWord || !st::SymbolRateInRange(radio.bandwidthCode, uint16_t(rate)));
}

void ModulatorView::BandwidthChanged() {
    const int index = m_page.Item(kBandwidth).SelectedItem();
    if (index < 0)
        return;
    m_values.radio.bandwidthCode = static_cast<uint8_t>(index + 1);
    m_fields.SetNumber(kModSymbolRate, st::MaxSymbolRateKSps(m_values.radio.bandwidthCode));
    st::ModulatorRadio radio = m_values.radio;
    radio.frequencyKHz = m_fields.Number(kModFreq);
    if (!st::FrequencyInRange(radio, m_channelCount))
        m_fields.SetNumber(kModFreq, st::kModulatorFallbackFrequencyKHz);
}

std::optional<FieldMarks> ModulatorView::OnEditChange(int controlId) {
    const bool tsid = controlId >= kTsid && controlId < kTsid + kMaxChannels;
    if (tsid || controlId == kModFreq || controlId == kModSymbolRate || controlId == kOnid ||
        controlId == kNid || controlId == kVersion || controlId == kNetworkName)
        return kOutputOnly;
    return std::nullopt;
}

std::optional<FieldMarks> ModulatorView::OnSelChange(int controlId) {
    switch (controlId) {
    case kBandwidth:
        BandwidthChanged();
        return kOutputOnly;
    case kConstellation:
    case kLcnFlavour:
    case kMode:
    case kGuard:
    case kCodeRate:
        return kOutputOnly;
    default:
        return std::nullopt;
    }
}

std::optional<FieldMarks> ModulatorView::OnCheckChange(int controlId) {
    if (controlId == kRemoveCatEmm || controlId == kModWatchdog)
        return kOutputOnly;
    return std::nullopt;
}

std::optional<FieldMarks> ModulatorView::OnScroll(int controlId) {
    if (controlId != kOutputLevel)
        return std::nullopt;
    RefreshLevelText();
    return kOutputOnly;
}

void ModulatorView::ShowStatus(const ModulatorStatus& status, ServiceTable& table) {
    uint64_t total = 0;
    for (size_t k = 0; k < status.channels.size(); ++k) {
        const ChannelRate& rate = status.channels[k];
        const int b = kChannelBase + int(k) * kChannelStride;
        char text[64];
        std::snprintf(text, sizeof text, "%d/%d kb/s", int(rate.usedBps / 1000),
                      int(rate.capacityBps / 1000));
        m_page.Item(b + kChanRate).SetText(text);
        m_page.Item(b + kChanRate).Show(true);
        m_page.Item(b + kChanBar).SetRange(0, int(std::min<uint32_t>(rate.capacityBps, INT32_MAX)));
        m_page.Item(b + kChanBar).SetPosition(int(std::min<uint32_t>(rate.usedBps, INT32_MAX)));
        m_page.Item(b + kChanBar).Show(true);
        total += rate.usedBps;
    }
    m_page.Item(kTotalRate).SetText(Kbps(static_cast<long long>(total / 1000)));
    m_page.Item(kTotalRate).Show(true);
    for (const ServiceRate& rate : status.services)
        table.SetBitRate(rate.serviceId, rate.rateBps);
}

void ModulatorView::HideRates() {
    for (int k = 0; k < kMaxChannels; ++k) {
        const int b = kChannelBase + k * kChannelStride;
        m_page.Item(b + kChanBar).Show(false);
        m_page.Item(b + kChanRate).Show(false);
    }
    m_page.Item(kTotalRate).Show(false);
}

const std::string& ModulatorView::TotalRateText() const {
    return m_page.Item(kTotalRate).Text();
}

} // namespace kaptiv::editor
