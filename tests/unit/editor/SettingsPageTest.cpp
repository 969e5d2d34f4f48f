// The settings page of a chain, opened from the main window over the simulated rack on
// virtual time: which panels each family shows, what one tick writes, and what it refuses.
#include "editor/CSatCofdm.h"
#include "resources/Dialogs.h"
#include "resources/SettingsIds.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"
#include "sim/DemoBlocks.h"
#include "tests/unit/editor/SettingsPageSupport.h"
#include "text/Language.h"
#include "ui/CInPlaceEdit.h"
#include "ui/ScriptedResponder.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::resources::page;
using editor::CSatCofdm;

namespace {

using namespace kaptiv::test::page;

TEST_F(SettingsPage, OpensBesideTheColumnCoveringTheMessagePanel) {
    Start();
    sim.main.SelectModule(kRowSat2_0);
    EXPECT_TRUE(page.IsVisible());
    EXPECT_EQ(page.Data().position, (ui::PointPx{136, 0}));
    EXPECT_FALSE(sim.info.IsVisible());
    EXPECT_TRUE(page.IsTimerSet(CSatCofdm::kTickTimer));
    EXPECT_EQ(page.Item(kScheduleStart).MinutesOfDay(), 8 * 60);
    EXPECT_EQ(page.Item(kScheduleEnd).MinutesOfDay(), 10 * 60);
    EXPECT_EQ(page.Item(kOutputLevel).Data().rangeMin, 10);
    EXPECT_EQ(page.Item(kOutputLevel).Data().rangeMax, 30);
    // Selecting the controller closes the page.
    sim.main.SelectModule(0);
    EXPECT_FALSE(page.IsVisible());
    EXPECT_FALSE(page.IsChainOpen());
    EXPECT_FALSE(page.IsTimerSet(CSatCofdm::kTickTimer));
}

TEST_F(SettingsPage, TwinSatelliteTunerWithCiAndFourChannelCofdm) {
    Start();
    sim.main.SelectModule(kRowSat2_0);
    for (int id : {kSatFreq, kSymbolRate, kFec, kSatFreq + kInputStride, kFec + kInputStride, kSwitchA,
                   kSwitchB, kLevelBar + kInputStride, kPlayoutSlider, kExtraGroup, kStreamSid})
        EXPECT_TRUE(Shown(id)) << id;
    // Type 7 has the extra panel but no selector; no terrestrial fields, no encoder panels.
    for (int id : {kExtraSelector, kStandard, kTerrFreq, kEncoderBase + kEncName, kHdBase + kEncName,
                   kServerAddress, kLockTimeout})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_EQ(page.Item(kFec).Items(), (std::vector<std::string>{"V", "H"}));
    EXPECT_EQ(page.Item(kFecLabel).Text(), "Pol. :");
    EXPECT_EQ(page.Item(kOutputGroup).Text(), "MODULATION");
    EXPECT_EQ(page.Item(kConstellation).Items(), (std::vector<std::string>{"QPSK", "QAM16", "QAM64"}));
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(Shown(kChannelBase + k * kChannelStride + kChanBar)) << k;
    EXPECT_FALSE(Shown(kChannelBase + kChanFrequency)); // channel 1 has the frequency field itself
    EXPECT_TRUE(Shown(kChannelBase + 3 * kChannelStride + kChanFrequency));
    EXPECT_FALSE(Shown(kMode));          // more than one channel
    EXPECT_FALSE(Shown(kModSymbolRate)); // COFDM
    EXPECT_EQ(page.Item(kOutputPicture).Image(), ui::Bitmap(163));
    EXPECT_EQ(page.Item(kInputPicture).Image(), ui::Bitmap(228));
    EXPECT_EQ(page.ChannelCount(), 4);
    // The decoded values are shown.
    ASSERT_FALSE(page.Tuner().sections.empty());
    EXPECT_EQ(page.Item(kSatFreq).Text(), std::to_string(page.Tuner().sections[0].frequencyMHz));
    EXPECT_EQ(page.Item(kModFreq).Text(), std::to_string(page.Modulator().radio.frequencyKHz));
}

TEST_F(SettingsPage, SingleSatelliteTunerHasNoFecListAndNoInputB) {
    Start();
    sim.main.SelectModule(kRowSat1);
    EXPECT_TRUE(Shown(kSatFreq));
    EXPECT_TRUE(Shown(kLevelBar));
    for (int id : {kFec, kFecLabel, kSatFreq + kInputStride, kLevelBar + kInputStride, kSwitchA,
                   kPlayoutSlider, kExtraGroup})
        EXPECT_FALSE(Shown(id)) << id;
    // One-channel COFDM: the mode list, no channel 2.
    EXPECT_TRUE(Shown(kMode));
    EXPECT_FALSE(Shown(kChannelBase + kChannelStride + kChanBar));
    EXPECT_FALSE(Shown(kTsid + 1));
}

TEST_F(SettingsPage, TerrestrialTunerWithQamModulator) {
    Start();
    sim.main.SelectModule(kRowTerrestrial);
    for (int id : {kStandard, kTerrFreq, kStandard + kTerrestrialStride, kExtraSelector, kModSymbolRate})
        EXPECT_TRUE(Shown(id)) << id;
    EXPECT_FALSE(Shown(kSatFreq));
    EXPECT_EQ(page.Item(kInputPicture).Image(), ui::Bitmap(242));
    EXPECT_EQ(page.Item(kOutputPicture).Image(), ui::Bitmap(208));
    EXPECT_EQ(page.Item(kConstellation).Items(),
              (std::vector<std::string>{"QAM16", "QAM32", "QAM64", "QAM128", "QAM256"}));
    // The bandwidth list hides while its standard is DVB-C.
    Choose(kStandard, 0);
    EXPECT_FALSE(Shown(kTerrBandwidth));
    Choose(kStandard, 1);
    EXPECT_TRUE(Shown(kTerrBandwidth));
    EXPECT_TRUE(page.InputChanged());
}

TEST_F(SettingsPage, ExtraPanelViewsWrapAndTheLockViewNeedsAdvancedMode) {
    Start();
    sim.main.SelectModule(kRowTerrestrial);
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewPlayout);
    EXPECT_TRUE(Shown(kScheduleList));
    EXPECT_FALSE(page.Item(kFileUpload).IsEnabled());
    // The page moves the up-down itself and reports its new position.
    ui::UiEvent up = ui::MakeEvent(kDialogSettings, kExtraSelector, ui::EventKind::Scroll);
    up.value = 1;
    ASSERT_EQ(sim.windows.DeliverEvent(up), ui::DeliverResult::Delivered);
    EXPECT_TRUE(Shown(kServerAddress));
    EXPECT_TRUE(Shown(kReceiverAddress));
    EXPECT_FALSE(Shown(kScheduleList));
    page.Item(kExtraSelector).SetPosition(2); // past the last view without advanced mode: wraps to 0
    page.OnScroll(kExtraSelector, page.Item(kExtraSelector).Position());
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewPlayout);
    EXPECT_EQ(page.Item(kExtraSelector).Position(), 0);
    page.OnScroll(kExtraSelector, -1);
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewServer);

    page.SetAdvancedMode(true);
    page.OnScroll(kExtraSelector, 2);
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewTunerLock);
    EXPECT_TRUE(Shown(kLockTimeout));
    EXPECT_TRUE(Shown(kLockWatchdog));
    page.OnScroll(kExtraSelector, 3);
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewPlayout);
}

