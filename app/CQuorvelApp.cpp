#include "app/CQuorvelApp.h"

#include "app/PageTexts.h"
#include "app/StartupFiles.h"
#include "link/LinkTrace.h"
#include "link/SerialTransport.h"
#include "platform/SerialPort.h"
#include "text/Language.h"
#include "text/ToolText.h"

#include <cstdio>

namespace kaptiv::app {

namespace {
constexpr int kExitStartupFailed = 1;
} // namespace

CQuorvelApp::CQuorvelApp(ui::WindowSystem& windows, Options options, EnvLookup env)
    : m_windows(windows), m_options(std::move(options)), m_env(std::move(env)), m_xmit(windows.GetClock()),
      m_settingsPage(windows), m_info(windows), m_status(windows), m_detachInfo(windows),
      m_openCam(windows, m_info, m_xmit), m_mainWindow(windows, m_info, m_status),
      m_healthView(windows, m_xmit), m_configValidate(windows),
      m_configFiles(windows, m_info, m_configValidate) {
    m_mainWindow.SetCommonInterfacePanel(&m_openCam);
    m_xmit.SetIndicators(&m_status);
    m_mainWindow.SetChainPage(&m_settingsPage);
    m_mainWindow.SetConfigurationFiles(&m_configFiles);
    m_mainWindow.SetInstallationReport(&m_report);
    m_mainWindow.SetHealthView(&m_healthView);
    m_healthView.SetBusyProbe([this] { return m_mainWindow.BusyWith(); });
    m_healthView.SetOpenModule([this](int row) { m_mainWindow.SelectModule(row); });
    m_settingsPage.SetTransferWindow(&m_detachInfo);
    m_mainWindow.SetModuleLogFetch([this] { m_settingsPage.FetchModuleLog(); });
    // Devices named on the command line are a fixed list; otherwise the devices are listed
    // again at every opening of the link, so that an adapter plugged in later is found.
    if (m_options.tracePath)
        m_trace = link::AttachTrace(m_xmit, windows.GetClock(), m_options.tracePath->string(), m_traceError);
    // A trace that can no longer be written is said once, on standard error and in the
    // message panel; the program goes on without it.
    if (m_trace)
        m_trace->SetFailureSink([this, alive = std::weak_ptr<int>(m_alive)](const std::string& error) {
            Warn(error);
            m_windows.Loop().Post([this, alive, reason = m_trace->Reason()] {
                if (!alive.expired())
                    ShowTraceFailure(reason);
            });
        });
    if (m_options.serialDevices)
        m_xmit.SetPortOpener(link::TraceOpener(
            std::make_unique<link::DeviceListOpener>(windows.GetClock(), *m_options.serialDevices),
            m_trace.get()));
    else
        m_xmit.SetPortOpener(link::TraceOpener(
            std::make_unique<link::DeviceListOpener>(
                windows.GetClock(), link::DeviceListOpener::Lister(platform::DefaultSerialDevices)),
            m_trace.get()));
    m_mainWindow.SetFirmwareCheck(&m_firmware);
    m_firmware.SetWarningSink([this](const std::string& text) { Warn(text); });
}

CQuorvelApp::~CQuorvelApp() {
    if (m_trace) // its last flush comes after the windows are gone: standard error only
        m_trace->SetFailureSink([warn = m_warn](const std::string& error) {
            if (warn)
                warn(error);
        });
    StopGatewaySocket();
    m_mainWindow.SetFirmwareCheck(nullptr);
    m_xmit.SetIndicators(nullptr);
}

bool CQuorvelApp::InitInstance() {
    // The program folder is the current directory; without one there is nowhere to find the
    // firmware, configuration and report folders.
    // A trace asked for and not written would leave support without what it needs.
    if (!m_traceError.empty()) {
        Warn(m_traceError);
        m_exitCode = kExitStartupFailed;
        return false;
    }
    std::string error;
    const auto programFolder = CurrentProgramFolder(error);
    if (!programFolder) {
        Warn(error);
        m_exitCode = kExitStartupFailed;
        return false;
    }

    // The profile values are written straight back so that they exist after the first run.
    m_settings = ReadStartupSettings(m_options, m_env, *programFolder);
    for (const std::string& warning : m_settings.warnings)
        Warn(warning);
    text::SetLanguageIndex(m_settings.languageIndex);
    ApplyLanguage(text::LanguageIndex());

    StartGatewaySocket();
    // The main window keeps the program folder: the base of its firmware, configuration and
    // report paths.
    m_mainWindow.Image().applicationFolder = m_settings.programFolder.string();
    m_mainWindow.SetAdvancedMode(m_settings.advancedMode);
    m_settingsPage.SetAdvancedMode(m_settings.advancedMode);
    // Serial adapters plugged in or pulled out reach the main window as device changes.
    if (!m_mainWindow.WatchDevices())
        Warn("cannot watch /dev for serial devices; plugging an adapter in needs a rescan");

    if (!m_detachInfo.IsCreated())
        m_detachInfo.Create();

    if (!m_closeRequested)
        m_mainWindow.DoModal();

    StopGatewaySocket();
    return false;
}

void CQuorvelApp::CloseMainWindow() {
    m_closeRequested = true;
    if (m_mainWindow.IsModalRunning())
        m_mainWindow.OnClose();
}

void CQuorvelApp::ShowTraceFailure(const std::string& reason) {
    constexpr int64_t kTraceFailureMs = 10000;
    char text[1024];
    std::snprintf(text, sizeof text, text::LocalizedToolText(text::ToolText::TraceWriteFailed).c_str(),
                  reason.c_str());
    m_info.ShowMessage(text, kTraceFailureMs);
}

void CQuorvelApp::Warn(const std::string& text) const {
    if (m_warn)
        m_warn(text);
}

void CQuorvelApp::StartGatewaySocket() {
    // The connection proceeds in the background: an unreachable gateway is not reported,
    // the socket keeps trying and requests use the serial port meanwhile.
    m_socket = std::make_unique<link::CSSocket>(m_windows.Loop());
    m_xmit.SetGateway(m_socket.get());
    if (m_trace)
        m_trace->SetGateway(m_socket.get());
    m_mainWindow.AttachLink(&m_xmit, m_socket.get());
    m_socket->ConnectTo(m_settings.network.serverAddress, m_settings.network.serverPort);
}

void CQuorvelApp::StopGatewaySocket() {
    if (!m_socket)
        return;
    m_socket->Disconnect();
    m_mainWindow.AttachLink(&m_xmit, nullptr);
    m_xmit.SetGateway(nullptr);
    if (m_trace) {
        m_trace->SetGateway(nullptr);
        m_trace->Flush();
    }
    m_socket.reset();
}

} // namespace kaptiv::app
