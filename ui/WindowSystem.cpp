#include "ui/WindowSystem.h"

#include "ui/Dialog.h"
#include "ui/Fatal.h"

#include <algorithm>

namespace kaptiv::ui {

namespace {
// Page texts larger than this are refused: no edit of the program holds more.
constexpr size_t kMaxEventText = 64 * 1024;
} // namespace

const char* ToString(DeliverResult result) {
    switch (result) {
    case DeliverResult::Delivered:
        return "delivered";
    case DeliverResult::UnknownDialog:
        return "unknown dialog";
    case DeliverResult::UnknownControl:
        return "unknown control";
    case DeliverResult::Blocked:
        return "blocked";
    case DeliverResult::Disabled:
        return "disabled";
    case DeliverResult::Invalid:
        return "invalid";
    }
    return "?";
}

WindowSystem::WindowSystem(platform::EventLoop& loop) : m_loop(loop) {
    m_loop.SetAfterDispatch([this] { Repaint(); });
}

WindowSystem::~WindowSystem() {
    m_loop.SetAfterDispatch(nullptr);
}

void WindowSystem::AddDisplay(Display* display) {
    if (std::find(m_displays.begin(), m_displays.end(), display) == m_displays.end())
        m_displays.push_back(display);
}

void WindowSystem::RemoveDisplay(Display* display) {
    std::erase(m_displays, display);
}

void WindowSystem::Present(const DisplayUpdate& update) {
    const auto displays = m_displays; // a display may detach itself
    for (Display* display : displays)
        display->Present(update);
}

void WindowSystem::Repaint() {
    if (m_inRepaint)
        return;
    m_inRepaint = true;
    DisplayUpdate update;
    update.destroyedDialogs.swap(m_destroyed);
    for (const auto& [id, dialog] : m_dialogs) {
        if (dialog->IsDirty()) {
            update.dialogs.push_back(dialog->Data());
            dialog->ClearDirty();
        }
        for (auto& [controlId, control] : dialog->Controls()) {
            if (!control.IsDirty())
                continue;
            update.controls.push_back(ControlUpdate{id, control.Data()});
            control.ClearDirty();
        }
    }
    if (m_modalStackChanged)
        update.modalStack = m_modalStack;
    m_modalStackChanged = false;
    if (m_focusChanged)
        update.focus = m_focus;
    m_focusChanged = false;
    update.requests.swap(m_newRequests);
    update.closedRequests.swap(m_closedRequests);
    update.beeps.swap(m_pendingBeeps);
    if (!update.Empty())
        Present(update);
    m_inRepaint = false;
}

DisplayUpdate WindowSystem::Snapshot() const {
    DisplayUpdate update;
    update.full = true;
    for (const auto& [id, dialog] : m_dialogs) {
        update.dialogs.push_back(dialog->Data());
        for (const auto& [controlId, control] : dialog->Controls())
            update.controls.push_back(ControlUpdate{id, control.Data()});
    }
    update.modalStack = m_modalStack;
    update.focus = m_focus;
    update.requests = OpenRequests();
    return update;
}

std::vector<Request> WindowSystem::OpenRequests() const {
    std::vector<Request> requests;
    for (const auto& [id, request] : m_openRequests)
        if (!m_answers.contains(id))
            requests.push_back(request);
    return requests;
}

Dialog* WindowSystem::FindDialog(int dialogId) const {
    auto it = m_dialogs.find(dialogId);
    return it == m_dialogs.end() ? nullptr : it->second;
}

void WindowSystem::Register(Dialog& dialog) {
    auto [it, inserted] = m_dialogs.emplace(dialog.Id(), &dialog);
    if (!inserted && it->second != &dialog)
        Fatal("two windows with dialog id " + std::to_string(dialog.Id()));
}

void WindowSystem::Unregister(Dialog& dialog) {
    auto it = m_dialogs.find(dialog.Id());
    if (it == m_dialogs.end() || it->second != &dialog)
        return;
    m_dialogs.erase(it);
    m_destroyed.push_back(dialog.Id());
    if (m_focus.dialogId == dialog.Id())
        SetFocus(ControlRef{});
}

void WindowSystem::PushModal(int dialogId) {
    m_modalStack.push_back(dialogId);
    m_modalStackChanged = true;
}

void WindowSystem::PopModal(int dialogId) {
    if (m_modalStack.empty() || m_modalStack.back() != dialogId)
        Fatal("modal stack out of order at dialog " + std::to_string(dialogId));
    m_modalStack.pop_back();
    m_modalStackChanged = true;
}

void WindowSystem::SetModalWatchdog(int64_t timeoutMs, std::function<void(const std::string&)> onExpired) {
    m_watchdogMs = std::max<int64_t>(timeoutMs, 0);
    m_onWatchdog = std::move(onExpired);
}

bool WindowSystem::RunModal(const std::function<bool()>& done, const std::string& what) {
    Repaint(); // what the modal wait is about must be on the page before the wait
    const int64_t start = GetClock().NowMs();
    bool expired = false;
    // A quit request (a termination signal) ends the wait unanswered, like the watchdog.
    const bool ended = m_loop.RunUntil([&] {
        if (done())
            return true;
        if (m_watchdogMs > 0 && GetClock().NowMs() - start >= m_watchdogMs) {
            expired = true;
            return true;
        }
        return false;
    });
    if (expired && m_onWatchdog)
        m_onWatchdog("no answer to " + what);
    return ended && !expired;
}

void WindowSystem::SetFocus(ControlRef focus) {
    if (m_focus == focus)
        return;
    m_focus = focus;
    m_focusChanged = true;
}

void WindowSystem::BroadcastDeviceChange() {
    std::vector<int> topLevel;
    for (const auto& [id, dialog] : m_dialogs)
        if (dialog->Parent() == nullptr)
            topLevel.push_back(id);
    for (int id : topLevel)
        if (Dialog* dialog = FindDialog(id)) // a handler may have closed another window
            dialog->OnDeviceChange();
}

bool WindowSystem::IsKeyDown(Key key) const {
    auto it = m_keys.find(key);
    return it != m_keys.end() && it->second;
}

uint64_t WindowSystem::KeyPresses(Key key) const {
    auto it = m_keyPresses.find(key);
    return it == m_keyPresses.end() ? 0 : it->second;
}

void WindowSystem::Beep(int frequencyHz, int durationMs) {
    // The log is for tests and diagnostics; keep it bounded in a long session.
    constexpr size_t kMaxLoggedBeeps = 1000;
    const BeepRecord beep{frequencyHz, durationMs, GetClock().NowMs()};
    if (m_beepLog.size() == kMaxLoggedBeeps)
        m_beepLog.erase(m_beepLog.begin());
    m_beepLog.push_back(beep);
    m_pendingBeeps.push_back(beep);
}

bool WindowSystem::AcceptsInput(const Dialog& dialog) const {
    if (!m_openRequests.empty() && m_answers.size() < m_openRequests.size())
        return false; // a message box or file dialog is in front of everything
    for (const Dialog* d = &dialog; d != nullptr; d = d->Parent())
        if (!d->IsVisible())
            return false;
    if (m_modalStack.empty())
        return true;
    for (const Dialog* d = &dialog; d != nullptr; d = d->Parent())
        if (d->Id() == m_modalStack.back())
            return true;
    return false;
}

DeliverResult WindowSystem::DeliverEvent(const UiEvent& event) {
    if (event.text.size() > kMaxEventText || event.rows.size() > kMaxEventText)
        return DeliverResult::Invalid;
    if (event.kind == EventKind::KeyDown || event.kind == EventKind::KeyUp) {
        m_keys[event.key] = event.kind == EventKind::KeyDown;
        if (event.kind == EventKind::KeyDown)
            ++m_keyPresses[event.key];
        if (event.dialogId == 0 || event.kind == EventKind::KeyUp)
            return DeliverResult::Delivered;
    }
    Dialog* dialog = FindDialog(event.dialogId);
    if (dialog == nullptr)
        return DeliverResult::UnknownDialog;
    if (!AcceptsInput(*dialog)) {
        // Where the page's focus is stays known even while a question blocks the dialog's
        // handlers: a SetFocus after a message box must reach the page.
        if (event.kind == EventKind::FocusLost && m_focus == ControlRef{dialog->Id(), event.controlId})
            m_focus = ControlRef{};
        return DeliverResult::Blocked;
    }
    switch (event.kind) {
    case EventKind::Close:
        dialog->OnClose();
        return DeliverResult::Delivered;
    case EventKind::KeyDown:
        if (event.controlId != 0 && dialog->FindItem(event.controlId) == nullptr)
            return DeliverResult::UnknownControl;
        if (!dialog->OnKeyDown(event.controlId, event.key)) {
            if (event.key == Key::Enter)
                dialog->OnOK();
            else if (event.key == Key::Escape)
                dialog->OnCancel();
        }
        return DeliverResult::Delivered;
    default:
        return DeliverToControl(*dialog, event);
    }
}

DeliverResult WindowSystem::DeliverToControl(Dialog& dialog, const UiEvent& event) {
    Control* control = dialog.FindItem(event.controlId);
    if (control == nullptr)
        return DeliverResult::UnknownControl;
    if (!control->IsEnabled() || !control->IsVisible()) {
        if (event.kind == EventKind::FocusLost && m_focus == ControlRef{dialog.Id(), event.controlId})
            m_focus = ControlRef{};
        return DeliverResult::Disabled;
    }
    const ControlKind kind = control->Kind();
    const int id = event.controlId;
    const bool isList = kind == ControlKind::ListView;
    const auto validRow = [&](int row) { return row >= 0 && row < control->RowCount(); };

    switch (event.kind) {
    case EventKind::Click:
    case EventKind::DoubleClick: {
        ListHit hit;
        if (isList) {
            // -1: the click fell outside any row, which the dialog may still want to see.
            if (event.row != -1 && !validRow(event.row))
                return DeliverResult::Invalid;
            hit = ListHit{event.row, event.row == -1 ? -1 : std::max(event.column, 0)};
            control->SetLastHit(hit);
        }
        if (event.kind == EventKind::Click)
            dialog.OnClick(id);
        else
            dialog.OnDoubleClick(id, hit);
        return DeliverResult::Delivered;
    }
    case EventKind::SelChange:
        if (kind == ControlKind::ComboBox || kind == ControlKind::ListBox) {
            if (event.value < -1 || event.value >= static_cast<int>(control->Items().size()))
                return DeliverResult::Invalid;
            control->SetSelectedItem(event.value);
        } else if (isList) {
            if (!std::all_of(event.rows.begin(), event.rows.end(), validRow))
                return DeliverResult::Invalid;
            if (event.rows.size() > 1 && (control->Data().style & style::MultiSelect) == 0)
                return DeliverResult::Invalid;
            for (int row = 0; row < control->RowCount(); ++row)
                control->SelectRow(row, false);
            for (int row : event.rows)
                control->SelectRow(row, true);
        } else {
            return DeliverResult::Invalid;
        }
        dialog.OnSelChange(id);
        return DeliverResult::Delivered;
    case EventKind::EditChange:
        if (kind == ControlKind::Edit) {
            if (control->Data().readOnly)
                return DeliverResult::Invalid;
        } else if (kind != ControlKind::ComboBox || (control->Data().style & style::DropDownList) != 0) {
            return DeliverResult::Invalid;
        }
        control->SetText(event.text);
        dialog.OnEditChange(id);
        return DeliverResult::Delivered;
    case EventKind::CheckChange:
        if (kind != ControlKind::CheckBox)
            return DeliverResult::Invalid;
        control->SetCheck(event.value != 0);
        dialog.OnCheckChange(id);
        return DeliverResult::Delivered;
    case EventKind::Scroll:
        if (kind != ControlKind::Slider && kind != ControlKind::UpDown)
            return DeliverResult::Invalid;
        control->SetPosition(event.value);
        dialog.OnScroll(id, control->Position());
        return DeliverResult::Delivered;
    case EventKind::TimeChange: {
        const auto minutes = ParseTimeOfDay(event.text);
        if (kind != ControlKind::TimePicker || !minutes)
            return DeliverResult::Invalid;
        control->SetMinutesOfDay(*minutes);
        dialog.OnTimeChange(id);
        return DeliverResult::Delivered;
    }
    case EventKind::FocusGained:
        m_focus = ControlRef{dialog.Id(), id}; // the page knows already
        return DeliverResult::Delivered;
    case EventKind::FocusLost:
        if (m_focus == ControlRef{dialog.Id(), id})
            m_focus = ControlRef{};
        dialog.OnFocusLost(id);
        return DeliverResult::Delivered;
    case EventKind::EndLabelEdit: {
        if (!isList || !validRow(event.row) || event.column < 0)
            return DeliverResult::Invalid;
        std::optional<std::string> text;
        if (event.value != 0)
            text = event.text;
        // The editor is gone before the dialog hears of it: a handler may open the next one.
        // The end of an editor that is no longer open (ended by the dialog, or another cell's)
        // reaches no one.
        if (const auto& open = control->OpenCellEdit();
            !open || open->row != event.row || open->column != event.column)
            return DeliverResult::Invalid;
        control->SetCellEdit(std::nullopt);
        dialog.OnEndLabelEdit(id, ListHit{event.row, event.column}, text);
        return DeliverResult::Delivered;
    }
    case EventKind::KeyDown:
    case EventKind::KeyUp:
    case EventKind::Close:
        break;
    }
    return DeliverResult::Invalid;
}

} // namespace kaptiv::ui
