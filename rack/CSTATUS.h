#pragma once
// The status panel at the bottom of the main window: the activity lamp, the write lamp and
// the red notice naming the last module that did not answer. The exchange drives it through
// LinkIndicators; the lamps go out on the panel's own timers once the loop runs again.
#include "link/LinkIndicators.h"
#include "ui/Dialog.h"

namespace kaptiv::rack {

class CSTATUS final : public ui::Dialog, public link::LinkIndicators {
public:
    static constexpr int kDialogId = 254;
    static constexpr int kActivityLamp = 1205;
    static constexpr int kWriteLamp = 1206;
    static constexpr int kNotice = 1207;
    static constexpr int kActivityTimer = 10;
    static constexpr int kWriteTimer = 11;
    static constexpr int kLampOffBitmap = 256;
    static constexpr int kActivityOnBitmap = 257;
    static constexpr int kWriteOnBitmap = 255;
    // A lamp lit before a request stays on at most this long if the exchange never returns
    // through ArmLampTimers; after each request it goes out kLampAfterglowMs later.
    static constexpr int64_t kLampLitMs = 5000;
    static constexpr int64_t kLampAfterglowMs = 100;

    explicit CSTATUS(ui::WindowSystem& windows);

    // Takes the three lamp bitmaps; false when one of them is missing from the resources.
    bool LoadLampBitmaps();

    void LightLamps(bool writeFlag) override;
    void ArmLampTimers() override;
    void ShowLinkNotice(const std::string& text) override;

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    // A panel inside the main window: Enter and Escape do not close it.
    void OnOK() override {}
    void OnCancel() override {}

private:
    ui::ImageRef m_lampOff;
    ui::ImageRef m_activityOn;
    ui::ImageRef m_writeOn;
};

} // namespace kaptiv::rack
