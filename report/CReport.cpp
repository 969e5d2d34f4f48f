#include "report/CReport.h"

#include "editor/CSatCofdm.h"
#include "platform/ModuleType.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "report/ReportSections.h"
#include "report/ReportText.h"
#include "text/Language.h"
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
    CloseFile();
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
    options.overwritePrompt = true;
    const auto chosen = m_window.Windows().FileDialog(options);
    if (!chosen || chosen->empty() || chosen->front().empty())
        return;

    const std::string path = WithHtmlExtension(chosen->front());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        m_window.Windows().Beep(kBeepHz, kBeepMs);
        m_window.Info().ShowMessage(text::LocalizedText(kTextCannotCreate), kCannotCreateMs);
        return;
    }
    const std::string dateTime = LocalDateTime();
    m_window.SelectModule(rack::kNoModule);
    m_file = file;
    m_path = std::filesystem::absolute(path, error).string();
    if (error)
        m_path = path;
    m_position = -1;
    // The position is -1 until the first step; the file is open, so writing goes through.
    const std::string head =
        std::string(kHeader1) + kHeader2 + kHeader3 + Escape(m_window.Title()) + TitleBlockEnd(dateTime);
    Put(head);
    m_window.Item(rack::CQuorvelDlg::kModuleList).Enable(false);
    if (m_page)
        m_page->StartReportContribution();
    ReportNextModule();
}

void CReport::ReportNextModule() {
    if (m_file == nullptr)
        return;
    m_window.KillTimer(rack::CQuorvelDlg::kReportTimer);
    rack::RackImage& image = m_window.Image();
    for (;;) {
        ++m_position;
        if (m_position >= image.moduleCount || m_position >= rack::CQuorvelDlg::kModuleRows) {
            m_position = -1;
            m_window.Item(rack::CQuorvelDlg::kModuleList).Enable(true);
            Put(kFileEnd);
            CloseFile();
            m_window.SelectModule(rack::kNoModule);
            m_window.Info().ShowMessage(text::LocalizedText(kTextSaved) + m_path, kSavedMs);
            return;
        }
        const rack::ModuleRecord& module = image.Live(static_cast<size_t>(m_position));
        Put(ModuleHeading(Escape(std::string_view(ModuleName(module.type))), module.release));
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
    if (m_file == nullptr || m_position < 0)
        return;
    Put(text);
    if (next)
        m_window.SetTimer(rack::CQuorvelDlg::kReportTimer, rack::CQuorvelDlg::kReportStepMs);
}

void CReport::AbortReport() {
    if (m_file == nullptr)
        return;
    CloseFile();
    m_position = -1;
    m_window.KillTimer(rack::CQuorvelDlg::kReportTimer);
}

void CReport::Put(const std::string& text) {
    const std::string bytes = FileBytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), m_file);
}

void CReport::CloseFile() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

} // namespace kaptiv::report
