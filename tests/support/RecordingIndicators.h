#pragma once
#include "link/LinkIndicators.h"

#include <string>
#include <vector>

namespace kaptiv::test {

// Records what the exchange told the status panel, in order: "light", "light+write",
// "arm", "notice:LME#1A".
struct RecordingIndicators final : link::LinkIndicators {
    std::vector<std::string> calls;
    void LightLamps(bool write) override { calls.push_back(write ? "light+write" : "light"); }
    void ArmLampTimers() override { calls.push_back("arm"); }
    void ShowLinkNotice(const std::string& text) override { calls.push_back("notice:" + text); }
};

} // namespace kaptiv::test
