#pragma once
// How the main window reaches the settings page of a chain without knowing it: the page is a
// modeless child the window creates once, places to the right of its module column and opens
// for the chain of the selected module. The application wires the real page in; a window
// without one says that the page is not available.
#include "link/CommandSet.h"
#include "rack/ChainSearch.h"
#include "rack/RackImage.h"

namespace kaptiv::ui {
class Dialog;
}

namespace kaptiv::rack {

class ChainPage {
public:
    virtual ~ChainPage() = default;
    // The page's window, created by the main window as its child.
    virtual ui::Dialog& Panel() = 0;
    // Shows the page for `chain` (which has an input) of `image`, talking to the modules
    // through `commands`. Both must outlive the open page.
    virtual void OpenChain(RackImage& image, link::CommandSet& commands, const Chain& chain) = 0;
    // Writes pending changes, stops the page's timer and hides it. Harmless when not open.
    virtual void CloseChain() = 0;
    virtual bool IsChainOpen() const = 0;
    // A file is going to or coming from the module's USB key.
    virtual bool IsTransferring() const { return false; }
};

} // namespace kaptiv::rack
