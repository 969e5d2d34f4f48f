#include "editor/TunerView.h"

#include "editor/PagePlayout.h"
#include "editor/ServiceTable.h"
#include "platform/ModuleType.h"
#include "resources/SettingsIds.h"
#include "settings/BlockResult.h"
#include "settings/BlockText.h"
#include "text/Language.h"
#include "text/ToolText.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {

const std::vector<std::string> kFecTexts = {"1/2", "2/3", "3/4", "5/6", "7/8"};
const std::vector<std::string> kPolarisations = {"V", "H"};
const std::vector<std::string> kSwitchTexts = {"A", "B", "C", "D"};
const std::vector<std::string> kStandardTexts = {"DVB-C", "DVB-T", "DVB-T2"};
const std::vector<std::string> kTerrBandwidthTexts = {"6MHz", "7 MHz", "8 MHz"};

// Play-out rate shown for each slider position.
constexpr int kPlayoutRates[] = {500, 250, 166, 125, 100, 83, 71, 62, 55, 50, 45, 42, 38, 35, 33, 31};

constexpr int kMaxByte = 255;
constexpr int kMaxWord = 65535;
constexpr int kInputBitmap = 228;
constexpr int kTerrestrialBitmap = 242;
constexpr int kLockBitmaps[] = {187, 188, 190};
constexpr int kTextPol = 50;
constexpr int kTextFec = 51;

std::string DottedAddress(const std::array<uint8_t, 4>& a) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

} // namespace

TunerView::TunerView(ui::Dialog& page, PageFields& fields, PagePlayout& playout)
    : m_page(page), m_fields(fields), m_playout(playout) {}

bool TunerView::IsStreaming() const {
    return m_type == type::kSat2_0 || m_type == type::kSat2 || m_type == type::kTerrestrial;
}

bool TunerView::Satellite() const {
    return IsTunerType(m_type) && m_type != type::kTerrestrial;
}

// Types 10 and 12 step through the views; type 7 only ever shows the play-out view.
bool TunerView::HasSelector() const {
    return m_type == type::kSat2 || m_type == type::kTerrestrial;
}

bool TunerView::Reachable(int view) const {
    if (!IsStreaming())
        return false;
    if (view == kViewPlayout)
        return true;
    if (!HasSelector())
        return false;
    return view == kViewServer || (view == kViewTunerLock && m_advancedMode);
}

int TunerView::ViewOfField(int controlId) const {
    switch (controlId) {
    case kServerAddress:
    case kServerPort:
        return kViewServer;
    case kLockTimeout:
    case kLockTimeoutCheck:
    case kLockWatchdog:
        return kViewTunerLock;
    case kStreamSid:
    case kStreamName:
        return kViewPlayout;
    default:
        return -1;
    }
}

void TunerView::Build() {
    m_page.Item(kPlayoutSlider).SetRange(2, 15);
    for (int k = 0; k < 2; ++k) {
        m_page.Item(kLevelBar + k * kInputStride).SetRange(0, 100);
        m_page.Item(kQualityBar + k * kInputStride).SetRange(0, 100);
    }
    m_page.Item(kScheduleStart).SetMinutesOfDay(8 * 60);
    m_page.Item(kScheduleEnd).SetMinutesOfDay(10 * 60);
    m_page.Item(kFec + kInputStride).SetItems(kPolarisations);
    m_page.Item(kSwitchA).SetItems(kSwitchTexts);
    m_page.Item(kSwitchB).SetItems(kSwitchTexts);
    for (int k = 0; k < 2; ++k) {
        m_page.Item(kStandard + k * kTerrestrialStride).SetItems(kStandardTexts);
        m_page.Item(kTerrBandwidth + k * kTerrestrialStride).SetItems(kTerrBandwidthTexts);
    }
    m_page.Item(kReceiverAddress).SetReadOnly(true);
}

