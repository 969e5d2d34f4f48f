#include "link/GatewayMessage.h"

#include "link/Frame.h"
#include "platform/Bytes.h"

namespace kaptiv::link {

std::optional<std::vector<uint8_t>> EncodeGatewayMessage(uint8_t type, uint16_t id,
                                                         std::span<const uint8_t> payload) {
    if (payload.size() > 0xFFFF - kGatewayHeaderSize)
        return std::nullopt;
    platform::ByteWriter w(kGatewayHeaderSize + payload.size());
    w.U16(static_cast<uint16_t>(kGatewayHeaderSize + payload.size()));
    w.U16(id);
    w.U8(type);
    w.Bytes(payload);
    if (!w.Ok())
        return std::nullopt;
    return w.Take();
}

WalkEnd WalkGatewayMessages(std::span<const uint8_t> data,
                            const std::function<void(const GatewayMessage&)>& onMessage) {
    size_t pos = 0;
    while (pos < data.size()) {
        platform::ByteReader r(data.subspan(pos));
        const uint16_t total = r.U16();
        if (!r.Ok() || total > data.size() - pos)
            return WalkEnd::CutOff;
        if (total < kGatewayHeaderSize)
            return WalkEnd::BadLength; // a length of 0 would never advance
        GatewayMessage m;
        m.id = r.U16();
        m.type = r.U8();
        m.payload = data.subspan(pos + kGatewayHeaderSize, total - kGatewayHeaderSize);
        onMessage(m);
        pos += total;
    }
    return WalkEnd::Complete;
}

namespace {
// A relayed answer from the gateway is addressed to the PC.
bool StartsMessageFromGateway(std::span<const uint8_t> rest) {
    constexpr uint8_t kRelay = static_cast<uint8_t>(GatewayType::Relay);
    if (rest.size() <= kGatewayHeaderSize || rest[4] != kRelay)
        return true;
    const size_t total = static_cast<size_t>(rest[0]) << 8 | rest[1];
    return total <= kGatewayHeaderSize || rest[kGatewayHeaderSize] == kPcAddress;
}
} // namespace

WalkEnd GatewayReassembler::Feed(std::span<const uint8_t> data,
                                 const std::function<void(const GatewayMessage&)>& onMessage) {
    std::vector<uint8_t> joined;
    std::span<const uint8_t> bytes = data;
    if (!m_held.empty()) {
        joined.swap(m_held);
        joined.insert(joined.end(), data.begin(), data.end());
        bytes = joined;
    }
    // Keep the unfinished tail before any handler runs: a handler may read the socket again
    // (a scan started by the gateway's link-up), and what it reads follows this tail.
    size_t used = 0;
    WalkEnd end = WalkEnd::Complete;
    while (used < bytes.size()) {
        const std::span<const uint8_t> rest = bytes.subspan(used);
        if (!StartsMessageFromGateway(rest)) {
            end = WalkEnd::Stray;
            break;
        }
        if (rest.size() < 2) {
            end = WalkEnd::CutOff;
            break;
        }
        // In the order of WalkGatewayMessages: a message still arriving is held whatever its
        // length says; the length is judged once the message is whole.
        const size_t total = static_cast<size_t>(rest[0]) << 8 | rest[1];
        if (total > rest.size()) {
            end = WalkEnd::CutOff;
            break;
        }
        if (total < kGatewayHeaderSize) {
            end = WalkEnd::BadLength;
            break;
        }
        used += total;
    }
    if (end == WalkEnd::CutOff)
        m_held.assign(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end());
    WalkGatewayMessages(bytes.first(used), onMessage);
    return end;
}

std::optional<RelayedAnswer> ParseRelayedAnswer(std::span<const uint8_t> payload) {
    if (payload.size() < 3)
        return std::nullopt;
    return RelayedAnswer{payload[0], payload[1], payload[2], payload.subspan(3)};
}

} // namespace kaptiv::link
