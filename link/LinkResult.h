#pragma once
// The closed set of outcomes of one exchange. A module's negative answer stays distinct
// from a time-out or a corrupted answer.
#include <cstdint>

namespace kaptiv::link {

enum class LinkResult : uint8_t {
    Ok,
    NoLink,        // neither the gateway nor a serial port is open
    Timeout,       // no complete answer before the deadline
    Negative,      // the module answered negatively
    BadChecksum,   // a complete answer whose checksum is wrong
    AnswerTooLong, // the answer announced more than the 8192-byte answer area
    Refused,       // the request itself does not fit (frame over the transmit area, text too long)
    SendFailed,    // the request could not be written
};

const char* ToText(LinkResult result);

} // namespace kaptiv::link
