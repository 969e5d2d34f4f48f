// The service table of a chain: rows from the four sources, the consistency rules before a
// write, the installer's clicks and cell edits, and the list view the page shows.
#include "EditorTestSupport.h"

#include "ui/Controls.h"

#include <gmock/gmock.h>

namespace kaptiv::editor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Tuner 7 (inputs A, B and pass-through C) -> two CI modules -> two-channel modulator (type 5).
class DualTunerChain : public ::testing::Test {
protected:
    void Open(const settings::TunerValues& tuner, const settings::ModulatorValues& modulator) {
        tunerRow = rack.Add(type::kSat2_0, Encoded(tuner));
        rack.Add(type::kCommonInterface);
        rack.Add(type::kCommonInterface);
        outputRow = rack.Add(type::kModT2, Encoded(type::kModT2, modulator));
        table.Open(*rack.image, ChainOf(tunerRow, outputRow, 2));
        table.LoadInput(tuner);
        table.LoadOutput(modulator);
        ReceivedServices received;
        received.inputs.resize(3);
        received.inputs[0].services = {Service(101, U"One"), Service(102, U"Two", 2, true)};
        received.inputs[1].services = {Service(201, U"Three")};
        table.SetReceived(received);
        table.Build();
    }

    ClickResult DoubleClickOn(uint16_t id, int column) {
        const int row = IndexOf(table, id);
        const int rows[] = {row};
        return table.DoubleClick(row, column, rows);
    }

    Rack rack;
    int tunerRow = 0;
    int outputRow = 0;
    ServiceTable table;
};

TEST_F(DualTunerChain, RowsMergeReceivedSelectedAndOutputServices) {
    Open(Tuner(type::kSat2_0, {{{101, 1}}, {}, {}}), Modulator({OnChannel(101, 2, 7), OnChannel(999, 1)}));
    ASSERT_EQ(table.Rows().size(), 4u);
    const ServiceRow* one = RowOf(table, 101);
    EXPECT_EQ(one->from, 0);
    EXPECT_EQ(one->name, U"One");
    EXPECT_EQ(one->cam, 1);
    EXPECT_EQ(one->channel, 2);
    EXPECT_EQ(one->logicalChannel, 7);
    EXPECT_EQ(RowOf(table, 201)->from, 1);
    EXPECT_TRUE(RowOf(table, 102)->crypted);
    // Only on the output: not received, shown as "?".
    const ServiceRow* unknown = RowOf(table, 999);
    EXPECT_EQ(unknown->from, kFromUnknown);
    EXPECT_EQ(table.CellText(*unknown, column::kFrom), "?");
    EXPECT_EQ(unknown->serviceType, 0);
}

TEST_F(DualTunerChain, SameServiceOnInputsAAndBLeavesBothAtTheNextWrite) {
    Open(Tuner(type::kSat2_0, {{{101, 0}, {300, 0}}, {{300, 0}}, {}}), Modulator({OnChannel(101, 1)}));
    const Marks marks = table.ApplyConsistencyRules();
    EXPECT_TRUE(marks.inputChanged);
    EXPECT_THAT(Ids(table.InputLists()[0]), ElementsAre(101));
    EXPECT_THAT(table.InputLists()[1], IsEmpty());
    settings::TunerValues written = Tuner(type::kSat2_0, {});
    table.StoreInput(written);
    EXPECT_EQ(written.sections[0].services, (std::vector<settings::SelectedService>{{101, 0}}));
    EXPECT_THAT(written.sections[1].services, IsEmpty());
}

TEST_F(DualTunerChain, RulesRunInOrder) {
    // Rule 2 drops 101 from both lists before rule 4 puts it back on its receiving input A with
    // CAM 0; rule 3 drops the entry on no channel before rule 4 looks for output entries.
    Open(Tuner(type::kSat2_0, {{{101, 2}}, {{101, 1}}, {}}),
         Modulator({OnChannel(101, 1), OnChannel(201, 0)}));
    table.ApplyConsistencyRules();
    EXPECT_EQ(table.InputLists()[0], (std::vector<ListedService>{{101, 0}}));
    EXPECT_THAT(table.InputLists()[1], IsEmpty());
    ASSERT_EQ(table.Outputs().size(), 1u);
    EXPECT_EQ(table.Outputs()[0].serviceId, 101);
}

