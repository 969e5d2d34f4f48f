// The settings page's family views on the simulated rack: each view checks only what the
// installer can reach, the cell editor follows its service, a refusal keeps the focus, the
// IP streamer's DHCP and the expiry of the "Not identified service !" text.
#include "settings/EncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"
#include "sim/DemoBlocks.h"
#include "sim/Services.h"
#include "tests/unit/editor/SettingsPageSupport.h"
#include "text/Language.h"
#include "ui/CInPlaceEdit.h"

#include <algorithm>

using namespace kaptiv;
using namespace kaptiv::test::page;

namespace {

// The demo block of `type` with a lock time-out the block holds but the page's field refuses.
std::vector<uint8_t> TunerWithLockTimeout(uint8_t type, uint16_t seconds) {
    auto decoded = settings::DecodeTunerBlock(type, mulvane::DemoBlockFor(type));
    EXPECT_TRUE(decoded.Ok()) << decoded.error;
    decoded.values.lockFieldsPresent = true;
    decoded.values.lockTimeout = seconds;
    auto encoded = settings::EncodeTunerBlock(decoded.values, settings::ChecksFor(decoded.values));
    EXPECT_TRUE(encoded.Ok()) << encoded.error;
    return encoded.block;
}

int RowOf(const CSatCofdm& page, uint16_t serviceId) {
    const auto& rows = page.Table().Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].serviceId == serviceId)
            return static_cast<int>(i);
    return -1;
}

TEST_F(SettingsPage, HiddenLockTimeOutIsWrittenBackAsDecoded) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    rack.modules[kRowSat2_0].block = TunerWithLockTimeout(type::kSat2_0, 300);
    Start(std::move(rack));
    page.SetAdvancedMode(true); // type 7 has no selector: the lock view never shows
    Open(kRowSat2_0);
    Type(kSatFreq, "11495");
    sim.loop.RunFor(1000);
    const auto blocks = Written(kRowSat2_0);
    ASSERT_EQ(blocks.size(), 1u) << page.WriteProblem();
    const auto decoded = settings::DecodeTunerBlock(type::kSat2_0, blocks.front());
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    EXPECT_EQ(decoded.values.sections.at(0).frequencyMHz, 11495);
    EXPECT_EQ(decoded.values.lockTimeout, 300);
}

TEST_F(SettingsPage, ReachableLockTimeOutIsCheckedWithItsViewBroughtUp) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    rack.modules[kRowTerrestrial].block = TunerWithLockTimeout(type::kTerrestrial, 300);
    Start(std::move(rack));
    // Without advanced mode the lock view is out of reach: the 300 goes back unchanged.
    Open(kRowTerrestrial);
    Type(kTerrFreq, "474000");
    sim.loop.RunFor(1000);
    ASSERT_EQ(Written(kRowTerrestrial).size(), 1u) << page.WriteProblem();
    EXPECT_EQ(
        settings::DecodeTunerBlock(type::kTerrestrial, Written(kRowTerrestrial).back()).values.lockTimeout,
        300);
    // In advanced mode the installer can reach it: 256 is refused on its own view, 255 written.
    page.SetAdvancedMode(true);
    Open(kRowTerrestrial);
    Type(kLockTimeout, "256");
    responder.AnswerMessageBox(ui::ModalResult::Ok, "Please enter an integer between 0 and 255.");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(Written(kRowTerrestrial).empty());
    EXPECT_EQ(page.ExtraView(), CSatCofdm::kViewTunerLock);
    EXPECT_TRUE(Shown(kLockTimeout));
    EXPECT_EQ(sim.windows.Focus(), (ui::ControlRef{kDialogSettings, kLockTimeout}));
    Type(kLockTimeout, "255");
    sim.loop.RunFor(1000);
    ASSERT_EQ(Written(kRowTerrestrial).size(), 1u) << page.WriteProblem();
    EXPECT_EQ(
        settings::DecodeTunerBlock(type::kTerrestrial, Written(kRowTerrestrial).back()).values.lockTimeout,
        255);
}

