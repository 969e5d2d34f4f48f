// Arbitrary bytes from the gateway into the message walker and the relayed-answer reader.
#include "link/GatewayMessage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::link;
    size_t covered = 0;
    WalkGatewayMessages({data, size}, [&](const GatewayMessage& m) {
        covered += kGatewayHeaderSize + m.payload.size();
        if (covered > size || m.payload.data() < data || m.payload.data() + m.payload.size() > data + size)
            std::abort();
        if (m.type == static_cast<uint8_t>(GatewayType::Relay)) {
            if (auto answer = ParseRelayedAnswer(m.payload);
                answer && answer->data.size() + 3 != m.payload.size())
                std::abort();
        }
    });
    return 0;
}
