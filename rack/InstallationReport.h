#pragma once
// How the main window reaches the installation report without knowing how it is written: the
// report button starts it, the window's report timer steps it module by module, and a link torn
// down by the watchdog or a new scan ends it. The application wires the real report in; a window without
// one says that the report is not available.

namespace kaptiv::rack {

// Why a running report was stopped by the main window.
enum class ReportStop { LinkLost, Rescan };

class InstallationReport {
public:
    virtual ~InstallationReport() = default;
    // The report button: asks for the file and starts with the first module.
    virtual void StartReport() = 0;
    // The main window's report timer fired: the next module.
    virtual void ReportNextModule() = 0;
    // The link was torn down or a scan begins: the report stops and nothing is written under
    // the chosen name (the previous file of that name stays as it was). The message panel
    // says why.
    virtual void AbortReport(ReportStop why) = 0;
    // A scan has ended. Its messages replaced the one of a report it stopped: that one is
    // shown again.
    virtual void AfterScan() {}
    virtual bool IsReportRunning() const = 0;
};

} // namespace kaptiv::rack
