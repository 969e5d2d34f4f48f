#pragma once
// How the main window reaches the installation report without knowing how it is written: the
// report button starts it, the window's report timer steps it module by module, and a link torn
// down by the watchdog ends it. The application wires the real report in; a window without
// one says that the report is not available.

namespace kaptiv::rack {

class InstallationReport {
public:
    virtual ~InstallationReport() = default;
    // The report button: asks for the file and starts with the first module.
    virtual void StartReport() = 0;
    // The main window's report timer fired: the next module.
    virtual void ReportNextModule() = 0;
    // The link was torn down: the file is closed as it stands, without its end.
    virtual void AbortReport() = 0;
    virtual bool IsReportRunning() const = 0;
};

} // namespace kaptiv::rack