TEST_F(SettingsPage, StreamedNameHasNoLengthLimitButRefusesWhatAByteCannotHold) {
    Start();
    Open(kRowSat2_0);
    const std::string longName(40, 'n');
    Type(kStreamName, longName);
    sim.loop.RunFor(1000);
    ASSERT_EQ(Written(kRowSat2_0).size(), 1u) << page.WriteProblem();
    EXPECT_EQ(settings::DecodeTunerBlock(type::kSat2_0, Written(kRowSat2_0).back()).values.streamedName,
              std::u32string(40, U'n'));
    // U+0100 would be written as a 0 byte and end the text early: refused in its field.
    Type(kStreamName, "A\xC4\x80");
    responder.AnswerMessageBox(ui::ModalResult::Ok, "characters the module can store");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_EQ(Written(kRowSat2_0).size(), 1u);
    EXPECT_EQ(sim.windows.Focus(), (ui::ControlRef{kDialogSettings, kStreamName}));
}

// The page's own focus reports: the field had the focus, the message box took it (the field's
// focus-lost comes while the box blocks the dialog), then the program puts it back.
struct FocusReports final : ui::Display {
    ui::WindowSystem& windows;
    std::vector<ui::ControlRef> moves;
    explicit FocusReports(ui::WindowSystem& w) : windows(w) { windows.AddDisplay(this); }
    ~FocusReports() override { windows.RemoveDisplay(this); }
    void Present(const ui::DisplayUpdate& update) override {
        if (update.focus)
            moves.push_back(*update.focus);
        if (!update.requests.empty() && windows.Focus().dialogId != 0) {
            const ui::ControlRef had = windows.Focus();
            windows.DeliverEvent(ui::MakeEvent(had.dialogId, had.controlId, ui::EventKind::FocusLost));
        }
    }
};

TEST_F(SettingsPage, ARefusedValueGetsTheFocusBackOnThePage) {
    Start();
    Open(kRowAv);
    FocusReports page_focus(sim.windows);
    const int field = kEncoderBase + kEncVideo;
    ASSERT_EQ(sim.windows.DeliverEvent(ui::MakeEvent(kDialogSettings, field, ui::EventKind::FocusGained)),
              ui::DeliverResult::Delivered);
    Type(field, "20000");
    responder.AnswerMessageBox(ui::ModalResult::Ok, "between 4000 and 12000");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_EQ(sim.windows.Focus(), (ui::ControlRef{kDialogSettings, field}));
    ASSERT_FALSE(page_focus.moves.empty());
    EXPECT_EQ(page_focus.moves.back(), (ui::ControlRef{kDialogSettings, field}));
}

TEST_F(SettingsPage, LcnEditorEndsWithoutWritingWhenTheTableReorders) {
    Start();
    Open(kRowSat1);
    const auto& rows = page.Table().Rows();
    ASSERT_GE(rows.size(), 2u);
    const int row = 0;
    const uint16_t edited = rows[row].serviceId;
    page.OnDoubleClick(kServiceList, {row, editor::column::kLcn});
    ASSERT_TRUE(page.OpenCellEdit(kServiceList).has_value());
    // The input relocks on a multiplex in another order: the service moves down the table.
    auto reception = mulvane::DefaultReception(type::kSat1);
    ASSERT_FALSE(reception.empty());
    std::reverse(reception[0].services.begin(), reception[0].services.end());
    sim.engine->SetReception(Address(kRowSat1), 0, reception[0]);
    sim.engine->SetInputSignal(Address(kRowSat1), 0, false);
    sim.loop.RunFor(1000);
    sim.engine->SetInputSignal(Address(kRowSat1), 0, true);
    for (int t = 0; t < 10 && RowOf(page, edited) == row; ++t)
        sim.loop.RunFor(1000);
    ASSERT_NE(RowOf(page, edited), row) << "the table did not reorder";
    EXPECT_FALSE(page.OpenCellEdit(kServiceList).has_value());
    // The box's end arrives late, for the row it was laid over: it reaches no one.
    const uint16_t nowThere = page.Table().Rows().at(row).serviceId;
    EXPECT_EQ(sim.windows.DeliverEvent(ui::CInPlaceEdit::EndOfEdit(kDialogSettings, kServiceList, row,
                                                                   editor::column::kLcn, std::string("42"))),
              ui::DeliverResult::Invalid);
    sim.loop.RunFor(1000);
    for (const auto& block : Written(9)) {
        const auto decoded = settings::DecodeModulatorBlock(type::kModT1, block);
        ASSERT_TRUE(decoded.Ok());
        for (const auto& s : decoded.values.services)
            EXPECT_NE(s.logicalChannel, 42)
                << "service " << s.serviceId << " (now in row " << row << ": " << nowThere << ")";
    }
}

