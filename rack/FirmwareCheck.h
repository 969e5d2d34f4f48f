#pragma once
// The firmware check that a scan offers every module to on its first pass, and the indexing
// of the firmware folder at start-up. The scan only needs this interface; the transfer
// itself (loader, components, front-panel pictures) lives behind it.
#include "rack/RackImage.h"

#include <cstddef>
#include <cstdint>

namespace kaptiv::rack {

class FirmwareCheck {
public:
    virtual ~FirmwareCheck() = default;
    // Rebuilds the firmware table of the image from the firmware folder.
    virtual void IndexFolder(RackImage& image) = 0;
    // Checks live record `index` against the table and updates the module when it is older.
    // releaseOffset is what the scan added to the release to compare a type 10 or 12 module
    // with type 7 files. True when the module was changed and the rack must be rebooted.
    virtual bool CheckAndUpdate(RackImage& image, size_t index, uint8_t releaseOffset) = 0;
    // The scan has ended: what the check read of the folder for it may be let go, so that
    // each scan reads the files it needs once, as they are then.
    virtual void ScanEnded() {}
    // False for a check that reads no firmware folder at all: its empty table then says
    // nothing about the folder, and the scan does not warn that no files were found.
    virtual bool ReadsFirmwareFolder() const { return true; }
};

// The program without a firmware check: an empty table, no module is ever changed, and the
// scan passes over the firmware step silently.
class NoFirmwareCheck final : public FirmwareCheck {
public:
    bool ReadsFirmwareFolder() const override { return false; }
    void IndexFolder(RackImage& image) override { image.firmware.clear(); }
    bool CheckAndUpdate(RackImage&, size_t, uint8_t) override { return false; }
};

} // namespace kaptiv::rack
