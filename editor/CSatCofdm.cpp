#include "editor/CSatCofdm.h"

#include "platform/ModuleType.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "settings/BlockText.h"
#include "settings/ModulatorBlock.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/CInPlaceEdit.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {

// Value lists of the combo boxes.
const std::vector<std::string> kFecTexts = {"1/2", "2/3", "3/4", "5/6", "7/8"};
const std::vector<std::string> kPolarisations = {"V", "H"};
const std::vector<std::string> kGuardTexts = {"1/32", "1/16", "1/8", "1/4"};
const std::vector<std::string> kBandwidthTexts = {"7 Mhz", "8 Mhz"};
const std::vector<std::string> kModeTexts = {"2K", "8K"};
const std::vector<std::string> kCofdmConstellations = {"QPSK", "QAM16", "QAM64"};
const std::vector<std::string> kQamConstellations = {"QAM16", "QAM32", "QAM64", "QAM128", "QAM256"};
const std::vector<std::string> kLcnTexts = {"EACEM", "ITC"};
const std::vector<std::string> kSwitchTexts = {"A", "B", "C", "D"};
const std::vector<std::string> kStandardTexts = {"DVB-C", "DVB-T", "DVB-T2"};
const std::vector<std::string> kTerrBandwidthTexts = {"6MHz", "7 MHz", "8 MHz"};
const std::vector<std::string> kAspectTexts = {"4/3", "16/9"};
const std::vector<std::string> kVideoStandardTexts = {"PAL", "NTSC"};
const std::vector<std::string> kAudioTexts = {"128 Kb/s", "192 Kb/s", "256 Kb/s", "320  Kb/s", "384  Kb/s"};
const std::vector<std::string> kCodingTexts = {"AAC", "MPEG"};
const std::vector<std::string> kProtocolTexts = {"UDP", "RTP"};

// Play-out rate shown for each slider position.
constexpr int kPlayoutRates[] = {500, 250, 166, 125, 100, 83, 71, 62, 55, 50, 45, 42, 38, 35, 33, 31};

// Field limits.
constexpr int kMaxByte = 255;
constexpr int kMaxWord = 65535;
constexpr int kAvVideoMin = 4000, kAvVideoMax = 12000;
constexpr int kHdVideoMax = 15000;
constexpr size_t kMaxChannelNameChars = 31;
constexpr size_t kMaxNetworkNameChars = 30;

// Pictures.
constexpr int kInputBitmap = 228;
constexpr int kTerrestrialBitmap = 242;
constexpr int kCofdmBitmap = 163;
constexpr int kQamBitmap = 208;
constexpr int kStreamerBitmap = 260;
constexpr int kLockBitmaps[] = {187, 188, 190};

// Colours (COLORREF values of the page as RGB).
constexpr ui::Color kRed{0xFF, 0x00, 0x00};
constexpr ui::Color kGrey{0x80, 0x80, 0x80};
constexpr ui::Color kWhite{0xFF, 0xFF, 0xFF};
constexpr ui::Color kSelectedSegment{0x00, 0xA2, 0xE8}; // 0xE8A200
constexpr ui::Color kSegment{0xC0, 0xC0, 0xC0};
constexpr ui::Color kSegmentFrame{0x82, 0x87, 0x90}; // 0x908782
constexpr ui::Color kStripColor{0x30, 0x44, 0x60};

constexpr int kEncoderChannels = 2;
constexpr int kHdChannels = 4;

// Localized labels: control, language-table entry.
struct LabelEntry {
    int control;
    int entry;
};
constexpr LabelEntry kLabels[] = {
    {kHeaderLabel + 5, 53},
    {kHeaderLabel + 0, 54},
    {kHeaderLabel + 1, 55},
    {kHeaderLabel + 2, 56},
    {kHeaderLabel + 3, 57},
    {kHeaderLabel + 4, 58},
    {kLcnLabel, 58},
    {kBandwidthLabel, 59},
    {kTerrBandwidthLabel, 59},
    {kTerrBandwidthLabel + kTerrestrialStride, 59},
    {kGuardLabel, 60},
    {kOnidLabel, 61},
    {kNidLabel, 62},
    {kTsidLabel, 63},
    {kNetworkNameLabel, 64},
    {kRemoveCatEmm, 65},
    {kOutputLevelLabel, 66},
    {kChannelBase + kChanLabel, 67},
    {kChannelBase + kChannelStride + kChanLabel, 68},
    {kChannelBase + 2 * kChannelStride + kChanLabel, 69},
    {kChannelBase + 3 * kChannelStride + kChanLabel, 70},
    {kLevelLabel, 71},
    {kLevelLabel + kInputStride, 71},
    {kQualityLabel, 72},
    {kQualityLabel + kInputStride, 72},
    {kPlayoutLabel, 73},
    {kStreamNameLabel, 74},
    {kStreamSidLabel, 75},
    {kConstellationLabel, 76},
    {kModFreqLabel, 78},
    {kTerrFreqLabel, 78},
    {kTerrFreqLabel + kTerrestrialStride, 78},
    {kHeaderLabel + 6, 88},
    {kLockWatchdog, 93},
    {kModWatchdog, 93},
    // Labels that carry the text of a row word for word, so they follow the language too.
    {kEncoderBase + kEncNameLabel, 74},
    {kEncoderBase + kEncoderStride + kEncNameLabel, 74},
    {kEncoderBase + kEncSidLabel, 75},
    {kEncoderBase + kEncoderStride + kEncSidLabel, 75},
    {kHdBase + kEncNameLabel, 74},
    {kHdBase + kHdStride + kEncNameLabel, 74},
    {kHdBase + 2 * kHdStride + kEncNameLabel, 74},
    {kHdBase + 3 * kHdStride + kEncNameLabel, 74},
    {kHdBase + kEncSidLabel, 75},
    {kHdBase + kHdStride + kEncSidLabel, 75},
    {kHdBase + 2 * kHdStride + kEncSidLabel, 75},
    {kHdBase + 3 * kHdStride + kEncSidLabel, 75},
    {kIpLabel, 82},
    {kServerLabel, 83},
    {kServerPortLabel, 84},
};
constexpr int kTextPol = 50;
constexpr int kTextFec = 51;
constexpr int kTextModulation = 57;
constexpr int kTextActivation = 77;