TEST_F(SettingsPage, EncodersShowTheirChannelPanels) {
    Start();
    sim.main.SelectModule(kRowHd);
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_TRUE(Shown(kHdBase + ch * kHdStride + kEncName)) << ch;
    EXPECT_FALSE(Shown(kEncoderBase + kEncName));
    EXPECT_FALSE(Shown(kLevelBar));
    // HD encoder -> IP streamer: the streamer's panel, no modulator fields.
    EXPECT_TRUE(Shown(kIpAddress));
    EXPECT_TRUE(Shown(kStreamTable));
    EXPECT_TRUE(Shown(kStreamLetter + 15));
    EXPECT_FALSE(Shown(kModFreq));
    EXPECT_EQ(page.Item(kServiceList).Data().columns.size(), 31u);

    sim.main.SelectModule(kRowAv);
    EXPECT_TRUE(Shown(kEncoderBase + kEncoderStride + kEncSaturation));
    EXPECT_FALSE(Shown(kHdBase + kEncName));
    EXPECT_EQ(page.Item(kEncoderBase + kEncAudio).Items().back(), "384  Kb/s");
    EXPECT_TRUE(Shown(kModSymbolRate));
}

TEST_F(SettingsPage, ChainWithoutOutputShowsActivation) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    rack.modules.resize(2);                      // controller, twin satellite tuner
    rack.modules.push_back(test::Module(11, 1)); // another input right after it
    rack.modules.back().block = mulvane::DemoBlockFor(1);
    Start(std::move(rack));
    sim.main.SelectModule(1);
    ASSERT_TRUE(page.IsChainOpen());
    EXPECT_FALSE(page.OutputType().has_value());
    EXPECT_EQ(page.Item(kOutputGroup).Text(), "ACTIVATION");
    for (int id : {kModFreq, kBandwidth, kOutputPicture, kChannelBase + kChanBar, kIpAddress, kTotalRate})
        EXPECT_FALSE(Shown(id)) << id;
    // The single satellite tuner of type 1 has the FEC list.
    sim.main.SelectModule(2);
    EXPECT_EQ(page.Item(kFec).Items(), (std::vector<std::string>{"1/2", "2/3", "3/4", "5/6", "7/8"}));
    EXPECT_EQ(page.Item(kFecLabel).Text(), "F.E.C. :");
}

