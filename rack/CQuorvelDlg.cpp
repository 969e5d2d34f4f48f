#include "rack/CQuorvelDlg.h"

#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "platform/DeviceWatch.h"
#include "rack/CInfo.h"
#include "rack/CSTATUS.h"
#include "resources/Dialogs.h"
#include "resources/Images.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <cstdio>

namespace kaptiv::rack {

namespace {
// Decoration of the right-hand area, covered by a panel when one is shown.
constexpr int kCoveredDecoration[] = {1101, 1102, 1103, 1104, 1105, 1107, 1108};
constexpr int kIdleDecoration = 1104;
// Buttons a scan disables; load, save and report come back once the rack was read.
constexpr int kScanDisabledButtons[] = {CQuorvelDlg::kRescanButton, CQuorvelDlg::kLoadButton,
                                        CQuorvelDlg::kSaveButton, CQuorvelDlg::kReportButton,
                                        CQuorvelDlg::kPersonalityButton};
constexpr int kRackButtons[] = {CQuorvelDlg::kLoadButton, CQuorvelDlg::kSaveButton,
                                CQuorvelDlg::kReportButton};

constexpr int kTextNeedsInputAndOutput = 34;
constexpr int64_t kClearMessageMs = 100;
constexpr int64_t kChainMessageMs = 2000;

// The personality record of a modulator: written to this component, it makes the module
// load the firmware of the other personality at the next scan.
constexpr uint16_t kPersonalityComponent = 0x0FFF;
constexpr uint8_t kPersonalityRecordMark = 0x83;
constexpr uint8_t kPersonalityUnchanged = 0xFF;

bool IsSwitchableModulator(uint8_t type) {
    return type == type::kModT2 || type == type::kModT4 || type == type::kModC4 || type == type::kModC2;
}
// COFDM 2 <-> QAM 2 and COFDM 4 <-> QAM 4.
uint8_t OtherPersonality(uint8_t type) {
    switch (type) {
    case type::kModT2:
        return type::kModC2;
    case type::kModT4:
        return type::kModC4;
    case type::kModC4:
        return type::kModT4;
    default:
        return type::kModT2;
    }
}
bool HasUsbKey(uint8_t type) {
    return type == type::kSat2_0 || type == type::kSat2 || type == type::kTerrestrial;
}
// Sets a flag for the duration of a call, nested calls included.
class FlagWhile {
public:
    explicit FlagWhile(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~FlagWhile() { m_flag = m_was; }
    FlagWhile(const FlagWhile&) = delete;
    FlagWhile& operator=(const FlagWhile&) = delete;

private:
    bool& m_flag;
    bool m_was;
};
} // namespace

// A firmware check that marks its updates as running while it passes them on.
class CQuorvelDlg::MarkedFirmwareCheck final : public FirmwareCheck {
public:
    explicit MarkedFirmwareCheck(CQuorvelDlg& window) : m_window(window) {}
    void IndexFolder(RackImage& image) override { m_window.m_firmware->IndexFolder(image); }
    bool CheckAndUpdate(RackImage& image, size_t index, uint8_t releaseOffset) override {
        FlagWhile running(m_window.m_firmwareRunning);
        return m_window.m_firmware->CheckAndUpdate(image, index, releaseOffset);
    }
    void ScanEnded() override { m_window.m_firmware->ScanEnded(); }
    bool ReadsFirmwareFolder() const override { return m_window.m_firmware->ReadsFirmwareFolder(); }

private:
    CQuorvelDlg& m_window;
};

CQuorvelDlg::CQuorvelDlg(ui::WindowSystem& windows, CInfo& info, rack::CSTATUS& status)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogMain)), m_info(info),
      m_status(status), m_ownXmit(std::make_unique<link::CXmit>(windows.GetClock())),
      m_markedFirmware(std::make_unique<MarkedFirmwareCheck>(*this)) {
    AttachLink(nullptr, nullptr);
}

CQuorvelDlg::~CQuorvelDlg() = default;

