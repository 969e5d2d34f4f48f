#pragma once
// The window system of the user-interface thread: the created dialogs, the modal stack,
// focus, key state, beeps, message boxes and file dialogs, and the repaint points at which
// changes go to the displays (the browser page through the display server; recorders in
// tests). Everything here runs on the UI thread; the display server reaches it only through
// EventLoop::Post.
#include "platform/EventLoop.h"
#include "ui/DisplayUpdate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::ui {

class Dialog;

// Whoever draws the dialogs. Present is called on the UI thread at repaint points; an
// implementation that hands the update to another thread must copy it.
class Display {
public:
    virtual ~Display() = default;
    virtual void Present(const DisplayUpdate& update) = 0;
};

class WindowSystem {
public:
    // Takes the loop's after-dispatch hook: the end of every dispatched event is a repaint point.
    explicit WindowSystem(platform::EventLoop& loop);
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    platform::EventLoop& Loop() const { return m_loop; }
    platform::Clock& GetClock() const { return m_loop.GetClock(); }

    void AddDisplay(Display* display);
    void RemoveDisplay(Display* display);

    // An explicit repaint point: hands every change since the last one to the displays.
    void Repaint();
    // The whole state, for a page that has just connected.
    DisplayUpdate Snapshot() const;

    // From the page. See ui/DisplayUpdate.h.
    DeliverResult DeliverEvent(const UiEvent& event);
    // Unknown or already answered ids are ignored (another page answered first).
    bool AnswerRequest(uint64_t requestId, const RequestAnswer& answer);

    // Modal questions: the calling handler waits in a nested loop for the page's answer.
    ModalResult MessageBox(const std::string& text, const std::string& caption = "KAPTIV",
                           MessageBoxButtons buttons = MessageBoxButtons::Ok,
                           MessageBoxIcon icon = MessageBoxIcon::None);
    // The chosen paths, or nothing when the installer cancelled. A save dialog with
    // overwritePrompt asks before an existing file is replaced and asks again on "No".
    // finalName (save only) turns the typed path into the one that will really be written
    // (the caller's extension rule); it replaces the default-extension rule, and the question
    // is asked for its result, which is what the dialog returns.
    using FileNameRule = std::function<std::string(const std::string&)>;
    std::optional<std::vector<std::string>> FileDialog(const FileDialogOptions& options,
                                                       const FileNameRule& finalName = {});

    void Beep(int frequencyHz, int durationMs);
    const std::vector<BeepRecord>& Beeps() const { return m_beepLog; }

    // The set of devices changed (the platform's device watch): every top-level window hears it.
    void BroadcastDeviceChange();

    // Answered from the last key events of the page (the upload loop polls Escape). The page
    // sends the key-up of every held key when it loses focus, so no key stays down.
    bool IsKeyDown(Key key) const;
    // How often the key went down since the program started. A press and its release that
    // both arrive between two looks are still seen: a transfer compares the count with the
    // one at its start, so a press at any moment of it counts.
    uint64_t KeyPresses(Key key) const;

    ControlRef Focus() const { return m_focus; }
    void SetFocus(ControlRef focus);

    // Tests: a modal wait longer than timeoutMs of clock time calls onExpired with what was
    // awaited and ends that wait with ModalResult::Abort, so a missing answer fails the test
    // instead of hanging it. 0 turns the watchdog off.
    void SetModalWatchdog(int64_t timeoutMs, std::function<void(const std::string&)> onExpired);

    const std::vector<int>& ModalStack() const { return m_modalStack; }
    Dialog* FindDialog(int dialogId) const;
    std::vector<Request> OpenRequests() const;

    // For Dialog.
    void Register(Dialog& dialog);
    void Unregister(Dialog& dialog);
    void PushModal(int dialogId);
    void PopModal(int dialogId);
    // Runs nested turns until done() holds; false when the watchdog or a quit request
    // (EventLoop::RequestQuit) ended the wait: the dialog or question then ends with Abort.
    bool RunModal(const std::function<bool()>& done, const std::string& what);
    uint64_t NextZOrder() { return ++m_zOrder; }

private:
    std::optional<RequestAnswer> Ask(Request request);
    DeliverResult DeliverToControl(Dialog& dialog, const UiEvent& event);
    bool AcceptsInput(const Dialog& dialog) const;
    void Present(const DisplayUpdate& update);

    platform::EventLoop& m_loop;
    std::vector<Display*> m_displays;
    std::map<int, Dialog*> m_dialogs;
    std::vector<int> m_destroyed;
    std::vector<int> m_modalStack;
    bool m_modalStackChanged = false;
    ControlRef m_focus;
    bool m_focusChanged = false;
    std::map<Key, bool> m_keys;
    std::map<Key, uint64_t> m_keyPresses;
    std::vector<BeepRecord> m_beepLog;
    std::vector<BeepRecord> m_pendingBeeps;
    std::map<uint64_t, Request> m_openRequests;
    std::map<uint64_t, RequestAnswer> m_answers;
    std::vector<Request> m_newRequests;
    std::vector<uint64_t> m_closedRequests;
    uint64_t m_nextRequest = 1;
    uint64_t m_zOrder = 0;
    int64_t m_watchdogMs = 0;
    std::function<void(const std::string&)> m_onWatchdog;
    bool m_inRepaint = false;
};

// The DDX-style messages and the check that shows them: reads the edit's text as an integer
// in [min, max]; otherwise shows "Please enter an integer." (not a number) or the range
// message, puts the focus back on the edit and returns nothing.
inline constexpr const char* kNotAnIntegerMessage = "Please enter an integer.";
std::string RangeMessage(int min, int max);
std::optional<int> DdxInteger(Dialog& dialog, int controlId, int min, int max);

} // namespace kaptiv::ui