TEST_F(SettingsPage, FrequencyEditIsWrittenWithinOneTickToThatModuleOnly) {
    Start();
    Open(kRowSat2_0);
    Type(kSatFreq, "11495");
    EXPECT_TRUE(page.InputChanged());
    sim.loop.RunFor(1000);
    const auto tuner = Written(kRowSat2_0);
    ASSERT_EQ(tuner.size(), 1u);
    const auto decoded = settings::DecodeTunerBlock(7, tuner.front());
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    EXPECT_EQ(decoded.values.sections.at(0).frequencyMHz, 11495);
    EXPECT_FALSE(page.InputChanged());
    // No other module received a block; the modulator of the chain was told to apply.
    for (int row = 2; row <= 11; ++row)
        EXPECT_TRUE(Written(row).empty()) << row;
    EXPECT_GE(sim.engine->ExecuteCount(Address(3)), 1);
    // Nothing more is written while nothing changes.
    sim.loop.RunFor(3000);
    EXPECT_EQ(Written(kRowSat2_0).size(), 1u);
}

TEST_F(SettingsPage, SatelliteFrequencyOutsideTheBandIsRed) {
    Start();
    Open(kRowSat2_0);
    Type(kSatFreq, "12900");
    EXPECT_TRUE(page.Item(kSatFreq).Data().textColor.has_value());
    Type(kSatFreq, "11000");
    EXPECT_FALSE(page.Item(kSatFreq).Data().textColor.has_value());
}

TEST_F(SettingsPage, BandwidthEightToSevenWritesTheSymbolRateLimit) {
    Start();
    Open(kRowAv); // A/V encoder -> 4-channel QAM
    Choose(kBandwidth, 1);
    EXPECT_EQ(page.Item(kModSymbolRate).Text(), "6960");
    Choose(kBandwidth, 0);
    EXPECT_EQ(page.Item(kModSymbolRate).Text(), "6090");
    EXPECT_TRUE(page.OutputChanged());
    sim.loop.RunFor(1000);
    const auto blocks = Written(11);
    ASSERT_FALSE(blocks.empty());
    const auto decoded = settings::DecodeModulatorBlock(8, blocks.back());
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    EXPECT_EQ(decoded.values.symbolRateKSps, 6090);
    EXPECT_EQ(decoded.values.radio.bandwidthCode, settings::kBandwidthCode7MHz);
}