void CQuorvelDlg::AttachLink(link::CXmit* xmit, link::CSSocket* gateway) {
    m_xmit = xmit ? xmit : m_ownXmit.get();
    m_commands.emplace(*m_xmit);
    m_gateway = gateway;
    if (m_gateway)
        m_gateway->SetDiscoveryStarter([this, alive = std::weak_ptr<int>(m_alive)] {
            if (!alive.expired())
                StartDiscoveryFromGateway();
        });
}

void CQuorvelDlg::SetFirmwareCheck(FirmwareCheck* check) {
    m_firmware = check ? check : &m_noFirmware;
}

bool CQuorvelDlg::WatchDevices(const std::string& folder) {
    m_deviceWatch = std::make_unique<platform::DeviceWatch>(
        Windows().Loop(), [this] { Windows().BroadcastDeviceChange(); }, folder);
    return m_deviceWatch->IsWatching();
}

std::string CQuorvelDlg::BaseTitle() {
    char title[64];
    std::snprintf(title, sizeof title, "KAPTIV %d.%d - FENWIX", kVersionMajor, kVersionMinor);
    return title;
}

std::string CQuorvelDlg::TrafficText(long bytes) {
    char traffic[48];
    std::snprintf(traffic, sizeof traffic, " [%ld.%03ldko]", bytes / 1000, bytes % 1000);
    return traffic;
}

void CQuorvelDlg::RefreshTitle() {
    m_networkSession = m_xmit->IsGatewayLinkUp();
    std::string title = BaseTitle();
    if (m_image.moduleCount >= 1) {
        title += " - (";
        title += m_networkSession && m_gateway ? m_gateway->ServerAddress() : std::string("USB");
        title += ")";
    }
    if (m_networkSession)
        title += TrafficText(m_xmit->TcpTrafficCount());
    SetTitle(title);
}

void CQuorvelDlg::OnInitDialog() {
    RefreshTitle();
    // An icon button's text is its tooltip.
    Item(kHealthButton).SetText(text::LocalizedToolText(text::ToolText::HealthButtonTooltip));

    if (!m_info.IsCreated())
        m_info.Create(this);
    if (!m_status.IsCreated())
        m_status.Create(this);
    if (m_chainPage && !m_chainPage->Panel().IsCreated())
        m_chainPage->Panel().Create(this);
    m_status.LoadLampBitmaps();
    if (m_camPanel != nullptr && !m_camPanel->PanelWindow().IsCreated())
        m_camPanel->CreatePanel(*this);

    ui::Control& list = Item(kModuleList);
    std::vector<ui::ImageRef> images;
    for (int bitmap : resources::kModuleBitmaps)
        images.push_back(ui::Bitmap(bitmap));
    list.SetImageList(std::move(images));
    ClearModuleList();

    // A window shown with no link (a host that only lays it out) has nothing to discover.
    if (m_xmit != m_ownXmit.get())
        SetTimer(kStartTimer, kStartDelayMs);
    Item(kDecorationHiddenAtStart).Show(false);
    PlacePanels(nullptr);
}

void CQuorvelDlg::PlacePanels(ui::Dialog* panel, bool panelIsSettingsEditor) {
    if (panel != nullptr) {
        panel->MoveTo(kRightPanelAt);
        for (int id : kCoveredDecoration)
            Item(id).Show(false);
    } else {
        Item(kIdleDecoration).Show(true);
    }
    m_info.MoveTo(kMessagePanelAt);
    m_info.Show(!panelIsSettingsEditor);
    m_status.MoveTo(kStatusPanelAt);
    m_status.Show(true);
}

// Timers ---------------------------------------------------------------------------------

void CQuorvelDlg::OnTimer(int timerId) {
    if (timerId == kReportTimer) {
        KillTimer(kReportTimer);
        if (m_report)
            m_report->ReportNextModule();
        return;
    }
    if (timerId != kStartTimer && timerId != kScanTimer && timerId != kWatchdogTimer)
        return;
    CountIndicatorDown();
    KillTimer(timerId);
    switch (timerId) {
    case kStartTimer:
        m_firmware->IndexFolder(m_image);
        CloseTcpSession();
        RestartDiscovery();
        break;
    case kScanTimer:
        RunScan();
        break;
    default:
        WatchdogTick();
        break;
    }
}

