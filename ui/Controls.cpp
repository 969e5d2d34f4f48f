#include "ui/Controls.h"

#include "ui/Fatal.h"

#include <algorithm>
#include <cstdio>

namespace kaptiv::ui {

const char* ToString(ControlKind kind) {
    switch (kind) {
    case ControlKind::StaticText:
        return "static text";
    case ControlKind::Picture:
        return "picture";
    case ControlKind::Button:
        return "button";
    case ControlKind::CheckBox:
        return "check box";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::ComboBox:
        return "combo box";
    case ControlKind::ListBox:
        return "list box";
    case ControlKind::ListView:
        return "list view";
    case ControlKind::ProgressBar:
        return "progress bar";
    case ControlKind::Slider:
        return "slider";
    case ControlKind::UpDown:
        return "up-down";
    case ControlKind::TimePicker:
        return "time picker";
    case ControlKind::GroupBox:
        return "group box";
    case ControlKind::OwnerDrawn:
        return "owner-drawn area";
    case ControlKind::Plot:
        return "plot";
    }
    return "?";
}

ControlData ControlFromTemplate(const ControlTemplate& tmpl) {
    ControlData data;
    data.id = tmpl.id;
    data.kind = tmpl.kind;
    data.rect = tmpl.rect;
    data.style = tmpl.style;
    data.text = std::string(tmpl.text);
    data.enabled = (tmpl.style & style::Disabled) == 0;
    data.visible = (tmpl.style & style::Hidden) == 0;
    data.image = tmpl.image;
    data.readOnly = (tmpl.style & style::ReadOnly) != 0;
    data.passwordChar = (tmpl.style & style::Password) != 0 ? '*' : 0;
    data.multiLine = (tmpl.style & style::MultiLine) != 0;
    data.mode = (tmpl.style & style::IconMode) != 0 ? ListViewMode::Icon : ListViewMode::Report;
    if (tmpl.kind == ControlKind::UpDown || tmpl.kind == ControlKind::Slider)
        data.rangeMax = 100;
    return data;
}

template <typename T> void Control::Assign(T& field, T value) {
    if (field == value)
        return;
    field = std::move(value);
    m_dirty = true;
}

void Control::Require(bool kindMatches, const char* what) const {
    if (!kindMatches)
        Fatal(std::string(what) + " on control " + std::to_string(m_data.id) + ", a " +
              ToString(m_data.kind));
}

namespace {

// The length of the first `count` characters of UTF-8 text, in bytes. The limit of an edit box
// counts characters, as the page's box does; cutting at a byte count could split a character,
// and the page would then be sent text that is not UTF-8.
size_t BytesOfCharacters(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        const bool continuation = (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count)
            return at;
    }
    return text.size();
}

} // namespace

void Control::SetText(const std::string& text) {
    std::string value = text;
    if (m_data.kind == ControlKind::Edit && m_data.maxLength > 0)
        value.resize(BytesOfCharacters(value, static_cast<size_t>(m_data.maxLength)));
    Assign(m_data.text, std::move(value));
}

void Control::Enable(bool enabled) {
    Assign(m_data.enabled, enabled);
}
void Control::Show(bool visible) {
    Assign(m_data.visible, visible);
}
void Control::SetRect(const RectDu& rect) {
    Assign(m_data.rect, rect);
}
void Control::SetTextColor(std::optional<Color> color) {
    Assign(m_data.textColor, color);
}
void Control::SetBackColor(std::optional<Color> color) {
    Assign(m_data.backColor, color);
}
void Control::SetFont(std::optional<Font> font) {
    Assign(m_data.font, std::move(font));
}

void Control::SetImage(ImageRef image) {
    Require(m_data.kind == ControlKind::Picture || m_data.kind == ControlKind::Button, "SetImage");
    Assign(m_data.image, image);
}

void Control::SetCheck(bool checked) {
    Require(m_data.kind == ControlKind::CheckBox, "SetCheck");
    Assign(m_data.checked, checked);
}

