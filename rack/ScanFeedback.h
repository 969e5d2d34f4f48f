#pragma once
// What a scan needs from the windows around it: a line in the message panel, the warning
// beep, and the clock its waits go through. The message panel implements it; the scan knows
// nothing else of the window system.
#include "platform/Clock.h"
#include "platform/EventLoop.h"

#include <cstdint>
#include <string>

namespace kaptiv::rack {

class ScanFeedback {
public:
    virtual ~ScanFeedback() = default;
    // Shows text for displayMs; with wait, holds the caller for the display time as well.
    virtual void ShowMessage(const std::string& text, int64_t displayMs, bool wait = false) = 0;
    virtual void WarningBeep(int frequencyHz, int durationMs) = 0;
    virtual platform::Clock& ScanClock() = 0;
    // The loop whose quit request (a termination signal) stops the scan at its next step, and
    // which keeps the firmware of the module in progress from being cut; none in some tests.
    virtual platform::EventLoop* ScanLoop() { return nullptr; }
};

} // namespace kaptiv::rack
