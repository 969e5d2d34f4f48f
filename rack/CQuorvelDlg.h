#pragma once
// The main window: the module column, the command buttons beside it and, to the right, the
// panel of the selected module, with the message panel and the status panel placed below.
// It owns the rack image and drives discovery and the link watchdog with one-shot timers:
// each handler counts the device-change indicator down, kills the timer that fired, then
// acts.
#include "link/CommandSet.h"
#include "rack/ChainPage.h"
#include "rack/ChainSearch.h"
#include "rack/CommonInterfacePanel.h"
#include "rack/ConfigurationFiles.h"
#include "rack/Discovery.h"
#include "rack/FirmwareCheck.h"
#include "rack/HealthView.h"
#include "rack/InstallationReport.h"
#include "rack/RackImage.h"
#include "ui/Dialog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kaptiv::link {
class CSSocket;
class CXmit;
} // namespace kaptiv::link

namespace kaptiv::platform {
class DeviceWatch;
}

namespace kaptiv::rack {

class CInfo;
class CSTATUS;

class CQuorvelDlg : public ui::Dialog, private ScanHost {
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
    static constexpr int kHealthButton = 1031;
    static constexpr int kAboutButton = 16; // the system menu's "about" command
    static constexpr int kDeviceChangeIcon = 1204;
    static constexpr int kDecorationHiddenAtStart = 1106;
    static constexpr int kVersionMajor = 10;
    static constexpr int kVersionMinor = 2;
    static constexpr int kModuleRows = kColumnRows;
    static constexpr int kEmptyRowImage = rack::kEmptyRowImage;

    // One-shot window timers and their periods.
    static constexpr int kStartTimer = 1;
    static constexpr int kScanTimer = 2;
    static constexpr int kWatchdogTimer = 3;
    static constexpr int kReportTimer = 77;
    static constexpr int64_t kStartDelayMs = 10;
    static constexpr int64_t kScanDelayMs = 100;
    static constexpr int64_t kWatchdogMs = 100;
    static constexpr int64_t kReportStepMs = 50;
    static constexpr int kIndicatorTicks = 10;

    // Client-area pixel positions of the panels.
    static constexpr ui::PointPx kRightPanelAt{136, 0};
    static constexpr ui::PointPx kMessagePanelAt{136, 482};
    static constexpr ui::PointPx kStatusPanelAt{0, 516};

    CQuorvelDlg(ui::WindowSystem& windows, CInfo& info, CSTATUS& status);
    ~CQuorvelDlg() override;

    // The link the window scans through, and the gateway session whose link-up message
    // starts a scan (may be null). Attach before creating the window: only a window with a
    // link starts discovery by itself. Without a link every scan finds no hardware. A gateway
    // that goes away before the window must be detached first (AttachLink(xmit, nullptr)).
    void AttachLink(link::CXmit* xmit, link::CSSocket* gateway);
    void SetFirmwareCheck(FirmwareCheck* check);
    // The settings page of a chain (may be null: selecting a chain then only marks it in the
    // list). Set before creating the window, which creates the page as its child.
    void SetChainPage(ChainPage* page) { m_chainPage = page; }
    // Fetches the log of the streaming tuner whose settings are open (button 1028).
    void SetModuleLogFetch(std::function<void()> fetch) { m_fetchModuleLog = std::move(fetch); }
    ChainPage* GetChainPage() const { return m_chainPage; }
    // Saving and loading configuration files (buttons 1024, 1025); may be null: the buttons
    // then do nothing.
    void SetConfigurationFiles(ConfigurationFiles* files) { m_configFiles = files; }
    // The installation report behind button 1027 (may be null: the button then does nothing).
    void SetInstallationReport(InstallationReport* report) { m_report = report; }
    // The CAM menu panel of common-interface modules (null: selecting one opens nothing).
    // Set before creating the window, which creates the panel as its child.
    void SetCommonInterfacePanel(CommonInterfacePanel* panel) { m_camPanel = panel; }
    // The health view behind button 1031 (may be null: the button then stays disabled).
    void SetHealthView(HealthView* view) { m_health = view; }
    // What kaptiv is doing on the rack now: the health view runs no round while any of it runs.
    RackWorkSet BusyWith() const;
    void SetAdvancedMode(bool on) { m_advancedMode = on; }
    // Watches `folder` for serial devices coming and going (the device-change event).
    bool WatchDevices(const std::string& folder = "/dev");