std::string Format(const char* format, long long a) {
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string DottedAddress(const std::array<uint8_t, 4>& a) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

bool IsDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

CSatCofdm::CSatCofdm(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(kDialogSettings)) {}

CSatCofdm::~CSatCofdm() = default;

// Build --------------------------------------------------------------------------------------

void CSatCofdm::OnInitDialog() {
    Build();
    Show(false);
}

void CSatCofdm::Build() {
    Item(kPlayoutSlider).SetRange(2, 15);
    Item(kOutputLevel).SetRange(10, 30);
    Item(kOutputLevel).SetTickFrequency(5);
    for (int ch = 0; ch < kEncoderChannels; ++ch)
        for (int offset : {kEncBrightness, kEncContrast, kEncSaturation})
            Item(kEncoderBase + ch * kEncoderStride + offset).SetRange(0, 255);
    for (int k = 0; k < 2; ++k) {
        Item(kLevelBar + k * kInputStride).SetRange(0, 100);
        Item(kQualityBar + k * kInputStride).SetRange(0, 100);
    }
    Item(kScheduleStart).SetMinutesOfDay(8 * 60);
    Item(kScheduleEnd).SetMinutesOfDay(10 * 60);
    for (const LabelEntry& label : kLabels)
        Item(label.control).SetText(text::LocalizedText(label.entry));

    // Fixed value lists.
    Item(kFec + kInputStride).SetItems(kPolarisations);
    Item(kSwitchA).SetItems(kSwitchTexts);
    Item(kSwitchB).SetItems(kSwitchTexts);
    for (int k = 0; k < 2; ++k) {
        Item(kStandard + k * kTerrestrialStride).SetItems(kStandardTexts);
        Item(kTerrBandwidth + k * kTerrestrialStride).SetItems(kTerrBandwidthTexts);
    }
    for (int ch = 0; ch < kEncoderChannels; ++ch) {
        const int b = kEncoderBase + ch * kEncoderStride;
        Item(b + kEncAudio).SetItems(kAudioTexts);
        Item(b + kEncAspect).SetItems(kAspectTexts);
        Item(b + kEncStandard).SetItems(kVideoStandardTexts);
    }
    for (int ch = 0; ch < kHdChannels; ++ch) {
        const int b = kHdBase + ch * kHdStride;
        Item(b + kEncAudio).SetItems(kAudioTexts);
        Item(b + kEncAspect).SetItems(kCodingTexts);
    }
    Item(kBandwidth).SetItems(kBandwidthTexts);
    Item(kGuard).SetItems(kGuardTexts);
    Item(kCodeRate).SetItems(kFecTexts);
    Item(kMode).SetItems(kModeTexts);
    Item(kLcnFlavour).SetItems(kLcnTexts);
    Item(kProtocol).SetItems(kProtocolTexts);
    Item(kQos).SetItems({st::kQosTexts.begin(), st::kQosTexts.end()});

    // Grey displays, white header labels on their strip.
    for (int k = 0; k < 4; ++k)
        Item(kChannelBase + k * kChannelStride + kChanFrequency).SetTextColor(kGrey);
    Item(kTotalRate).SetTextColor(kGrey);
    Item(kStreamerRate).SetTextColor(kGrey);
    for (int i = 0; i < 7; ++i)
        Item(kHeaderLabel + i).SetTextColor(kWhite);
    for (int i = 0; i < 16; ++i)
        Item(kStreamLetter + i).SetTextColor(kWhite);
    const ui::RectDu strip = Item(kHeaderStrip).Rect();
    Item(kHeaderStrip)
        .SetShapes({{{0, 0, int(strip.width * ui::kPixelsPerUnitX), int(strip.height * ui::kPixelsPerUnitY)},
                     kStripColor,
                     true}});
    const ui::RectDu letters = Item(kStreamLetterStrip).Rect();
    Item(kStreamLetterStrip)
        .SetShapes(
            {{{0, 0, int(letters.width * ui::kPixelsPerUnitX), int(letters.height * ui::kPixelsPerUnitY)},
              kStripColor,
              true}});
    Item(kPageMessage).SetTextColor(kRed);
    Item(kReceiverAddress).SetReadOnly(true);
    m_playout.Build();
}

// Open / close ------------------------------------------------------------------------------

void CSatCofdm::OpenChain(rack::RackImage& image, link::CommandSet& commands, const rack::Chain& chain) {
    if (!IsCreated() || !chain.HasInput())
        return;
    if (m_open)
        CloseChain();
    m_image = &image;
    m_commands = &commands;
    m_chain = chain;
    const rack::ModuleRecord& input = image.Live(chain.input);
    m_inputType = input.type;
    m_outputType.reset();
    if (chain.output != rack::kNoOutput)
        m_outputType = image.Live(chain.output).type;
    m_ciCount = std::clamp(chain.ciCount, 0, kMaxCommonInterfaces);
    m_channelCount = m_outputType ? OutputChannelCount(*m_outputType) : 0;
    m_inputLists = InputListCount(m_inputType);

    m_inputChanged = m_outputChanged = m_applyNeeded = m_encoderChanged = false;
    m_tuner = {};
    m_tuner.serverAddress = U"0.0.0.0";
    m_encoder = {};
    m_hd = {};
    m_modulator = {};
    m_streamer = {};
    m_lastLock = {-1, -1};
    m_lastUsbKey.reset();
    m_lastChangeIndicator.reset();
    m_lastListIndicator.reset();
    m_refusedField = 0;
    m_writeProblem.clear();
    m_reportDone = false;
    m_extraView = kViewPlayout;
    m_table.Open(image, chain);
    m_table.SetUpColumns(Item(kServiceList));
    ShowPageMessage("");

    ShowPanels();
    FillLists();
    DecodeBlocks();
    ShowValues();
    LoadTable();

    m_open = true;
    m_playout.Open();
    m_polling = true;
    SetTimer(kTickTimer, kFirstTickMs);
    Show(true);
}

void CSatCofdm::CloseChain() {
    if (!m_open)
        return;
    if ((m_inputChanged || m_outputChanged) && m_polling && !m_inTick)
        Tick();
    KillTimer(kTickTimer);
    m_polling = false;
    m_open = false;
    m_playout.Close();
    Show(false);
}

bool CSatCofdm::IsStreamingTuner() const {
    return m_inputType == type::kSat2_0 || m_inputType == type::kSat2 || m_inputType == type::kTerrestrial;
}

void CSatCofdm::ShowPanels() {
    const uint8_t t = m_inputType;
    const bool tuner = IsTunerType(t);
    const bool satA = t == type::kSat1_0 || t == type::kSat1 || t == type::kSat2_0 || t == type::kSat2;
    const bool fecA = t == type::kSat1_0 || t == type::kSat2_0 || t == type::kSat2;
    const bool satB = t == type::kSat2_0 || t == type::kSat2;
    const bool streaming = IsStreamingTuner();
    const bool terrestrial = t == type::kTerrestrial;

    Item(kInputGroup).Show(true);
    Item(kInputPicture).Show(tuner);
    Item(kInputPicture).SetImage(ui::Bitmap(terrestrial ? kTerrestrialBitmap : kInputBitmap));
    for (int k = 0; k < 2; ++k) {
        const int d = k * kInputStride;
        const bool sat = k == 0 ? satA : satB;
        for (int id : {kSatFreqLabel, kSatFreq, kSymbolRateLabel, kSymbolRate})
            Item(id + d).Show(sat);
        Item(kFecLabel + d).Show(k == 0 ? fecA : satB);
        Item(kFec + d).Show(k == 0 ? fecA : satB);
        const bool measures = k == 0 ? tuner : streaming;
        for (int id :
             {kLevelLabel, kLevelBar, kLevelText, kQualityLabel, kQualityBar, kQualityText, kLockIcon})
            Item(id + d).Show(measures);
        Item(kInputLetter + d).Show(streaming && (sat || terrestrial));
        const int tt = k * kTerrestrialStride;
        for (int id :
             {kStandardLabel, kStandard, kTerrFreqLabel, kTerrFreq, kTerrBandwidthLabel, kTerrBandwidth})
            Item(id + tt).Show(terrestrial);
    }
    for (int id : {kSwitchALabel, kSwitchA, kSwitchBLabel, kSwitchB})
        Item(id).Show(satB);
    for (int id : {kPlayoutLabel, kPlayoutSlider, kPlayoutText})
        Item(id).Show(streaming);
    Item(kFecLabel).SetText(text::LocalizedText(streaming ? kTextPol : kTextFec));
    Item(kFecLabel + kInputStride).SetText(text::LocalizedText(kTextPol));
    ShowExtraView();

    for (int ch = 0; ch < kEncoderChannels; ++ch)
        for (int off = 0; off < kEncoderStride; ++off)
            if (ui::Control* c = FindItem(kEncoderBase + ch * kEncoderStride + off))
                c->Show(t == type::kAvEncoder);
    for (int ch = 0; ch < kHdChannels; ++ch)
        for (int off = 0; off < kHdStride; ++off)
            if (ui::Control* c = FindItem(kHdBase + ch * kHdStride + off))
                c->Show(t == type::kHdEncoder);

    // Output.
    const bool modulator = m_outputType && IsModulatorType(*m_outputType);
    const bool streamer = m_outputType == type::kIpStreamer;
    const bool qam = modulator && (*m_outputType == type::kModC4 || *m_outputType == type::kModC2);
    Item(kOutputGroup).SetText(text::LocalizedText(HasOutput() ? kTextModulation : kTextActivation));
    Item(kOutputPicture).Show(HasOutput());
    Item(kOutputPicture).SetImage(ui::Bitmap(streamer ? kStreamerBitmap : qam ? kQamBitmap : kCofdmBitmap));
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
        Item(id).Show(modulator);
    Item(kModeLabel).Show(modulator && m_channelCount == 1);
    Item(kMode).Show(modulator && m_channelCount == 1);
    Item(kModSymbolRateLabel).Show(qam);
    Item(kModSymbolRate).Show(qam);
    for (int k = 1; k <= 4; ++k) {
        const int b = kChannelBase + (k - 1) * kChannelStride;
        const bool shown = modulator && k <= m_channelCount;
        Item(b + kChanLabel).Show(shown);
        Item(b + kChanFrequency).Show(shown && k >= 2);
        Item(b + kChanBar).Show(shown);
        Item(b + kChanRate).Show(shown);
        if (k >= 2)
            Item(kTsid + k - 1).Show(shown);
    }
    for (int id = kDhcp; id <= kQos; ++id)
        Item(id).Show(streamer);
    for (int i = 0; i < 6; ++i)
        Item(kMac + i).Show(streamer);
    Item(kMacLabel).Show(streamer);
    for (int id : {kStreamTable, kStreamerRate, kStreamerBar, kStreamLetterStrip})
        Item(id).Show(streamer);
    for (int i = 0; i < 16; ++i)
        Item(kStreamLetter + i).Show(streamer);
}

void CSatCofdm::ShowExtraView() {
    const bool extra = IsStreamingTuner();
    const bool selector = m_inputType == type::kSat2 || m_inputType == type::kTerrestrial;
    if (m_extraView == kViewTunerLock && !m_advancedMode)
        m_extraView = kViewPlayout;
    Item(kExtraGroup).Show(extra);
    Item(kExtraSelector).Show(extra && selector);
    // One step beyond each end, so that the arrows can wrap around (the page keeps a position
    // inside the range).
    Item(kExtraSelector).SetRange(-1, m_advancedMode ? 3 : 2);
    Item(kExtraSelector).SetPosition(m_extraView);
    static constexpr text::ToolText kTitles[] = {text::ToolText::ExtraViewPlayout,
                                                 text::ToolText::ExtraViewRemoteServer,
                                                 text::ToolText::ExtraViewTunerLock};
    Item(kExtraGroup).SetText(text::LocalizedToolText(kTitles[m_extraView]));
    const bool playout = extra && m_extraView == kViewPlayout;
    for (int id : {kStreamSidLabel, kStreamSid, kStreamNameLabel, kStreamName, kScheduleList, kScheduleStart,
                   kScheduleEnd, kScheduleAdd, kScheduleRemove, kFileList, kFileUpload})
        Item(id).Show(playout);
    const bool server = extra && m_extraView == kViewServer;
    for (int id :
         {kServerLabel, kServerAddress, kServerPortLabel, kServerPort, kReceiverLabel, kReceiverAddress})
        Item(id).Show(server);
    const bool lock = extra && m_extraView == kViewTunerLock && m_advancedMode;
    for (int id : {kLockTimeoutCheck, kLockTimeout, kLockWatchdog})
        Item(id).Show(lock);
    m_playout.ShowView(playout, server);
}

void CSatCofdm::FillLists() {
    if (m_inputType == type::kSat1_0)
        Item(kFec).SetItems(kFecTexts);
    else if (IsStreamingTuner())
        Item(kFec).SetItems(kPolarisations);
    else
        Item(kFec).ClearItems();
    if (m_outputType && (*m_outputType == type::kModC4 || *m_outputType == type::kModC2))
        Item(kConstellation).SetItems(kQamConstellations);
    else
        Item(kConstellation).SetItems(kCofdmConstellations);
}

void CSatCofdm::DecodeBlocks() {
    std::string problem;
    m_inputDecoded = m_outputDecoded = true;
    // A block that does not decode leaves the values held before, and is not written back.
    auto take = [&problem](auto decoded, auto& values, bool& ok) {
        if (decoded.Ok())
            values = std::move(decoded.values);
        else {
            problem = text::FormatToolText(text::ToolText::SettingsUnreadable, {decoded.error});
            ok = false;
        }
    };
    const rack::ModuleRecord& input = m_image->Live(m_chain.input);
    switch (LayoutOfType(m_inputType)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner:
        take(st::DecodeTunerBlock(m_inputType, input.Block()), m_tuner, m_inputDecoded);
        break;
    case BlockLayout::Encoder:
        take(st::DecodeEncoderBlock(input.Block()), m_encoder, m_inputDecoded);
        break;
    case BlockLayout::HdEncoder:
        take(st::DecodeHdEncoderBlock(input.Block()), m_hd, m_inputDecoded);
        break;
    default:
        break;
    }
    if (m_outputType) {
        const rack::ModuleRecord& output = m_image->Live(m_chain.output);
        if (IsModulatorType(*m_outputType))
            take(st::DecodeModulatorBlock(*m_outputType, output.Block(), m_modulator.radio), m_modulator,
                 m_outputDecoded);
        else if (*m_outputType == type::kIpStreamer)
            take(st::DecodeIpStreamerBlock(output.Block()), m_streamer, m_outputDecoded);
    }
    if (!problem.empty())
        ShowPageMessage(problem);
}

void CSatCofdm::LoadTable() {
    switch (LayoutOfType(m_inputType)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner:
        m_table.LoadInput(m_tuner);
        if (IsStreamingTuner())
            m_table.SetStreaming(m_tuner.streamingServiceId, m_tuner.streamedName, !m_tuner.schedule.empty());
        break;
    case BlockLayout::Encoder:
        m_table.LoadInput(m_encoder);
        break;
    case BlockLayout::HdEncoder:
        m_table.LoadInput(m_hd);
        break;
    default:
        break;
    }
    if (m_outputType && IsModulatorType(*m_outputType))
        m_table.LoadOutput(m_modulator);
    else if (m_outputType == type::kIpStreamer)
        m_table.LoadOutput(m_streamer);
    else if (!m_outputType && m_inputLists > 1)
        m_table.BuildOutputsFromInputLists();
    const Marks marks = m_table.ApplyConsistencyRules();
    m_inputChanged |= marks.inputChanged;
    m_outputChanged |= marks.outputChanged;
    RebuildTable();
}

void CSatCofdm::RebuildTable() {
    m_table.Build();
    m_table.Fill(Item(kServiceList));
    if (IsStreamingTuner()) {
        const bool empty = m_tuner.schedule.empty();
        const uint8_t source = m_table.StreamingSource();
        Item(kStreamSid).Enable(empty);
        Item(kStreamName).Enable(empty && (source == kFromStreaming || source == kFromUnknown));
    }
    DrawRateGraph();
}

// Showing values ---------------------------------------------------------------------------

void CSatCofdm::SetNumber(int controlId, long long value) {
    Item(controlId).SetText(std::to_string(value));
}

void CSatCofdm::ShowValues() {
    ShowInputValues();
    ShowOutputValues();
    RefreshWarnings();
}

template <class Channel> void CSatCofdm::ShowEncoderChannel(int base, const Channel& channel) {
    Item(base + kEncName).SetText(st::ToUtf8(channel.name));
    SetNumber(base + kEncSid, channel.serviceId);
    SetNumber(base + kEncVideo, channel.videoRateKbps);
    Item(base + kEncAudio).SetSelectedItem(channel.audioIndex);
}

void CSatCofdm::ShowInputValues() {
    if (IsTunerType(m_inputType)) {
        for (size_t k = 0; k < 2 && k < m_tuner.sections.size(); ++k) {
            const st::InputSection& s = m_tuner.sections[k];
            const int d = int(k) * kInputStride;
            SetNumber(kSatFreq + d, s.frequencyMHz);
            SetNumber(kSymbolRate + d, s.symbolRate);
            if (m_inputType == type::kSat1_0 && k == 0)
                Item(kFec).SetSelectedItem(s.fecIndex);
            else
                Item(kFec + d).SetSelectedItem(s.horizontal ? 1 : 0);
        }
        Item(kSwitchA).SetSelectedItem(m_tuner.switchA);
        Item(kSwitchB).SetSelectedItem(m_tuner.switchB);
        for (int k = 0; k < 2; ++k) {
            const st::TerrestrialTuning& tt = m_tuner.terrestrial[k];
            const int d = k * kTerrestrialStride;
            Item(kStandard + d).SetSelectedItem(tt.standard);
            SetNumber(kTerrFreq + d, tt.frequencyKHz);
            Item(kTerrBandwidth + d).SetSelectedItem(int(tt.bandwidthMHz) - 6);
        }
        RefreshTerrestrialBandwidth();
        Item(kPlayoutSlider).SetPosition(m_tuner.playoutRate);
        RefreshPlayoutText();
        SetNumber(kStreamSid, m_tuner.streamingServiceId);
        Item(kStreamName).SetText(st::ToUtf8(m_tuner.streamedName));
        Item(kServerAddress).SetText(st::ToUtf8(m_tuner.serverAddress));
        SetNumber(kServerPort, m_tuner.serverPort);
        const st::TunerChecks checks = st::ChecksFor(m_tuner);
        Item(kLockTimeoutCheck).SetCheck(checks.lockTimeout);
        Item(kLockWatchdog).SetCheck(checks.lockWatchdog);
        SetNumber(kLockTimeout, m_tuner.lockTimeout);
    } else if (m_inputType == type::kAvEncoder) {
        for (int ch = 0; ch < kEncoderChannels; ++ch) {
            const st::EncoderChannel& c = m_encoder.channels[ch];
            const int b = kEncoderBase + ch * kEncoderStride;
            ShowEncoderChannel(b, c);
            Item(b + kEncAspect).SetSelectedItem(c.aspect);
            Item(b + kEncStandard).SetSelectedItem(c.standard);
            Item(b + kEncBrightness).SetPosition(c.brightness);
            Item(b + kEncContrast).SetPosition(c.contrast);
            Item(b + kEncSaturation).SetPosition(c.saturation);
        }
    } else if (m_inputType == type::kHdEncoder) {
        for (int ch = 0; ch < kHdChannels; ++ch) {
            const st::HdChannel& c = m_hd.channels[ch];
            const int b = kHdBase + ch * kHdStride;
            ShowEncoderChannel(b, c);
            Item(b + kEncAspect).SetSelectedItem(c.audioCoding);
        }
    }
}

void CSatCofdm::ShowOutputValues() {
    if (m_outputType && IsModulatorType(*m_outputType)) {
        const st::ModulatorValues& m = m_modulator;
        SetNumber(kModFreq, m.radio.frequencyKHz);
        Item(kBandwidth).SetSelectedItem(int(m.radio.bandwidthCode) - 1);
        Item(kGuard).SetSelectedItem(m.radio.guard);
        Item(kCodeRate).SetSelectedItem(m.radio.codeRate);
        Item(kMode).SetSelectedItem(m.radio.mode);
        Item(kConstellation).SetSelectedItem(m.radio.constellation);
        SetNumber(kModSymbolRate, m.symbolRateKSps);
        Item(kOutputLevel).SetPosition(m.radio.levelStep);
        RefreshLevelText();
        SetNumber(kOnid, m.originalNetworkId);
        SetNumber(kNid, m.networkId);
        for (int k = 0; k < 4; ++k)
            SetNumber(kTsid + k, m.transportStreamIds[k]);
        Item(kNetworkName).SetText(st::ToUtf8(m.networkName));
        SetNumber(kVersion, m.nitVersion);
        Item(kLcnFlavour).SetSelectedItem(static_cast<int>(m.lcnFlavour));
        Item(kRemoveCatEmm).SetCheck(m.removeCatEmm);
        Item(kModWatchdog).SetCheck(m.watchdog);
        RefreshChannelFrequencies();
    } else if (m_outputType == type::kIpStreamer) {
        const st::IpStreamerValues& s = m_streamer;
        Item(kDhcp).SetCheck(s.dhcp);
        Item(kSap).SetCheck(s.sap);
        for (int i = 0; i < 4; ++i) {
            SetNumber(kIpAddress + i, s.address[i]);
            SetNumber(kIpMask + i, s.mask[i]);
            SetNumber(kIpGateway + i, s.gateway[i]);
        }
        for (int i = 0; i < 6; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", s.mac[i]);
            Item(kMac + i).SetText(hex);
        }
        Item(kProtocol).SetSelectedItem(s.protocol);
        SetNumber(kTtl, s.ttl);
        Item(kQos).SetSelectedItem(static_cast<int>(s.qos));
        stream_table::SetUpColumns(Item(kStreamTable));
        stream_table::Fill(Item(kStreamTable), s);
    }
}

void CSatCofdm::RefreshChannelFrequencies() {
    for (int k = 2; k <= 4; ++k)
        Item(kChannelBase + (k - 1) * kChannelStride + kChanFrequency)
            .SetText(std::to_string(st::ChannelFrequencyKHz(m_modulator.radio, k)));
}

void CSatCofdm::RefreshLevelText() {
    Item(kOutputLevelText).SetText(Format("%ddB", Item(kOutputLevel).Position() - 30));
}

void CSatCofdm::RefreshPlayoutText() {
    const int position = std::clamp(Item(kPlayoutSlider).Position(), 0, 15);
    Item(kPlayoutText).SetText(Format("%d Mb/s", kPlayoutRates[position]));
}

void CSatCofdm::RefreshTerrestrialBandwidth() {
    const bool terrestrial = m_inputType == type::kTerrestrial;
    for (int k = 0; k < 2; ++k) {
        const int d = k * kTerrestrialStride;
        const bool cable = Item(kStandard + d).SelectedItem() == static_cast<int>(st::DvbStandard::DvbC);
        Item(kTerrBandwidth + d).Show(terrestrial && !cable);
        Item(kTerrBandwidthLabel + d).Show(terrestrial && !cable);
    }
}

// Red text for values the modules will not take as meant; grey for computed displays.
void CSatCofdm::RefreshWarnings() {
    auto red = [this](int id, bool warn) {
        Item(id).SetTextColor(warn ? std::optional(kRed) : std::nullopt);
    };
    auto value = [this](int id) -> long long {
        const std::string& text = Item(id).Text();
        return !text.empty() && text.size() < 12 && IsDigits(text) ? std::stoll(text) : 0;
    };
    for (int k = 0; k < 2; ++k) {
        const long long f = value(kSatFreq + k * kInputStride);
        red(kSatFreq + k * kInputStride, f < kSatMinMHz || f > kSatMaxMHz);
    }
    if (m_outputType && IsModulatorType(*m_outputType)) {
        st::ModulatorRadio radio = m_modulator.radio;
        radio.frequencyKHz = static_cast<uint32_t>(std::min<long long>(value(kModFreq), UINT32_MAX));
        red(kModFreq, !st::FrequencyInRange(radio, m_channelCount));
        const long long rate = value(kModSymbolRate);
        red(kModSymbolRate, rate > kMaxWord || !st::SymbolRateInRange(radio.bandwidthCode, uint16_t(rate)));
    }
    red(kStreamSid, value(kStreamSid) > kMaxWord);
}

void CSatCofdm::ShowPageMessage(const std::string& text) {
    Item(kPageMessage).SetText(text);
}

void CSatCofdm::BeginCellEdit(int listId, ui::ListHit cell, const std::string& text) {
    ui::CInPlaceEdit::Create(*this, listId, cell.row, cell.column, text);
}

std::optional<ui::CellEdit> CSatCofdm::OpenCellEdit(int listId) const {
    return ui::CInPlaceEdit::OpenOn(*this, listId);
}

// Control handlers: they only record what changed ------------------------------------------

void CSatCofdm::Mark(bool input, bool apply, bool encoder, bool output) {
    m_inputChanged |= input;
    m_applyNeeded |= apply;
    m_encoderChanged |= encoder;
    m_outputChanged |= output;
}

namespace {
bool InRange(int id, int first, int count) {
    return id >= first && id < first + count;
}
} // namespace

void CSatCofdm::OnEditChange(int controlId) {
    if (!m_open)
        return;
    if (controlId == kStreamPort) {
        // A number field: anything but digits empties it and an empty field shows 0, while
        // typing. The port is read when a stream entry is added, not written with the tick.
        Sanitise(kStreamPort);
        return;
    }
    const int satA = controlId;
    const bool inputFull = satA == kSatFreq || satA == kSymbolRate || satA == kSatFreq + kInputStride ||
                           satA == kSymbolRate + kInputStride || satA == kTerrFreq ||
                           satA == kTerrFreq + kTerrestrialStride || satA == kStreamSid ||
                           satA == kStreamName || satA == kServerAddress || satA == kServerPort ||
                           satA == kLockTimeout;
    bool encoderFull = false;
    bool encoderRate = false;
    for (int ch = 0; ch < kEncoderChannels; ++ch) {
        const int b = kEncoderBase + ch * kEncoderStride;
        encoderFull |= controlId == b + kEncName || controlId == b + kEncSid;
        encoderRate |= controlId == b + kEncVideo;
    }
    for (int ch = 0; ch < kHdChannels; ++ch) {
        const int b = kHdBase + ch * kHdStride;
        encoderFull |= controlId == b + kEncName || controlId == b + kEncSid;
        encoderRate |= controlId == b + kEncVideo;
    }
    if (inputFull || encoderFull)
        Mark(true, true, true, false);
    else if (encoderRate)
        Mark(true, false, false, false);
    else if (InRange(controlId, kIpAddress, 4) || InRange(controlId, kIpMask, 4) ||
             InRange(controlId, kIpGateway, 4) || InRange(controlId, kMac, 6) ||
             InRange(controlId, kTsid, 4) || controlId == kTtl || controlId == kModFreq ||
             controlId == kModSymbolRate || controlId == kOnid || controlId == kNid ||
             controlId == kVersion || controlId == kNetworkName)
        Mark(false, false, false, true);
    RefreshWarnings();
}

void CSatCofdm::OnSelChange(int controlId) {
    if (!m_open)
        return;
    if (m_playout.OnSelChange(controlId))
        return;
    switch (controlId) {
    case kFec:
    case kFec + kInputStride:
    case kSwitchA:
    case kSwitchB:
    case kTerrBandwidth:
    case kTerrBandwidth + kTerrestrialStride:
        Mark(true, true, true, false);
        return;
    case kStandard:
    case kStandard + kTerrestrialStride:
        Mark(true, true, true, false);
        RefreshTerrestrialBandwidth();
        return;
    case kBandwidth:
        BandwidthChanged();
        return;
    case kProtocol:
    case kQos:
    case kConstellation:
    case kLcnFlavour:
    case kMode:
    case kGuard:
    case kCodeRate:
        Mark(false, false, false, true);
        return;
    case kServiceList:
        DrawRateGraph();
        return;
    default:
        break;
    }
    for (int ch = 0; ch < kEncoderChannels; ++ch) {
        const int b = kEncoderBase + ch * kEncoderStride;
        if (controlId == b + kEncAudio || controlId == b + kEncAspect || controlId == b + kEncStandard)
            Mark(true, false, false, false);
    }
    for (int ch = 0; ch < kHdChannels; ++ch) {
        const int b = kHdBase + ch * kHdStride;
        if (controlId == b + kEncAudio || controlId == b + kEncAspect)
            Mark(true, false, false, false);
    }
}

void CSatCofdm::BandwidthChanged() {
    Mark(false, false, false, true);
    const int index = Item(kBandwidth).SelectedItem();
    if (index < 0)
        return;
    m_modulator.radio.bandwidthCode = static_cast<uint8_t>(index + 1);
    SetNumber(kModSymbolRate, st::MaxSymbolRateKSps(m_modulator.radio.bandwidthCode));
    st::ModulatorRadio radio = m_modulator.radio;
    radio.frequencyKHz = Number(kModFreq);
    if (!st::FrequencyInRange(radio, m_channelCount))
        SetNumber(kModFreq, st::kModulatorFallbackFrequencyKHz);
    RefreshWarnings();
}

void CSatCofdm::OnCheckChange(int controlId) {
    if (!m_open)
        return;
    if (controlId == kLockTimeoutCheck || controlId == kLockWatchdog)
        Mark(true, true, true, false);
    else if (controlId == kDhcp || controlId == kSap || controlId == kRemoveCatEmm ||
             controlId == kModWatchdog)
        Mark(false, false, false, true);
}

void CSatCofdm::OnScroll(int controlId, int position) {
    if (!m_open)
        return;
    if (controlId == kPlayoutSlider) {
        Mark(true, true, true, false);
        RefreshPlayoutText();
    } else if (controlId == kOutputLevel) {
        Mark(false, false, false, true);
        RefreshLevelText();
    } else if (controlId == kExtraSelector) {
        // Steps through the views, wrapping around at both ends.
        const int views = m_advancedMode ? 3 : 2;
        int view = position;
        if (position < 0 || position >= views)
            view = position < 0 ? views - 1 : 0;
        m_extraView = view;
        ShowExtraView();
    } else {
        for (int ch = 0; ch < kEncoderChannels; ++ch) {
            const int b = kEncoderBase + ch * kEncoderStride;
            if (controlId == b + kEncBrightness || controlId == b + kEncContrast ||
                controlId == b + kEncSaturation)
                Mark(true, false, false, false);
        }
    }
}

void CSatCofdm::OnClick(int controlId) {
    if (!m_open)
        return;
    if (m_playout.OnClick(controlId))
        return;
    if (controlId == kServiceList)
        DrawRateGraph(); // the selected rows' segments change colour
    if (controlId == kExtraSelector) {
        // A click on the up-down without a position: the next view.
        OnScroll(kExtraSelector, m_extraView + 1);
    }
}

void CSatCofdm::OnTimeChange(int controlId) {
    if (m_open)
        m_playout.OnTimeChange(controlId);
}

void CSatCofdm::OnDoubleClick(int controlId, ui::ListHit hit) {
    if (!m_open)
        return;
    if (controlId == kOutputPicture && m_outputType) {
        Windows().Beep(kBeepHz, kBeepMs);
        m_commands->Execute(m_image->Live(m_chain.output).address);
        return;
    }
    if (controlId == kServiceList) {
        const std::vector<int> selected = Item(kServiceList).SelectedRows();
        const ClickResult result = m_table.DoubleClick(hit.row, hit.column, selected);
        if (result.notIdentified)
            ShowPageMessage(text::LocalizedText(kNotIdentifiedText));
        if (result.marks.Any()) {
            m_inputChanged |= result.marks.inputChanged;
            m_outputChanged |= result.marks.outputChanged;
            m_table.Fill(Item(kServiceList));
            DrawRateGraph();
        }
        if (result.editText)
            BeginCellEdit(kServiceList, hit, *result.editText);
        return;
    }
    if (controlId == kStreamTable) {
        if (auto text = stream_table::EditText(m_streamer, hit.row, hit.column))
            BeginCellEdit(kStreamTable, hit, *text);
    }
}

void CSatCofdm::OnEndLabelEdit(int controlId, ui::ListHit cell, const std::optional<std::string>& text) {
    if (!m_open)
        return;
    if (controlId == kServiceList) {
        const Marks marks = m_table.EndCellEdit(cell.row, cell.column, text);
        if (marks.Any()) {
            m_inputChanged |= marks.inputChanged;
            m_outputChanged |= marks.outputChanged;
            RebuildTable();
        }
    } else if (controlId == kStreamTable) {
        if (stream_table::EndEdit(m_streamer, cell.row, cell.column, text)) {
            m_outputChanged = true;
            stream_table::Fill(Item(kStreamTable), m_streamer);
        }
    }
}

// The timer tick ------------------------------------------------------------------------------

void CSatCofdm::OnTimer(int timerId) {
    if (timerId == kTickTimer)
        Tick();
}

void CSatCofdm::Tick() {
    if (!m_open || m_inTick)
        return;
    m_inTick = true;
    KillTimer(kTickTimer);
    if (!InputStatus()) {
        // A silent input module stops the page until it is opened again.
        m_polling = false;
        m_inTick = false;
        return;
    }
    OutputStatus();
    if (m_inputChanged || m_outputChanged) {
        if (ReadFields()) {
            RefreshChannelFrequencies();
            Write();
            if (m_inputType == type::kAvEncoder || m_inputType == type::kHdEncoder)
                ReadServiceList();
            RebuildTable();
            m_inputChanged = m_outputChanged = false;
        }
    }
    if (m_applyNeeded) {
        m_applyNeeded = false;
        m_image->ApplyOutputs(*m_commands, m_image->Live(m_chain.input).address);
    }
    DrawRateGraph();
    if (m_reportPending && !m_reportDone) {
        m_reportDone = true;
        if (m_reportHook)
            m_reportHook(*this);
    }
    SetTimer(kTickTimer, kTickMs);
    m_inTick = false;
}

void CSatCofdm::ShowBar(int barId, int textId, int value) {
    Item(barId).SetPosition(value);
    Item(textId).SetText(std::to_string(value));
}

bool CSatCofdm::InputStatus() {
    const rack::ModuleRecord& input = m_image->Live(m_chain.input);
    int length = 0;
    const uint8_t* data = m_commands->ReadStatus(input.address, length);
    if (data == nullptr)
        return false;
    const std::span<const uint8_t> answer(data, static_cast<size_t>(std::max(length, 0)));
    if (IsTunerType(m_inputType)) {
        const bool streaming = IsStreamingTuner();
        const TunerStatus status = ParseTunerStatus(streaming ? 2 : 1, streaming, answer);
        bool lockChanged = false;
        bool lockedWithoutServices = false;
        for (size_t k = 0; k < status.inputs.size(); ++k) {
            const InputMeasure& m = status.inputs[k];
            const int d = int(k) * kInputStride;
            ShowBar(kLevelBar + d, kLevelText + d, std::min<int>(m.level, 100));
            ShowBar(kQualityBar + d, kQualityText + d, std::min<int>(m.quality, 100));
            if (m.lock <= kLockLocked)
                Item(kLockIcon + d).SetImage(ui::Bitmap(kLockBitmaps[m.lock]));
            lockChanged |= m_lastLock[k] != m.lock;
            m_lastLock[k] = m.lock;
            const auto& inputs = m_table.Received().inputs;
            if (m.lock == kLockLocked && (k >= inputs.size() || inputs[k].services.empty()))
                lockedWithoutServices = true;
        }
        bool reread = lockChanged || lockedWithoutServices;
        if (status.changeIndicator) {
            reread |= m_lastChangeIndicator && *m_lastChangeIndicator != *status.changeIndicator;
            m_lastChangeIndicator = status.changeIndicator;
        }
        if (status.usbKey) {
            const std::optional<uint8_t> last = m_lastUsbKey;
            m_lastUsbKey = status.usbKey;
            m_playout.UsbKeyState(last, *status.usbKey);
        }
        if (status.receiver)
            Item(kReceiverAddress).SetText(DottedAddress(*status.receiver));
        if (reread) {
            ReadServiceList();
            RebuildTable();
        }
    } else if (m_inputType == type::kAvEncoder || m_inputType == type::kHdEncoder) {
        const EncoderStatus status = ParseEncoderStatus(answer);
        const uint8_t counter = m_inputType == type::kAvEncoder ? m_encoder.counter : m_hd.counter;
        bool reread = false;
        if (status.counter && *status.counter != counter) {
            ReadInputBlock();
            m_inputChanged = true;
            reread = true;
        }
        if (status.listIndicator) {
            reread |= !m_lastListIndicator || *m_lastListIndicator != *status.listIndicator;
            m_lastListIndicator = status.listIndicator;
        }
        if (reread) {
            ReadServiceList();
            RebuildTable();
        }
    }
    return true;
}

void CSatCofdm::ReadInputBlock() {
    rack::ModuleRecord& input = m_image->Live(m_chain.input);
    uint16_t length = 0;
    std::array<uint8_t, rack::kMaxBlockSize> buffer{};
    // No answer: the block length becomes 0 and the stored bytes stay, so the decode below
    // shows the previous values.
    if (m_commands->ReadParameters(input.address, length, buffer) && length > 0)
        input.SetBlock(std::span<const uint8_t>(buffer.data(), length));
    else
        input.blockLength = 0;
    // What the module holds is the new reference: only the installer's edits are written back.
    input.referenceLength = input.blockLength;
    std::copy_n(input.block.begin(), input.blockLength, input.reference.begin());
    const std::span<const uint8_t> stored(input.block.data(), input.blockLength ? input.blockLength : 0);
    if (m_inputType == type::kAvEncoder) {
        auto decoded = st::DecodeEncoderBlock(stored);
        if (decoded.Ok() && input.blockLength > 0)
            m_encoder = std::move(decoded.values);
        m_table.LoadInput(m_encoder);
    } else {
        auto decoded = st::DecodeHdEncoderBlock(stored);
        if (decoded.Ok() && input.blockLength > 0)
            m_hd = std::move(decoded.values);
        m_table.LoadInput(m_hd);
    }
    ShowInputValues();
}

void CSatCofdm::ReadServiceList() {
    const rack::ModuleRecord& input = m_image->Live(m_chain.input);
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = m_commands->ReadData(input.address, data, length);
    if (n == 0 || data == nullptr)
        return;
    m_table.SetReceived(ParseReceivedServices(m_inputType, std::span<const uint8_t>(data, n)));
}

void CSatCofdm::HideRates() {
    for (int k = 0; k < 4; ++k) {
        const int b = kChannelBase + k * kChannelStride;
        Item(b + kChanBar).Show(false);
        Item(b + kChanRate).Show(false);
    }
    Item(kTotalRate).Show(false);
    Item(kStreamerRate).Show(false);
    Item(kStreamerBar).Show(false);
    m_table.ClearBitRates();
}

void CSatCofdm::OutputStatus() {
    if (!m_outputType)
        return;
    const rack::ModuleRecord& output = m_image->Live(m_chain.output);
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = m_commands->ReadData(output.address, data, length);
    if (n == 0 || data == nullptr) {
        HideRates();
        return;
    }
    const std::span<const uint8_t> answer(data, n);
    m_table.ClearBitRates();
    if (IsModulatorType(*m_outputType)) {
        const ModulatorStatus status = ParseModulatorStatus(m_channelCount, answer);
        uint64_t total = 0;
        for (size_t k = 0; k < status.channels.size(); ++k) {
            const ChannelRate& rate = status.channels[k];
            const int b = kChannelBase + int(k) * kChannelStride;
            char text[64];
            std::snprintf(text, sizeof text, "%d/%d kb/s", int(rate.usedBps / 1000),
                          int(rate.capacityBps / 1000));
            Item(b + kChanRate).SetText(text);
            Item(b + kChanRate).Show(true);
            Item(b + kChanBar).SetRange(0, int(std::min<uint32_t>(rate.capacityBps, INT32_MAX)));
            Item(b + kChanBar).SetPosition(int(std::min<uint32_t>(rate.usedBps, INT32_MAX)));
            Item(b + kChanBar).Show(true);
            total += rate.usedBps;
        }
        Item(kTotalRate).SetText(Format("%d kb/s", static_cast<long long>(total / 1000)));
        Item(kTotalRate).Show(true);
        for (const ServiceRate& rate : status.services)
            m_table.SetBitRate(rate.serviceId, rate.rateBps);
    } else if (*m_outputType == type::kIpStreamer) {
        const StreamerStatus status = ParseStreamerStatus(answer);
        if (status.total) {
            const uint32_t kbps = StreamerTotalKbps(*status.total, m_streamer.protocol);
            Item(kStreamerRate).SetText(Format("%d kb/s", kbps));
            Item(kStreamerRate).Show(true);
            Item(kStreamerBar).SetRange(0, 100000);
            Item(kStreamerBar).SetPosition(int(std::min<uint32_t>(kbps, 100000)));
            Item(kStreamerBar).Show(true);
        }
        for (const ServiceRate& rate : status.services)
            m_table.SetBitRate(rate.serviceId, rate.rateBps);
    }
    m_table.Build();
}

void CSatCofdm::DrawRateGraph() {
    ui::Control& graph = Item(kRateGraph);
    const int width = int(graph.Rect().width * ui::kPixelsPerUnitX);
    const int height = int(graph.Rect().height * ui::kPixelsPerUnitY);
    std::vector<ui::Shape> shapes;
    const std::vector<ServiceRow>& rows = m_table.Rows();
    if (rows.empty()) {
        shapes.push_back({{0, 0, width, height}, kWhite, true});
        shapes.push_back({{0, 0, width, height}, kSegmentFrame, false});
        graph.SetShapes(std::move(shapes));
        return;
    }
    uint64_t total = 0;
    for (const ServiceRow& row : rows)
        total += row.bitRate;
    const bool allZero = total == 0;
    if (allZero)
        total = 100;
    const ui::Control& list = Item(kServiceList);
    uint64_t sum = 0;
    int left = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        sum += rows[i].bitRate;
        const int right = int(uint64_t(width) * sum / total);
        if (right > left) {
            const bool selected = int(i) < list.RowCount() && list.Row(int(i)).selected;
            shapes.push_back({{left, 0, right - left, height}, selected ? kSelectedSegment : kSegment, true});
            shapes.push_back({{left, 0, right - left, height}, kSegmentFrame, false});
        }
        left = right;
    }
    graph.SetShapes(std::move(shapes));
}

