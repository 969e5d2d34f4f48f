#pragma once
// The configuration check dialog: whether a loaded configuration fits the connected rack, and
// a readable summary of what it would set. OK is enabled only when it fits; the caller writes
// the settings only on OK.
#include "configfiles/ConfigFile.h"
#include "ui/Dialog.h"

#include <cstdint>
#include <vector>

namespace kaptiv::configfiles {

class CConfigValidate final : public ui::Dialog {
public:
    static constexpr int kDialogId = 195;
    static constexpr int kOkButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kSummary = 1024;
    static constexpr int kBeepHz = 440;
    static constexpr int kBeepMs = 250;

    explicit CConfigValidate(ui::WindowSystem& windows);

    // What the next run shows: the loaded entries and the live modules' types in scan order.
    void SetConfiguration(std::vector<ConfigEntry> loaded, std::vector<uint8_t> liveTypes);
    bool Matches() const { return m_matches; }

    void OnInitDialog() override;
    void OnClick(int controlId) override;
    // Enter confirms only what the OK button would confirm.
    void OnOK() override;

private:
    std::vector<ConfigEntry> m_loaded;
    std::vector<uint8_t> m_liveTypes;
    bool m_matches = false;
};

} // namespace kaptiv::configfiles