void CQuorvelDlg::CountIndicatorDown() {
    if (m_indicatorCountdown > 0 && --m_indicatorCountdown == 0)
        Item(kDeviceChangeIcon).Show(false);
}

void CQuorvelDlg::RestartDiscovery() {
    KillTimer(kStartTimer);
    KillTimer(kScanTimer);
    KillTimer(kWatchdogTimer);
    SetTimer(kScanTimer, kScanDelayMs);
}

void CQuorvelDlg::StartDiscoveryFromGateway() {
    if (m_scanning) {
        m_scanRequestedDuringScan = true;
        return;
    }
    KillTimer(kScanTimer); // this scan makes a scheduled one unnecessary
    RunScan();
}

void CQuorvelDlg::RunScan() {
    // A scan blocks in its requests and messages; a nested loop inside it (a message box of
    // the firmware check) may deliver the gateway's link-up or a scan timer. Such a request
    // is remembered and served after the scan, if that scan did not find the rack.
    if (m_scanning) {
        m_scanRequestedDuringScan = true;
        return;
    }
    m_scanning = true;
    Discovery discovery(*m_commands, m_image, m_info, *m_markedFirmware, *this);
    m_lastScan = discovery.Run();
    ++m_scanCount;
    m_scanning = false;
    if (m_report)
        m_report->AfterScan();
    // Rack control now waits for rescan, a device change or the gateway's link: the panel
    // says so quietly until the next scan starts.
    const bool noRack = m_lastScan.outcome == ScanOutcome::HardwareNotFound ||
                        m_lastScan.outcome == ScanOutcome::InactiveModule ||
                        m_lastScan.outcome == ScanOutcome::TooManyModules;
    m_info.SetRestingText(noRack ? text::LocalizedToolText(text::ToolText::NoRackConnected) : std::string());
    if (m_scanRequestedDuringScan) {
        m_scanRequestedDuringScan = false;
        if (m_lastScan.outcome != ScanOutcome::Connected)
            RestartDiscovery();
    }
}

void CQuorvelDlg::WatchdogTick() {
    // The session state before this tick decides: a gateway session that has gone since
    // the last tick is a lost link.
    const bool overGateway = m_networkSession;
    if (overGateway)
        RefreshTitle();
    // One lost answer is not a lost rack: the link is lost when the module that did not
    // answer stays silent (CXmit::ConfirmLink).
    const bool lost = m_deviceGone || (m_xmit->IsLinkLost() && !m_xmit->ConfirmLink());
    m_xmit->ClearLinkLost();
    m_deviceGone = false;
    if ((!overGateway || m_xmit->IsGatewayLinkUp()) && !lost) {
        SetTimer(kWatchdogTimer, kWatchdogMs);
        return;
    }
    TearDown();
}

void CQuorvelDlg::TearDown() {
    CloseTcpSession();
    m_xmit->CloseSerialPort();
    SelectModule(kNoModule);
    // After the selection cleared the message panel: the report's message stays.
    if (m_report)
        m_report->AbortReport(ReportStop::LinkLost);
    Item(kModuleList).Enable(false);
    ClearModuleList();
    RestartDiscovery();
}

void CQuorvelDlg::CloseTcpSession() {
    // The socket connects again by itself; the gateway then reports its link and that
    // starts the next scan.
    if (m_gateway && m_gateway->IsSessionOpen())
        m_gateway->Reconnect();
}

void CQuorvelDlg::OnDeviceChange() {
    if (m_networkSession)
        return;
    if (m_xmit->IsLinkOpen())
        m_deviceGone = true;
    else
        RestartDiscovery();
    Item(kDeviceChangeIcon).Show(true);
    m_indicatorCountdown = kIndicatorTicks;
}

// What a scan does to the window ----------------------------------------------------------

void CQuorvelDlg::BeginScan() {
    m_info.SetRestingText({});
    for (int id : kScanDisabledButtons)
        Item(id).Enable(false);
    Item(kHealthButton).Enable(false);
    Item(kLogButton).Show(false);
    KillTimer(kWatchdogTimer);
    SelectModule(kNoModule);
    // A scan rebuilds the rack image under a running report: the report stops, unwritten.
    if (m_report)
        m_report->AbortReport(ReportStop::Rescan);
    Item(kModuleList).Enable(true);
}

