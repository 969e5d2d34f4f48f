#pragma once
// The panel the main window opens beside the module column when a common-interface module
// is selected (the CAM menus). The main window only places, opens and closes it; what the
// panel does with the module lives behind this interface.
#include "rack/RackImage.h"

namespace kaptiv::ui {
class Dialog;
}

namespace kaptiv::rack {

class CommonInterfacePanel {
public:
    virtual ~CommonInterfacePanel() = default;
    // Creates the panel's window as a hidden child of the main window (once, while the main
    // window initialises).
    virtual void CreatePanel(ui::Dialog& mainWindow) = 0;
    // The window the main window places.
    virtual ui::Dialog& PanelWindow() = 0;
    // Opens the panel for the selected module and shows it.
    virtual void Open(const ModuleRecord& module) = 0;
    // Empties and hides it; nothing is polled until the next Open.
    virtual void Close() = 0;
};

} // namespace kaptiv::rack
