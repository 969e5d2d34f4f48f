#pragma once
// The application object: owns the process-wide windows and the link, runs start-up and
// then the main window modally; the program ends when that window closes.
//
// The members below are the process-wide objects in the order they are built; C++ destroys
// them in the reverse order at exit. The window system they live in, and the display that
// shows them, belong to the caller and outlive the application object.
#include "app/Options.h"
#include "app/Profile.h"
#include "app/StartupSettings.h"
#include "cam/COpenCam.h"
#include "configfiles/CConfigValidate.h"
#include "configfiles/ConfigFileTransfer.h"
#include "editor/CSatCofdm.h"
#include "firmware/FirmwareUpdate.h"
#include "health/CHealthView.h"
#include "link/CSSocket.h"
#include "link/CXmit.h"
#include "link/CommandSet.h"
#include "link/LinkTrace.h"
#include "rack/CDetachInfo.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "report/CReport.h"
#include "ui/WindowSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaptiv::app {

class CQuorvelApp {
public:
    CQuorvelApp(ui::WindowSystem& windows, Options options, EnvLookup env);
    ~CQuorvelApp();
    CQuorvelApp(const CQuorvelApp&) = delete;
    CQuorvelApp& operator=(const CQuorvelApp&) = delete;

    // Reads the settings, starts the gateway socket, creates the transfer window and runs the
    // main window modally; when it closes, disconnects from the gateway. Returns false: the
    // application has nothing to do after its main window. ExitCode says how start-up went.
    bool InitInstance();
    int ExitCode() const { return m_exitCode; }

    // Receives each problem met at start-up that does not stop it, as soon as it is met.
    void SetWarningSink(std::function<void(const std::string&)> sink) { m_warn = std::move(sink); }

    // Ends the main window as the installer closing it would (termination signals); before
    // the main window runs, it keeps it from running at all.
    void CloseMainWindow();

    const StartupSettings& Settings() const { return m_settings; }

    link::CXmit& Xmit() { return m_xmit; }
    rack::CInfo& Info() { return m_info; }
    rack::CSTATUS& Status() { return m_status; }
    rack::CDetachInfo& DetachInfo() { return m_detachInfo; }
    rack::CQuorvelDlg& MainWindow() { return m_mainWindow; }
    report::CReport& Report() { return m_report; }
    cam::COpenCam& OpenCam() { return m_openCam; }
    health::CHealthView& HealthView() { return m_healthView; }
    // The gateway socket while InitInstance runs; null before and after.
    link::CSSocket* Socket() { return m_socket.get(); }

private:
    void ShowTraceFailure(const std::string& reason);
    void StartGatewaySocket();
    void StopGatewaySocket();
    void Warn(const std::string& text) const;

    ui::WindowSystem& m_windows;
    const Options m_options;
    const EnvLookup m_env;
    int m_exitCode = 0;
    bool m_closeRequested = false;
    std::function<void(const std::string&)> m_warn;

    link::CXmit m_xmit;
    // --trace: every exchange of m_xmit (destroyed before it, which it stops observing).
    std::unique_ptr<link::LinkTrace> m_trace;
    std::string m_traceError;
    // Tasks posted to the loop check it: they may outlive the application.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    // The module settings page of a chain.
    editor::CSatCofdm m_settingsPage;
    rack::CInfo m_info;
    rack::CSTATUS m_status;
    rack::CDetachInfo m_detachInfo;
    cam::COpenCam m_openCam;
    rack::CQuorvelDlg m_mainWindow;
    health::CHealthView m_healthView;
    report::CReport m_report{m_mainWindow, &m_settingsPage};
    // The firmware check the main window's scans make, with its own view of the command set.
    link::CommandSet m_firmwareCommands{m_xmit};
    firmware::FirmwareUpdate m_firmware{m_firmwareCommands, m_info};
    configfiles::CConfigValidate m_configValidate;
    configfiles::ConfigFileTransfer m_configFiles;
    // The server address and port (the TCP lock lives in the socket).
    StartupSettings m_settings;
    std::unique_ptr<link::CSSocket> m_socket;
};

} // namespace kaptiv::app
