// Arbitrary bytes from the gateway into the message walker, the stream reassembly and the
// relayed-answer reader.
#include "link/Frame.h"
#include "link/GatewayMessage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kaptiv::link;
    size_t covered = 0;
    size_t whole = 0;
    // A relayed message addressed elsewhere than the PC cannot come from the gateway: the
    // reassembler drops it with the rest of its read, so the split stream gives other messages.
    bool stray = false;
    const WalkEnd end = WalkGatewayMessages({data, size}, [&](const GatewayMessage& m) {
        ++whole;
        covered += kGatewayHeaderSize + m.payload.size();
        if (covered > size || m.payload.data() < data || m.payload.data() + m.payload.size() > data + size)
            std::abort();
        if (m.type == static_cast<uint8_t>(GatewayType::Relay)) {
            if (!m.payload.empty() && m.payload[0] != kPcAddress)
                stray = true;
            if (auto answer = ParseRelayedAnswer(m.payload);
                answer && answer->data.size() + 3 != m.payload.size())
                std::abort();
        }
    });

    // The unfinished message at the end counts too: one addressed elsewhere is not held.
    if (end == WalkEnd::CutOff && size - covered > kGatewayHeaderSize &&
        data[covered + 4] == static_cast<uint8_t>(GatewayType::Relay) &&
        data[covered + kGatewayHeaderSize] != kPcAddress)
        stray = true;

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
        // What is held is at most the bytes given, whatever they are. (After a stray message
        // the next read starts afresh, so its count may differ from the whole walk's either way.)
        if (joiner.Held() > size)
            std::abort();
        if (!stray && (joined != whole || joiner.Held() != size - covered))
            std::abort();
    }
    return 0;
}