TEST_F(SettingsPage, BandwidthChangeResetsAFrequencyOutOfRange) {
    Start();
    Open(kRowAv);
    Type(kModFreq, "858000"); // channel 4 lies beyond 860 MHz
    EXPECT_TRUE(page.Item(kModFreq).Data().textColor.has_value());
    Choose(kBandwidth, 1);
    EXPECT_EQ(page.Item(kModFreq).Text(), "474000");
}

TEST_F(SettingsPage, ClosingRightAfterAnEditWritesFirst) {
    Start();
    Open(kRowSat1);
    Type(kSymbolRate, "27500");
    sim.main.SelectModule(kRowAv); // closes the page before any tick
    EXPECT_EQ(page.WriteProblem(), "");
    const auto blocks = Written(kRowSat1);
    ASSERT_EQ(blocks.size(), 1u);
    const auto decoded = settings::DecodeTunerBlock(4, blocks.front());
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.values.sections.at(0).symbolRate, 27500);
    EXPECT_TRUE(page.IsChainOpen()); // now for the A/V encoder chain
}

TEST_F(SettingsPage, EncoderCounterChangeRereadsAndShowsTheModulesValues) {
    Start();
    Open(kRowAv);
    auto decoded = settings::DecodeEncoderBlock(sim.engine->CurrentBlock(Address(kRowAv)));
    ASSERT_TRUE(decoded.Ok());
    settings::EncoderValues values = decoded.values;
    values.channels[0].name = U"FRONT PANEL";
    values.channels[1].videoRateKbps = 7000;
    bool changed = true;
    const auto block = settings::EncodeEncoderBlock(values, changed);
    ASSERT_TRUE(block.Ok());
    sim.engine->SetBlock(Address(kRowAv), block.block);

    sim.loop.RunFor(1000);
    bool reread = false;
    for (const auto& request : sim.engine->RequestsTo(Address(kRowAv)))
        reread |= request.command == 0x70;
    EXPECT_TRUE(reread);
    EXPECT_EQ(page.Encoder().counter, values.counter);
    EXPECT_EQ(page.Item(kEncoderBase + kEncName).Text(), "FRONT PANEL");
    EXPECT_EQ(page.Item(kEncoderBase + kEncoderStride + kEncVideo).Text(), "7000");
    // Whatever the rules write back keeps the module's own values, not the page's old ones.
    for (const auto& written : Written(kRowAv)) {
        const auto back = settings::DecodeEncoderBlock(written);
        ASSERT_TRUE(back.Ok());
        EXPECT_EQ(back.values.channels, values.channels);
        EXPECT_EQ(back.values.counter, values.counter);
    }
}

TEST_F(SettingsPage, OutOfRangeFieldBlocksTheWriteAndTakesTheFocus) {
    Start();
    Open(kRowAv);
    Type(kEncoderBase + kEncVideo, "20000");
    responder.AnswerMessageBox(ui::ModalResult::Ok, "Please enter an integer between 4000 and 12000.");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(Written(kRowAv).empty());
    EXPECT_EQ(sim.windows.Focus(), (ui::ControlRef{kDialogSettings, kEncoderBase + kEncVideo}));
    EXPECT_TRUE(page.InputChanged());
    // The same refused value is not announced again every second, and still not written.
    sim.loop.RunFor(2000);
    EXPECT_TRUE(Written(kRowAv).empty());
    // Corrected, it is written at the next tick.
    Type(kEncoderBase + kEncVideo, "8000");
    sim.loop.RunFor(1000);
    const auto blocks = Written(kRowAv);
    ASSERT_EQ(blocks.size(), 1u);
    const auto written = settings::DecodeEncoderBlock(blocks.front());
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(written.values.channels[0].videoRateKbps, 8000);
}

