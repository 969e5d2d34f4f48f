#include "rack/CInfo.h"

#include "resources/Dialogs.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <limits>

namespace kaptiv::rack {

namespace {
constexpr ui::Color kMessageGrey{0x60, 0x60, 0x60};
constexpr ui::Color kRestingGrey{0x90, 0x90, 0x90};
constexpr ui::Color kPaleBackground{0xF8, 0xF8, 0xFF};
constexpr int kMessageFontHeightPx = 18;
} // namespace

CInfo::CInfo(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogInfo)) {}

void CInfo::OnInitDialog() {
    ui::Control& message = Item(kMessage);
    message.SetTextColor(kMessageGrey);
    message.SetBackColor(kPaleBackground);
    message.SetFont(ui::Font{"Arial", kMessageFontHeightPx, false});
    ShowText(m_shown ? ShownText() : m_resting, !m_shown);
}

bool CInfo::FinishingBeforeQuit() const {
    const platform::EventLoop& loop = Windows().Loop();
    return loop.QuitRequested() && loop.IsQuitDeferred();
}

std::string CInfo::ShownText() const {
    if (!FinishingBeforeQuit())
        return m_message;
    const std::string notice = text::LocalizedToolText(text::ToolText::FirmwareFinishingBeforeExit);
    return m_message.empty() ? notice : m_message + "\r\n" + notice;
}

void CInfo::ShowText(const std::string& text, bool resting) {
    ui::Control& message = Item(kMessage);
    message.SetTextColor(resting && !text.empty() ? kRestingGrey : kMessageGrey);
    message.SetText(text);
}

void CInfo::SetRestingText(std::string text) {
    m_resting = std::move(text);
    if (!m_shown && IsCreated()) {
        ShowText(m_resting, true);
        Windows().Repaint();
    }
}

void CInfo::ShowMessage(const std::string& text, int64_t displayMs, bool wait) {
    m_message = text;
    ShowText(ShownText(), false);
    SetTimer(kDisplayTimer, displayMs);
    m_shown = true;
    Show(true);
    Windows().Repaint();
    if (wait)
        Windows().GetClock().SleepMs(displayMs);
}

void CInfo::OnTimer(int timerId) {
    if (timerId != kDisplayTimer)
        return;
    KillTimer(kDisplayTimer);
    m_message.clear();
    m_shown = false;
    ShowText(m_resting, true);
}

void CInfo::SetProgress(int64_t done, int64_t total) {
    ui::Control& bar = Item(kProgress);
    total = std::max<int64_t>(total, 0);
    if (total != m_total) {
        m_total = total;
        constexpr int64_t kMaxRange = std::numeric_limits<int>::max();
        m_scale = total > kMaxRange ? total / kMaxRange + 1 : 1;
        bar.SetRange(0, static_cast<int>(total / m_scale));
        bar.Show(true);
    }
    bar.SetPosition(static_cast<int>(std::clamp<int64_t>(done, 0, m_total) / m_scale));
    if (!m_quitNoticeShown && FinishingBeforeQuit()) {
        m_quitNoticeShown = true;
        Item(kMessage).SetText(ShownText());
        m_shown = true;
        Show(true);
        Windows().Repaint();
    }
}

void CInfo::EndProgress() {
    Item(kProgress).Show(false);
    m_total = 0;
    m_scale = 1;
}

void CInfo::WarningBeep(int frequencyHz, int durationMs) {
    Windows().Beep(frequencyHz, durationMs);
}

platform::Clock& CInfo::ScanClock() {
    return Windows().GetClock();
}

platform::EventLoop* CInfo::ScanLoop() {
    return &Windows().Loop();
}

} // namespace kaptiv::rack
