#include "rack/CQuorvelDlg.h"

#include "link/CSTATUS.h"
#include "rack/CInfo.h"
#include "resources/Dialogs.h"
#include "resources/Images.h"

#include <cstdio>

namespace kaptiv::rack {

namespace {
// Decoration of the right-hand area, covered by a panel when one is shown.
constexpr int kCoveredDecoration[] = {1101, 1102, 1103, 1104, 1105, 1107, 1108};
constexpr int kIdleDecoration = 1104;
} // namespace

CQuorvelDlg::CQuorvelDlg(ui::WindowSystem& windows, CInfo& info, link::CSTATUS& status)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogMain)), m_info(info),
      m_status(status) {}

std::string CQuorvelDlg::BaseTitle() {
    char title[64];
    std::snprintf(title, sizeof title, "KAPTIV %d.%d - FENWIX", kVersionMajor, kVersionMinor);
    return title;
}

void CQuorvelDlg::OnInitDialog() {
    SetTitle(BaseTitle());

    if (!m_info.IsCreated())
        m_info.Create(this);
    if (!m_status.IsCreated())
        m_status.Create(this);
    m_status.LoadLampBitmaps();

    ui::Control& list = Item(kModuleList);
    std::vector<ui::ImageRef> images;
    for (int bitmap : resources::kModuleBitmaps)
        images.push_back(ui::Bitmap(bitmap));
    list.SetImageList(std::move(images));
    std::vector<ui::ListRow> rows(kModuleRows,
                                  ui::ListRow{{ui::ListCell{"", kEmptyRowImage}}, std::nullopt, false});
    list.SetRows(std::move(rows));

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

void CQuorvelDlg::OnClose() {
    EndDialog(ui::ModalResult::Cancel);
}

} // namespace kaptiv::rack