TEST_F(SettingsPage, HdEncoderChannelKeepsItsOwnVideoRangeAndWritesItsFields) {
    Start();
    Open(kRowHd);
    const int second = kHdBase + kHdStride;
    Type(second + kEncVideo, "15001");
    responder.AnswerMessageBox(ui::ModalResult::Ok, "Please enter an integer between 4000 and 15000.");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(Written(kRowHd).empty());
    // Above the A/V encoder's 12000 but within the HD encoder's range: written, with the name,
    // service id and audio coding of the same channel.
    Type(second + kEncVideo, "14000");
    Type(second + kEncName, "STUDIO B");
    Type(second + kEncSid, "4321");
    Choose(second + kEncAspect, 1);
    sim.loop.RunFor(1000);
    const auto blocks = Written(kRowHd);
    ASSERT_FALSE(blocks.empty());
    const auto written = settings::DecodeHdEncoderBlock(blocks.back());
    ASSERT_TRUE(written.Ok());
    const settings::HdChannel& c = written.values.channels[1];
    EXPECT_EQ(c.videoRateKbps, 14000);
    EXPECT_EQ(c.name, U"STUDIO B");
    EXPECT_EQ(c.serviceId, 4321);
    EXPECT_EQ(c.audioCoding, 1);
    // Reopened, the page shows what the module now holds.
    Open(kRowAv);
    Open(kRowHd);
    EXPECT_EQ(page.Item(second + kEncVideo).Text(), "14000");
    EXPECT_EQ(page.Item(second + kEncName).Text(), "STUDIO B");
    EXPECT_EQ(page.Item(second + kEncSid).Text(), "4321");
    EXPECT_EQ(page.Item(second + kEncAspect).SelectedItem(), 1);
}

TEST_F(SettingsPage, NameTooLongIsRefusedWithTheCharactersMessage) {
    Start();
    Open(kRowAv);
    Type(kEncoderBase + kEncName, std::string(32, 'x'));
    responder.AnswerMessageBox(ui::ModalResult::Ok, "Please enter no more than 31 characters.");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(Written(kRowAv).empty());
}

TEST_F(SettingsPage, SilentInputStopsTheTickUntilReopened) {
    Start();
    Open(kRowSat1);
    // The watchdog would take the silent module as the rack gone; only the page is looked at.
    sim.main.KillTimer(rack::CQuorvelDlg::kWatchdogTimer);
    sim.engine->GetFaults().DropAllAnswersOf(Address(kRowSat1));
    // Each status read waits its 1 s time-out; the retries come one, two, three ticks later.
    sim.loop.RunFor(1500);
    EXPECT_TRUE(page.Polling());
    sim.loop.RunFor(15000);
    EXPECT_FALSE(page.Polling());
    EXPECT_FALSE(page.IsTimerSet(CSatCofdm::kTickTimer));
    size_t statusReads = 0;
    for (const auto& r : sim.engine->RequestsTo(Address(kRowSat1)))
        statusReads += r.command == 0x40;
    EXPECT_EQ(statusReads, static_cast<size_t>(CSatCofdm::kStatusRetries) + 1);
}

TEST_F(SettingsPage, ALostStatusAnswerOnlyDelaysTheTickAndTheEditIsWritten) {
    Start();
    Open(kRowSat1);
    sim.engine->GetFaults().DropNextAnswersTo(Address(kRowSat1), 0x40, CSatCofdm::kStatusRetries);
    Type(kSymbolRate, "27500");
    sim.loop.RunFor(12000);
    EXPECT_TRUE(page.Polling());
    EXPECT_TRUE(page.IsTimerSet(CSatCofdm::kTickTimer));
    const auto blocks = Written(kRowSat1);
    ASSERT_EQ(blocks.size(), 1u);
    const auto decoded = settings::DecodeTunerBlock(4, blocks.front());
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.values.sections.at(0).symbolRate, 27500);
}

