#include "ui/Dialog.h"

#include "ui/Fatal.h"
#include "ui/WindowSystem.h"

namespace kaptiv::ui {

Dialog::Dialog(WindowSystem& windows, const DialogTemplate& tmpl) : m_windows(windows), m_template(tmpl) {
    m_data.id = tmpl.id;
    m_data.kind = tmpl.kind;
    m_data.title = std::string(tmpl.title);
    m_data.hasCaption = tmpl.hasCaption;
    m_data.size = tmpl.size;
    for (const ControlTemplate& control : tmpl.controls)
        m_controls.emplace(control.id, Control(ControlFromTemplate(control)));
}

Dialog::~Dialog() {
    m_windows.Loop().KillTimers(this);
    if (m_created)
        m_windows.Unregister(*this);
}

Control& Dialog::Item(int controlId) {
    auto it = m_controls.find(controlId);
    if (it == m_controls.end())
        Fatal("dialog " + std::to_string(Id()) + " has no control " + std::to_string(controlId));
    return it->second;
}

const Control& Dialog::Item(int controlId) const {
    return const_cast<Dialog*>(this)->Item(controlId);
}

Control* Dialog::FindItem(int controlId) {
    auto it = m_controls.find(controlId);
    return it == m_controls.end() ? nullptr : &it->second;
}

void Dialog::Create(Dialog* parent) {
    if (m_created)
        Fatal("dialog " + std::to_string(Id()) + " created twice");
    m_parent = parent;
    m_data.parentId = parent != nullptr ? parent->Id() : 0;
    m_data.visible = false;
    m_data.modal = false;
    m_controls.clear();
    for (const ControlTemplate& control : m_template.controls)
        m_controls.emplace(control.id, Control(ControlFromTemplate(control)));
    m_created = true;
    m_dirty = true;
    m_windows.Register(*this);
    OnInitDialog();
}

void Dialog::DestroyWindow() {
    if (!m_created)
        return;
    m_windows.Loop().KillTimers(this);
    if (m_modalRunning && !m_endResult)
        m_endResult = ModalResult::Cancel;
    m_created = false;
    m_data.visible = false;
    m_windows.Unregister(*this);
}

ModalResult Dialog::DoModal(Dialog* parent) {
    if (m_modalRunning)
        Fatal("DoModal entered again on dialog " + std::to_string(Id()) + " while it runs");
    m_modalRunning = true;
    m_endResult.reset();
    if (!m_created)
        Create(parent);
    m_data.modal = true;
    Show(true);
    m_windows.PushModal(Id());
    const bool answered =
        m_windows.RunModal([this] { return m_endResult.has_value(); }, "dialog " + std::to_string(Id()));
    const ModalResult result = answered ? *m_endResult : ModalResult::Abort;
    m_windows.PopModal(Id());
    m_data.modal = false;
    m_modalRunning = false;
    DestroyWindow();
    return result;
}

void Dialog::EndDialog(ModalResult result) {
    if (m_modalRunning)
        m_endResult = result;
    else
        Show(false);
}

void Dialog::OnOK() {
    if (m_modalRunning)
        EndDialog(ModalResult::Ok);
}

void Dialog::OnCancel() {
    if (m_modalRunning)
        EndDialog(ModalResult::Cancel);
}

void Dialog::Show(bool visible) {
    if (visible)
        m_data.zOrder = m_windows.NextZOrder();
    else if (!m_data.visible)
        return;
    m_data.visible = visible;
    m_dirty = true;
}

void Dialog::BringToFront() {
    m_data.zOrder = m_windows.NextZOrder();
    m_dirty = true;
}

void Dialog::MoveTo(PointPx position) {
    if (m_data.position == position)
        return;
    m_data.position = position;
    m_dirty = true;
}

void Dialog::SetSize(SizeDu size) {
    if (m_data.size == size)
        return;
    m_data.size = size;
    m_dirty = true;
}

void Dialog::SetTitle(const std::string& title) {
    if (m_data.title == title)
        return;
    m_data.title = title;
    m_dirty = true;
}

void Dialog::SetTimer(int timerId, int64_t periodMs) {
    m_windows.Loop().SetTimer(this, timerId, periodMs, [this, timerId] { OnTimer(timerId); });
}

bool Dialog::KillTimer(int timerId) {
    return m_windows.Loop().KillTimer(this, timerId);
}

bool Dialog::IsTimerSet(int timerId) const {
    return m_windows.Loop().IsTimerSet(this, timerId);
}

void Dialog::SetFocus(int controlId) {
    Item(controlId);
    m_windows.SetFocus(ControlRef{Id(), controlId});
}

} // namespace kaptiv::ui
