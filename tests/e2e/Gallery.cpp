#include "Gallery.h"

#include "ui/CInPlaceEdit.h"
#include "ui/WindowSystem.h"

#include <cstdio>

namespace kaptiv::e2e {

namespace {

using namespace ui;

enum : int {
    kGroup = 10,
    kLabel,
    kEdit,
    kCheck,
    kCombo,
    kList,
    kServices,
    kProgress,
    kSlider,
    kUpDown,
    kTime,
    kGraph,
    kLog,
    kButton,
    kFileButton,
};

const ControlTemplate kControls[] = {
    {kGroup, ControlKind::GroupBox, {4, 2, 292, 70}, "Tuning", 0, {}},
    {kLabel, ControlKind::StaticText, {10, 14, 60, 8}, "Frequency (MHz)", 0, {}},
    {kEdit, ControlKind::Edit, {74, 12, 50, 12}, "11954", 0, {}},
    {kCheck, ControlKind::CheckBox, {134, 13, 70, 10}, "Descramble", 0, {}},
    {kCombo, ControlKind::ComboBox, {210, 12, 80, 60}, "", style::DropDownList, {}},
    {kList, ControlKind::ListBox, {10, 28, 60, 40}, "", 0, {}},
    {kProgress, ControlKind::ProgressBar, {74, 30, 130, 8}, "", 0, {}},
    {kSlider, ControlKind::Slider, {74, 42, 130, 14}, "", style::Ticks, {}},
    {kUpDown, ControlKind::UpDown, {208, 30, 10, 14}, "", 0, {}},
    {kTime, ControlKind::TimePicker, {224, 30, 50, 12}, "", 0, {}},
    {kGraph, ControlKind::OwnerDrawn, {224, 46, 66, 22}, "", style::Border, {}},
    {kServices, ControlKind::ListView, {4, 76, 292, 70}, "", 0, {}},
    {kLog, ControlKind::Edit, {4, 150, 200, 12}, "", style::ReadOnly, {}},
    {kButton, ControlKind::Button, {212, 150, 40, 14}, "&Apply", style::DefaultButton, {}},
    {kFileButton, ControlKind::Button, {256, 150, 40, 14}, "&Open...", 0, {}},
};

const DialogTemplate kTemplate{Gallery::kDialogId, DialogKind::Popup, {300, 168},
                               "Controls",         kControls,         true};

} // namespace

Gallery::Gallery(WindowSystem& windows) : Dialog(windows, kTemplate) {}

void Gallery::OnInitDialog() {
    Item(kCombo).SetItems({"QPSK", "8PSK", "16APSK"});
    Item(kCombo).SetSelectedItem(1);
    Item(kList).SetItems({"Input 1", "Input 2", "Input 3"});
    Item(kList).SetSelectedItem(0);
    Item(kProgress).SetRange(0, 100);
    Item(kProgress).SetPosition(62);
    Item(kSlider).SetRange(0, 20);
    Item(kSlider).SetPosition(12);
    Item(kSlider).SetTickFrequency(2);
    Item(kUpDown).SetRange(0, 99);
    Item(kUpDown).SetPosition(5);
    Item(kTime).SetMinutesOfDay(7 * 60 + 30);
    std::vector<Shape> bars;
    for (int i = 0; i < 6; ++i)
        bars.push_back({{4 + i * 16, 30 - (i + 1) * 4, 12, (i + 1) * 4}, Color{0x1f, 0x6f, 0xb2}, true});
    bars.push_back({{1, 1, 97, 33}, Color{0x9a, 0xa7, 0xb4}, false});
    Item(kGraph).SetShapes(bars);
    Control& services = Item(kServices);
    services.SetColumns({{"Service", 150, Align::Left},
                         {"SID", 60, Align::Right},
                         {"LCN", 50, Align::Right},
                         {"Scrambled", 80, Align::Center}});
    std::vector<ListRow> rows;
    const char* names[] = {"Channel One HD", "News 24", "Sport Extra", "Music Box", "Kids"};
    for (int i = 0; i < 5; ++i) {
        ListRow row;
        row.cells = {{names[i], -1},
                     {std::to_string(1001 + i), -1},
                     {std::to_string(i + 1), -1},
                     {i % 2 ? "yes" : "no", -1}};
        if (i == 3)
            row.textColor = Color{0xb8, 0x41, 0x3a};
        rows.push_back(row);
    }
    services.SetRows(rows);
    Item(kLog).SetText("Ready");
}

void Gallery::Report(const std::string& what) {
    Item(kLog).SetText(what);
    std::printf("gallery %s\n", what.c_str());
    std::fflush(stdout);
}

void Gallery::OnClick(int controlId) {
    if (controlId == kButton) {
        Report("apply clicked");
    } else if (controlId == kFileButton) {
        FileDialogOptions options;
        options.title = "Open a configuration";
        options.initialFolder = "/";
        options.filters = {{"Configuration files (*.qvc)", "*.qvc"}, {"All files (*.*)", "*.*"}};
        const auto paths = Windows().FileDialog(options);
        Report(paths ? "file " + paths->front() : std::string("file cancelled"));
    }
}

void Gallery::OnDoubleClick(int controlId, ListHit hit) {
    if (controlId != kServices)
        return;
    Report("double-click row " + std::to_string(hit.row) + " column " + std::to_string(hit.column));
    // The LCN column is edited in place.
    if (hit.row >= 0 && hit.column == kLcnColumn) {
        CInPlaceEdit::Create(*this, kServices, hit.row, hit.column,
                             Item(kServices).Cell(hit.row, hit.column).text);
        if (hit.row == kClosedByProgramRow)
            SetTimer(kCloseEditTimer, kCloseEditMs);
    }
}

void Gallery::OnTimer(int timerId) {
    if (timerId != kCloseEditTimer)
        return;
    KillTimer(kCloseEditTimer);
    CInPlaceEdit::Close(*this, kServices);
    Report("editor closed by the program");
}

void Gallery::OnEndLabelEdit(int controlId, ListHit cell, const std::optional<std::string>& text) {
    if (controlId != kServices)
        return;
    const std::string where =
        "cell row " + std::to_string(cell.row) + " column " + std::to_string(cell.column);
    if (!text) {
        Report(where + " cancelled");
        return;
    }
    Item(kServices).SetCell(cell.row, cell.column, *text);
    Report(where + " text " + *text);
}

void Gallery::OnSelChange(int controlId) {
    if (controlId == kCombo)
        Report("modulation " + Item(kCombo).Items()[Item(kCombo).SelectedItem()]);
    else if (controlId == kServices && !Item(kServices).SelectedRows().empty())
        Report("service row " + std::to_string(Item(kServices).SelectedRows().front()));
}

void Gallery::OnEditChange(int controlId) {
    if (controlId == kEdit)
        Report("frequency " + Item(kEdit).Text());
}

void Gallery::OnCheckChange(int controlId) {
    if (controlId == kCheck)
        Report(std::string("descramble ") + (Item(kCheck).IsChecked() ? "on" : "off"));
}

void Gallery::OnScroll(int controlId, int position) {
    Report("scroll " + std::to_string(controlId) + " to " + std::to_string(position));
}

} // namespace kaptiv::e2e
