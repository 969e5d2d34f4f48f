// The IP streamer's stream table: one row per output stream "A" to "P", with its destination
// address and port edited in place.
#include "editor/CellNumbers.h"
#include "editor/ServiceTable.h"

#include <cstdio>

namespace kaptiv::editor::stream_table {

namespace {

constexpr uint32_t kLetterBack = 0xBE9270; // COLORREF
constexpr uint32_t kLetterText = 0xFFFFFF;
constexpr uint32_t kUnusedText = 0xA0A0A0;
constexpr uint32_t kUsedText = 0x000000;
constexpr int kColumnWidths[] = {0, 19, 90, 40};
constexpr int kMaxPort = 0xFFFF;

bool ValidRow(int row) {
    return row >= 0 && row < static_cast<int>(settings::kStreamCount);
}

std::string AddressText(const settings::Ipv4& a) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

} // namespace

void SetUpColumns(ui::Control& list) {
    std::vector<ui::ListColumn> columns;
    for (int width : kColumnWidths) {
        ui::ListColumn column;
        column.header = "";
        column.widthPx = width;
        columns.push_back(std::move(column));
    }
    list.SetColumns(std::move(columns));
    ui::ColumnColors letter;
    letter.column = kLetterColumn;
    letter.textColor = ColorFromColorRef(kLetterText);
    letter.backColor = ColorFromColorRef(kLetterBack);
    list.SetColumnColors({letter});
}

void Fill(ui::Control& list, const settings::IpStreamerValues& values) {
    const uint16_t used = settings::UsedStreamMask(values.services);
    std::vector<ui::ListRow> rows;
    for (int k = 0; k < static_cast<int>(settings::kStreamCount); ++k) {
        const auto& target = values.streams[static_cast<size_t>(k)];
        ui::ListRow row;
        row.cells.resize(4);
        row.cells[kLetterColumn].text = std::string(1, static_cast<char>('A' + k));
        row.cells[kAddressColumn].text = AddressText(target.address);
        row.cells[kPortColumn].text = std::to_string(target.port);
        row.textColor = ColorFromColorRef((used >> k) & 1 ? kUsedText : kUnusedText);
        row.selected = k < list.RowCount() && list.Row(k).selected;
        rows.push_back(std::move(row));
    }
    list.SetRows(std::move(rows));
}

std::optional<std::string> EditText(const settings::IpStreamerValues& values, int row, int column) {
    if (!ValidRow(row))
        return std::nullopt;
    const auto& target = values.streams[static_cast<size_t>(row)];
    if (column == kAddressColumn)
        return AddressText(target.address);
    if (column == kPortColumn)
        return std::to_string(target.port);
    return std::nullopt;
}

bool EndEdit(settings::IpStreamerValues& values, int row, int column,
             const std::optional<std::string>& text) {
    if (!text || !ValidRow(row))
        return false;
    auto& target = values.streams[static_cast<size_t>(row)];
    if (column == kAddressColumn) {
        const auto address = ScanDottedAddress(*text);
        if (!address)
            return false;
        target.address = *address;
        return true;
    }
    if (column == kPortColumn) {
        const auto port = ScanNumber(*text, kMaxPort);
        if (!port)
            return false;
        target.port = static_cast<uint16_t>(*port);
        return true;
    }
    return false;
}

} // namespace kaptiv::editor::stream_table
