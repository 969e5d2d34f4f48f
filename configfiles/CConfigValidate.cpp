#include "configfiles/CConfigValidate.h"

#include "configfiles/ConfigSummary.h"
#include "resources/Dialogs.h"
#include "text/Language.h"
#include "ui/WindowSystem.h"

namespace kaptiv::configfiles {

CConfigValidate::CConfigValidate(ui::WindowSystem& windows)
    : ui::Dialog(windows, resources::DialogTemplateById(kDialogId)) {}

void CConfigValidate::SetConfiguration(std::vector<ConfigEntry> loaded, std::vector<uint8_t> liveTypes) {
    m_loaded = std::move(loaded);
    m_liveTypes = std::move(liveTypes);
}

void CConfigValidate::OnInitDialog() {
    const int language = kaptiv::text::LanguageIndex();
    SetTitle(kaptiv::text::LocalizedText(row::kCheckTitle, language));
    m_matches = ConfigMatches(m_loaded, m_liveTypes);
    Item(kOkButton).Enable(m_matches);
    if (!m_matches)
        Windows().Beep(kBeepHz, kBeepMs);
    Item(kSummary).SetText(ConfigSummary(m_loaded, std::span<const uint8_t>(m_liveTypes), language));
}

void CConfigValidate::OnClick(int controlId) {
    if (controlId == kOkButton)
        OnOK();
    else if (controlId == kCancelButton)
        OnCancel();
}

void CConfigValidate::OnOK() {
    if (m_matches)
        ui::Dialog::OnOK();
}

} // namespace kaptiv::configfiles
