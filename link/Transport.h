#pragma once
// The seam under the exchange: one request goes out, one answer value comes back. The
// serial line (stuffed frames, echo read-back) and the gateway session (type-7 messages)
// both implement it, so the exchange picks a transport and never looks inside it.
#include "link/Frame.h"
#include "link/LinkResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace kaptiv::link {

struct Request {
    uint8_t address = 0;
    uint8_t command = 0;           // high nibble 0x10..0xC0
    std::span<const uint8_t> data; // at most 65535 bytes
    int timeout = 0;               // in the transport's own unit (10 ms serial, 100 ms gateway)
};

// What came back for one request. The bytes live in a fixed area (no allocation per
// frame); only the first length are meaningful.
struct Answer {
    LinkResult result = LinkResult::NoLink;
    bool arrived = false; // an answer (positive, negative or with a bad checksum) was read
    uint8_t control = 0;  // serial: the answer kind (high nibble); gateway: the whole byte
    size_t length = 0;
    std::array<uint8_t, kAreaSize> bytes;

    std::span<const uint8_t> Data() const { return {bytes.data(), length}; }
    // Stores an answer that was read; false (nothing stored) when it does not fit the area.
    bool Store(uint8_t answerControl, std::span<const uint8_t> data) {
        if (data.size() > bytes.size())
            return false;
        arrived = true;
        control = answerControl;
        length = data.size();
        if (!data.empty())
            std::memcpy(bytes.data(), data.data(), data.size());
        return true;
    }
};

class Transport {
public:
    virtual ~Transport() = default;
    // One attempt. For the broadcast address the answer is Ok as soon as the request is out.
    virtual Answer Exchange(const Request& request) = 0;
    // Short name of the link, for logs and traces ("serial", "gateway").
    virtual std::string_view Name() const = 0;
    // Bytes this exchange adds to the traffic count shown in the main window.
    virtual long TrafficOf(const Request&, const Answer&) const { return 0; }
};

// The gateway's side of the seam: usable only while its session is open and the gateway
// reports a link to the rack; the exchange prefers it to the serial line then.
class GatewayTransport : public Transport {
public:
    virtual bool IsRackLinkUp() const = 0;
};

} // namespace kaptiv::link
