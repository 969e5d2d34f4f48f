// mulvane-sim --rack-from-config: the simulator's own reader of configuration files either
// refuses the bytes with a reason or gives a rack that passes its own checks.
#include "sim/ConfigFileRack.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto rack = mulvane::RackFromConfigBytes({data, size}, error);
    if (!rack) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (rack->modules.empty() || rack->modules.size() > 15 || !mulvane::ValidateRack(*rack, error))
        std::abort();
    return 0;
}
