#pragma once
// Messages of the IP gateway's TCP protocol, both directions:
//   total length (2 bytes, big-endian, header included), id (2 bytes), type (1), payload.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace kaptiv::link {

enum class GatewayType : uint8_t {
    Opening = 0,       // gateway -> PC: a session starts; answered with SessionAccept
    SessionAccept = 1, // PC -> gateway, same id as the opening, 8 bytes of payload
    LinkState = 5,     // gateway -> PC: payload byte 0 = rack link state (non-zero: linked)
    Close = 6,         // PC -> gateway, id 0xFFFF: the PC ends the session
    Relay = 7,         // both ways: a rack request / a module's answer
    KeepAlive = 8,     // both ways: answered with an empty type 8, same id
};

constexpr size_t kGatewayHeaderSize = 5;
constexpr size_t kGatewayReceiveSize = 8192; // one receive call reads at most this much
constexpr uint16_t kCloseMessageId = 0xFFFF;

struct GatewayMessage {
    uint16_t id = 0;
    uint8_t type = 0;
    std::span<const uint8_t> payload;
};

// The whole message, or nothing when the payload does not fit the 16-bit length.
std::optional<std::vector<uint8_t>> EncodeGatewayMessage(uint8_t type, uint16_t id,
                                                         std::span<const uint8_t> payload);

enum class WalkEnd {
    Complete,  // every byte belonged to a whole message
    CutOff,    // a message ran past the end of the data; it and the rest were dropped
    BadLength, // a length field under the header size; the rest was dropped
    Stray,     // bytes that cannot start a message from the gateway; the rest was dropped
};

// Calls onMessage for each whole message in one read, in order. The payload spans point
// into data and are valid during the call only.
WalkEnd WalkGatewayMessages(std::span<const uint8_t> data,
                            const std::function<void(const GatewayMessage&)>& onMessage);

// Joins the messages of the TCP stream across reads: TCP keeps no message boundaries, so a
// message cut at the end of one read is completed by the next ones. Bytes held for an
// unfinished message are bounded by the 16-bit length field. A length field under the
// header size cannot be resynchronised: whatever is held is dropped with the read. The
// handler may feed this object again (a nested read); the bytes it feeds follow the tail.
// The gateway sends the PC relayed answers addressed to the PC only: a type-7 header whose
// destination is another address is the rest of a message cut earlier, not a message
// boundary, and is dropped with the rest of the read (Stray) instead of being held as the
// start of a message.
class GatewayReassembler {
public:
    WalkEnd Feed(std::span<const uint8_t> data, const std::function<void(const GatewayMessage&)>& onMessage);
    // Drops the start of an unfinished message (its rest is not coming).
    void Discard() { m_held.clear(); }
    size_t Held() const { return m_held.size(); }
    std::span<const uint8_t> HeldBytes() const { return m_held; }

private:
    std::vector<uint8_t> m_held;
};

// The payload of a relayed answer (type 7 from the gateway).
struct RelayedAnswer {
    uint8_t destination = 0;
    uint8_t source = 0;
    uint8_t control = 0;
    std::span<const uint8_t> data;
};
std::optional<RelayedAnswer> ParseRelayedAnswer(std::span<const uint8_t> payload);

} // namespace kaptiv::link