void Control::SetReadOnly(bool readOnly) {
    Require(m_data.kind == ControlKind::Edit, "SetReadOnly");
    Assign(m_data.readOnly, readOnly);
}

void Control::SetPasswordChar(char c) {
    Require(m_data.kind == ControlKind::Edit, "SetPasswordChar");
    Assign(m_data.passwordChar, c);
}

void Control::SetMaxLength(int maxLength) {
    Require(m_data.kind == ControlKind::Edit, "SetMaxLength");
    Assign(m_data.maxLength, std::max(maxLength, 0));
    SetText(m_data.text);
}

static bool HasItems(ControlKind kind) {
    return kind == ControlKind::ComboBox || kind == ControlKind::ListBox;
}

void Control::SetItems(std::vector<std::string> items) {
    Require(HasItems(m_data.kind), "SetItems");
    Assign(m_data.items, std::move(items));
    if (m_data.selectedItem >= static_cast<int>(m_data.items.size()))
        Assign(m_data.selectedItem, -1);
}

int Control::AddItem(const std::string& item) {
    Require(HasItems(m_data.kind), "AddItem");
    m_data.items.push_back(item);
    m_dirty = true;
    return static_cast<int>(m_data.items.size()) - 1;
}

void Control::ClearItems() {
    Require(HasItems(m_data.kind), "ClearItems");
    Assign(m_data.items, {});
    Assign(m_data.selectedItem, -1);
}

void Control::SetSelectedItem(int index) {
    Require(HasItems(m_data.kind), "SetSelectedItem");
    if (index < 0 || index >= static_cast<int>(m_data.items.size()))
        index = -1;
    Assign(m_data.selectedItem, index);
    if (m_data.kind == ControlKind::ComboBox && index >= 0)
        Assign(m_data.text, m_data.items[static_cast<size_t>(index)]);
}

void Control::SetColumns(std::vector<ListColumn> columns) {
    Require(m_data.kind == ControlKind::ListView, "SetColumns");
    Assign(m_data.columns, std::move(columns));
}

void Control::SetImageList(std::vector<ImageRef> images) {
    Require(m_data.kind == ControlKind::ListView, "SetImageList");
    Assign(m_data.imageList, std::move(images));
}

const ListRow& Control::Row(int row) const {
    Require(m_data.kind == ControlKind::ListView, "Row");
    if (row < 0 || row >= RowCount())
        Fatal("row " + std::to_string(row) + " of list view " + std::to_string(m_data.id) +
              " does not exist");
    return m_data.rows[static_cast<size_t>(row)];
}

void Control::SetColumnColors(std::vector<ColumnColors> colors) {
    Require(m_data.kind == ControlKind::ListView, "SetColumnColors");
    Assign(m_data.columnColors, std::move(colors));
}

void Control::SetCellEdit(std::optional<CellEdit> edit) {
    Require(m_data.kind == ControlKind::ListView, "SetCellEdit");
    if (edit)
        edit->serial = ++m_cellEdits;
    Assign(m_data.cellEdit, std::move(edit));
}

void Control::SetRows(std::vector<ListRow> rows) {
    Require(m_data.kind == ControlKind::ListView, "SetRows");
    Assign(m_data.rows, std::move(rows));
}

int Control::InsertRow(int at, ListRow row) {
    Require(m_data.kind == ControlKind::ListView, "InsertRow");
    at = std::clamp(at, 0, RowCount());
    m_data.rows.insert(m_data.rows.begin() + at, std::move(row));
    m_dirty = true;
    return at;
}

void Control::DeleteRow(int row) {
    Require(m_data.kind == ControlKind::ListView, "DeleteRow");
    if (row < 0 || row >= RowCount())
        return;
    m_data.rows.erase(m_data.rows.begin() + row);
    m_dirty = true;
}

void Control::DeleteAllRows() {
    Require(m_data.kind == ControlKind::ListView, "DeleteAllRows");
    Assign(m_data.rows, {});
}