    // "KAPTIV 10.2 - FENWIX"; the link part is added once modules are known.
    static std::string BaseTitle();
    // The gateway traffic as the title shows it: 8005 bytes are " [8.005ko]".
    static std::string TrafficText(long bytes);
    // Sets the title and records whether the rack is reached through the gateway.
    void RefreshTitle();

    // Puts the given right-hand panel (or none) and the message and status panels in place.
    // The settings editor covers the message panel, so it hides it.
    void PlacePanels(ui::Dialog* panel, bool panelIsSettingsEditor = false);

    // Selects row n of the module column (kNoModule deselects).
    void SelectModule(int n);
    int SelectedModule() const { return m_selected; }
    const Chain& SelectedChain() const { return m_chain; }

    // Kills the discovery and watchdog timers and schedules a scan.
    void RestartDiscovery();
    // The gateway reports its rack link up: scan now, or once the running scan is over.
    void StartDiscoveryFromGateway();
    bool IsScanning() const { return m_scanning; }
    const ScanReport& LastScan() const { return m_lastScan; }
    int ScanCount() const { return m_scanCount; }
    bool NetworkSession() const { return m_networkSession; }
    int IndicatorCountdown() const { return m_indicatorCountdown; }

    RackImage& Image() { return m_image; }
    CInfo& Info() const { return m_info; }
    CSTATUS& Status() const { return m_status; }

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnClick(int controlId) override;
    void OnSelChange(int controlId) override;
    void OnDeviceChange() override;
    void OnClose() override;
    // Enter does not end the main window; only closing it does.
    void OnOK() override {}
    void OnCancel() override {}

private:
    // ScanHost.
    void BeginScan() override;
    void ClearModuleList() override;
    void ShowModuleRow(size_t index) override;
    void HideDeviceChangeIndicator() override;
    void RackConnected() override;
    void EnableRackButtons() override;
    void EndScan() override;

    void RunScan();
    void WatchdogTick();
    void TearDown();
    void CloseTcpSession();
    void CountIndicatorDown();
    void SetRowImage(int row, bool highlighted);
    void SwitchPersonality();
    void ShowAbout();

    CInfo& m_info;
    CSTATUS& m_status;
    // Stands in until a link is attached: it has no port to open, so a scan finds no rack.
    std::unique_ptr<link::CXmit> m_ownXmit;
    link::CXmit* m_xmit = nullptr;
    link::CSSocket* m_gateway = nullptr;
    std::optional<link::CommandSet> m_commands;
    NoFirmwareCheck m_noFirmware;
    FirmwareCheck* m_firmware = &m_noFirmware;
    // The check a scan uses: m_firmware, with its updates marked as running (BusyWith).
    class MarkedFirmwareCheck;
    std::unique_ptr<MarkedFirmwareCheck> m_markedFirmware;
    ChainPage* m_chainPage = nullptr;
    InstallationReport* m_report = nullptr;
    std::function<void()> m_fetchModuleLog;
    ConfigurationFiles* m_configFiles = nullptr;
    std::unique_ptr<platform::DeviceWatch> m_deviceWatch;
    CommonInterfacePanel* m_camPanel = nullptr;
    HealthView* m_health = nullptr;
    bool m_loadRunning = false;
    bool m_firmwareRunning = false;
    bool m_camPanelOpen = false;
    RackImage m_image;

    int m_selected = kNoModule;
    Chain m_chain;
    int m_indicatorCountdown = 0;
    bool m_networkSession = false;
    bool m_advancedMode = false;
    // Set by a device change while a link is open; read by the next watchdog tick like
    // the link's own link-lost flag.
    bool m_deviceGone = false;
    bool m_scanning = false;
    bool m_scanRequestedDuringScan = false;
    ScanReport m_lastScan;
    int m_scanCount = 0;
    // The gateway's discovery starter checks that the window still exists.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace kaptiv::rack
