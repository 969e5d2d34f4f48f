#pragma once
// Answers the modal questions of the window system from a script, as the page would, for
// headless tests: message boxes, file dialogs, and actions on modal dialogs when they
// appear. Answers are posted to the loop, so they arrive inside the nested modal loop like
// the page's answers do. A question without a scripted answer, or of another kind than the
// script expects, is reported through onFailure; the watchdog it installs then ends the wait
// instead of letting the test hang.
#include "ui/WindowSystem.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kaptiv::ui {

class Dialog;

class ScriptedResponder final : public Display {
public:
    using Failure = std::function<void(const std::string&)>;

    ScriptedResponder(WindowSystem& windows, Failure onFailure, int64_t watchdogMs = 60'000);
    ~ScriptedResponder() override;
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    // The next message box is answered with result; if textPart is given, its text must
    // contain it.
    void AnswerMessageBox(ModalResult result, std::string textPart = {});
    // The next file dialog is answered with these paths (empty = Cancel).
    void AnswerFileDialog(std::vector<std::string> paths);
    // When dialog dialogId becomes the innermost modal dialog, act on it (fill fields, click).
    void OnModalDialog(int dialogId, std::function<void(Dialog&)> act);

    size_t Unused() const { return m_script.size(); }
    const std::vector<Request>& Asked() const { return m_asked; }

    void Present(const DisplayUpdate& update) override;

private:
    enum class StepKind { MessageBox, FileDialog, ModalDialog };
    struct Step {
        StepKind kind;
        ModalResult result = ModalResult::Ok;
        std::string textPart;
        std::vector<std::string> paths;
        int dialogId = 0;
        std::function<void(Dialog&)> act;
    };

    void Answer(const Request& request);
    void Fail(const std::string& what);

    WindowSystem& m_windows;
    Failure m_onFailure;
    std::deque<Step> m_script;
    std::vector<Request> m_asked;
};

} // namespace kaptiv::ui
