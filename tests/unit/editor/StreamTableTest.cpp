// The IP streamer's stream table and the numbers typed into list cells.
#include "EditorTestSupport.h"
#include "editor/CellNumbers.h"
#include "editor/ServiceTable.h"

#include <gmock/gmock.h>

namespace kaptiv::editor {
namespace {

using Address = std::array<uint8_t, 4>;

TEST(CellNumbers, ReadAsPercentDWithoutCuttingToLowBits) {
    EXPECT_EQ(ScanNumber("42", 1023), 42);
    EXPECT_EQ(ScanNumber("  7x", 1023), 7);
    EXPECT_EQ(ScanNumber("", 1023), 0);
    EXPECT_EQ(ScanNumber("abc", 1023), 0);
    EXPECT_EQ(ScanNumber("+5", 1023), 5);
    EXPECT_EQ(ScanNumber("1024", 1023), std::nullopt);
    EXPECT_EQ(ScanNumber("-1", 1023), std::nullopt);
    EXPECT_EQ(ScanNumber("99999999999999999999999", 65535), std::nullopt);
}

TEST(CellNumbers, DottedAddressFillsFromTheLeft) {
    EXPECT_EQ(ScanDottedAddress("192.168.1.20"), (Address{192, 168, 1, 20}));
    EXPECT_EQ(ScanDottedAddress("10.1.2"), (Address{10, 1, 2, 0}));
    EXPECT_EQ(ScanDottedAddress("hello"), (Address{0, 0, 0, 0}));
    EXPECT_EQ(ScanDottedAddress("10 .1.2.3"), (Address{10, 0, 0, 0}));
    EXPECT_EQ(ScanDottedAddress("1.2.3.4.5"), (Address{1, 2, 3, 4}));
    EXPECT_EQ(ScanDottedAddress("1.300.3.4"), std::nullopt);
}

class StreamTableTest : public ::testing::Test {
protected:
    StreamTableTest() {
        values.streams[1] = {{239, 0, 0, 2}, 1234};
        values.services = {{100, 2}};
    }
    settings::IpStreamerValues values;
    ui::Control list = test::ListView();
};

TEST_F(StreamTableTest, RowsAToPWithUsedStreamsInBlack) {
    stream_table::SetUpColumns(list);
    stream_table::Fill(list, values);
    ASSERT_EQ(list.Data().columns.size(), 4u);
    EXPECT_EQ(list.Data().columns[0].widthPx, 0);
    EXPECT_EQ(list.Data().columns[2].widthPx, 90);
    ASSERT_EQ(list.RowCount(), 16);
    EXPECT_EQ(list.Cell(0, 1).text, "A");
    EXPECT_EQ(list.Cell(15, 1).text, "P");
    EXPECT_EQ(list.Cell(1, 2).text, "239.0.0.2");
    EXPECT_EQ(list.Cell(1, 3).text, "1234");
    EXPECT_EQ(list.Row(1).textColor, (ui::Color{0, 0, 0}));
    EXPECT_EQ(list.Row(0).textColor, (ui::Color{0xA0, 0xA0, 0xA0}));
    ASSERT_EQ(list.Data().columnColors.size(), 1u);
    EXPECT_EQ(list.Data().columnColors[0].backColor, ColorFromColorRef(0xBE9270));
}

TEST_F(StreamTableTest, OnlyAddressAndPortCellsEdit) {
    EXPECT_EQ(stream_table::EditText(values, 1, stream_table::kAddressColumn), "239.0.0.2");
    EXPECT_EQ(stream_table::EditText(values, 1, stream_table::kPortColumn), "1234");
    EXPECT_EQ(stream_table::EditText(values, 1, stream_table::kLetterColumn), std::nullopt);
    EXPECT_EQ(stream_table::EditText(values, 16, stream_table::kPortColumn), std::nullopt);
}

TEST_F(StreamTableTest, ThreeDottedNumbersStoreAZeroFourthByte) {
    EXPECT_TRUE(stream_table::EndEdit(values, 3, stream_table::kAddressColumn, "10.20.30"));
    EXPECT_EQ(values.streams[3].address, (Address{10, 20, 30, 0}));
    EXPECT_TRUE(stream_table::EndEdit(values, 3, stream_table::kAddressColumn, "none"));
    EXPECT_EQ(values.streams[3].address, (Address{0, 0, 0, 0}));
    EXPECT_TRUE(stream_table::EndEdit(values, 3, stream_table::kPortColumn, "5004"));
    EXPECT_EQ(values.streams[3].port, 5004);
}

TEST_F(StreamTableTest, EscapeOrUnfittingNumbersChangeNothing) {
    const auto before = values;
    EXPECT_FALSE(stream_table::EndEdit(values, 1, stream_table::kAddressColumn, std::nullopt));
    EXPECT_FALSE(stream_table::EndEdit(values, 1, stream_table::kPortColumn, std::nullopt));
    EXPECT_FALSE(stream_table::EndEdit(values, 1, stream_table::kAddressColumn, "1.2.3.256"));
    EXPECT_FALSE(stream_table::EndEdit(values, 1, stream_table::kPortColumn, "65536"));
    EXPECT_FALSE(stream_table::EndEdit(values, 1, stream_table::kLetterColumn, "Z"));
    EXPECT_EQ(values, before);
}

} // namespace
} // namespace kaptiv::editor
