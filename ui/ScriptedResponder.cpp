#include "ui/ScriptedResponder.h"

#include "ui/Dialog.h"

namespace kaptiv::ui {

ScriptedResponder::ScriptedResponder(WindowSystem& windows, Failure onFailure, int64_t watchdogMs)
    : m_windows(windows), m_onFailure(std::move(onFailure)) {
    m_windows.AddDisplay(this);
    m_windows.SetModalWatchdog(watchdogMs, [this](const std::string& what) { Fail("watchdog: " + what); });
}

ScriptedResponder::~ScriptedResponder() {
    m_windows.RemoveDisplay(this);
    m_windows.SetModalWatchdog(0, nullptr);
}

void ScriptedResponder::AnswerMessageBox(ModalResult result, std::string textPart) {
    m_script.push_back(Step{StepKind::MessageBox, result, std::move(textPart), {}, 0, nullptr});
}

void ScriptedResponder::AnswerFileDialog(std::vector<std::string> paths) {
    const ModalResult result = paths.empty() ? ModalResult::Cancel : ModalResult::Ok;
    m_script.push_back(Step{StepKind::FileDialog, result, {}, std::move(paths), 0, nullptr});
}

void ScriptedResponder::OnModalDialog(int dialogId, std::function<void(Dialog&)> act) {
    m_script.push_back(Step{StepKind::ModalDialog, ModalResult::None, {}, {}, dialogId, std::move(act)});
}

void ScriptedResponder::Fail(const std::string& what) {
    if (m_onFailure)
        m_onFailure(what);
}

void ScriptedResponder::Answer(const Request& request) {
    m_asked.push_back(request);
    const StepKind wanted =
        request.kind == RequestKind::MessageBox ? StepKind::MessageBox : StepKind::FileDialog;
    const std::string what = request.kind == RequestKind::MessageBox
                                 ? "message box \"" + request.text + "\""
                                 : "file dialog \"" + request.file.title + "\"";
    if (m_script.empty() || m_script.front().kind != wanted) {
        Fail("unscripted " + what);
        return; // the watchdog ends the wait
    }
    Step step = std::move(m_script.front());
    m_script.pop_front();
    if (!step.textPart.empty() && request.text.find(step.textPart) == std::string::npos)
        Fail(what + " does not contain \"" + step.textPart + "\"");
    const uint64_t id = request.id;
    RequestAnswer answer{step.result, std::move(step.paths)};
    m_windows.Loop().Post([this, id, answer] {
        if (!m_windows.AnswerRequest(id, answer))
            Fail("answer refused for request " + std::to_string(id));
    });
}

void ScriptedResponder::Present(const DisplayUpdate& update) {
    for (const Request& request : update.requests)
        Answer(request);
    if (!update.modalStack || update.modalStack->empty())
        return;
    const int top = update.modalStack->back();
    if (m_script.empty() || m_script.front().kind != StepKind::ModalDialog ||
        m_script.front().dialogId != top)
        return; // a modal dialog nobody scripted: the test drives it itself, or the watchdog fires
    auto act = std::move(m_script.front().act);
    m_script.pop_front();
    m_windows.Loop().Post([this, top, act = std::move(act)] {
        if (Dialog* dialog = m_windows.FindDialog(top))
            act(*dialog);
        else
            Fail("modal dialog " + std::to_string(top) + " vanished before its scripted action");
    });
}

} // namespace kaptiv::ui
