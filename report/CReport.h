#pragma once
// The installation report: one HTML file recording the whole rack. Started by the report
// button, it writes the title block, then walks the live modules in rack order: each gets its
// heading; a module with settings is selected in the main window, which opens the settings
// page for its chain, and the page's first tick hands the module's tables back here, which
// brings the next module 50 ms later on the main window's report timer.
#include "rack/InstallationReport.h"

#include <cstdio>
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
    // A page that never completes its first tick (a module that stopped answering) must not
    // hold the report: the next module follows after this long.
    static constexpr int64_t kStallMs = 10000;

    // The page may be null (no section is then written). Both must outlive the report.
    CReport(rack::CQuorvelDlg& window, editor::CSatCofdm* page);
    ~CReport() override;

    void StartReport() override;
    void ReportNextModule() override;
    void AbortReport() override;
    bool IsReportRunning() const override { return m_position >= 0; }

    // Writes text to the running report; with `next` the main window's report timer is armed.
    // Does nothing when no report runs.
    void WriteReportText(const std::string& text, bool next);

    int ReportPosition() const { return m_position; }
    const std::string& ReportPath() const { return m_path; }

private:
    void Put(const std::string& text);
    void CloseFile();

    rack::CQuorvelDlg& m_window;
    editor::CSatCofdm* m_page;
    std::FILE* m_file = nullptr;
    std::string m_path;
    int m_position = -1;
};

} // namespace kaptiv::report
