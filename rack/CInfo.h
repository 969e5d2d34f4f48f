#pragma once
// The message panel: one message at a time for a given display time, with a progress bar
// underneath that the callers drive directly. Discovery, firmware update, configuration
// files and the settings editor all report through it.
#include "rack/ScanFeedback.h"
#include "ui/Dialog.h"

#include <cstdint>
#include <string>

namespace kaptiv::rack {

class CInfo final : public ui::Dialog, public ScanFeedback {
public:
    static constexpr int kDialogId = 160;
    static constexpr int kMessage = 1024;
    static constexpr int kProgress = 1001;
    static constexpr int kDisplayTimer = 1;

    explicit CInfo(ui::WindowSystem& windows);

    // Shows text for displayMs (a second message replaces the first and restarts the time).
    // With wait, the calling handler is held for the display time as well, through the clock:
    // nothing else runs meanwhile, as when the original slept.
    void ShowMessage(const std::string& text, int64_t displayMs, bool wait = false) override;
    void WarningBeep(int frequencyHz, int durationMs) override;
    platform::Clock& ScanClock() override;
    platform::EventLoop* ScanLoop() override;
    const std::string& Message() const { return m_message; }
    // A quiet line shown, in a paler grey, whenever no message is (no beep, no wait): the
    // rack's state while nothing else is said. Empty: the panel goes blank between messages.
    void SetRestingText(std::string text);
    const std::string& RestingText() const { return m_resting; }
    bool IsShown() const { return m_shown; }

    // The bar: a new total sets the range and shows the bar; EndProgress hides it. A quit
    // requested during a firmware transfer is announced here (the transfer's progress point).
    void SetProgress(int64_t done, int64_t total);
    void EndProgress();
    int64_t ProgressTotal() const { return m_total; }

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    // While the program waits for a module's firmware to be finished before it quits, every
    // message says so underneath.
    bool FinishingBeforeQuit() const;
    std::string ShownText() const;

    bool m_quitNoticeShown = false;
    void ShowText(const std::string& text, bool resting);

    std::string m_message;
    std::string m_resting;
    int64_t m_total = 0;
    int64_t m_scale = 1; // the bar's range is an int: large totals are shown in steps
    bool m_shown = false;
};

} // namespace kaptiv::rack