void TunerView::Open(uint8_t type) {
    m_type = type;
    m_values = {};
    m_values.serverAddress = U"0.0.0.0";
    m_checks = st::ChecksFor(m_values);
    m_lastLock = {-1, -1};
    m_extraView = kViewPlayout;
    // Measures of the chain before are not this one's.
    for (int k = 0; k < 2; ++k) {
        const int d = k * kInputStride;
        m_page.Item(kLevelBar + d).SetPosition(0);
        m_page.Item(kQualityBar + d).SetPosition(0);
        m_page.Item(kLevelText + d).SetText("");
        m_page.Item(kQualityText + d).SetText("");
    }
    m_page.Item(kReceiverAddress).SetText("");
    if (m_type == type::kSat1_0)
        m_page.Item(kFec).SetItems(kFecTexts);
    else if (IsStreaming())
        m_page.Item(kFec).SetItems(kPolarisations);
    else
        m_page.Item(kFec).ClearItems();
    ShowPanels();
}

void TunerView::ShowPanels() {
    const uint8_t t = m_type;
    const bool tuner = IsTunerType(t);
    const bool satA = t == type::kSat1_0 || t == type::kSat1 || t == type::kSat2_0 || t == type::kSat2;
    const bool fecA = t == type::kSat1_0 || t == type::kSat2_0 || t == type::kSat2;
    const bool satB = t == type::kSat2_0 || t == type::kSat2;
    const bool streaming = IsStreaming();
    const bool terrestrial = t == type::kTerrestrial;

    m_page.Item(kInputGroup).Show(true);
    m_page.Item(kInputPicture).Show(tuner);
    m_page.Item(kInputPicture).SetImage(ui::Bitmap(terrestrial ? kTerrestrialBitmap : kInputBitmap));
    for (int k = 0; k < 2; ++k) {
        const int d = k * kInputStride;
        const bool sat = k == 0 ? satA : satB;
        for (int id : {kSatFreqLabel, kSatFreq, kSymbolRateLabel, kSymbolRate})
            m_page.Item(id + d).Show(sat);
        m_page.Item(kFecLabel + d).Show(k == 0 ? fecA : satB);
        m_page.Item(kFec + d).Show(k == 0 ? fecA : satB);
        const bool measures = k == 0 ? tuner : streaming;
        for (int id :
             {kLevelLabel, kLevelBar, kLevelText, kQualityLabel, kQualityBar, kQualityText, kLockIcon})
            m_page.Item(id + d).Show(measures);
        m_page.Item(kInputLetter + d).Show(streaming && (sat || terrestrial));
        const int tt = k * kTerrestrialStride;
        for (int id :
             {kStandardLabel, kStandard, kTerrFreqLabel, kTerrFreq, kTerrBandwidthLabel, kTerrBandwidth})
            m_page.Item(id + tt).Show(terrestrial);
    }
    for (int id : {kSwitchALabel, kSwitchA, kSwitchBLabel, kSwitchB})
        m_page.Item(id).Show(satB);
    for (int id : {kPlayoutLabel, kPlayoutSlider, kPlayoutText})
        m_page.Item(id).Show(streaming);
    m_page.Item(kFecLabel).SetText(text::LocalizedText(streaming ? kTextPol : kTextFec));
    m_page.Item(kFecLabel + kInputStride).SetText(text::LocalizedText(kTextPol));
    ShowExtraView();
}

