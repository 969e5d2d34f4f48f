// Settings page of a chain: the panels of every module family side by side. Inputs on the
// left (satellite and terrestrial tuners, the extra panel of the streaming tuners, the A/V
// and HD encoders, which share the area since a chain has one input), outputs on the right
// (modulators and the IP streamer, likewise sharing), the service table below. Which panels
// show is decided when a chain is opened; the template starts with the family-specific
// controls visible so that nothing depends on their initial state.
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"

#include <vector>

namespace kaptiv::resources {

using namespace ui;
using namespace page;

namespace {

constexpr uint32_t kDrop = style::DropDownList;
constexpr uint32_t kNum = style::AlignRight;

const char* const kLetters[] = {"A", "B", "C", "D", "E", "F", "G", "H",
                                "I", "J", "K", "L", "M", "N", "O", "P"};
const char* const kChannelLabels[] = {"B.W. 1", "B.W. 2", "B.W. 3", "B.W. 4"};

std::vector<ControlTemplate> BuildControls() {
    std::vector<ControlTemplate> c;
    auto add = [&c](int id, ControlKind kind, RectDu rect, const char* text = "", uint32_t st = 0,
                    ImageRef image = {}) {
        c.push_back({id, kind, rect, text, st, image});
    };
    auto label = [&](int id, RectDu rect, const char* text) { add(id, ControlKind::StaticText, rect, text); };
    auto edit = [&](int id, RectDu rect, uint32_t st = kNum) {
        add(id, ControlKind::Edit, rect, "", st | style::Border);
    };
    auto combo = [&](int id, RectDu rect) { add(id, ControlKind::ComboBox, rect, "", kDrop); };

    // Input group ---------------------------------------------------------------------------
    add(kInputGroup, ControlKind::GroupBox, {2, 0, 206, 192}, "INPUT");
    add(kInputPicture, ControlKind::Picture, {172, 8, 32, 32}, "", 0, Bitmap(228));
    for (int k = 0; k < 2; ++k) {
        const int d = k * kInputStride;
        const int y = 10 + k * 42;
        label(kInputLetter + d, {6, y + 2, 8, 8}, kLetters[k]);
        label(kSatFreqLabel + d, {14, y + 2, 44, 8}, "Freq. (MHz) :");
        edit(kSatFreq + d, {58, y, 36, 12});
        label(kSymbolRateLabel + d, {98, y + 2, 20, 8}, "S.R. :");
        edit(kSymbolRate + d, {118, y, 30, 12});
        add(kLockIcon + d, ControlKind::Picture, {152, y, 12, 12}, "", 0, Bitmap(187));
        label(kFecLabel + d, {14, y + 16, 28, 8}, "F.E.C. :");
        combo(kFec + d, {42, y + 14, 36, 60});
        label(kLevelLabel + d, {6, y + 30, 24, 8}, "Level");
        add(kLevelBar + d, ControlKind::ProgressBar, {30, y + 31, 56, 6});
        label(kLevelText + d, {88, y + 30, 14, 8}, "0");
        label(kQualityLabel + d, {106, y + 30, 26, 8}, "S.N.R.");
        add(kQualityBar + d, ControlKind::ProgressBar, {132, y + 31, 50, 6});
        label(kQualityText + d, {186, y + 30, 16, 8}, "0");
        // Terrestrial tuning shares the rows of the satellite fields.
        const int t = k * kTerrestrialStride;
        label(kStandardLabel + t, {14, y + 2, 20, 8}, "Std :");
        combo(kStandard + t, {34, y, 48, 60});
        label(kTerrFreqLabel + t, {84, y + 2, 42, 8}, "Freq. (kHz) :");
        edit(kTerrFreq + t, {126, y, 40, 12});
        label(kTerrBandwidthLabel + t, {84, y + 16, 40, 8}, "Bandwidth :");
        combo(kTerrBandwidth + t, {126, y + 14, 44, 60});
    }
    label(kSwitchALabel, {82, 68, 30, 8}, "Switch A :");
    combo(kSwitchA, {112, 66, 26, 60});
    label(kSwitchBLabel, {142, 68, 30, 8}, "Switch B :");
    combo(kSwitchB, {172, 66, 26, 60});

    label(kPlayoutLabel, {6, 98, 24, 8}, "Rate :");
    add(kPlayoutSlider, ControlKind::Slider, {30, 96, 120, 12});
    label(kPlayoutText, {152, 98, 50, 8}, "");

    add(kExtraGroup, ControlKind::GroupBox, {4, 110, 202, 80}, "PLAY-OUT");
    add(kExtraSelector, ControlKind::UpDown, {190, 118, 12, 14});
    label(kStreamSidLabel, {8, 122, 24, 8}, "S.I.D. :");
    edit(kStreamSid, {34, 120, 30, 12});
    label(kStreamNameLabel, {68, 122, 22, 8}, "Name :");
    edit(kStreamName, {90, 120, 56, 12}, 0);
    edit(kStreamPort, {148, 120, 38, 12});
    add(kScheduleList, ControlKind::ListView, {8, 134, 104, 46}, "", style::Border | style::MultiSelect);
    add(kScheduleStart, ControlKind::TimePicker, {114, 134, 30, 12});
    add(kScheduleEnd, ControlKind::TimePicker, {114, 148, 30, 12});
    add(kScheduleAdd, ControlKind::Button, {114, 164, 14, 12}, "+");
    add(kScheduleRemove, ControlKind::Button, {130, 164, 14, 12}, "-");
    add(kFileList, ControlKind::ListBox, {146, 134, 56, 32}, "", style::Border);
    add(kFileUpload, ControlKind::Button, {146, 167, 27, 13}, "", 0, Icon(270));
    add(kFileDelete, ControlKind::Button, {175, 167, 27, 13}, "", 0, Icon(271));
    label(kLogLabel, {8, 172, 20, 8}, "LOG");
    add(kLogOn, ControlKind::Button, {30, 170, 24, 12}, "ON");
    add(kLogGet, ControlKind::Button, {56, 170, 24, 12}, "Get");
    add(kLogOff, ControlKind::Button, {82, 170, 24, 12}, "OFF");
    label(kServerLabel, {8, 124, 50, 8}, "Server Addr. :");
    edit(kServerAddress, {60, 122, 110, 12}, 0);
    label(kServerPortLabel, {8, 140, 50, 8}, "Port :");
    edit(kServerPort, {60, 138, 40, 12});
    label(kReceiverLabel, {8, 156, 50, 8}, "Receiver :");
    edit(kReceiverAddress, {60, 154, 110, 12}, style::ReadOnly);
    add(kLockTimeoutCheck, ControlKind::CheckBox, {8, 124, 84, 10}, "Tuner Lock TimeOut :");
    edit(kLockTimeout, {94, 122, 30, 12});
    add(kLockWatchdog, ControlKind::CheckBox, {8, 140, 84, 10}, "Watchdog");

    // A/V encoder: channels A and B.
    for (int ch = 0; ch < 2; ++ch) {
        const int b = kEncoderBase + ch * kEncoderStride;
        const int x = 4 + ch * 102;
        add(b + kEncGroup, ControlKind::GroupBox, {x, 8, 100, 182}, kLetters[ch]);
        label(b + kEncNameLabel, {x + 4, 22, 30, 8}, "Name :");
        edit(b + kEncName, {x + 34, 20, 62, 12}, 0);
        label(b + kEncSidLabel, {x + 4, 38, 30, 8}, "S.I.D. :");
        edit(b + kEncSid, {x + 34, 36, 40, 12});
        label(b + kEncVideoLabel, {x + 4, 54, 30, 8}, "Video :");
        edit(b + kEncVideo, {x + 34, 52, 40, 12});
        label(b + kEncAudioLabel, {x + 4, 70, 30, 8}, "Audio :");
        combo(b + kEncAudio, {x + 34, 68, 50, 60});
        label(b + kEncAspectLabel, {x + 4, 86, 30, 8}, "Aspect :");
        combo(b + kEncAspect, {x + 34, 84, 50, 60});
        label(b + kEncStandardLabel, {x + 4, 102, 30, 8}, "Std :");
        combo(b + kEncStandard, {x + 34, 100, 50, 60});
        label(b + kEncBrightnessLabel, {x + 4, 120, 30, 8}, "Bright. :");
        add(b + kEncBrightness, ControlKind::Slider, {x + 34, 118, 62, 12});
        label(b + kEncContrastLabel, {x + 4, 138, 30, 8}, "Contr. :");
        add(b + kEncContrast, ControlKind::Slider, {x + 34, 136, 62, 12});
        label(b + kEncSaturationLabel, {x + 4, 156, 30, 8}, "Sat. :");
        add(b + kEncSaturation, ControlKind::Slider, {x + 34, 154, 62, 12});
    }
    // HD encoder: channels A to D in two rows.
    for (int ch = 0; ch < 4; ++ch) {
        const int b = kHdBase + ch * kHdStride;
        const int x = 4 + (ch % 2) * 102;
        const int y = 8 + (ch / 2) * 91;
        add(b + kEncGroup, ControlKind::GroupBox, {x, y, 100, 89}, kLetters[ch]);
        label(b + kEncNameLabel, {x + 4, y + 14, 30, 8}, "Name :");
        edit(b + kEncName, {x + 34, y + 12, 62, 12}, 0);
        label(b + kEncSidLabel, {x + 4, y + 28, 30, 8}, "S.I.D. :");
        edit(b + kEncSid, {x + 34, y + 26, 40, 12});
        label(b + kEncVideoLabel, {x + 4, y + 42, 30, 8}, "Video :");
        edit(b + kEncVideo, {x + 34, y + 40, 40, 12});
        label(b + kHdAudioLabel, {x + 4, y + 56, 30, 8}, "Audio :");
        combo(b + kEncAudio, {x + 34, y + 54, 50, 60});
        label(b + kHdCodingLabel, {x + 4, y + 70, 30, 8}, "Coding :");
        combo(b + kEncAspect, {x + 34, y + 68, 50, 60});
    }

    // Output group --------------------------------------------------------------------------
    add(kOutputGroup, ControlKind::GroupBox, {210, 0, 202, 192}, "MODULATION");
    add(kOutputPicture, ControlKind::Picture, {374, 8, 32, 32}, "", style::Notify, Bitmap(163));
    const struct {
        int labelId;
        const char* text;
        int controlId;
        bool isCombo;
    } kModRows[] = {
        {kModFreqLabel, "Freq. (kHz) :", kModFreq, false},
        {kBandwidthLabel, "Bandwidth :", kBandwidth, true},
        {kGuardLabel, "Guard Int. :", kGuard, true},
        {kCodeRateLabel, "Code rate :", kCodeRate, true},
        {kModeLabel, "Mode :", kMode, true},
        {kConstellationLabel, "Const. :", kConstellation, true},
        {kModSymbolRateLabel, "S.R. :", kModSymbolRate, false},
    };
    int y = 10;
    for (const auto& row : kModRows) {
        label(row.labelId, {214, y + 2, 42, 8}, row.text);
        if (row.isCombo)
            combo(row.controlId, {258, y, 44, 60});
        else
            edit(row.controlId, {258, y, 40, 12});
        y += 14;
    }
    label(kOutputLevelLabel, {214, 112, 40, 8}, "Level Att.");
    add(kOutputLevel, ControlKind::Slider, {254, 110, 34, 12}, "", style::Ticks);
    label(kOutputLevelText, {290, 112, 18, 8}, "0dB");
    label(kOnidLabel, {310, 46, 28, 8}, "ONID :");
    edit(kOnid, {340, 44, 34, 12});
    label(kNidLabel, {310, 60, 28, 8}, "NID :");
    edit(kNid, {340, 58, 34, 12});
    label(kTsidLabel, {310, 74, 30, 8}, "T.S. Id. :");
    for (int k = 0; k < 4; ++k)
        edit(kTsid + k, {340 + (k % 2) * 36, 72 + (k / 2) * 14, 34, 12});
    label(kNetworkNameLabel, {310, 101, 60, 8}, "Network name :");
    edit(kNetworkName, {310, 110, 100, 12}, 0);
    label(kVersionLabel, {310, 128, 26, 8}, "Version :");
    edit(kVersion, {338, 126, 16, 12});
    label(kLcnLabel, {358, 128, 14, 8}, "LCN");
    combo(kLcnFlavour, {372, 126, 38, 40});
    add(kRemoveCatEmm, ControlKind::CheckBox, {214, 126, 80, 10}, "Remove CAT/EMM");
    add(kModWatchdog, ControlKind::CheckBox, {214, 136, 80, 10}, "Watchdog");
    for (int k = 0; k < 4; ++k) {
        const int b = kChannelBase + k * kChannelStride;
        const int yy = 148 + k * 9;
        label(b + kChanLabel, {214, yy, 26, 8}, kChannelLabels[k]);
        label(b + kChanFrequency, {240, yy, 30, 8}, "");
        add(b + kChanBar, ControlKind::ProgressBar, {272, yy + 1, 60, 6});
        label(b + kChanRate, {334, yy, 74, 8}, "");
    }
    label(kTotalRate, {334, 183, 74, 8}, "");

    // IP streamer.
    add(kDhcp, ControlKind::CheckBox, {214, 12, 40, 10}, "DHCP");
    add(kSap, ControlKind::CheckBox, {258, 12, 40, 10}, "SAP");
    const struct {
        int labelId;
        const char* text;
        int first;
    } kIpRows[] = {{kIpLabel, "IP Addr. :", kIpAddress},
                   {kMaskLabel, "Mask :", kIpMask},
                   {kGatewayLabel, "Gateway :", kIpGateway}};
    y = 26;
    for (const auto& row : kIpRows) {
        label(row.labelId, {214, y + 2, 36, 8}, row.text);
        for (int i = 0; i < 4; ++i)
            edit(row.first + i, {252 + i * 25, y, 23, 12});
        y += 14;
    }
    label(kMacLabel, {214, 70, 36, 8}, "MAC :");
    for (int i = 0; i < 6; ++i)
        edit(kMac + i, {252 + i * 21, 68, 19, 12}, 0);
    label(kProtocolLabel, {214, 86, 32, 8}, "Protocol :");
    combo(kProtocol, {248, 84, 34, 40});
    label(kTtlLabel, {286, 86, 16, 8}, "TTL :");
    edit(kTtl, {304, 84, 20, 12});
    label(kQosLabel, {328, 86, 18, 8}, "QoS :");
    combo(kQos, {348, 84, 60, 80});
    add(kStreamTable, ControlKind::ListView, {214, 100, 194, 54}, "", style::Border | style::EditLabels);
    add(kStreamerBar, ControlKind::ProgressBar, {214, 158, 160, 6});
    label(kStreamerRate, {376, 157, 34, 8}, "");
    add(kStreamLetterStrip, ControlKind::OwnerDrawn, {214, 166, 160, 9});
    for (int i = 0; i < 16; ++i)
        add(kStreamLetter + i, ControlKind::StaticText, {214 + i * 10, 166, 10, 8}, kLetters[i],
            style::AlignCenter);

    // Service table -------------------------------------------------------------------------
    add(kHeaderStrip, ControlKind::OwnerDrawn, {2, 194, 410, 10});
    const struct {
        const char* text;
        int x;
        int width;
    } kHeaders[] = {{"S.I.D.", 28, 32},      {"Service name", 61, 90}, {"UNCRYPT", 179, 50},
                    {"MODULATION", 230, 50}, {"LCN", 281, 32},         {"HD LCN", 314, 32},
                    {"N.SID", 347, 32}};
    for (int i = 0; i < 7; ++i)
        add(kHeaderLabel + i, ControlKind::StaticText, {kHeaders[i].x, 195, kHeaders[i].width, 8},
            kHeaders[i].text);
    add(kServiceList, ControlKind::ListView, {2, 204, 410, 82}, "",
        style::Border | style::MultiSelect | style::EditLabels);
    add(kRateGraph, ControlKind::OwnerDrawn, {2, 288, 410, 8});
    label(kPageMessage, {2, 298, 410, 8}, "");
    return c;
}

const std::vector<ControlTemplate>& Controls() {
    static const std::vector<ControlTemplate> controls = BuildControls();
    return controls;
}

} // namespace

const DialogTemplate& SettingsTemplate() {
    static const DialogTemplate tmpl{kDialogSettings, DialogKind::Child, {414, 308}, "", Controls(), false};
    return tmpl;
}

} // namespace kaptiv::resources
