#include "rack/CSTATUS.h"

#include "resources/Dialogs.h"
#include "resources/Images.h"

namespace kaptiv::rack {

namespace {
constexpr ui::Color kNoticeRed{255, 0, 0};
} // namespace

CSTATUS::CSTATUS(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogStatus)) {}

bool CSTATUS::LoadLampBitmaps() {
    const ui::ImageRef off = ui::Bitmap(kLampOffBitmap);
    const ui::ImageRef activity = ui::Bitmap(kActivityOnBitmap);
    const ui::ImageRef write = ui::Bitmap(kWriteOnBitmap);
    const bool found = resources::FindImage(off) != nullptr && resources::FindImage(activity) != nullptr &&
                       resources::FindImage(write) != nullptr;
    m_lampOff = off;
    m_activityOn = activity;
    m_writeOn = write;
    return found;
}

void CSTATUS::OnInitDialog() {
    // The notice is drawn in red on the panel's own background.
    Item(kNotice).SetTextColor(kNoticeRed);
}

void CSTATUS::LightLamps(bool writeFlag) {
    Item(kActivityLamp).SetImage(m_activityOn);
    SetTimer(kActivityTimer, kLampLitMs);
    if (writeFlag) {
        Item(kWriteLamp).SetImage(m_writeOn);
        SetTimer(kWriteTimer, kLampLitMs);
    } else {
        SetTimer(kWriteTimer, kLampAfterglowMs);
    }
}

void CSTATUS::ArmLampTimers() {
    SetTimer(kActivityTimer, kLampAfterglowMs);
    SetTimer(kWriteTimer, kLampAfterglowMs);
}

void CSTATUS::ShowLinkNotice(const std::string& text) {
    Item(kNotice).SetText(text);
}

void CSTATUS::OnTimer(int timerId) {
    if (timerId != kActivityTimer && timerId != kWriteTimer)
        return;
    KillTimer(timerId);
    Item(timerId == kActivityTimer ? kActivityLamp : kWriteLamp).SetImage(m_lampOff);
}

} // namespace kaptiv::rack