void TunerView::ShowExtraView() {
    const bool extra = IsStreaming();
    if (!Reachable(m_extraView))
        m_extraView = kViewPlayout;
    m_page.Item(kExtraGroup).Show(extra);
    m_page.Item(kExtraSelector).Show(extra && HasSelector());
    // One step beyond each end, so that the arrows can wrap around (the page keeps a position
    // inside the range).
    m_page.Item(kExtraSelector).SetRange(-1, m_advancedMode ? 3 : 2);
    m_page.Item(kExtraSelector).SetPosition(m_extraView);
    static constexpr text::ToolText kTitles[] = {text::ToolText::ExtraViewPlayout,
                                                 text::ToolText::ExtraViewRemoteServer,
                                                 text::ToolText::ExtraViewTunerLock};
    m_page.Item(kExtraGroup).SetText(text::LocalizedToolText(kTitles[m_extraView]));
    const bool playout = extra && m_extraView == kViewPlayout;
    for (int id : {kStreamSidLabel, kStreamSid, kStreamNameLabel, kStreamName, kScheduleList, kScheduleStart,
                   kScheduleEnd, kScheduleAdd, kScheduleRemove, kFileList, kFileUpload})
        m_page.Item(id).Show(playout);
    const bool server = extra && m_extraView == kViewServer;
    for (int id :
         {kServerLabel, kServerAddress, kServerPortLabel, kServerPort, kReceiverLabel, kReceiverAddress})
        m_page.Item(id).Show(server);
    const bool lock = extra && m_extraView == kViewTunerLock;
    for (int id : {kLockTimeoutCheck, kLockTimeout, kLockWatchdog})
        m_page.Item(id).Show(lock);
    m_playout.ShowView(playout, server);
}

void TunerView::BringUpField(int controlId) {
    const int view = ViewOfField(controlId);
    if (view < 0 || view == m_extraView || !Reachable(view))
        return;
    m_extraView = view;
    ShowExtraView();
}

std::string TunerView::Decode(std::span<const uint8_t> block) {
    auto decoded = st::DecodeTunerBlock(m_type, block);
    if (!decoded.Ok())
        return decoded.error;
    m_values = std::move(decoded.values);
    m_checks = st::ChecksFor(m_values);
    return {};
}

void TunerView::ShowValues() {
    if (!IsTunerType(m_type))
        return;
    for (size_t k = 0; k < 2 && k < m_values.sections.size(); ++k) {
        const st::InputSection& s = m_values.sections[k];
        const int d = int(k) * kInputStride;
        m_fields.SetNumber(kSatFreq + d, s.frequencyMHz);
        m_fields.SetNumber(kSymbolRate + d, s.symbolRate);
        if (m_type == type::kSat1_0 && k == 0)
            m_page.Item(kFec).SetSelectedItem(s.fecIndex);
        else
            m_page.Item(kFec + d).SetSelectedItem(s.horizontal ? 1 : 0);
    }
    m_page.Item(kSwitchA).SetSelectedItem(m_values.switchA);
    m_page.Item(kSwitchB).SetSelectedItem(m_values.switchB);
    for (int k = 0; k < 2; ++k) {
        const st::TerrestrialTuning& tt = m_values.terrestrial[k];
        const int d = k * kTerrestrialStride;
        m_page.Item(kStandard + d).SetSelectedItem(tt.standard);
        m_fields.SetNumber(kTerrFreq + d, tt.frequencyKHz);
        m_page.Item(kTerrBandwidth + d).SetSelectedItem(int(tt.bandwidthMHz) - 6);
    }
    RefreshTerrestrialBandwidth();
    m_page.Item(kPlayoutSlider).SetPosition(m_values.playoutRate);
    RefreshPlayoutText();
    m_fields.SetNumber(kStreamSid, m_values.streamingServiceId);
    m_page.Item(kStreamName).SetText(st::ToUtf8(m_values.streamedName));
    m_page.Item(kServerAddress).SetText(st::ToUtf8(m_values.serverAddress));
    m_fields.SetNumber(kServerPort, m_values.serverPort);
    m_page.Item(kLockTimeoutCheck).SetCheck(m_checks.lockTimeout);
    m_page.Item(kLockWatchdog).SetCheck(m_checks.lockWatchdog);
    m_fields.SetNumber(kLockTimeout, m_values.lockTimeout);
}

