#pragma once
// The installation report: one HTML file recording the whole rack. Started by the report
// button, it writes the title block, then walks the live modules in rack order: each gets its
// heading; a module with settings is selected in the main window, which opens the settings
// page for its chain, and the page's first tick hands the module's tables back here, which
// brings the next module 50 ms later on the main window's report timer.
// The file is written to a temporary file beside the chosen name and renamed over it at the
// end, so a report that stops early (a lost link, a rescan, a write error) leaves the previous
// file of that name as it was. Modules past the main window's module list (13 rows) get their
// heading and a line that their settings are not shown.
#include "platform/FileAccess.h"
#include "rack/InstallationReport.h"

#include <memory>
#include <string>

namespace kaptiv::rack {
class CQuorvelDlg;
}
namespace kaptiv::editor {
class CSatCofdm;
}

namespace kaptiv::report {

class CReport final : public rack::InstallationReport {
public:
    // Text numbers of the language tables.
    static constexpr int kTextCannotCreate = 38;
    static constexpr int kTextSelectName = 89;
    static constexpr int kTextSaved = 90;
    static constexpr int kBeepHz = 440;
    static constexpr int kBeepMs = 250;
    static constexpr int64_t kCannotCreateMs = 2000;
    static constexpr int64_t kSavedMs = 3000;
    static constexpr int64_t kNotWrittenMs = 5000;
    // A page that never completes its first tick (a module that stopped answering) must not
    // hold the report: the next module follows after this long.
    static constexpr int64_t kStallMs = 10000;

    // The page may be null (no section is then written). Both must outlive the report.
    CReport(rack::CQuorvelDlg& window, editor::CSatCofdm* page);
    ~CReport() override;

    void StartReport() override;
    void ReportNextModule() override;
    void AbortReport(rack::ReportStop why) override;
    void AfterScan() override;
    bool IsReportRunning() const override { return m_position >= 0; }

    // Writes text to the running report; with `next` the main window's report timer is armed.
    // Does nothing when no report runs.
    void WriteReportText(const std::string& text, bool next);

    int ReportPosition() const { return m_position; }
    const std::string& ReportPath() const { return m_path; }

private:
    // Appends to the temporary file; a failure is kept by the writer and ends the report at
    // its next step.
    void Put(const std::string& text);
    // Ends the report unwritten after a write failure, with the reason.
    void FailWrite(const std::string& reason);

    rack::CQuorvelDlg& m_window;
    editor::CSatCofdm* m_page;
    platform::AtomicFileWriter m_writer;
    std::string m_path;
    int m_position = -1;
    int m_notShown = 0;             // modules past the module list in the running report
    std::string m_afterScanMessage; // why the report stopped, shown again after the scan
};

} // namespace kaptiv::report
