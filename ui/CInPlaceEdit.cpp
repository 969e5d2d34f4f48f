#include "ui/CInPlaceEdit.h"

#include "ui/Dialog.h"

#include <algorithm>

namespace kaptiv::ui {

bool CInPlaceEdit::Create(Dialog& dialog, int listId, int item, int subItem, const std::string& initialText) {
    Control* list = dialog.FindItem(listId);
    if (list == nullptr || list->Kind() != ControlKind::ListView)
        return false;
    if (item < 0 || item >= list->RowCount() || subItem < 0)
        return false;
    CellEdit edit;
    edit.row = item;
    edit.column = subItem;
    edit.text = initialText;
    list->SetCellEdit(edit);
    return true;
}

void CInPlaceEdit::Close(Dialog& dialog, int listId) {
    Control* list = dialog.FindItem(listId);
    if (list != nullptr && list->Kind() == ControlKind::ListView && list->OpenCellEdit())
        list->SetCellEdit(std::nullopt);
}

std::optional<CellEdit> CInPlaceEdit::OpenOn(const Dialog& dialog, int listId) {
    const auto found = dialog.Controls().find(listId);
    if (found == dialog.Controls().end() || found->second.Kind() != ControlKind::ListView)
        return std::nullopt;
    return found->second.OpenCellEdit();
}

UiEvent CInPlaceEdit::EndOfEdit(int dialogId, int listId, int item, int subItem,
                                const std::optional<std::string>& text) {
    UiEvent event = MakeEvent(dialogId, listId, EventKind::EndLabelEdit);
    event.row = item;
    event.column = subItem;
    event.value = text ? 1 : 0;
    event.text = text.value_or(std::string());
    return event;
}

int CInPlaceEdit::WidenedWidth(int boxLeftPx, int boxWidthPx, int textWidthPx, int clientRightPx) {
    const int wanted = std::max(boxWidthPx, textWidthPx + kTextMarginPx);
    const int room = std::max(clientRightPx - boxLeftPx, 0);
    return std::max(std::min(wanted, room), std::min(boxWidthPx, room));
}

} // namespace kaptiv::ui
