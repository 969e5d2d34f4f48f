#pragma once
// A window built from a template in resources/: controls by id, window timers, show/hide,
// modeless creation and modal runs. One subclass per window of the program; the subclass
// overrides the handlers it needs. Handlers are only called for what the installer did on
// the page (and for timers); code that changes a control never triggers them.
#include "ui/Controls.h"
#include "ui/DialogTemplate.h"
#include "ui/DisplayUpdate.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kaptiv::ui {

class WindowSystem;

class Dialog {
public:
    Dialog(WindowSystem& windows, const DialogTemplate& tmpl);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int Id() const { return m_data.id; }
    const DialogData& Data() const { return m_data; }
    WindowSystem& Windows() const { return m_windows; }

    // Controls by id; a missing id stops the program with the dialog and control ids.
    Control& Item(int controlId);
    const Control& Item(int controlId) const;
    Control* FindItem(int controlId);
    const std::map<int, Control>& Controls() const { return m_controls; }
    std::map<int, Control>& Controls() { return m_controls; }

    // Modeless creation: builds the controls afresh from the template (the controls held
    // before creation are replaced), calls OnInitDialog. The dialog stays hidden unless
    // shown. Creating twice is a programming error. The window system must outlive it.
    void Create(Dialog* parent = nullptr);
    bool IsCreated() const { return m_created; }
    // Closes the window: kills its timers and takes it off the display. Create may follow.
    void DestroyWindow();

    // Runs the dialog modally in a nested loop until EndDialog. Creates it when needed and
    // destroys it at the end. Entering it again while it runs is a programming error.
    ModalResult DoModal(Dialog* parent = nullptr);
    void EndDialog(ModalResult result);
    bool IsModalRunning() const { return m_modalRunning; }

    void Show(bool visible);
    bool IsVisible() const { return m_data.visible; }
    void BringToFront();
    void MoveTo(PointPx position); // in the parent's client area, keeping the size
    // A window whose content grows or shrinks with the data (the health view's tiles).
    void SetSize(SizeDu size);
    void SetTitle(const std::string& title);
    const std::string& Title() const { return m_data.title; }
    Dialog* Parent() const { return m_parent; }

    // Window timers: per-window ids; setting a running timer restarts it; they fire OnTimer
    // until killed; closing the window kills them all.
    void SetTimer(int timerId, int64_t periodMs);
    bool KillTimer(int timerId);
    bool IsTimerSet(int timerId) const;

    // Focus on one of this dialog's controls (reported to the page).
    void SetFocus(int controlId);

    // What the window system calls; public so that tests may drive a dialog directly.
    virtual void OnInitDialog() {}
    virtual void OnTimer(int /*timerId*/) {}
    virtual void OnClick(int /*controlId*/) {}
    virtual void OnDoubleClick(int /*controlId*/, ListHit /*hit*/) {}
    virtual void OnSelChange(int /*controlId*/) {}
    virtual void OnEditChange(int /*controlId*/) {}
    virtual void OnCheckChange(int /*controlId*/) {}
    virtual void OnScroll(int /*controlId*/, int /*position*/) {}
    virtual void OnTimeChange(int /*controlId*/) {}
    virtual void OnFocusLost(int /*controlId*/) {}
    // Enter and Escape reach OnOK and OnCancel unless this returns true.
    virtual bool OnKeyDown(int /*controlId*/, Key /*key*/) { return false; }
    virtual void OnEndLabelEdit(int /*controlId*/, ListHit /*cell*/,
                                const std::optional<std::string>& /*text*/) {}
    virtual void OnDeviceChange() {}
    // Defaults: end a modal run with Ok/Cancel, hide a modeless window.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose() { OnCancel(); }

    bool IsDirty() const { return m_dirty; }
    void ClearDirty() { m_dirty = false; }

private:
    WindowSystem& m_windows;
    const DialogTemplate& m_template;
    DialogData m_data;
    std::map<int, Control> m_controls;
    Dialog* m_parent = nullptr;
    bool m_created = false;
    bool m_dirty = true;
    bool m_modalRunning = false;
    std::optional<ModalResult> m_endResult;
};

} // namespace kaptiv::ui
