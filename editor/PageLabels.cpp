#include "editor/PageLabels.h"

#include "resources/SettingsIds.h"
#include "text/Language.h"

namespace kaptiv::editor {

using namespace resources::page;

namespace {
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
} // namespace

void SetPageLabels(ui::Dialog& page) {
    for (const LabelEntry& label : kLabels)
        page.Item(label.control).SetText(text::LocalizedText(label.entry));
}

} // namespace kaptiv::editor
