#include "rack/CDetachInfo.h"

#include "resources/Dialogs.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace kaptiv::rack {

namespace {
constexpr ui::Color kMessageGrey{0x60, 0x60, 0x60};
// Where the pop-up first appears on the page, over the main window's right-hand area.
constexpr ui::PointPx kInitialPosition{180, 150};
} // namespace

TransferTexts FormatTransfer(int64_t doneBytes, int64_t totalBytes, int64_t elapsedMs) {
    TransferTexts texts;
    char buffer[64];
    const double percent =
        totalBytes > 0 ? static_cast<double>(doneBytes) / static_cast<double>(totalBytes) * 100.0 : 0.0;
    std::snprintf(buffer, sizeof buffer, "%3.2f%%", percent);
    texts.percent = buffer;

    const double rate = elapsedMs > 0 && doneBytes > 0
                            ? static_cast<double>(doneBytes) / (static_cast<double>(elapsedMs) / 1000.0)
                            : 0.0;
    std::snprintf(buffer, sizeof buffer, "%5.2f kB/s", rate / 1000.0);
    texts.rate = buffer;

    if (rate > 0.0) {
        const double left = static_cast<double>(std::max<int64_t>(totalBytes - doneBytes, 0)) / rate;
        // Whole seconds; a rate so slow that the time does not fit is shown at the limit.
        const long long seconds = static_cast<long long>(std::min(left, 9999.0 * 3600.0));
        std::snprintf(buffer, sizeof buffer, "%4lld:%02lld.%02lld", seconds / 3600, (seconds % 3600) / 60,
                      seconds % 60);
        texts.remaining = buffer;
    }
    return texts;
}

CDetachInfo::CDetachInfo(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogDetachInfo)) {}

void CDetachInfo::OnInitDialog() {
    Item(kMessage).SetTextColor(kMessageGrey);
    Item(kMessage).SetText(m_message);
    MoveTo(kInitialPosition);
}

void CDetachInfo::WriteIfChanged(int controlId, const std::string& text) {
    ui::Control& control = Item(controlId);
    if (control.Text() != text)
        control.SetText(text);
}

void CDetachInfo::Start(int64_t totalBytes) {
    m_total = std::max<int64_t>(totalBytes, 0);
    m_startMs = Windows().GetClock().NowMs();
    constexpr int64_t kMaxRange = std::numeric_limits<int>::max();
    m_scale = m_total > kMaxRange ? m_total / kMaxRange + 1 : 1;
    ui::Control& bar = Item(kProgress);
    bar.SetPosition(0);
    bar.SetRange(0, static_cast<int>(m_total / m_scale));
    WriteIfChanged(kPercent, "0.00%");
}

void CDetachInfo::Progress(int64_t doneBytes) {
    const int64_t elapsedMs = Windows().GetClock().NowMs() - m_startMs;
    Item(kProgress).SetPosition(static_cast<int>(std::clamp<int64_t>(doneBytes, 0, m_total) / m_scale));
    const TransferTexts texts = FormatTransfer(doneBytes, m_total, elapsedMs);
    WriteIfChanged(kRate, texts.rate);
    WriteIfChanged(kPercent, texts.percent);
    WriteIfChanged(kRemaining, texts.remaining);
}

void CDetachInfo::ShowMessage(const std::string& text, int64_t displayMs, bool wait) {
    m_message = text;
    Item(kMessage).SetText(m_message);
    SetTimer(kDisplayTimer, displayMs);
    m_shown = true;
    Show(true);
    BringToFront();
    Windows().Repaint();
    if (wait)
        Windows().GetClock().SleepMs(displayMs);
}

void CDetachInfo::OnTimer(int timerId) {
    if (timerId != kDisplayTimer)
        return;
    KillTimer(kDisplayTimer);
    m_message.clear();
    Item(kMessage).SetText(m_message);
}

} // namespace kaptiv::rack
