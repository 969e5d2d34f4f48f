#pragma once
// Messages of the IP gateway protocol, both directions:
//   total length (2 bytes, big-endian, header included), id (2 bytes), type (1 byte), payload.
// The reader takes a TCP byte stream in pieces of any size: several messages in one piece
// and messages split across pieces both come out whole.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mulvane {

struct GatewayMessage {
    uint16_t id = 0;
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

// Nothing when the payload does not fit the 16-bit total length.
std::optional<std::vector<uint8_t>> EncodeGatewayMessage(uint8_t type, uint16_t id,
                                                         std::span<const uint8_t> payload = {});

class GatewayReader {
public:
    enum class Status { Ok, BadLength };

    // Appends the messages completed by bytes to out. A total length under the 5-byte
    // header can never be parsed past: the stream is broken, BadLength comes back and the
    // reader keeps refusing until Reset.
    Status Feed(std::span<const uint8_t> bytes, std::vector<GatewayMessage>& out);
    size_t Buffered() const { return m_buffer.size(); }
    void Reset();

private:
    std::vector<uint8_t> m_buffer; // never more than one unfinished message (< 64 KiB)
    bool m_broken = false;
};

} // namespace mulvane