void CQuorvelDlg::ClearModuleList() {
    Item(kModuleList)
        .SetRows(std::vector<ui::ListRow>(
            kModuleRows, ui::ListRow{{ui::ListCell{"", kEmptyRowImage}}, std::nullopt, false}));
    m_image.Clear();
    RefreshTitle();
}

void CQuorvelDlg::ShowModuleRow(size_t index) {
    if (index >= static_cast<size_t>(kModuleRows))
        return; // the column shows 13 modules
    const ModuleRecord& record = m_image.Live(index);
    Item(kModuleList).SetCell(static_cast<int>(index), 0, ListRowText(record), ModuleImage(record.type));
    Windows().Repaint();
}

void CQuorvelDlg::HideDeviceChangeIndicator() {
    Item(kDeviceChangeIcon).Show(false);
}

void CQuorvelDlg::RackConnected() {
    // The scan opened the link afresh (clearing link lost): a device change seen before
    // it has been dealt with and must not tear the new link down at the next tick.
    m_deviceGone = false;
    SetTimer(kWatchdogTimer, kWatchdogMs);
    SelectModule(0);
}

void CQuorvelDlg::EnableRackButtons() {
    for (int id : kRackButtons)
        Item(id).Enable(true);
    Item(kHealthButton).Enable(m_health != nullptr);
}

void CQuorvelDlg::EndScan() {
    Item(kModuleList).Enable(true);
    Item(kRescanButton).Enable(true);
    RefreshTitle();
}

// Selection -------------------------------------------------------------------------------

void CQuorvelDlg::SetRowImage(int row, bool highlighted) {
    if (row < 0 || row >= kModuleRows || row >= m_image.moduleCount)
        return;
    ui::Control& list = Item(kModuleList);
    const int image = ModuleImage(m_image.Live(row).type);
    list.SetCell(row, 0, list.Cell(row, 0).text,
                 image == kEmptyRowImage ? image : image + (highlighted ? 1 : 0));
}

void CQuorvelDlg::SelectModule(int n) {
    if (n == m_selected) {
        Windows().Repaint();
        return;
    }
    m_selected = n;
    m_chain = Chain{};
    Item(kLogButton).Show(false);
    Item(kPersonalityButton).Enable(false);
    if (m_chainPage)
        m_chainPage->CloseChain();
    m_info.ShowMessage("", kClearMessageMs);
    if (m_camPanelOpen) {
        m_camPanelOpen = false;
        m_camPanel->Close();
        m_info.ShowMessage("", kClearMessageMs);
    }
    PlacePanels(nullptr);

    for (int row = 0; row < kModuleRows; ++row)
        SetRowImage(row, false);

    if (n >= 0 && n < kModuleRows && n < m_image.moduleCount) {
        const ModuleRecord& record = m_image.Live(n);
        switch (RoleOf(record.type)) {
        case ModuleRole::Controller:
            SetRowImage(n, true);
            break;
        case ModuleRole::CommonInterface:
            SetRowImage(n, true);
            if (m_camPanel == nullptr)
                break;
            PlacePanels(&m_camPanel->PanelWindow());
            m_camPanelOpen = true;
            m_camPanel->Open(record);
            break;
        case ModuleRole::Input:
        case ModuleRole::Output:
            m_chain = FindChain(m_image, n);
            if (!m_chain.HasInput()) {
                m_info.ShowMessage(text::LocalizedText(kTextNeedsInputAndOutput), kChainMessageMs);
                break;
            }
            SetRowImage(m_chain.input, true);
            if (m_chain.output != kNoOutput)
                SetRowImage(m_chain.output, true);
            if (HasUsbKey(m_image.Live(m_chain.input).type) && m_advancedMode)
                Item(kLogButton).Show(true);
            if (m_chain.output != kNoOutput) {
                const ModuleRecord& output = m_image.Live(m_chain.output);
                if (IsSwitchableModulator(output.type) && output.hardwareRevision > 0 && !m_networkSession)
                    Item(kPersonalityButton).Enable(true);
            }
            if (m_chainPage && m_chainPage->Panel().IsCreated()) {
                PlacePanels(&m_chainPage->Panel(), true);
                m_chainPage->OpenChain(m_image, *m_commands, m_chain);
            }
            break;
        case ModuleRole::None:
            break;
        }
    }
    Windows().Repaint();
}