TEST_F(SettingsPage, LcnEditorFollowsItsServiceThroughARebuildThatKeepsIt) {
    Start();
    Open(kRowSat1);
    const uint16_t edited = page.Table().Rows().at(0).serviceId;
    page.OnDoubleClick(kServiceList, {0, editor::column::kLcn});
    sim.loop.RunFor(3000); // ticks rebuild the table; the service stays in its row
    ASSERT_EQ(RowOf(page, edited), 0);
    ASSERT_TRUE(page.OpenCellEdit(kServiceList).has_value());
    ASSERT_EQ(sim.windows.DeliverEvent(ui::CInPlaceEdit::EndOfEdit(kDialogSettings, kServiceList, 0,
                                                                   editor::column::kLcn, std::string("42"))),
              ui::DeliverResult::Delivered);
    sim.loop.RunFor(1000);
    ASSERT_FALSE(Written(9).empty());
    const auto decoded = settings::DecodeModulatorBlock(type::kModT1, Written(9).back());
    ASSERT_TRUE(decoded.Ok());
    bool found = false;
    for (const auto& s : decoded.values.services)
        if (s.serviceId == edited) {
            found = true;
            EXPECT_EQ(s.logicalChannel, 42);
        }
    EXPECT_TRUE(found);
}

TEST_F(SettingsPage, DhcpDisablesTheTwelveAddressFieldsAndKeepsTheStoredAddress) {
    Start();
    Open(kRowHd); // HD encoder -> IP streamer
    const auto stored = page.Streamer().address;
    for (int first : {kIpAddress, kIpMask, kIpGateway})
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(page.Item(first + i).IsEnabled()) << first + i;
    page.Item(kIpAddress).SetText("300"); // out of range, but behind the DHCP box once checked
    page.Item(kDhcp).SetCheck(true);
    page.OnCheckChange(kDhcp);
    for (int first : {kIpAddress, kIpMask, kIpGateway})
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(page.Item(first + i).IsEnabled()) << first + i;
    sim.loop.RunFor(1000);
    ASSERT_EQ(Written(7).size(), 1u) << page.WriteProblem();
    const auto decoded = settings::DecodeIpStreamerBlock(Written(7).back());
    ASSERT_TRUE(decoded.Ok());
    EXPECT_TRUE(decoded.values.dhcp);
    EXPECT_EQ(decoded.values.address, stored);
    // Unchecked: the fields come back and the 300 is refused there.
    page.Item(kDhcp).SetCheck(false);
    page.OnCheckChange(kDhcp);
    EXPECT_TRUE(page.Item(kIpGateway + 3).IsEnabled());
    responder.AnswerMessageBox(ui::ModalResult::Ok, "between 0 and 255");
    sim.loop.RunFor(1000);
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_EQ(Written(7).size(), 1u);
}