// Reading the fields -------------------------------------------------------------------------

void CSatCofdm::Sanitise(int controlId) {
    ui::Control& c = Item(controlId);
    if (!IsDigits(c.Text()))
        c.SetText("");
    if (c.Text().empty())
        c.SetText("0");
}

uint32_t CSatCofdm::Number(int controlId) {
    Sanitise(controlId);
    const std::string& text = Item(controlId).Text();
    if (text.size() > 9)
        return UINT32_MAX;
    return static_cast<uint32_t>(std::stoul(text));
}

std::optional<int> CSatCofdm::Integer(int controlId, int min, int max) {
    const std::string& text = Item(controlId).Text();
    if (controlId == m_refusedField && text == m_refusedText) {
        // Still the value that was refused: nothing is written, the message is not repeated.
        return std::nullopt;
    }
    std::optional<int> value = ui::DdxInteger(*this, controlId, min, max);
    if (!value) {
        m_refusedField = controlId;
        m_refusedText = Item(controlId).Text();
    } else if (controlId == m_refusedField) {
        m_refusedField = 0;
    }
    return value;
}

std::optional<std::u32string> CSatCofdm::Text(int controlId, size_t maxChars) {
    const std::string& utf8 = Item(controlId).Text();
    std::optional<std::u32string> text = st::FromUtf8(utf8);
    if (text && text->size() <= maxChars) {
        if (controlId == m_refusedField)
            m_refusedField = 0;
        return text;
    }
    if (!(controlId == m_refusedField && utf8 == m_refusedText)) {
        m_refusedField = controlId;
        m_refusedText = utf8;
        Windows().MessageBox("Please enter no more than " + std::to_string(maxChars) + " characters.",
                             "KAPTIV", ui::MessageBoxButtons::Ok, ui::MessageBoxIcon::Warning);
        SetFocus(controlId);
    }
    return std::nullopt;
}

