#pragma once
// How the main window reaches the health view without knowing how it is drawn: the health
// button opens it, and the window tells it what kaptiv is doing on the rack, so that the
// view's status rounds never run in the middle of that work. The application wires the real
// view in; a window without one leaves the button disabled.
#include <array>
#include <cstddef>

namespace kaptiv::ui {
class Dialog;
}

namespace kaptiv::rack {

class RackImage;

// Work on the rack during which no status round may run: their exchanges would interleave
// with the round's, and what the round read would straddle the work.
enum class RackWork { Scan, FirmwareUpdate, ConfigurationLoad, Report, UsbKeyTransfer, Count };

// Which works are running now, by RackWork.
using RackWorkSet = std::array<bool, static_cast<size_t>(RackWork::Count)>;

class HealthView {
public:
    virtual ~HealthView() = default;
    // The health button: shows the view of `image`'s rack over `owner` (brought to the front
    // when already shown).
    virtual void OpenHealthView(const RackImage& image, ui::Dialog& owner) = 0;
};

} // namespace kaptiv::rack
