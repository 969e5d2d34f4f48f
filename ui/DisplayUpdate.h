#pragma once
// What travels between the dialog model (UI thread) and whoever renders it (the page, a
// test recorder). Everything is keyed by dialog id and control id.
//
// Model -> page: a DisplayUpdate at every repaint point (the end of each dispatched event
// and the explicit repaints of long operations), holding only what changed since the last
// one; a full one (full == true, every created dialog, every control, the open requests)
// when a page connects. Order of application on the page: destroyedDialogs, dialogs,
// controls, modalStack, focus, closedRequests, requests, beeps.
//
// Page -> model: UiEvent through WindowSystem::DeliverEvent, answers to requests through
// WindowSystem::AnswerRequest, both called on the UI thread (post them with
// EventLoop::Post). Events and answers are untrusted: unknown ids are refused, values are
// clamped or refused, never trusted.
#include "ui/Controls.h"
#include "ui/Types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::ui {

struct DialogData {
    int id = 0;
    DialogKind kind = DialogKind::Child;
    std::string title;
    bool hasCaption = false;
    SizeDu size;
    PointPx position; // in the parent's client area (pop-ups: on the page)
    int parentId = 0; // 0 = top-level
    bool visible = false;
    bool modal = false;
    uint64_t zOrder = 0; // higher is in front; raised when shown or brought to the front
    bool operator==(const DialogData&) const = default;
};

enum class ModalResult : uint8_t { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No };

enum class MessageBoxButtons : uint8_t { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageBoxIcon : uint8_t { None, Information, Warning, Error, Question };

struct FileFilter {
    std::string label;    // "Configuration files (*.qvc)"
    std::string patterns; // "*.qvc" or "*.bin;*.frm"
    bool operator==(const FileFilter&) const = default;
};

struct FileDialogOptions {
    bool save = false;
    std::string title;
    std::string initialFolder;
    std::string fileName;         // proposed name
    std::string defaultExtension; // added to a typed name without one, e.g. "qvc"
    std::vector<FileFilter> filters;
    bool multiSelect = false;     // open only
    bool overwritePrompt = false; // save only: ask before replacing an existing file
    bool operator==(const FileDialogOptions&) const = default;
};

enum class RequestKind : uint8_t { MessageBox, FileDialog };

// A question the page must answer (modal: the UI thread waits in a nested loop).
struct Request {
    uint64_t id = 0;
    RequestKind kind = RequestKind::MessageBox;
    int ownerDialogId = 0;
    // MessageBox
    std::string text;
    std::string caption;
    MessageBoxButtons buttons = MessageBoxButtons::Ok;
    MessageBoxIcon icon = MessageBoxIcon::None;
    // FileDialog
    FileDialogOptions file;
};

struct RequestAnswer {
    ModalResult result = ModalResult::Cancel; // MessageBox: the button; FileDialog: Ok or Cancel
    std::vector<std::string> paths;           // FileDialog with Ok: full paths, one unless multiSelect
};

struct BeepRecord {
    int frequencyHz = 0;
    int durationMs = 0;
    int64_t atMs = 0;
    bool operator==(const BeepRecord&) const = default;
};

struct ControlRef {
    int dialogId = 0;
    int controlId = 0;
    bool operator==(const ControlRef&) const = default;
};

struct ControlUpdate {
    int dialogId = 0;
    ControlData control;
};

struct DisplayUpdate {
    bool full = false;
    std::vector<int> destroyedDialogs;
    std::vector<DialogData> dialogs; // created, shown, hidden, moved, retitled
    std::vector<ControlUpdate> controls;
    std::optional<std::vector<int>> modalStack; // when it changed: innermost last
    std::optional<ControlRef> focus;            // when it changed; {0, 0} = none
    std::vector<Request> requests;              // newly opened
    std::vector<uint64_t> closedRequests;       // answered (other pages close them)
    std::vector<BeepRecord> beeps;

    bool Empty() const {
        return destroyedDialogs.empty() && dialogs.empty() && controls.empty() && !modalStack && !focus &&
               requests.empty() && closedRequests.empty() && beeps.empty();
    }
};

enum class Key : uint8_t { Other, Enter, Escape, Tab, Up, Down, Left, Right, Delete, Space };

enum class EventKind : uint8_t {
    Click,        // row/column for lists (row -1: outside any row)
    DoubleClick,  // row/column for lists
    SelChange,    // combo/list box: value = index; list view: rows = selected rows
    EditChange,   // text = the new text of the edit or typed combo
    CheckChange,  // value = 0 or 1
    Scroll,       // slider/up-down: value = new position
    TimeChange,   // time picker: text = "HH:mm"
    FocusGained,  // no handler; keeps the focus state
    FocusLost,    // the edit lost focus (what an edit's kill-focus notification says)
    KeyDown,      // key; Enter -> OnOK, Escape -> OnCancel; controlId may be 0
    KeyUp,        // key; only updates the key state
    EndLabelEdit, // list view cell edit: row, column, text; cancelled when value == 0
    Close,        // the window's close box
};

struct UiEvent {
    int dialogId = 0;
    int controlId = 0;
    EventKind kind = EventKind::Click;
    int row = -1;
    int column = -1;
    int value = 0;
    std::string text;
    std::vector<int> rows;
    Key key = Key::Other;
};

// An event with every value at its default; set what the kind needs. (Brace-initialising a
// UiEvent with some members left out draws g++'s missing-initializer warning.)
inline UiEvent MakeEvent(int dialogId, int controlId, EventKind kind = EventKind::Click) {
    UiEvent event;
    event.dialogId = dialogId;
    event.controlId = controlId;
    event.kind = kind;
    return event;
}

inline UiEvent MakeKeyEvent(int dialogId, int controlId, Key key, bool down = true) {
    UiEvent event = MakeEvent(dialogId, controlId, down ? EventKind::KeyDown : EventKind::KeyUp);
    event.key = key;
    return event;
}

enum class DeliverResult : uint8_t {
    Delivered,
    UnknownDialog,
    UnknownControl,
    Blocked,  // another dialog is modal, or the dialog is hidden
    Disabled, // the control is disabled or hidden
    Invalid,  // values that do not fit the control
};

const char* ToString(DeliverResult result);

} // namespace kaptiv::ui
