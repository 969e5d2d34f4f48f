#pragma once
// The main window: the module column, the command buttons beside it and, to the right, the
// panel of the selected module, with the message panel and the status panel placed below.
// This is its shell: layout, title, child panels and the empty module column. Selection,
// discovery and the button commands come with the rack control.
#include "ui/Dialog.h"

#include <string>

namespace kaptiv::link {
class CSTATUS;
}

namespace kaptiv::rack {

class CInfo;

class CQuorvelDlg : public ui::Dialog {
public:
    static constexpr int kDialogId = 102;
    static constexpr int kModuleList = 1021;
    static constexpr int kRescanButton = 1023;
    static constexpr int kSaveButton = 1024;
    static constexpr int kLoadButton = 1025;
    static constexpr int kReportButton = 1027;
    static constexpr int kLogButton = 1028;
    static constexpr int kTestButton = 1029;
    static constexpr int kPersonalityButton = 1030;
    static constexpr int kDeviceChangeIcon = 1204;
    static constexpr int kDecorationHiddenAtStart = 1106;
    static constexpr int kVersionMajor = 10;
    static constexpr int kVersionMinor = 2;
    static constexpr int kModuleRows = 13;
    static constexpr int kEmptyRowImage = 20;

    // Client-area pixel positions of the panels.
    static constexpr ui::PointPx kRightPanelAt{136, 0};
    static constexpr ui::PointPx kMessagePanelAt{136, 482};
    static constexpr ui::PointPx kStatusPanelAt{0, 516};

    CQuorvelDlg(ui::WindowSystem& windows, CInfo& info, link::CSTATUS& status);

    // "KAPTIV 10.2 - FENWIX"; the link part is added once modules are known.
    static std::string BaseTitle();

    // Puts the given right-hand panel (or none) and the message and status panels in place.
    // The settings editor covers the message panel, so it hides it.
    void PlacePanels(ui::Dialog* panel, bool panelIsSettingsEditor = false);

    CInfo& Info() const { return m_info; }
    link::CSTATUS& Status() const { return m_status; }

    void OnInitDialog() override;
    void OnClose() override;
    // Enter does not end the main window; only closing it does.
    void OnOK() override {}
    void OnCancel() override {}

private:
    CInfo& m_info;
    link::CSTATUS& m_status;
};

} // namespace kaptiv::rack
