// Arbitrary loader and component requests to a simulated module that knows one composite
// firmware file: the loader must refuse or take them without reading past any buffer.
#include "sim/Engine.h"
#include "sim/FirmwareFolder.h"
#include "sim/Protocol.h"

#include <cstdint>

using namespace mulvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RackConfig rack = DemoRack();
    const FirmwarePlan plan = PlanFirmware(rack);
    RackEngine engine(rack, 1);
    InstallFirmware(engine, plan);
    // Requests: [address, command selector, length, bytes...] repeated.
    size_t i = 0;
    int64_t now = 0;
    while (i + 3 <= size) {
        const uint8_t address = data[i];
        const uint8_t command = (data[i + 1] & 1) ? kCmdFlash : kCmdFile;
        const size_t length = std::min<size_t>(data[i + 2], size - i - 3);
        engine.Handle(address, command, std::span(data + i + 3, length), now);
        now += 10;
        i += 3 + length;
    }
    return 0;
}
