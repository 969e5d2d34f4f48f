#pragma once
// The state of one control, as the dialog code changes it and as the page draws it.
//
// ControlData is the whole state; the page receives it verbatim (see ui/DisplayUpdate.h)
// and only needs the fields of the control's kind:
//   every kind      id, kind, rect (dialog units), style, text, enabled, visible, textColor,
//                   backColor, font
//   Picture         image (bitmap or icon)
//   Button          image (icon button when set), text otherwise
//   CheckBox        checked
//   Edit            readOnly, passwordChar (0 = plain), maxLength (0 = no limit), multiLine
//   ComboBox        items, selectedItem (-1 = none); the edit part of a typed combo is text
//   ListBox         items, selectedItem
//   ListView        mode, columns (report mode), rows (cells: text and image index, row
//                   text colour, selected), imageList (image index -> bitmap), column
//                   colours, the open in-place cell editor
//   ProgressBar     rangeMin, rangeMax, position
//   Slider          rangeMin, rangeMax, position, tickFrequency (0 = no ticks)
//   UpDown          rangeMin, rangeMax, position
//   TimePicker      minutesOfDay (0..1439), shown as HH:mm
//   GroupBox        text
//   OwnerDrawn      shapes (pixels, relative to the control's top-left corner)
//   Plot            plot: times, series (values with gaps), axes or a bare sparkline
//
// Every setter marks the control dirty when the value changes; the next repaint point hands
// it to the displays. Setters never call the owning dialog's change handlers: only events
// that come from the page do (a status poll that refreshes a field must not look like an
// edit by the installer).
#include "ui/DialogTemplate.h"
#include "ui/Types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::ui {

struct ListColumn {
    std::string header;
    int widthPx = 80;
    Align align = Align::Left;
    bool operator==(const ListColumn&) const = default;
};

struct ListCell {
    std::string text;
    int image = -1; // index into the list view's image list, -1 = none
    bool operator==(const ListCell&) const = default;
};

struct ListRow {
    std::vector<ListCell> cells; // cell 0 is the item itself (label and icon in icon mode)
    std::optional<Color> textColor;
    bool selected = false;
    bool operator==(const ListRow&) const = default;
};

// Colours of a whole list-view column; they take precedence over the row's text colour.
struct ColumnColors {
    int column = 0;
    std::optional<Color> textColor;
    std::optional<Color> backColor;
    bool operator==(const ColumnColors&) const = default;
};

// An in-place editor open over a list-view cell (see ui/CInPlaceEdit.h).
struct CellEdit {
    int row = 0;
    int column = 0;
    std::string text; // the text the editor opened with
    // Which opening of an editor on this list this is. The page ends an editor on its own and
    // waits for the program to hear of it; the number tells a new editor on the same cell from
    // the one just ended, even when the close and the reopening reach the page in one update.
    unsigned serial = 0;
    bool operator==(const CellEdit&) const = default;
};

struct Shape {
    RectPx rect;
    Color color;
    bool filled = true; // false: frame only
    bool operator==(const Shape&) const = default;
};

// One line of a plot: a value per time of the plot; an empty value is a gap, where the line
// breaks instead of joining two distant points.
struct PlotSeries {
    std::string label;
    std::string unit; // "%", "°C", "Mbit/s"; empty for states
    Color color;
    std::vector<std::optional<double>> values;
    bool operator==(const PlotSeries&) const = default;
};

struct PlotData {
    std::vector<double> times; // seconds since the epoch, ascending (the x-axis)
    std::vector<PlotSeries> series;
    bool axes = false;          // false: a bare line without axes or legend (a tile's sparkline)
    std::optional<double> yMin; // a fixed y range (0..100 for percentages); else it follows the data
    std::optional<double> yMax;
    bool operator==(const PlotData&) const = default;
};

struct ControlData {
    int id = 0;
    ControlKind kind = ControlKind::StaticText;
    RectDu rect;
    uint32_t style = 0;
    std::string text;
    bool enabled = true;
    bool visible = true;
    std::optional<Color> textColor;
    std::optional<Color> backColor;
    std::optional<Font> font;

    ImageRef image;

    bool checked = false;

    bool readOnly = false;
    char passwordChar = 0;
    int maxLength = 0;
    bool multiLine = false;

    std::vector<std::string> items;
    int selectedItem = -1;

    ListViewMode mode = ListViewMode::Report;
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    std::vector<ImageRef> imageList;
    std::vector<ColumnColors> columnColors;
    std::optional<CellEdit> cellEdit;

    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
    int tickFrequency = 0;