TEST_F(DualTunerChain, RuleFiveDropsSelectionsNoOutputOfTheRackCarries) {
    // 202 is selected but no output module after the chain lists it; 101 is listed by the
    // second modulator that follows the first.
    Open(Tuner(type::kSat2_0, {{{101, 0}, {202, 0}}, {}, {}}), Modulator({}));
    rack.Add(type::kModT4, Encoded(type::kModT4, Modulator({OnChannel(101, 3)})));
    const Marks marks = table.ApplyConsistencyRules();
    EXPECT_THAT(Ids(table.InputLists()[0]), ElementsAre(101));
    EXPECT_EQ(marks, (Marks{true, true}));
    // Nothing left to drop: no marks.
    EXPECT_EQ(table.ApplyConsistencyRules(), Marks{});
}

TEST_F(DualTunerChain, CamColumnTogglesAndIgnoresMissingModules) {
    Open(Tuner(type::kSat2_0, {{{101, 2}}, {}, {}}), Modulator({OnChannel(101, 1)}));
    // "C2" on a row showing "C2" clears it.
    ClickResult result = DoubleClickOn(101, column::kCam1 + 1);
    EXPECT_EQ(result.marks, (Marks{true, true}));
    EXPECT_EQ(table.InputLists()[0], (std::vector<ListedService>{{101, 0}}));
    EXPECT_EQ(RowOf(table, 101)->cam, 0);
    // "C2" again sets it; "C1" then moves it.
    DoubleClickOn(101, column::kCam1 + 1);
    EXPECT_EQ(RowOf(table, 101)->cam, 2);
    DoubleClickOn(101, column::kCam1);
    EXPECT_EQ(RowOf(table, 101)->cam, 1);
    // "C3" on a chain with two CI modules does nothing.
    result = DoubleClickOn(101, column::kCam1 + 2);
    EXPECT_EQ(result.marks, Marks{});
    EXPECT_EQ(RowOf(table, 101)->cam, 1);
    EXPECT_EQ(table.CellImage(*RowOf(table, 101), column::kCam1 + 2), image::kInert);
}

TEST_F(DualTunerChain, CamChangeAppliesToEverySelectedRowAndRefusesUnknownServices) {
    Open(Tuner(type::kSat2_0, {}), Modulator({OnChannel(999, 1)}));
    const int rows[] = {IndexOf(table, 101), IndexOf(table, 201), IndexOf(table, 999)};
    const ClickResult result = table.DoubleClick(rows[0], column::kCam1, rows);
    EXPECT_TRUE(result.notIdentified);
    EXPECT_EQ(RowOf(table, 101)->cam, 1);
    EXPECT_EQ(RowOf(table, 201)->cam, 1);
    EXPECT_EQ(RowOf(table, 999)->cam, 0);
    EXPECT_EQ(table.InputLists()[1], (std::vector<ListedService>{{201, 1}}));
    // A "?" row alone: refused, nothing changes.
    const int unknown[] = {IndexOf(table, 999)};
    const ClickResult refused = table.DoubleClick(unknown[0], column::kCam1, unknown);
    EXPECT_TRUE(refused.notIdentified);
    EXPECT_EQ(refused.marks, Marks{});
    EXPECT_EQ(RowOf(table, 999)->cam, 0);
}

TEST_F(DualTunerChain, ChannelColumnsBeyondATwoChannelModulatorAreInert) {
    Open(Tuner(type::kSat2_0, {{{101, 0}}, {}, {}}), Modulator({OnChannel(101, 1)}));
    const ServiceRow& row = *RowOf(table, 101);
    EXPECT_EQ(table.CellImage(row, column::kOutput1), image::kOnChannel);
    EXPECT_EQ(table.CellImage(row, column::kOutput1 + 1), image::kOffChannel);
    EXPECT_EQ(table.CellImage(row, column::kOutput1 + 2), image::kInert); // column 13
    EXPECT_EQ(table.CellImage(row, column::kOutput1 + 3), image::kInert); // column 14
    for (int c : {column::kOutput1 + 2, column::kOutput1 + 3}) {
        EXPECT_EQ(DoubleClickOn(101, c).marks, Marks{});
        EXPECT_EQ(RowOf(table, 101)->channel, 1);
    }
    ui::Control list = ListView();
    table.SetUpColumns(list);
    ASSERT_EQ(list.Data().columns.size(), static_cast<size_t>(column::kCount));
    for (int c = column::kOutput1 + 4; c <= column::kOutput16; ++c)
        EXPECT_EQ(list.Data().columns[static_cast<size_t>(c)].widthPx, 0) << c;
    EXPECT_EQ(list.Data().columns[column::kOutput1 + 3].widthPx, 19);
}