TEST_F(SettingsPage, TunerStatusFillsBarsAndLockIcon) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    rack.modules[8].status = std::vector<uint8_t>{2, 77, 55};
    Start(std::move(rack));
    Open(kRowSat1);
    sim.loop.RunFor(1000);
    EXPECT_EQ(page.Item(kLevelBar).Position(), 77);
    EXPECT_EQ(page.Item(kLevelText).Text(), "77");
    EXPECT_EQ(page.Item(kQualityText).Text(), "55");
    EXPECT_EQ(page.Item(kLockIcon).Image(), ui::Bitmap(190));
}

TEST_F(SettingsPage, ModulatorRatesAndSilentOutput) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    // Channel 1 of the single-channel COFDM: 3.5 of 24 Mb/s; one service at 1200.
    rack.modules[9].readData = {0,    0,    0, 0, 0, 0x35, 0x67, 0xE0, 0x01, 0x6E,
                                0x36, 0x00, 0, 0, 0, 0,    0x00, 0x65, 0x04, 0xB0};
    Start(std::move(rack));
    Open(kRowSat1);
    sim.loop.RunFor(1000);
    EXPECT_EQ(page.Item(kChannelBase + kChanRate).Text(), "3500/24000 kb/s");
    EXPECT_EQ(page.Item(kTotalRate).Text(), "3500 kb/s");
    EXPECT_EQ(page.Item(kChannelBase + kChanBar).Position(), 3500000);
    sim.engine->GetFaults().DropAllAnswersOf(Address(9));
    // One tick on its own: the main window's watchdog would then close the rack's link.
    page.Tick();
    EXPECT_FALSE(Shown(kChannelBase + kChanRate));
    EXPECT_FALSE(Shown(kTotalRate));
    EXPECT_TRUE(page.Polling());
    EXPECT_TRUE(page.IsTimerSet(CSatCofdm::kTickTimer));
}

TEST_F(SettingsPage, DoubleClickOnTheOutputPictureBeepsAndApplies) {
    Start();
    Open(kRowSat1);
    page.OnDoubleClick(kOutputPicture, {});
    ASSERT_FALSE(sim.windows.Beeps().empty());
    EXPECT_EQ(sim.windows.Beeps().back().frequencyHz, 880);
    EXPECT_EQ(sim.engine->ExecuteCount(Address(9)), 1);
}

TEST_F(SettingsPage, LevelAndPlayoutTexts) {
    Start();
    Open(kRowSat2_0);
    page.Item(kOutputLevel).SetPosition(25);
    page.OnScroll(kOutputLevel, 25);
    EXPECT_EQ(page.Item(kOutputLevelText).Text(), "-5dB");
    EXPECT_TRUE(page.OutputChanged());
    page.Item(kPlayoutSlider).SetPosition(2);
    page.OnScroll(kPlayoutSlider, 2);
    EXPECT_EQ(page.Item(kPlayoutText).Text(), "166 Mb/s");
    EXPECT_TRUE(page.ApplyNeeded());
}

} // namespace

namespace {

TEST_F(SettingsPage, LcnCellEditOpensTheEditorAndWritesTheModulator) {
    Start();
    Open(kRowSat1); // single satellite tuner -> one-channel COFDM
    const ui::Control& list = page.Item(kServiceList);
    int row = -1;
    for (int r = 0; r < list.RowCount() && row < 0; ++r)
        if (page.Table().Rows().at(r).channel == 1)
            row = r;
    ASSERT_GE(row, 0) << "no service on the output";
    page.OnDoubleClick(kServiceList, {row, editor::column::kLcn});
    const auto edit = page.OpenCellEdit(kServiceList);
    ASSERT_TRUE(edit.has_value());
    EXPECT_EQ(edit->row, row);
    EXPECT_EQ(edit->column, editor::column::kLcn);
    // Escape changes nothing and ends the editor.
    ui::UiEvent escape =
        ui::CInPlaceEdit::EndOfEdit(kDialogSettings, kServiceList, row, editor::column::kLcn, std::nullopt);
    ASSERT_EQ(sim.windows.DeliverEvent(escape), ui::DeliverResult::Delivered);
    EXPECT_FALSE(page.OutputChanged());
    EXPECT_FALSE(page.OpenCellEdit(kServiceList).has_value());
    // A second end of the same editor reaches no one.
    EXPECT_EQ(sim.windows.DeliverEvent(escape), ui::DeliverResult::Invalid);
    page.OnDoubleClick(kServiceList, {row, editor::column::kLcn});
    ASSERT_EQ(sim.windows.DeliverEvent(ui::CInPlaceEdit::EndOfEdit(kDialogSettings, kServiceList, row,
                                                                   editor::column::kLcn, std::string("42"))),
              ui::DeliverResult::Delivered);
    EXPECT_TRUE(page.OutputChanged());
    const uint16_t sid = page.Table().Rows().at(row).serviceId;
    sim.loop.RunFor(1000);
    const auto blocks = Written(9);
    ASSERT_EQ(blocks.size(), 1u);
    const auto decoded = settings::DecodeModulatorBlock(2, blocks.front());
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    bool found = false;
    for (const auto& s : decoded.values.services)
        if (s.serviceId == sid) {
            found = true;
            EXPECT_EQ(s.logicalChannel, 42);
        }
    EXPECT_TRUE(found);
    EXPECT_TRUE(Written(kRowSat1).empty());
}

} // namespace