bool CSatCofdm::ReadFields() {
    return ReadInputFields() && ReadOutputFields();
}

template <class Channel> bool CSatCofdm::ReadEncoderChannel(int base, int videoMax, Channel& channel) {
    auto name = Text(base + kEncName, kMaxChannelNameChars);
    if (!name)
        return false;
    channel.name = *name;
    auto sid = Integer(base + kEncSid, 1, kMaxWord);
    if (!sid)
        return false;
    channel.serviceId = uint16_t(*sid);
    auto video = Integer(base + kEncVideo, kAvVideoMin, videoMax);
    if (!video)
        return false;
    channel.videoRateKbps = uint16_t(*video);
    channel.audioIndex = uint8_t(std::max(Item(base + kEncAudio).SelectedItem(), 0));
    return true;
}

bool CSatCofdm::ReadInputFields() {
    if (IsTunerType(m_inputType)) {
        st::TunerValues v = m_tuner;
        const bool streaming = IsStreamingTuner();
        const bool satellite = m_inputType != type::kTerrestrial;
        for (size_t k = 0; k < v.sections.size() && k < 2; ++k) {
            const int d = int(k) * kInputStride;
            if (satellite && (k == 0 || streaming)) {
                v.sections[k].frequencyMHz = int(std::min<uint32_t>(Number(kSatFreq + d), INT32_MAX));
                v.sections[k].symbolRate = uint16_t(std::min<uint32_t>(Number(kSymbolRate + d), kMaxWord));
            }
            const int fec = Item(kFec + d).SelectedItem();
            if (m_inputType == type::kSat1_0 && k == 0 && fec >= 0)
                v.sections[k].fecIndex = fec;
            else if (streaming && satellite && fec >= 0)
                v.sections[k].horizontal = fec == 1;
        }
        if (streaming) {
            v.switchA = uint8_t(std::max(Item(kSwitchA).SelectedItem(), 0));
            v.switchB = uint8_t(std::max(Item(kSwitchB).SelectedItem(), 0));
            for (int k = 0; k < 2; ++k) {
                const int d = k * kTerrestrialStride;
                if (int s = Item(kStandard + d).SelectedItem(); s >= 0)
                    v.terrestrial[k].standard = uint8_t(s);
                v.terrestrial[k].frequencyKHz = Number(kTerrFreq + d);
                if (int b = Item(kTerrBandwidth + d).SelectedItem(); b >= 0)
                    v.terrestrial[k].bandwidthMHz = uint8_t(b + 6);
            }
            v.playoutRate = uint8_t(Item(kPlayoutSlider).Position());
            Sanitise(kStreamSid);
            auto sid = Integer(kStreamSid, 0, kMaxWord);
            if (!sid)
                return false;
            v.streamingServiceId = uint16_t(*sid);
            auto name = Text(kStreamName, kMaxChannelNameChars);
            if (!name)
                return false;
            v.streamedName = *name;
            auto server = Text(kServerAddress, st::kMaxServerAddressChars);
            if (!server)
                return false;
            v.serverAddress = *server;
            Sanitise(kServerPort);
            auto port = Integer(kServerPort, 0, kMaxWord);
            if (!port)
                return false;
            v.serverPort = uint16_t(*port);
            auto timeout = Integer(kLockTimeout, 0, kMaxByte);
            if (!timeout)
                return false;
            v.lockTimeout = uint16_t(*timeout); // the check box decides what is written
            v.lockWatchdog = Item(kLockWatchdog).IsChecked();
        }
        m_tuner = std::move(v);
    } else if (m_inputType == type::kAvEncoder) {
        st::EncoderValues v = m_encoder;
        for (int ch = 0; ch < kEncoderChannels; ++ch) {
            const int b = kEncoderBase + ch * kEncoderStride;
            st::EncoderChannel& c = v.channels[ch];
            if (!ReadEncoderChannel(b, kAvVideoMax, c))
                return false;
            c.aspect = uint8_t(std::max(Item(b + kEncAspect).SelectedItem(), 0));
            c.standard = uint8_t(std::max(Item(b + kEncStandard).SelectedItem(), 0));
            c.brightness = uint8_t(Item(b + kEncBrightness).Position());
            c.contrast = uint8_t(Item(b + kEncContrast).Position());
            c.saturation = uint8_t(Item(b + kEncSaturation).Position());
        }
        m_encoder = std::move(v);
    } else if (m_inputType == type::kHdEncoder) {
        st::HdEncoderValues v = m_hd;
        for (int ch = 0; ch < kHdChannels; ++ch) {
            const int b = kHdBase + ch * kHdStride;
            st::HdChannel& c = v.channels[ch];
            if (!ReadEncoderChannel(b, kHdVideoMax, c))
                return false;
            c.audioCoding = uint8_t(std::max(Item(b + kEncAspect).SelectedItem(), 0));
        }
        m_hd = std::move(v);
    }
    return true;
}