bool TunerView::ReadBack() {
    if (!IsTunerType(m_type))
        return true;
    st::TunerValues v = m_values;
    st::TunerChecks checks = m_checks;
    const bool streaming = IsStreaming();
    const bool satellite = Satellite();
    for (size_t k = 0; k < v.sections.size() && k < 2; ++k) {
        const int d = int(k) * kInputStride;
        if (!satellite || (k == 1 && !streaming))
            continue;
        v.sections[k].frequencyMHz = int(std::min<uint32_t>(m_fields.Number(kSatFreq + d), INT32_MAX));
        v.sections[k].symbolRate = m_fields.Word(kSymbolRate + d);
        const int fec = m_page.Item(kFec + d).SelectedItem();
        if (m_type == type::kSat1_0 && k == 0 && fec >= 0)
            v.sections[k].fecIndex = fec;
        else if (streaming && fec >= 0)
            v.sections[k].horizontal = fec == 1;
    }
    if (streaming && satellite) {
        v.switchA = uint8_t(std::max(m_page.Item(kSwitchA).SelectedItem(), 0));
        v.switchB = uint8_t(std::max(m_page.Item(kSwitchB).SelectedItem(), 0));
    }
    if (m_type == type::kTerrestrial) {
        for (int k = 0; k < 2; ++k) {
            const int d = k * kTerrestrialStride;
            if (int s = m_page.Item(kStandard + d).SelectedItem(); s >= 0)
                v.terrestrial[k].standard = uint8_t(s);
            v.terrestrial[k].frequencyKHz = m_fields.Number(kTerrFreq + d);
            // Hidden while the standard is DVB-C: the held bandwidth stays.
            if (int b = m_page.Item(kTerrBandwidth + d).SelectedItem();
                b >= 0 && m_page.Item(kTerrBandwidth + d).IsVisible())
                v.terrestrial[k].bandwidthMHz = uint8_t(b + 6);
        }
    }
    if (streaming) {
        v.playoutRate = uint8_t(m_page.Item(kPlayoutSlider).Position());
        m_fields.Sanitise(kStreamSid);
        auto sid = m_fields.Integer(kStreamSid, 0, kMaxWord);
        if (!sid)
            return false;
        v.streamingServiceId = uint16_t(*sid);
        // Written 8 bits a character; its only bound is the block's.
        auto name = m_fields.PlainText(kStreamName, st::kMaxBlockSize);
        if (!name)
            return false;
        v.streamedName = *name;
    }
    if (Reachable(kViewServer)) {
        auto server = m_fields.Text(kServerAddress, st::kMaxServerAddressChars);
        if (!server)
            return false;
        v.serverAddress = *server;
        m_fields.Sanitise(kServerPort);
        auto port = m_fields.Integer(kServerPort, 0, kMaxWord);
        if (!port)
            return false;
        v.serverPort = uint16_t(*port);
    }
    if (Reachable(kViewTunerLock)) {
        auto timeout = m_fields.Integer(kLockTimeout, 0, kMaxByte);
        if (!timeout)
            return false;
        v.lockTimeout = uint16_t(*timeout); // the check box decides what is written
        checks.lockTimeout = m_page.Item(kLockTimeoutCheck).IsChecked();
        checks.lockWatchdog = m_page.Item(kLockWatchdog).IsChecked();
        v.lockWatchdog = checks.lockWatchdog;
    }
    m_values = std::move(v);
    m_checks = checks;
    return true;
}

void TunerView::RefreshPlayoutText() {
    const int position = std::clamp(m_page.Item(kPlayoutSlider).Position(), 0, 15);
    char text[32];
    std::snprintf(text, sizeof text, "%d Mb/s", kPlayoutRates[position]);
    m_page.Item(kPlayoutText).SetText(text);
}

void TunerView::RefreshTerrestrialBandwidth() {
    const bool terrestrial = m_type == type::kTerrestrial;
    for (int k = 0; k < 2; ++k) {
        const int d = k * kTerrestrialStride;
        const bool cable =
            m_page.Item(kStandard + d).SelectedItem() == static_cast<int>(st::DvbStandard::DvbC);
        m_page.Item(kTerrBandwidth + d).Show(terrestrial && !cable);
        m_page.Item(kTerrBandwidthLabel + d).Show(terrestrial && !cable);
    }
}

