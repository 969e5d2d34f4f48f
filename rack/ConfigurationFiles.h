#pragma once
// Saving the settings of the whole rack to a configuration file and loading such a file back
// (buttons 1024 and 1025 of the main window). The main window only needs this interface; the
// file format, the check dialog and the write-back live behind it.
#include "link/CommandSet.h"
#include "rack/RackImage.h"
#include "ui/Dialog.h"

namespace kaptiv::rack {

class ConfigurationFiles {
public:
    virtual ~ConfigurationFiles() = default;
    // Asks for a file name and writes the live modules' blocks to it.
    virtual void Save(RackImage& image, ui::Dialog& owner) = 0;
    // Asks for a file, reads it into the loaded half, shows the check and, when the installer
    // confirms, writes the loaded settings to the rack through `commands`.
    virtual void Load(RackImage& image, link::CommandSet& commands, ui::Dialog& owner) = 0;
};

} // namespace kaptiv::rack
