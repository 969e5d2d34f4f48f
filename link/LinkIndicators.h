#pragma once
// What the exchange tells the status panel: the activity and write lamps and the notice
// that names a module that did not answer. The status panel implements it; tests record it.
#include <string>

namespace kaptiv::link {

class LinkIndicators {
public:
    virtual ~LinkIndicators() = default;
    // Before a request: activity lamp on (5000 ms timer); write lamp on with a 5000 ms timer
    // when the request changes something in the rack, otherwise its timer set to 100 ms.
    virtual void LightLamps(bool writeFlag) = 0;
    // After every request, whatever the outcome: both lamp timers set to 100 ms.
    virtual void ArmLampTimers() = 0;
    // The first failure after the link-lost flag was cleared: "LME#%02X" with the address.
    virtual void ShowLinkNotice(const std::string& text) = 0;
};

// Used until a status panel is attached.
class NoIndicators final : public LinkIndicators {
public:
    void LightLamps(bool) override {}
    void ArmLampTimers() override {}
    void ShowLinkNotice(const std::string&) override {}
};

} // namespace kaptiv::link