TEST_F(DualTunerChain, ChannelClickMovesTogglesAndMarks) {
    Open(Tuner(type::kSat2_0, {{{101, 0}}, {}, {}}), Modulator({OnChannel(101, 1)}));
    EXPECT_EQ(DoubleClickOn(201, column::kOutput1 + 1).marks, (Marks{true, true}));
    EXPECT_EQ(RowOf(table, 201)->channel, 2);
    DoubleClickOn(201, column::kOutput1 + 1); // same channel again: off the output
    EXPECT_EQ(RowOf(table, 201)->channel, 0);
    table.ApplyConsistencyRules();
    EXPECT_EQ(table.Outputs().size(), 1u);
}

TEST_F(DualTunerChain, NsidZeroRestoresTheServiceId) {
    Open(Tuner(type::kSat2_0, {{{101, 0}}, {}, {}}), Modulator({OnChannel(101, 1)}));
    const int row = IndexOf(table, 101);
    const int rows[] = {row};
    EXPECT_EQ(table.DoubleClick(row, column::kNsid, rows).editText, "101");
    EXPECT_EQ(table.EndCellEdit(row, column::kNsid, "4242"), (Marks{false, true}));
    EXPECT_EQ(RowOf(table, 101)->outputServiceId, 4242);
    table.EndCellEdit(row, column::kNsid, "0");
    EXPECT_EQ(RowOf(table, 101)->outputServiceId, 101);
    table.EndCellEdit(row, column::kLcn, " 12abc");
    table.EndCellEdit(row, column::kHdLcn, "x");
    EXPECT_EQ(RowOf(table, 101)->logicalChannel, 12);
    EXPECT_EQ(RowOf(table, 101)->hdLogicalChannel, 0); // text without a number reads as 0
    settings::ModulatorValues written;
    table.StoreOutput(written);
    ASSERT_EQ(written.services.size(), 1u);
    EXPECT_EQ(written.services[0].logicalChannel, 12);
    EXPECT_EQ(written.services[0].outputServiceId, 101);
}

TEST_F(DualTunerChain, CancelledOrOversizedCellEditsChangeNothing) {
    Open(Tuner(type::kSat2_0, {{{101, 0}}, {}, {}}), Modulator({OnChannel(101, 1, 5)}));
    const int row = IndexOf(table, 101);
    const auto before = table.Rows();
    EXPECT_EQ(table.EndCellEdit(row, column::kLcn, std::nullopt), Marks{}); // Escape
    // The NIT carries 10-bit channel numbers and 16-bit ids: a larger number would make the
    // whole block unwritable.
    EXPECT_EQ(table.EndCellEdit(row, column::kLcn, "1024"), Marks{});
    EXPECT_EQ(table.EndCellEdit(row, column::kNsid, "65536"), Marks{});
    EXPECT_EQ(table.EndCellEdit(row, column::kNsid, "-3"), Marks{});
    EXPECT_EQ(table.Rows(), before);
    EXPECT_EQ(table.EndCellEdit(row, column::kLcn, "1023"), (Marks{false, true}));
}

TEST_F(DualTunerChain, WriteSequenceCarriesClicksAndEditsIntoTheBlocks) {
    auto tuner = Tuner(type::kSat2_0, {{{101, 0}}, {}, {}});
    auto modulator = Modulator({OnChannel(101, 1)});
    Open(tuner, modulator);
    // Route 201 (input B) to channel 2, descramble it with the first CAM, give it LCN 21.
    DoubleClickOn(201, column::kOutput1 + 1);
    DoubleClickOn(201, column::kCam1);
    const int row = IndexOf(table, 201);
    table.EndCellEdit(row, column::kLcn, "21");
    // The page's write: three encodes, two rule passes.
    for (int pass = 0; pass < 3; ++pass) {
        table.StoreOutput(modulator);
        const auto out = settings::EncodeModulatorBlock(
            type::kModT2, modulator,
            settings::ModulatorEncodeContext::FromStoredBlock(rack.At(outputRow).Block()));
        ASSERT_TRUE(out.Ok()) << out.error;
        ASSERT_TRUE(rack.At(outputRow).SetBlock(out.block));
        ApplyDescrambledUpstream(*rack.image, tunerRow);
        table.StoreInput(tuner);
        ASSERT_TRUE(rack.At(tunerRow).SetBlock(Encoded(tuner)));
        if (pass < 2)
            table.ApplyConsistencyRules();
    }
    const auto writtenTuner = settings::DecodeTunerBlock(type::kSat2_0, rack.At(tunerRow).Block());
    ASSERT_TRUE(writtenTuner.Ok());
    EXPECT_EQ(writtenTuner.values.sections[0].services, (std::vector<settings::SelectedService>{{101, 0}}));
    EXPECT_EQ(writtenTuner.values.sections[1].services, (std::vector<settings::SelectedService>{{201, 1}}));
    const auto writtenModulator = settings::DecodeModulatorBlock(type::kModT2, rack.At(outputRow).Block());
    ASSERT_TRUE(writtenModulator.Ok());
    const auto& services = writtenModulator.values.services;
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[1].serviceId, 201);
    EXPECT_EQ(services[1].channel, 2);
    EXPECT_EQ(services[1].logicalChannel, 21);
    EXPECT_TRUE(services[1].descrambledUpstream);
    EXPECT_FALSE(services[0].descrambledUpstream);
}