void TunerView::RefreshWarnings() {
    auto red = [this](int id, bool warn) {
        m_page.Item(id).SetTextColor(warn ? std::optional(ui::Color{0xFF, 0x00, 0x00}) : std::nullopt);
    };
    for (int k = 0; k < 2; ++k) {
        const long long f = m_fields.Shown(kSatFreq + k * kInputStride);
        red(kSatFreq + k * kInputStride, f < kSatMinMHz || f > kSatMaxMHz);
    }
    red(kStreamSid, m_fields.Shown(kStreamSid) > kMaxWord);
}

void TunerView::EnableStreamingFields(bool scheduleEmpty, uint8_t streamingSource) {
    if (!IsStreaming())
        return;
    m_page.Item(kStreamSid).Enable(scheduleEmpty);
    m_page.Item(kStreamName)
        .Enable(scheduleEmpty && (streamingSource == kFromStreaming || streamingSource == kFromUnknown));
}

std::optional<FieldMarks> TunerView::OnEditChange(int controlId) {
    switch (controlId) {
    case kSatFreq:
    case kSymbolRate:
    case kSatFreq + kInputStride:
    case kSymbolRate + kInputStride:
    case kTerrFreq:
    case kTerrFreq + kTerrestrialStride:
    case kStreamSid:
    case kStreamName:
    case kServerAddress:
    case kServerPort:
    case kLockTimeout:
        return kInputFull;
    default:
        return std::nullopt;
    }
}

std::optional<FieldMarks> TunerView::OnSelChange(int controlId) {
    switch (controlId) {
    case kFec:
    case kFec + kInputStride:
    case kSwitchA:
    case kSwitchB:
    case kTerrBandwidth:
    case kTerrBandwidth + kTerrestrialStride:
        return kInputFull;
    case kStandard:
    case kStandard + kTerrestrialStride:
        RefreshTerrestrialBandwidth();
        return kInputFull;
    default:
        return std::nullopt;
    }
}

std::optional<FieldMarks> TunerView::OnCheckChange(int controlId) {
    if (controlId == kLockTimeoutCheck || controlId == kLockWatchdog)
        return kInputFull;
    return std::nullopt;
}

std::optional<FieldMarks> TunerView::OnScroll(int controlId, int position) {
    if (controlId == kPlayoutSlider) {
        RefreshPlayoutText();
        return kInputFull;
    }
    if (controlId == kExtraSelector) {
        // Steps through the views, wrapping around at both ends.
        const int views = m_advancedMode ? 3 : 2;
        int view = position;
        if (position < 0 || position >= views)
            view = position < 0 ? views - 1 : 0;
        m_extraView = view;
        ShowExtraView();
        return FieldMarks{};
    }
    return std::nullopt;
}

bool TunerView::OnClick(int controlId) {
    if (controlId != kExtraSelector)
        return false;
    // A click on the up-down without a position: the next view.
    OnScroll(kExtraSelector, m_extraView + 1);
    return true;
}

bool TunerView::ShowMeasures(const TunerStatus& status) {
    bool lockChanged = false;
    for (size_t k = 0; k < status.inputs.size() && k < m_lastLock.size(); ++k) {
        const InputMeasure& m = status.inputs[k];
        const int d = int(k) * kInputStride;
        for (auto [bar, textId, value] :
             {std::tuple{kLevelBar, kLevelText, m.level}, std::tuple{kQualityBar, kQualityText, m.quality}}) {
            const int shown = std::min<int>(value, 100);
            m_page.Item(bar + d).SetPosition(shown);
            m_page.Item(textId + d).SetText(std::to_string(shown));
        }
        if (m.lock <= kLockLocked)
            m_page.Item(kLockIcon + d).SetImage(ui::Bitmap(kLockBitmaps[m.lock]));
        lockChanged |= m_lastLock[k] != m.lock;
        m_lastLock[k] = m.lock;
    }
    if (status.receiver)
        m_page.Item(kReceiverAddress).SetText(DottedAddress(*status.receiver));
    return lockChanged;
}

} // namespace kaptiv::editor