bool CSatCofdm::ReadOutputFields() {
    if (!m_outputType)
        return true;
    if (IsModulatorType(*m_outputType)) {
        st::ModulatorValues v = m_modulator;
        v.radio.frequencyKHz = Number(kModFreq);
        if (int i = Item(kBandwidth).SelectedItem(); i >= 0)
            v.radio.bandwidthCode = uint8_t(i + 1);
        if (int i = Item(kGuard).SelectedItem(); i >= 0)
            v.radio.guard = uint8_t(i);
        if (int i = Item(kCodeRate).SelectedItem(); i >= 0)
            v.radio.codeRate = uint8_t(i);
        if (int i = Item(kMode).SelectedItem(); i >= 0)
            v.radio.mode = uint8_t(i);
        if (int i = Item(kConstellation).SelectedItem(); i >= 0)
            v.radio.constellation = uint8_t(i);
        v.radio.levelStep = uint8_t(Item(kOutputLevel).Position());
        v.symbolRateKSps = uint16_t(std::min<uint32_t>(Number(kModSymbolRate), kMaxWord));
        v.originalNetworkId = uint16_t(std::min<uint32_t>(Number(kOnid), kMaxWord));
        v.networkId = uint16_t(std::min<uint32_t>(Number(kNid), kMaxWord));
        for (int k = 0; k < 4; ++k)
            v.transportStreamIds[k] = uint16_t(std::min<uint32_t>(Number(kTsid + k), kMaxWord));
        Sanitise(kVersion);
        auto version = Integer(kVersion, 0, st::kMaxNitVersion);
        if (!version)
            return false;
        v.nitVersion = uint8_t(*version);
        auto name = Text(kNetworkName, kMaxNetworkNameChars);
        if (!name)
            return false;
        v.networkName = *name;
        if (int i = Item(kLcnFlavour).SelectedItem(); i >= 0)
            v.lcnFlavour = static_cast<st::LcnFlavour>(i);
        v.removeCatEmm = Item(kRemoveCatEmm).IsChecked();
        v.watchdog = Item(kModWatchdog).IsChecked();
        m_modulator = std::move(v);
    } else if (*m_outputType == type::kIpStreamer) {
        st::IpStreamerValues v = m_streamer;
        v.dhcp = Item(kDhcp).IsChecked();
        v.sap = Item(kSap).IsChecked();
        for (int i = 0; i < 4; ++i) {
            for (auto [first, target] : {std::pair{kIpAddress, &v.address}, std::pair{kIpMask, &v.mask},
                                         std::pair{kIpGateway, &v.gateway}}) {
                auto byte = Integer(first + i, 0, kMaxByte);
                if (!byte)
                    return false;
                (*target)[i] = uint8_t(*byte);
            }
        }
        for (int i = 0; i < 6; ++i)
            v.mac[i] = st::MacByteFromText(Item(kMac + i).Text());
        if (int i = Item(kProtocol).SelectedItem(); i >= 0)
            v.protocol = uint8_t(i);
        auto ttl = Integer(kTtl, 0, kMaxByte);
        if (!ttl)
            return false;
        v.ttl = uint8_t(*ttl);
        if (int i = Item(kQos).SelectedItem(); i >= 0)
            v.qos = static_cast<st::QosChoice>(i);
        m_streamer = std::move(v);
    }
    return true;
}