void Control::SetCell(int row, int column, const std::string& text, int image) {
    Require(m_data.kind == ControlKind::ListView, "SetCell");
    if (row < 0 || row >= RowCount() || column < 0)
        Fatal("cell " + std::to_string(row) + "/" + std::to_string(column) + " of list view " +
              std::to_string(m_data.id) + " does not exist");
    auto& cells = m_data.rows[static_cast<size_t>(row)].cells;
    if (cells.size() <= static_cast<size_t>(column)) {
        cells.resize(static_cast<size_t>(column) + 1);
        m_dirty = true;
    }
    Assign(cells[static_cast<size_t>(column)], ListCell{text, image});
}

const ListCell& Control::Cell(int row, int column) const {
    static const ListCell kEmpty;
    const ListRow& r = Row(row);
    if (column < 0 || static_cast<size_t>(column) >= r.cells.size())
        return kEmpty;
    return r.cells[static_cast<size_t>(column)];
}

void Control::SetRowTextColor(int row, std::optional<Color> color) {
    Row(row);
    Assign(m_data.rows[static_cast<size_t>(row)].textColor, color);
}

void Control::SelectRow(int row, bool selected) {
    Row(row);
    if (selected && (m_data.style & style::MultiSelect) == 0)
        for (auto& r : m_data.rows)
            Assign(r.selected, false);
    Assign(m_data.rows[static_cast<size_t>(row)].selected, selected);
}

std::vector<int> Control::SelectedRows() const {
    Require(m_data.kind == ControlKind::ListView, "SelectedRows");
    std::vector<int> rows;
    for (size_t i = 0; i < m_data.rows.size(); ++i)
        if (m_data.rows[i].selected)
            rows.push_back(static_cast<int>(i));
    return rows;
}

static bool HasRange(ControlKind kind) {
    return kind == ControlKind::ProgressBar || kind == ControlKind::Slider || kind == ControlKind::UpDown;
}

void Control::SetRange(int min, int max) {
    Require(HasRange(m_data.kind), "SetRange");
    Assign(m_data.rangeMin, std::min(min, max));
    Assign(m_data.rangeMax, std::max(min, max));
    Assign(m_data.position, std::clamp(m_data.position, m_data.rangeMin, m_data.rangeMax));
}

void Control::SetPosition(int position) {
    Require(HasRange(m_data.kind), "SetPosition");
    Assign(m_data.position, std::clamp(position, m_data.rangeMin, m_data.rangeMax));
}

void Control::SetTickFrequency(int every) {
    Require(m_data.kind == ControlKind::Slider, "SetTickFrequency");
    Assign(m_data.tickFrequency, std::max(every, 0));
}

void Control::SetMinutesOfDay(int minutes) {
    Require(m_data.kind == ControlKind::TimePicker, "SetMinutesOfDay");
    constexpr int kMinutesPerDay = 24 * 60;
    minutes %= kMinutesPerDay;
    if (minutes < 0)
        minutes += kMinutesPerDay;
    Assign(m_data.minutesOfDay, minutes);
    Assign(m_data.text, FormatTimeOfDay(minutes));
}

void Control::SetShapes(std::vector<Shape> shapes) {
    Require(m_data.kind == ControlKind::OwnerDrawn, "SetShapes");
    Assign(m_data.shapes, std::move(shapes));
}

void Control::SetPlot(PlotData plot) {
    Require(m_data.kind == ControlKind::Plot, "SetPlot");
    // The page pairs values with times by position: a series of another length would shift
    // every value after the first missing one.
    for (PlotSeries& series : plot.series)
        series.values.resize(plot.times.size());
    Assign(m_data.plot, std::move(plot));
}

std::string FormatTimeOfDay(int minutesOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", (minutesOfDay / 60) % 24, minutesOfDay % 60);
    return text;
}

std::optional<int> ParseTimeOfDay(const std::string& text) {
    if (text.size() != 5 || text[2] != ':')
        return std::nullopt;
    for (size_t i : {0u, 1u, 3u, 4u})
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    return hours * 60 + minutes;
}

} // namespace kaptiv::ui