namespace {

TEST_F(SettingsPage, ABlockTheCodecRefusesIsNeverOverwritten) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    // The single satellite tuner lists 101 services in its section: more than the page holds.
    std::vector<uint8_t> block = {0x06, 0x4C, 0x55, 0xF0, 0x0F, 101};
    for (int i = 0; i < 101; ++i)
        block.insert(block.end(), {0x0C, uint8_t(i), 0x00});
    rack.modules[8].block = block;
    Start(std::move(rack));
    Open(kRowSat1);
    EXPECT_FALSE(page.Item(kPageMessage).Text().empty());
    Type(kSatFreq, "11600");
    Type(kModFreq, "490000");
    sim.loop.RunFor(1000);
    EXPECT_TRUE(Written(kRowSat1).empty());
    EXPECT_EQ(sim.engine->CurrentBlock(Address(kRowSat1)), block);
    // The output's own block is still written.
    ASSERT_EQ(Written(9).size(), 1u);
    EXPECT_NE(page.WriteProblem().find("not written"), std::string::npos);
}

} // namespace

TEST_F(SettingsPage, EveryLabelThatCarriesATableTextFollowsTheLanguage) {
    struct French {
        French() { text::SetLanguageIndex(int(text::Language::French)); }
        ~French() { text::SetLanguageIndex(int(text::Language::English)); }
    } french;
    Start();
    sim.main.SelectModule(kRowSat2_0);
    ASSERT_TRUE(page.IsChainOpen());
    std::vector<std::string> frenchTexts;
    for (int n = 0; n < text::kLocalizedTextCount; ++n)
        frenchTexts.push_back(text::LocalizedText(n, int(text::Language::French)));
    int localized = 0;
    for (const ui::ControlTemplate& c : resources::SettingsTemplate().controls) {
        if (c.text.empty())
            continue;
        for (int n = 0; n < text::kLocalizedTextCount; ++n) {
            const std::string english = text::LocalizedText(n, int(text::Language::English));
            if (english != c.text || frenchTexts[size_t(n)] == english)
                continue;
            const std::string& shown = page.Item(c.id).Text();
            EXPECT_NE(shown, english) << "control " << c.id << " still shows " << english;
            EXPECT_NE(std::find(frenchTexts.begin(), frenchTexts.end(), shown), frenchTexts.end())
                << "control " << c.id << " shows " << shown;
            ++localized;
            break;
        }
    }
    EXPECT_GE(localized, 30);
    // The remote server's labels and the encoders' name labels among them.
    EXPECT_EQ(page.Item(kServerLabel).Text(), text::LocalizedText(83, int(text::Language::French)));
    EXPECT_EQ(page.Item(kServerPortLabel).Text(), text::LocalizedText(84, int(text::Language::French)));
    EXPECT_EQ(page.Item(kHdBase + 3 * kHdStride + kEncNameLabel).Text(), "Nom :");
}
