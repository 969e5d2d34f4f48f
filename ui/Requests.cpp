// The modal questions of the window system: message boxes, file dialogs and the DDX range
// check. The page answers them; the caller waits in a nested loop meanwhile.
#include "ui/Dialog.h"
#include "ui/PageTexts.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>

namespace kaptiv::ui {

namespace {

bool ButtonAllowed(MessageBoxButtons buttons, ModalResult result) {
    switch (buttons) {
    case MessageBoxButtons::Ok:
        return result == ModalResult::Ok;
    case MessageBoxButtons::OkCancel:
        return result == ModalResult::Ok || result == ModalResult::Cancel;
    case MessageBoxButtons::YesNo:
        return result == ModalResult::Yes || result == ModalResult::No;
    case MessageBoxButtons::YesNoCancel:
        return result == ModalResult::Yes || result == ModalResult::No || result == ModalResult::Cancel;
    case MessageBoxButtons::RetryCancel:
        return result == ModalResult::Retry || result == ModalResult::Cancel;
    }
    return false;
}

bool PathAcceptable(const std::string& path) {
    constexpr size_t kMaxPath = 4096;
    return !path.empty() && path.size() <= kMaxPath && path.find('\0') == std::string::npos;
}

} // namespace

std::optional<RequestAnswer> WindowSystem::Ask(Request request) {
    request.id = m_nextRequest++;
    request.ownerDialogId = m_modalStack.empty() ? 0 : m_modalStack.back();
    const uint64_t id = request.id;
    const std::string what = request.kind == RequestKind::MessageBox
                                 ? "message box \"" + request.text + "\""
                                 : "file dialog \"" + request.file.title + "\"";
    m_openRequests.emplace(id, request);
    m_newRequests.push_back(std::move(request));
    Repaint();
    const bool answered = RunModal([this, id] { return m_answers.contains(id); }, what);
    m_openRequests.erase(id);
    m_closedRequests.push_back(id);
    std::optional<RequestAnswer> answer;
    if (answered)
        answer = std::move(m_answers.at(id));
    m_answers.erase(id);
    return answer;
}

bool WindowSystem::AnswerRequest(uint64_t requestId, const RequestAnswer& answer) {
    auto it = m_openRequests.find(requestId);
    if (it == m_openRequests.end() || m_answers.contains(requestId))
        return false;
    const Request& request = it->second;
    if (request.kind == RequestKind::MessageBox) {
        if (!ButtonAllowed(request.buttons, answer.result))
            return false;
        m_answers[requestId] = RequestAnswer{answer.result, {}};
        return true;
    }
    if (answer.result == ModalResult::Cancel) {
        m_answers[requestId] = RequestAnswer{ModalResult::Cancel, {}};
        return true;
    }
    const bool countFits = answer.paths.size() == 1 || (request.file.multiSelect && !request.file.save &&
                                                        !answer.paths.empty() && answer.paths.size() <= 1000);
    if (answer.result != ModalResult::Ok || !countFits ||
        !std::all_of(answer.paths.begin(), answer.paths.end(), PathAcceptable))
        return false;
    m_answers[requestId] = answer;
    return true;
}

ModalResult WindowSystem::MessageBox(const std::string& text, const std::string& caption,
                                     MessageBoxButtons buttons, MessageBoxIcon icon) {
    Request request;
    request.kind = RequestKind::MessageBox;
    request.text = text;
    request.caption = caption;
    request.buttons = buttons;
    request.icon = icon;
    const auto answer = Ask(std::move(request));
    return answer ? answer->result : ModalResult::Abort;
}

std::optional<std::vector<std::string>> WindowSystem::FileDialog(const FileDialogOptions& options,
                                                                 const FileNameRule& finalName) {
    Request request;
    request.kind = RequestKind::FileDialog;
    request.file = options;
    if (request.file.save)
        request.file.multiSelect = false;
    for (;;) {
        auto answer = Ask(request);
        if (!answer || answer->result != ModalResult::Ok)
            return std::nullopt;
        if (!options.save)
            return std::move(answer->paths);
        std::filesystem::path path(answer->paths.front());
        if (finalName)
            path = finalName(path.string());
        else if (!path.has_extension() && !options.defaultExtension.empty())
            path += "." + options.defaultExtension;
        std::error_code error;
        if (options.overwritePrompt &&
            std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
            const ModalResult replace = MessageBox(ReplaceQuestion(path.filename().string()), options.title,
                                                   MessageBoxButtons::YesNo, MessageBoxIcon::Warning);
            if (replace == ModalResult::Abort)
                return std::nullopt;
            if (replace != ModalResult::Yes)
                continue; // the installer picks another name
        }
        return std::vector<std::string>{path.string()};
    }
}

std::string RangeMessage(int min, int max) {
    return "Please enter an integer between " + std::to_string(min) + " and " + std::to_string(max) + ".";
}

std::optional<int> DdxInteger(Dialog& dialog, int controlId, int min, int max) {
    const std::string& text = dialog.Item(controlId).Text();
    const size_t begin = text.find_first_not_of(" \t");
    const size_t end = text.find_last_not_of(" \t");
    long long value = 0;
    bool number = begin != std::string::npos;
    if (number) {
        const char* first = text.data() + begin;
        const char* last = text.data() + end + 1;
        if (*first == '+')
            ++first;
        const auto [ptr, error] = std::from_chars(first, last, value);
        // A number too long for the type is still a number, just out of range.
        number = ptr == last && (error == std::errc() || error == std::errc::result_out_of_range);
        if (error == std::errc::result_out_of_range)
            value =
                *first == '-' ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    }
    if (number && value >= min && value <= max)
        return static_cast<int>(value);
    dialog.Windows().MessageBox(number ? RangeMessage(min, max) : kNotAnIntegerMessage, "KAPTIV",
                                MessageBoxButtons::Ok, MessageBoxIcon::Warning);
    dialog.SetFocus(controlId);
    return std::nullopt;
}

} // namespace kaptiv::ui
