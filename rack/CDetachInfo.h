#pragma once
// The transfer window: a pop-up for long file transfers to the streaming modules showing the
// message, the bar, the percentage done, the transfer rate and the time still needed.
#include "ui/Dialog.h"

#include <cstdint>
#include <string>

namespace kaptiv::rack {

// The three texts of one progress step.
struct TransferTexts {
    std::string percent;   // "%3.2f%%"
    std::string rate;      // "%5.2f kB/s"
    std::string remaining; // "%4d:%02d.%02d" hours, minutes, seconds; empty while unknown
    bool operator==(const TransferTexts&) const = default;
};

// rate = done / elapsed seconds; remaining = (total - done) / rate, cut to whole seconds.
// Before any time has passed or any byte is done the rate cannot be known: it shows as zero
// and the remaining time stays empty instead of dividing by zero.
TransferTexts FormatTransfer(int64_t doneBytes, int64_t totalBytes, int64_t elapsedMs);

class CDetachInfo final : public ui::Dialog {
public:
    static constexpr int kDialogId = 241;
    static constexpr int kMessage = 1201;
    static constexpr int kProgress = 1202;
    static constexpr int kPercent = 1203;
    static constexpr int kRate = 1204;
    static constexpr int kRemaining = 1205;
    static constexpr int kDisplayTimer = 1;

    explicit CDetachInfo(ui::WindowSystem& windows);

    void Start(int64_t totalBytes);
    void Progress(int64_t doneBytes);
    // As the message panel's, and the window comes to the front.
    void ShowMessage(const std::string& text, int64_t displayMs, bool wait = false);
    const std::string& Message() const { return m_message; }
    // Set by the first message; the window stays up while the transfer runs.
    bool IsShown() const { return m_shown; }

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    // Writes a text only when it differs from what the control shows, so nothing flickers.
    void WriteIfChanged(int controlId, const std::string& text);

    std::string m_message;
    int64_t m_total = 0;
    int64_t m_scale = 1;
    int64_t m_startMs = 0;
    bool m_shown = false;
};

} // namespace kaptiv::rack