TEST(ServiceTableNoOutput, SingleListIsItsOwnActivationAndIgnoresEdits) {
    Rack rack;
    const auto tuner = Tuner(type::kSat1, {{{101, 0}}});
    const int row = rack.Add(type::kSat1, Encoded(tuner));
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, -1, 0));
    table.LoadInput(tuner);
    table.Build();
    EXPECT_EQ(table.ApplyConsistencyRules(), Marks{}); // rule 1
    ASSERT_EQ(table.Rows().size(), 1u);
    EXPECT_EQ(table.Rows()[0].channel, 1);
    EXPECT_EQ(table.CellImage(table.Rows()[0], column::kOutput1), image::kOnChannel);
    EXPECT_EQ(table.CellImage(table.Rows()[0], column::kOutput1 + 1), image::kInert);
    EXPECT_EQ(table.CellImage(table.Rows()[0], column::kShare), image::kInert);
    EXPECT_EQ(table.CellText(table.Rows()[0], column::kNsid), "");
    const int rows[] = {0};
    EXPECT_FALSE(table.DoubleClick(0, column::kLcn, rows).editText);
    EXPECT_EQ(table.EndCellEdit(0, column::kLcn, "5"), Marks{});
}

TEST(ServiceTableNoOutput, MultiListInputBuildsOutputsFromItsListsAndActivatesByClick) {
    Rack rack;
    const auto tuner = Tuner(type::kSat2, {{{101, 0}}, {}, {}});
    const int row = rack.Add(type::kSat2, Encoded(tuner));
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, -1, 0));
    table.LoadInput(tuner);
    table.BuildOutputsFromInputLists();
    ReceivedServices received;
    received.inputs.resize(3);
    received.inputs[0].services = {Service(101, U"One"), Service(102, U"Two")};
    received.inputs[1].services = {Service(201, U"Three")};
    table.SetReceived(received);
    table.Build();
    EXPECT_EQ(RowOf(table, 101)->channel, 1);
    // Activating 201 on input B: rule 4 selects it there.
    const int rows[] = {IndexOf(table, 201)};
    EXPECT_EQ(table.DoubleClick(rows[0], column::kOutput1, rows).marks, (Marks{true, true}));
    table.ApplyConsistencyRules();
    EXPECT_THAT(Ids(table.InputLists()[1]), ElementsAre(201));
    // Deactivating 101: rules 3 and 4 drop it from input A.
    const int first[] = {IndexOf(table, 101)};
    table.DoubleClick(first[0], column::kOutput1, first);
    EXPECT_TRUE(table.ApplyConsistencyRules().inputChanged);
    EXPECT_THAT(table.InputLists()[0], IsEmpty());
    // A chain without output has one "On" column.
    EXPECT_EQ(table.DoubleClick(rows[0], column::kOutput1 + 1, rows).marks, Marks{});
}

TEST(ServiceTableRows, AtMostFiveHundredRows) {
    Rack rack;
    const int row = rack.Add(type::kHdEncoder);
    const int out = rack.Add(type::kIpStreamer);
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, out, 0));
    ReceivedServices received;
    received.inputs.resize(5);
    uint16_t id = 1;
    for (auto& input : received.inputs)
        for (int i = 0; i < 100; ++i)
            input.services.push_back(Service(id++, U"x"));
    table.SetReceived(received);
    settings::IpStreamerValues streamer;
    for (int i = 0; i < 50; ++i)
        streamer.services.push_back({static_cast<uint16_t>(1000 + i), 1});
    table.LoadOutput(streamer);
    table.Build();
    EXPECT_EQ(table.Rows().size(), kMaxServiceRows);
    EXPECT_EQ(table.Rows().back().serviceId, 500);
}

