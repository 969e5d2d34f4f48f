// Arbitrary bytes from the gateway into the message walker, the stream reassembly and the
// relayed-answer reader.
#include "link/GatewayMessage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::link;
    size_t covered = 0;
    size_t whole = 0;
    const WalkEnd end = WalkGatewayMessages({data, size}, [&](const GatewayMessage& m) {
        ++whole;
        covered += kGatewayHeaderSize + m.payload.size();
        if (covered > size || m.payload.data() < data || m.payload.data() + m.payload.size() > data + size)
            std::abort();
        if (m.type == static_cast<uint8_t>(GatewayType::Relay)) {
            if (auto answer = ParseRelayedAnswer(m.payload);
                answer && answer->data.size() + 3 != m.payload.size())
                std::abort();
        }
    });

    // The same bytes split over three reads: the reassembled stream gives the same messages.
    if (end != WalkEnd::BadLength && size > 0) {
        const size_t a = data[0] % (size + 1);
        const size_t b = a + (size - a) / 2;
        GatewayReassembler joiner;
        size_t joined = 0;
        auto count = [&](const GatewayMessage&) { ++joined; };
        joiner.Feed({data, a}, count);
        joiner.Feed({data + a, b - a}, count);
        joiner.Feed({data + b, size - b}, count);
        if (joined != whole || joiner.Held() != size - covered)
            std::abort();
    }
    return 0;
}