TEST_F(SettingsPage, StreamTableColoursFollowTheRouting) {
    Start();
    Open(kRowHd); // HD encoder -> IP streamer
    const ui::Color unused{0xA0, 0xA0, 0xA0};
    const ui::Color used{0x00, 0x00, 0x00};
    // A stream that carries nothing yet, and a service routed to it with a double-click.
    int stream = -1;
    for (int k = 0; k < 16 && stream < 0; ++k)
        if (page.Item(kStreamTable).Row(k).textColor == unused)
            stream = k;
    ASSERT_GE(stream, 0);
    ASSERT_FALSE(page.Table().Rows().empty());
    page.Item(kServiceList).SelectRow(0, true);
    page.OnDoubleClick(kServiceList, {0, editor::column::kOutput1 + stream});
    ASSERT_EQ(page.Table().Rows().at(0).channel, stream + 1);
    EXPECT_EQ(page.Item(kStreamTable).Row(stream).textColor, used);
}

TEST_F(SettingsPage, UnroutingAServiceOfInputBTakesItOutOfTheEncodersSecondList) {
    Start();
    Open(kRowAv);          // A/V encoder -> 4-channel QAM
    sim.loop.RunFor(1000); // the received services are read
    const auto& rows = page.Table().Rows();
    int row = -1;
    for (size_t i = 0; i < rows.size() && row < 0; ++i)
        if (rows[i].from == 1 && rows[i].channel != 0)
            row = static_cast<int>(i);
    ASSERT_GE(row, 0) << "no service of input B on the output";
    const uint16_t id = rows[static_cast<size_t>(row)].serviceId;
    const int channel = rows[static_cast<size_t>(row)].channel;
    // A write puts the routed services of input B in the encoder's second list.
    Type(kEncoderBase + kEncName, "STUDIO");
    sim.loop.RunFor(1000);
    ASSERT_EQ(page.Encoder().passThrough[1], std::vector<uint16_t>{id});
    const auto stored = settings::DecodeEncoderBlock(sim.engine->CurrentBlock(Address(kRowAv)));
    ASSERT_TRUE(stored.Ok());
    const auto& held = stored.values.passThrough[0]; // a decode gathers every list in the first
    ASSERT_NE(std::find(held.begin(), held.end(), id), held.end()) << id;
    // Taken off the output: gone from the encoder's lists at the next write.
    for (int r = 0; r < page.Item(kServiceList).RowCount(); ++r)
        page.Item(kServiceList).SelectRow(r, r == row);
    page.OnDoubleClick(kServiceList, {row, editor::column::kOutput1 + channel - 1});
    sim.loop.RunFor(1000);
    const auto after = settings::DecodeEncoderBlock(sim.engine->CurrentBlock(Address(kRowAv)));
    ASSERT_TRUE(after.Ok());
    for (const auto& list : after.values.passThrough)
        EXPECT_EQ(std::find(list.begin(), list.end(), id), list.end()) << id;
    EXPECT_TRUE(page.Encoder().passThrough[1].empty());
}

TEST_F(SettingsPage, NotIdentifiedServiceTextExpires) {
    mulvane::RackConfig rack = mulvane::DemoRack();
    // The modulator carries a service the tuner does not receive: its row shows "?".
    auto modulator = settings::DecodeModulatorBlock(type::kModT4, rack.modules[3].block);
    ASSERT_TRUE(modulator.Ok());
    modulator.values.services.push_back(
        {.serviceId = 999, .logicalChannel = 0, .outputServiceId = 999, .channel = 1});
    auto encoded = settings::EncodeModulatorBlock(type::kModT4, modulator.values, {});
    ASSERT_TRUE(encoded.Ok()) << encoded.error;
    rack.modules[3].block = encoded.block;
    Start(std::move(rack));
    Open(kRowSat2_0);
    const int row = RowOf(page, 999);
    ASSERT_GE(row, 0);
    page.Item(kServiceList).SelectRow(row, true);
    page.OnDoubleClick(kServiceList, {row, editor::column::kCam1});
    const std::string text = text::LocalizedText(editor::kNotIdentifiedText);
    EXPECT_EQ(page.Item(kPageMessage).Text(), text);
    sim.loop.RunFor(editor::kNotIdentifiedMs - 50);
    EXPECT_EQ(page.Item(kPageMessage).Text(), text);
    sim.loop.RunFor(100);
    EXPECT_EQ(page.Item(kPageMessage).Text(), "");
}

} // namespace
