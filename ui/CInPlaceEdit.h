#pragma once
// CInPlaceEdit: the editor of one list-view cell. A double-click handler opens it over the
// cell with the cell's text; the page draws an edit box laid over the cell, with the whole
// text selected and the focus in it. Return and focus loss end the edit with the typed text,
// Escape ends it without text; either way the owning dialog hears OnEndLabelEdit for the
// cell and the editor is gone. While it is open the box takes Return, Escape, Delete and
// Control combinations itself, so Return does not reach the dialog's default button. Typing
// widens the box to its text plus 5 pixels, never past the right edge of the list's client
// area.
//
// The page runs the keys and the widening (web/page/controls.js); this class holds the open
// editor's state on the list view control and the rules both sides share.
#include "ui/Controls.h"
#include "ui/DisplayUpdate.h"

#include <optional>
#include <string>

namespace kaptiv::ui {

class Dialog;

class CInPlaceEdit {
public:
    // Opens the editor over cell (item, subItem) of the list view `listId`. An editor already
    // open on that list is replaced (the page ends it first, as focus loss would). False, and
    // nothing opens, for a control that is not a list view or a cell outside the rows.
    static bool Create(Dialog& dialog, int listId, int item, int subItem, const std::string& initialText);
    // Ends the editor open on a list view without a notification (the dialog's cell went away
    // under it); the page removes the box, and its late end-of-edit is not delivered.
    static void Close(Dialog& dialog, int listId);
    // The editor open on a list view, if any.
    static std::optional<CellEdit> OpenOn(const Dialog& dialog, int listId);

    // The end-of-label-edit notification the page sends: with the text on Return or focus loss,
    // without text (cancelled) on Escape.
    static UiEvent EndOfEdit(int dialogId, int listId, int item, int subItem,
                             const std::optional<std::string>& text);

    // The box's width after typing: the text's width plus 5 pixels when wider than the box, but
    // the box never reaches past the right edge of the list's client area.
    static int WidenedWidth(int boxLeftPx, int boxWidthPx, int textWidthPx, int clientRightPx);

    static constexpr int kTextMarginPx = 5;
};

} // namespace kaptiv::ui
