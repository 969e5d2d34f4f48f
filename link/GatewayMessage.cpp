#include "link/GatewayMessage.h"

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

std::optional<RelayedAnswer> ParseRelayedAnswer(std::span<const uint8_t> payload) {
    if (payload.size() < 3)
        return std::nullopt;
    return RelayedAnswer{payload[0], payload[1], payload[2], payload.subspan(3)};
}

} // namespace kaptiv::link
