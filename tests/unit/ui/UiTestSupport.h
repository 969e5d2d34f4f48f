#pragma once
// A small dialog with one control of each kind, and a display that records what it is given.
#include "ui/Dialog.h"
#include "ui/WindowSystem.h"

#include <string>
#include <vector>

namespace kaptiv::ui::testing {

inline constexpr int kProbeDialog = 900;
enum ProbeControl {
    kText = 1,
    kPicture,
    kButton,
    kCheck,
    kEdit,
    kCombo,
    kListBox,
    kList,
    kProgress,
    kSlider,
    kUpDown,
    kTime,
    kGroup,
    kGraph,
    kHidden,
};

inline const ControlTemplate kProbeControls[] = {
    {kText, ControlKind::StaticText, {1, 1, 50, 8}, "caption", 0, {}},
    {kPicture, ControlKind::Picture, {1, 10, 5, 5}, "", 0, Bitmap(256)},
    {kButton, ControlKind::Button, {1, 20, 30, 12}, "Go", 0, {}},
    {kCheck, ControlKind::CheckBox, {1, 34, 60, 10}, "Enabled", 0, {}},
    {kEdit, ControlKind::Edit, {1, 46, 60, 12}, "", 0, {}},
    {kCombo, ControlKind::ComboBox, {1, 60, 60, 40}, "", style::DropDownList, {}},
    {kListBox, ControlKind::ListBox, {1, 100, 60, 40}, "", 0, {}},
    {kList, ControlKind::ListView, {70, 1, 100, 100}, "", 0, {}},
    {kProgress, ControlKind::ProgressBar, {70, 110, 100, 8}, "", 0, {}},
    {kSlider, ControlKind::Slider, {70, 120, 100, 12}, "", style::Ticks, {}},
    {kUpDown, ControlKind::UpDown, {172, 120, 10, 12}, "", 0, {}},
    {kTime, ControlKind::TimePicker, {70, 134, 40, 12}, "", 0, {}},
    {kGroup, ControlKind::GroupBox, {68, 0, 120, 150}, "Group", 0, {}},
    {kGraph, ControlKind::OwnerDrawn, {1, 150, 100, 30}, "", 0, {}},
    {kHidden, ControlKind::Button, {1, 182, 30, 12}, "Secret", style::Hidden, {}},
};

inline const DialogTemplate kProbeTemplate{kProbeDialog, DialogKind::Popup, {200, 200},
                                           "Probe",      kProbeControls,    true};

// Records every handler call as text, in order.
class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(WindowSystem& windows, const DialogTemplate& tmpl = kProbeTemplate)
        : Dialog(windows, tmpl) {}

    std::vector<std::string> calls;

    void OnInitDialog() override { calls.push_back("init"); }
    void OnTimer(int id) override { calls.push_back("timer " + std::to_string(id)); }
    void OnClick(int id) override { calls.push_back("click " + std::to_string(id)); }
    void OnDoubleClick(int id, ListHit hit) override {
        calls.push_back("dblclick " + std::to_string(id) + " " + std::to_string(hit.row) + "/" +
                        std::to_string(hit.column));
    }
    void OnSelChange(int id) override { calls.push_back("sel " + std::to_string(id)); }
    void OnEditChange(int id) override { calls.push_back("edit " + std::to_string(id)); }
    void OnCheckChange(int id) override { calls.push_back("check " + std::to_string(id)); }
    void OnScroll(int id, int position) override {
        calls.push_back("scroll " + std::to_string(id) + " " + std::to_string(position));
    }
    void OnTimeChange(int id) override { calls.push_back("time " + std::to_string(id)); }
    void OnFocusLost(int id) override { calls.push_back("focuslost " + std::to_string(id)); }
    void OnDeviceChange() override { calls.push_back("devicechange"); }
    void OnEndLabelEdit(int id, ListHit cell, const std::optional<std::string>& text) override {
        calls.push_back("endlabel " + std::to_string(id) + " " + std::to_string(cell.row) + "/" +
                        std::to_string(cell.column) + " " + text.value_or("<cancelled>"));
    }
    void OnOK() override {
        calls.push_back("ok");
        Dialog::OnOK();
    }
    void OnCancel() override {
        calls.push_back("cancel");
        Dialog::OnCancel();
    }
};

class RecordingDisplay final : public Display {
public:
    explicit RecordingDisplay(WindowSystem& windows) : m_windows(windows) { m_windows.AddDisplay(this); }
    ~RecordingDisplay() override { m_windows.RemoveDisplay(this); }
    void Present(const DisplayUpdate& update) override { updates.push_back(update); }

    std::vector<DisplayUpdate> updates;

    // Control ids of one dialog sent in update i.
    std::vector<int> ControlsIn(size_t i, int dialogId) const {
        std::vector<int> ids;
        for (const auto& c : updates.at(i).controls)
            if (c.dialogId == dialogId)
                ids.push_back(c.control.id);
        return ids;
    }

private:
    WindowSystem& m_windows;
};

} // namespace kaptiv::ui::testing
