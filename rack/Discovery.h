#pragma once
// One scan of the rack: open the link, list the modules, identify each one, read its
// parameter block, offer it to the firmware check on the first pass, and reboot and scan
// again when the check changed a module. The scan blocks the user-interface thread, as
// every request does; it reports through ScanFeedback (the message panel) and changes the
// main window only through ScanHost. A request of the scan that gets no answer is asked once
// more before the scan gives up: one lost answer is not an inactive module, and giving up
// restarts the whole rack.
#include "link/CommandSet.h"
#include "rack/FirmwareCheck.h"
#include "rack/RackImage.h"
#include "rack/ScanFeedback.h"

#include <cstddef>
#include <cstdint>

namespace kaptiv::rack {

// What a scan does to the main window.
class ScanHost {
public:
    virtual ~ScanHost() = default;
    // Command buttons off, watchdog stopped, nothing selected, module list enabled.
    virtual void BeginScan() = 0;
    // Thirteen empty rows, module count 0, title refreshed.
    virtual void ClearModuleList() = 0;
    // Writes the row of live record `index` (name, release, icon) and repaints.
    virtual void ShowModuleRow(size_t index) = 0;
    virtual void HideDeviceChangeIndicator() = 0;
    // The rack answered: the watchdog starts and the controller is selected.
    virtual void RackConnected() = 0;
    // Load, save and report become possible.
    virtual void EnableRackButtons() = 0;
    // Module list and rescan enabled again, title refreshed.
    virtual void EndScan() = 0;
};

enum class ScanOutcome {
    Connected,        // the rack was found and read; the watchdog runs
    HardwareNotFound, // the link could not be opened
    InactiveModule,   // a module did not confirm its type (failedIndex)
    TooManyModules,   // the controller listed more modules than the rack image holds
    Rebooted,         // modules were updated through the gateway; no second pass is made
    Stopped,          // the program is quitting: the scan stopped at its next step
};

struct ScanReport {
    ScanOutcome outcome = ScanOutcome::HardwareNotFound;
    int failedIndex = -1; // InactiveModule: record index, the controller counting as 0
    int passes = 0;
};

class Discovery {
public:
    // Display times of the scan's messages, in ms.
    static constexpr int64_t kSearchingMs = 10000;
    static constexpr int64_t kFailureMs = 1000;
    static constexpr int64_t kRebootMs = 8000;
    static constexpr int64_t kRefusedMs = 2000;
    static constexpr int64_t kReopenEveryMs = 1000;
    static constexpr int kWarningBeepHz = 440;
    static constexpr int kWarningBeepMs = 200;
    // A type 10 or 12 module runs type 7 firmware whose releases are numbered on from theirs.
    static constexpr uint8_t kSat2RevReleaseOffset = 38;
    static constexpr uint8_t kTerrestrialReleaseOffset = 52;

    Discovery(link::CommandSet& commands, RackImage& image, ScanFeedback& feedback, FirmwareCheck& firmware,
              ScanHost& host);

    ScanReport Run();
    // Restarts every module and waits until the rack answers again (or the reboot message
    // has run its time). Also used after settings that need a restart.
    void RebootAndWait();

private:
    // One pass over the rack: open the link, list, identify and read every module, offer
    // each to the firmware check on the first pass. Updated: a module was changed and the
    // rack rebooted; NotFound: no link; Stop: the pass failed and the scan ends at once.
    enum class PassEnd { Done, Updated, NotFound, Stop };
    PassEnd RunPass(bool firstPass, ScanReport& report);
    bool ReadModuleList(ScanReport& report);
    bool IdentifyAll(ScanReport& report);
    bool ReadBlocksAndCheck(bool firstPass);
    bool OfferToFirmwareCheck(size_t index);
    void StopAtInactive(size_t index, ScanReport& report);
    bool Quitting();

    link::CommandSet& m_commands;
    RackImage& m_image;
    ScanFeedback& m_feedback;
    FirmwareCheck& m_firmware;
    ScanHost& m_host;
};

} // namespace kaptiv::rack