// Writing -------------------------------------------------------------------------------------

void CSatCofdm::Write() {
    rack::ModuleRecord& input = m_image->Live(m_chain.input);
    rack::ModuleRecord* output = m_outputType ? &m_image->Live(m_chain.output) : nullptr;
    std::string problem;
    auto store = [&](rack::ModuleRecord& record, st::EncodeResult result) {
        const bool decoded = &record == &input ? m_inputDecoded : m_outputDecoded;
        if (!decoded) {
            problem = text::FormatToolText(text::ToolText::SettingsNotRead, {std::to_string(record.address)});
            return;
        }
        if (!result.Ok()) {
            problem = text::FormatToolText(text::ToolText::SettingsNotWritten, {result.error});
            return;
        }
        record.SetBlock(result.block);
    };
    // Three encodes with two rule passes between them: a rule pass can change what the
    // blocks hold, and the rules read the blocks of the following outputs.
    for (int pass = 0; pass < 3; ++pass) {
        problem.clear();
        if (output && IsModulatorType(*m_outputType)) {
            m_table.StoreOutput(m_modulator);
            store(*output,
                  st::EncodeModulatorBlock(*m_outputType, m_modulator,
                                           st::ModulatorEncodeContext::FromStoredBlock(output->Block())));
        } else if (output && *m_outputType == type::kIpStreamer) {
            m_table.StoreOutput(m_streamer);
            store(*output, st::EncodeIpStreamerBlock(m_streamer));
        }
        switch (LayoutOfType(m_inputType)) {
        case BlockLayout::SingleTuner:
        case BlockLayout::DualTuner: {
            m_table.StoreInput(m_tuner);
            st::TunerChecks checks;
            checks.lockTimeout = Item(kLockTimeoutCheck).IsChecked();
            checks.lockWatchdog = Item(kLockWatchdog).IsChecked();
            store(input, st::EncodeTunerBlock(m_tuner, checks));
            break;
        }
        case BlockLayout::Encoder: {
            m_table.StoreInput(m_encoder);
            // The counter advances once per write, not once per pass.
            bool changed = m_encoderChanged && pass == 0;
            store(input, st::EncodeEncoderBlock(m_encoder, changed));
            break;
        }
        case BlockLayout::HdEncoder: {
            m_table.StoreInput(m_hd);
            bool changed = m_encoderChanged && pass == 0;
            store(input, st::EncodeHdEncoderBlock(m_hd, changed));
            break;
        }
        default:
            break;
        }
        if (pass < 2)
            m_table.ApplyConsistencyRules();
    }
    m_encoderChanged = false;
    ApplyDescrambledUpstream(*m_image, m_chain.input);
    m_writeProblem = problem;

    ShowPageMessage(problem);
    if (m_image->SendChanges(*m_commands))
        ShowPageMessage(text::LocalizedToolText(text::ToolText::RackRestarts));
}

} // namespace kaptiv::editor