TEST(ServiceTableList, ColumnsColoursAndIpStreamerVariant) {
    Rack rack;
    const int row = rack.Add(type::kHdEncoder);
    rack.Add(type::kCommonInterface);
    const int out = rack.Add(type::kIpStreamer);
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, out, 1));
    ReceivedServices received;
    received.inputs.resize(5);
    received.inputs[0].services = {Service(1, U"A1")};
    received.inputs[4].services = {Service(5, U"E5", 2)};
    table.SetReceived(received);
    settings::IpStreamerValues streamer;
    streamer.services = {{5, 16}};
    table.LoadOutput(streamer);
    table.Build();

    ui::Control list = ListView();
    table.SetUpColumns(list);
    const auto& columns = list.Data().columns;
    ASSERT_EQ(columns.size(), 31u);
    EXPECT_EQ(columns[0].header, "VOID");
    EXPECT_EQ(columns[4].header, "NAME");
    EXPECT_EQ(columns[4].widthPx, 137);
    EXPECT_EQ(columns[10].header, "C4");
    EXPECT_EQ(columns[26].header, "On");
    EXPECT_EQ(columns[26].widthPx, 15);
    EXPECT_EQ(columns[27].header, "LCN");
    EXPECT_EQ(columns[27].widthPx, 0);
    EXPECT_EQ(columns[29].header, "NSID");
    EXPECT_EQ(columns[30].header, "RUF");
    ASSERT_EQ(list.Data().imageList.size(), 12u);
    EXPECT_EQ(list.Data().imageList[8], ui::Bitmap(198));
    EXPECT_EQ(list.Data().imageList[10], ui::Bitmap(262));

    table.Fill(list);
    ASSERT_EQ(list.RowCount(), 2);
    const int e = IndexOf(table, 5);
    EXPECT_EQ(list.Cell(e, column::kFrom).text, "E");
    EXPECT_EQ(list.Cell(e, column::kSid).text, "5");
    EXPECT_EQ(list.Cell(e, column::kServiceType).image, image::kRadio);
    EXPECT_EQ(list.Cell(e, column::kOutput16).image, image::kOnStream);
    EXPECT_EQ(list.Cell(e, column::kOutput1).image, image::kOffStream);
    EXPECT_EQ(list.Row(e).textColor, ColorFromColorRef(0x000080));
    EXPECT_EQ(list.Row(IndexOf(table, 1)).textColor, ColorFromColorRef(0x800000));
    EXPECT_EQ(ColorFromColorRef(0x800000), (ui::Color{0, 0, 0x80}));
    // Selection survives a refill.
    list.SelectRow(e, true);
    table.Fill(list);
    EXPECT_TRUE(list.Row(e).selected);
}

TEST(ServiceTableStreaming, StreamingServiceRowComesFromTheSchedule) {
    Rack rack;
    auto tuner = Tuner(type::kSat2_0, {});
    tuner.streamingServiceId = 77;
    tuner.streamedName = U"Play";
    tuner.schedule = {{480, 600, U"a.ts"}};
    const int row = rack.Add(type::kSat2_0, Encoded(tuner));
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, -1, 0));
    table.LoadInput(tuner);
    table.Build();
    ASSERT_EQ(table.Rows().size(), 1u);
    EXPECT_EQ(table.Rows()[0].from, kFromStreaming);
    EXPECT_EQ(table.StreamingSource(), kFromStreaming);
    EXPECT_EQ(table.CellText(table.Rows()[0], column::kFrom), "D");
    EXPECT_EQ(table.CellImage(table.Rows()[0], column::kShare), image::kStreamingShare);
    EXPECT_EQ(table.CellImage(table.Rows()[0], column::kOutput1), image::kOnChannel);
    EXPECT_EQ(table.RowColor(table.Rows()[0]), ColorFromColorRef(0xA0A0A0));
    // An empty schedule: no row, the source is unknown.
    table.SetStreaming(77, U"Play", false);
    table.Build();
    EXPECT_THAT(table.Rows(), IsEmpty());
    EXPECT_EQ(table.StreamingSource(), kFromUnknown);
}

TEST(ServiceTableEncoders, PassThroughListsAreTheInputLists) {
    Rack rack;
    const int row = rack.Add(type::kAvEncoder);
    const int out =
        rack.Add(type::kModT4, Encoded(type::kModT4, Modulator({OnChannel(11, 1), OnChannel(500, 2)})));
    ServiceTable table;
    table.Open(*rack.image, ChainOf(row, out, 0));
    settings::EncoderValues encoder;
    encoder.passThrough[0] = {500, 600};
    table.LoadInput(encoder);
    table.LoadOutput(Modulator({OnChannel(11, 1), OnChannel(500, 2)}));
    table.ApplyConsistencyRules();
    settings::EncoderValues written;
    table.StoreInput(written);
    EXPECT_THAT(written.passThrough[0], ElementsAre(500)); // 600 is on no output
}

} // namespace
} // namespace kaptiv::editor::test
