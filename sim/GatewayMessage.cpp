#include "sim/GatewayMessage.h"

#include "sim/Protocol.h"

#include "platform/Bytes.h"

namespace mulvane {

using kaptiv::platform::ByteReader;
using kaptiv::platform::ByteWriter;

std::optional<std::vector<uint8_t>> EncodeGatewayMessage(uint8_t type, uint16_t id,
                                                         std::span<const uint8_t> payload) {
    if (payload.size() > kGatewayMaxMessage - kGatewayHeaderSize)
        return std::nullopt;
    ByteWriter w(kGatewayHeaderSize + payload.size());
    w.U16(static_cast<uint16_t>(kGatewayHeaderSize + payload.size()));
    w.U16(id);
    w.U8(type);
    w.Bytes(payload);
    if (!w.Ok())
        return std::nullopt;
    return w.Take();
}

void GatewayReader::Reset() {
    m_buffer.clear();
    m_broken = false;
}

GatewayReader::Status GatewayReader::Feed(std::span<const uint8_t> bytes, std::vector<GatewayMessage>& out) {
    if (m_broken)
        return Status::BadLength;
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    size_t used = 0;
    while (m_buffer.size() - used >= 2) {
        ByteReader r(m_buffer.data() + used, m_buffer.size() - used);
        const uint16_t total = r.U16();
        if (total < kGatewayHeaderSize) {
            m_broken = true;
            m_buffer.clear();
            return Status::BadLength;
        }
        if (r.Size() < total)
            break; // the rest comes with the next piece
        GatewayMessage message;
        message.id = r.U16();
        message.type = r.U8();
        message.payload = r.Bytes(total - kGatewayHeaderSize);
        out.push_back(std::move(message));
        used += total;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(used));
    return Status::Ok;
}

} // namespace mulvane
