// Events from the page are untrusted: whatever arrives, the dialog model must refuse or clamp
// it and keep every control's state consistent (selections inside their lists, positions
// inside their ranges, texts inside their limits), and handlers must see only that state.
#include "platform/Bytes.h"
#include "ui/Dialog.h"
#include "ui/WindowSystem.h"

#include <cstdlib>

using namespace kaptiv;
using namespace kaptiv::ui;

namespace {

const ControlTemplate kControls[] = {
    {1, ControlKind::StaticText, {0, 0, 10, 10}, "t", 0, {}},
    {2, ControlKind::Picture, {0, 0, 10, 10}, "", 0, Bitmap(256)},
    {3, ControlKind::Button, {0, 0, 10, 10}, "b", 0, {}},
    {4, ControlKind::CheckBox, {0, 0, 10, 10}, "c", 0, {}},
    {5, ControlKind::Edit, {0, 0, 10, 10}, "", 0, {}},
    {6, ControlKind::ComboBox, {0, 0, 10, 10}, "", 0, {}},
    {7, ControlKind::ListBox, {0, 0, 10, 10}, "", 0, {}},
    {8, ControlKind::ListView, {0, 0, 10, 10}, "", 0, {}},
    {9, ControlKind::ListView, {0, 0, 10, 10}, "", style::MultiSelect, {}},
    {10, ControlKind::ProgressBar, {0, 0, 10, 10}, "", 0, {}},
    {11, ControlKind::Slider, {0, 0, 10, 10}, "", 0, {}},
    {12, ControlKind::UpDown, {0, 0, 10, 10}, "", 0, {}},
    {13, ControlKind::TimePicker, {0, 0, 10, 10}, "", 0, {}},
    {14, ControlKind::GroupBox, {0, 0, 10, 10}, "g", 0, {}},
    {15, ControlKind::OwnerDrawn, {0, 0, 10, 10}, "", 0, {}},
    {16, ControlKind::Edit, {0, 0, 10, 10}, "", style::ReadOnly, {}},
};
const DialogTemplate kTemplate{1, DialogKind::Popup, {100, 100}, "fuzz", kControls, true};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// An edit box's limit counts characters, and a cut must leave whole UTF-8 characters.
size_t Characters(const std::string& text) {
    size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

void CheckControl(const Control& control) {
    const ControlData& d = control.Data();
    Check(d.selectedItem >= -1 && d.selectedItem < static_cast<int>(d.items.size()));
    Check(d.rangeMin <= d.rangeMax && d.position >= d.rangeMin && d.position <= d.rangeMax);
    Check(d.minutesOfDay >= 0 && d.minutesOfDay < 24 * 60);
    Check(d.maxLength == 0 || Characters(d.text) <= static_cast<size_t>(d.maxLength));
    if (d.kind == ControlKind::ListView && (d.style & style::MultiSelect) == 0)
        Check(control.SelectedRows().size() <= 1);
}

// Handlers react the way dialog code does, so that events meet a moving state.
class FuzzDialog final : public Dialog {
public:
    explicit FuzzDialog(WindowSystem& windows) : Dialog(windows, kTemplate) {}
    void OnInitDialog() override {
        Item(5).SetMaxLength(8);
        Item(6).SetItems({"a", "b", "c"});
        Item(7).SetItems({"x"});
        Item(8).SetRows({ListRow{{{"r0"}}, {}, false}, ListRow{{{"r1"}}, {}, false}});
        Item(9).SetRows(
            {ListRow{{{"m0"}}, {}, false}, ListRow{{{"m1"}}, {}, false}, ListRow{{{"m2"}}, {}, false}});
        Item(11).SetRange(-5, 5);
        Item(12).SetRange(0, 3);
    }
    void OnClick(int id) override {
        if (id == 3)
            Item(8).DeleteRow(0);
        if (id == 8)
            CheckHit(Item(8).LastHit(), Item(8));
    }
    void OnDoubleClick(int id, ListHit hit) override {
        if (id == 8 || id == 9)
            CheckHit(hit, Item(id));
    }
    void OnSelChange(int id) override {
        if (id == 6 && Item(6).SelectedItem() == 2)
            Item(6).SetItems({"only"});
    }
    void OnScroll(int id, int position) override {
        Check(position == Item(id).Position());
        Item(10).SetPosition(position * 10);
    }
    void OnEndLabelEdit(int id, ListHit cell, const std::optional<std::string>& text) override {
        Control& list = Item(id);
        Check(cell.row >= 0 && cell.row < list.RowCount() && cell.column >= 0);
        if (text && cell.column < 4)
            list.SetCell(cell.row, cell.column, *text);
    }

private:
    static void CheckHit(ListHit hit, const Control& list) {
        Check(hit.row == -1 || (hit.row >= 0 && hit.row < list.RowCount()));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    WindowSystem windows{loop};
    FuzzDialog dialog{windows};
    dialog.Create();
    dialog.Show(true);

    platform::ByteReader in(data, size);
    while (!in.AtEnd()) {
        UiEvent event;
        event.dialogId = in.U8() % 3; // 0 (key-only), 1 (the dialog), 2 (no such dialog)
        event.controlId = in.U8() % 18;
        event.kind = static_cast<EventKind>(in.U8() % 13);
        event.row = static_cast<int8_t>(in.U8());
        event.column = static_cast<int8_t>(in.U8());
        event.value = static_cast<int16_t>(in.U16());
        const auto text = in.Bytes(in.U8() % 24);
        event.text.assign(text.begin(), text.end());
        for (int n = in.U8() % 4; n > 0; --n)
            event.rows.push_back(static_cast<int8_t>(in.U8()));
        event.key = static_cast<Key>(in.U8() % 10);
        windows.DeliverEvent(event);
        windows.Repaint();
        for (const auto& [id, control] : dialog.Controls())
            CheckControl(control);
    }
    return 0;
}
