#include "report/CReport.h"

#include "editor/CSatCofdm.h"
#include "platform/ModuleType.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "report/ReportSections.h"
#include "report/ReportText.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <clocale>
#include <ctime>
#include <filesystem>
#include <locale.h>
#include <system_error>

namespace kaptiv::report {

namespace {
// The date and time as the installer's locale writes them ("%c").
std::string LocalDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128] = {};
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr))
        user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    if (user != static_cast<locale_t>(nullptr)) {
        strftime_l(text, sizeof text, "%c", &local, user);
        freelocale(user);
    } else {
        std::strftime(text, sizeof text, "%c", &local);
    }
    return text;
}
} // namespace

CReport::CReport(rack::CQuorvelDlg& window, editor::CSatCofdm* page) : m_window(window), m_page(page) {
    if (m_page)
        m_page->SetReportHook([this](editor::CSatCofdm& p) {
            if (!IsReportRunning())
                return;
            const rack::Chain& chain = m_window.SelectedChain();
            WriteReportText(WriteSection(p, chain.input == m_position), true);
        });
}

CReport::~CReport() {
    if (m_page)
        m_page->SetReportHook(nullptr);
}

void CReport::StartReport() {
    if (IsReportRunning())
        return;
    // The report folder under the program folder, created when missing.
    const std::filesystem::path folder = std::filesystem::path(m_window.Image().applicationFolder.empty()
                                                                   ? "."
                                                                   : m_window.Image().applicationFolder) /
                                         "report";
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    ui::FileDialogOptions options;
    options.save = true;
    options.title = text::LocalizedText(kTextSelectName);
    options.initialFolder = folder.string() + "/";
    options.filters = {{"html", "*.html"}};
    options.defaultExtension = "html";
    options.overwritePrompt = true;
    // The dialog adds ".html" by the report's rule, so it asks about the file really written.
    const auto chosen = m_window.Windows().FileDialog(options, WithHtmlExtension);
    if (!chosen || chosen->empty() || chosen->front().empty())
        return;

    const std::string& path = chosen->front();
    m_afterScanMessage.clear();
    if (const platform::FileResult opened = m_writer.Open(path); !opened) {
        m_window.Windows().Beep(kBeepHz, kBeepMs);
        m_window.Info().ShowMessage(text::LocalizedText(kTextCannotCreate) + " (" + opened.error + ")",
                                    kNotWrittenMs);
        return;
    }
    const std::string dateTime = LocalDateTime();
    m_window.SelectModule(rack::kNoModule);
    m_path = std::filesystem::absolute(path, error).string();
    if (error)
        m_path = path;
    m_position = -1;
    m_notShown = 0;
    const std::string head =
        std::string(kHeader1) + kHeader2 + kHeader3 + Escape(m_window.Title()) + TitleBlockEnd(dateTime);
    Put(head);
    m_window.Item(rack::CQuorvelDlg::kModuleList).Enable(false);
    if (m_page)
        m_page->StartReportContribution();
    ReportNextModule();
}

void CReport::ReportNextModule() {
    if (!m_writer.IsOpen())
        return;
    m_window.KillTimer(rack::CQuorvelDlg::kReportTimer);
    rack::RackImage& image = m_window.Image();
    for (;;) {
        if (!m_writer.Error().empty()) {
            FailWrite(m_writer.Error());
            return;
        }
        ++m_position;
        if (m_position >= image.moduleCount) {
            m_position = -1;
            m_window.Item(rack::CQuorvelDlg::kModuleList).Enable(true);
            Put(kFileEnd);
            const platform::FileResult committed = m_writer.Commit();
            m_window.SelectModule(rack::kNoModule);
            if (!committed) {
                FailWrite(committed.error);
                return;
            }
            if (m_notShown > 0)
                m_window.Info().ShowMessage(text::FillToolText(text::ToolText::ReportIncomplete,
                                                               {std::to_string(m_notShown), m_path}),
                                            kNotWrittenMs);
            else
                m_window.Info().ShowMessage(text::LocalizedText(kTextSaved) + m_path, kSavedMs);
            return;
        }
        const rack::ModuleRecord& module = image.Live(static_cast<size_t>(m_position));
        Put(ModuleHeading(Escape(std::string_view(ModuleName(module.type))), module.release));
        // The module list shows 13 modules; a module past it cannot be selected, so its page
        // never opens: its heading says that it is there, and a line that its settings are not.
        if (m_position >= rack::CQuorvelDlg::kModuleRows) {
            Put(std::string(kTableStart) + kRowStart +
                DataCell(Escape(text::LocalizedToolText(text::ToolText::ReportModuleNotShown))) + kRowEnd +
                kTableEnd);
            ++m_notShown;
            continue;
        }
        if (module.type == type::kPowerSupply || module.type == type::kCommonInterface)
            continue;
        // The selection opens the page for the module's chain; its first tick writes the
        // section and arms the timer again. An output without a chain input opens no page:
        // it keeps its heading only.
        m_window.SelectModule(rack::kNoModule);
        m_window.SelectModule(m_position);
        if (m_page == nullptr || !m_page->IsChainOpen())
            continue;
        m_window.SetTimer(rack::CQuorvelDlg::kReportTimer, kStallMs);
        return;
    }
}

void CReport::WriteReportText(const std::string& text, bool next) {
    if (!m_writer.IsOpen() || m_position < 0)
        return;
    Put(text);
    if (next)
        m_window.SetTimer(rack::CQuorvelDlg::kReportTimer, rack::CQuorvelDlg::kReportStepMs);
}

void CReport::AbortReport(rack::ReportStop why) {
    if (!m_writer.IsOpen())
        return;
    m_writer.Abandon();
    m_position = -1;
    m_window.KillTimer(rack::CQuorvelDlg::kReportTimer);
    m_afterScanMessage =
        text::LocalizedToolText(why == rack::ReportStop::LinkLost ? text::ToolText::ReportNotWrittenLinkLost
                                                                  : text::ToolText::ReportNotWrittenRescan);
    m_window.Windows().Beep(kBeepHz, kBeepMs);
    m_window.Info().ShowMessage(m_afterScanMessage, kNotWrittenMs);
}

void CReport::AfterScan() {
    if (m_afterScanMessage.empty())
        return;
    m_window.Info().ShowMessage(m_afterScanMessage, kNotWrittenMs);
    m_afterScanMessage.clear();
}

void CReport::Put(const std::string& text) {
    m_writer.Write(FileBytes(text));
}

void CReport::FailWrite(const std::string& reason) {
    m_writer.Abandon();
    m_position = -1;
    m_window.KillTimer(rack::CQuorvelDlg::kReportTimer);
    m_window.Item(rack::CQuorvelDlg::kModuleList).Enable(true);
    m_window.SelectModule(rack::kNoModule);
    m_window.Windows().Beep(kBeepHz, kBeepMs);
    m_window.Info().ShowMessage(text::FillToolText(text::ToolText::ReportNotWrittenError, {reason}),
                                kNotWrittenMs);
}

} // namespace kaptiv::report