    int minutesOfDay = 0;

    std::vector<Shape> shapes;

    PlotData plot;

    bool operator==(const ControlData&) const = default;
};

ControlData ControlFromTemplate(const ControlTemplate& tmpl);

// A row/column pair of a list view (row -1: no row there).
struct ListHit {
    int row = -1;
    int column = -1;
    bool operator==(const ListHit&) const = default;
};

class Control {
public:
    explicit Control(ControlData data) : m_data(std::move(data)) {}

    const ControlData& Data() const { return m_data; }
    int Id() const { return m_data.id; }
    ControlKind Kind() const { return m_data.kind; }
    bool IsDirty() const { return m_dirty; }
    void ClearDirty() { m_dirty = false; }
    void MarkDirty() { m_dirty = true; }

    // Common to all kinds.
    const std::string& Text() const { return m_data.text; }
    void SetText(const std::string& text);
    bool IsEnabled() const { return m_data.enabled; }
    void Enable(bool enabled);
    bool IsVisible() const { return m_data.visible; }
    void Show(bool visible);
    const RectDu& Rect() const { return m_data.rect; }
    void SetRect(const RectDu& rect);
    void SetTextColor(std::optional<Color> color);
    void SetBackColor(std::optional<Color> color);
    void SetFont(std::optional<Font> font);

    // Picture, Button.
    ImageRef Image() const { return m_data.image; }
    void SetImage(ImageRef image);

    // CheckBox.
    bool IsChecked() const { return m_data.checked; }
    void SetCheck(bool checked);

    // Edit.
    void SetReadOnly(bool readOnly);
    void SetPasswordChar(char c);
    void SetMaxLength(int maxLength);

    // ComboBox, ListBox.
    const std::vector<std::string>& Items() const { return m_data.items; }
    void SetItems(std::vector<std::string> items);
    int AddItem(const std::string& item);
    void ClearItems();
    int SelectedItem() const { return m_data.selectedItem; }
    void SetSelectedItem(int index); // -1 clears; out of range clears too

    // ListView.
    void SetColumns(std::vector<ListColumn> columns);
    void SetImageList(std::vector<ImageRef> images);
    void SetColumnColors(std::vector<ColumnColors> colors);
    // The in-place cell editor: opened by CInPlaceEdit, closed when its end-of-edit arrives.
    const std::optional<CellEdit>& OpenCellEdit() const { return m_data.cellEdit; }
    void SetCellEdit(std::optional<CellEdit> edit);
    int RowCount() const { return static_cast<int>(m_data.rows.size()); }
    const ListRow& Row(int row) const;
    void SetRows(std::vector<ListRow> rows);
    int InsertRow(int at, ListRow row);
    void DeleteRow(int row);
    void DeleteAllRows();
    void SetCell(int row, int column, const std::string& text, int image = -1);
    const ListCell& Cell(int row, int column) const; // an empty cell past the row's end
    void SetRowTextColor(int row, std::optional<Color> color);
    void SelectRow(int row, bool selected);
    std::vector<int> SelectedRows() const;
    ListHit LastHit() const { return m_lastHit; }

    // ProgressBar, Slider, UpDown.
    void SetRange(int min, int max);
    void SetPosition(int position); // kept inside the range
    int Position() const { return m_data.position; }
    void SetTickFrequency(int every);

    // TimePicker.
    int MinutesOfDay() const { return m_data.minutesOfDay; }
    void SetMinutesOfDay(int minutes); // taken modulo a day

    // OwnerDrawn.
    void SetShapes(std::vector<Shape> shapes);

    // Plot. Series whose value count differs from the times are cut or padded with gaps.
    const PlotData& Plot() const { return m_data.plot; }
    void SetPlot(PlotData plot);

    // Used by the window system when the page reports what the installer did: the state
    // changes (and the control is repainted) but no handler is called from here.
    void SetLastHit(ListHit hit) { m_lastHit = hit; }

private:
    void Require(bool kindMatches, const char* what) const;
    template <typename T> void Assign(T& field, T value);

    ControlData m_data;
    bool m_dirty = true;      // a new control has never been painted
    unsigned m_cellEdits = 0; // editors opened on this list view so far
    ListHit m_lastHit;
};

// "HH:mm" for a time picker; ParseTimeOfDay refuses anything else.
std::string FormatTimeOfDay(int minutesOfDay);
std::optional<int> ParseTimeOfDay(const std::string& text);

} // namespace kaptiv::ui