// Commands --------------------------------------------------------------------------------

void CQuorvelDlg::OnClick(int controlId) {
    switch (controlId) {
    case kModuleList: {
        const ui::ListHit hit = Item(kModuleList).LastHit();
        if (hit.row >= 0 && hit.row < kModuleRows)
            SelectModule(hit.row);
        break;
    }
    case kRescanButton:
        // The installer may have changed the firmware folder: it is read again, and an
        // update that failed earlier is tried again if its files changed. (Not from inside a
        // scan's message box: that scan is still using the table.)
        if (!m_scanning)
            m_firmware->IndexFolder(m_image);
        CloseTcpSession();
        RestartDiscovery();
        break;
    case kLoadButton:
        SelectModule(kNoModule);
        if (m_configFiles) {
            FlagWhile loading(m_loadRunning);
            m_configFiles->Load(m_image, *m_commands, *this);
        }
        break;
    case kSaveButton:
        SelectModule(kNoModule);
        if (m_configFiles)
            m_configFiles->Save(m_image, *this);
        break;
    case kPersonalityButton:
        SwitchPersonality();
        break;
    case kReportButton:
        if (m_report)
            m_report->StartReport();
        break;
    case kHealthButton:
        if (m_health && !m_scanning)
            m_health->OpenHealthView(m_image, *this);
        break;
    case kLogButton:
        if (m_fetchModuleLog && m_chainPage && m_chainPage->IsChainOpen())
            m_fetchModuleLog();
        break;
    case kTestButton:
        m_commands->RestartAll();
        break;
    case kAboutButton:
        ShowAbout();
        break;
    default:
        break;
    }
}

RackWorkSet CQuorvelDlg::BusyWith() const {
    RackWorkSet busy{};
    busy[static_cast<size_t>(RackWork::Scan)] = m_scanning;
    busy[static_cast<size_t>(RackWork::FirmwareUpdate)] = m_firmwareRunning;
    busy[static_cast<size_t>(RackWork::ConfigurationLoad)] = m_loadRunning;
    busy[static_cast<size_t>(RackWork::Report)] = m_report && m_report->IsReportRunning();
    busy[static_cast<size_t>(RackWork::UsbKeyTransfer)] = m_chainPage && m_chainPage->IsTransferring();
    return busy;
}

void CQuorvelDlg::OnSelChange(int controlId) {
    // The selection shows by the highlighted icons only: a row the page selects is
    // unselected at once.
    if (controlId != kModuleList)
        return;
    ui::Control& list = Item(kModuleList);
    for (int row = 0; row < list.RowCount(); ++row)
        list.SelectRow(row, false);
}

void CQuorvelDlg::SwitchPersonality() {
    if (m_chain.output == kNoOutput || m_chain.output >= m_image.moduleCount)
        return;
    const ModuleRecord& output = m_image.Live(m_chain.output);
    if (!IsSwitchableModulator(output.type))
        return;
    const uint8_t address = output.address;
    const uint8_t record[4] = {kPersonalityRecordMark, OtherPersonality(output.type), kPersonalityUnchanged,
                               kPersonalityUnchanged};
    if (m_commands->CreateByNumber(address, kPersonalityComponent)) {
        m_commands->WriteForm5(address, record);
        m_commands->Close(address);
    }
    CloseTcpSession();
    RestartDiscovery();
}

void CQuorvelDlg::ShowAbout() {
    Windows().MessageBox(text::FormatToolText(text::ToolText::AboutText, {BaseTitle()}),
                         text::LocalizedToolText(text::ToolText::AboutCaption), ui::MessageBoxButtons::Ok,
                         ui::MessageBoxIcon::Information);
}

void CQuorvelDlg::OnClose() {
    SelectModule(kNoModule);
    EndDialog(ui::ModalResult::Cancel);
}

} // namespace kaptiv::rack
