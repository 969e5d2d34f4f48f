#pragma once
// kaptiv-config trace show: a link trace (link/LinkTrace.h) printed decoded. Module types are
// learned from the identification answers and the controller's module list in the trace
// itself; parameter blocks read from or written to a module are shown as the JSON of
// `block decode`, the packets to and from a common-interface module as EN 50221 transport,
// session and application objects, and everything else as hex.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::tools {

// The packets the tool writes to a CI module: a 2-byte link header (transport connection,
// more-fragments flag), then transport packets.
nlohmann::json DecodeCamOutgoing(std::span<const uint8_t> bytes);
// What a CI module answers to the read-data command: link records (2-byte length with the skip
// flag, transport connection, more-fragments flag, fragment), put together into transport
// packets. A packet whose last fragment comes in a later answer is kept in pending (when given)
// and continued from there; without pending it is shown as incomplete.
nlohmann::json DecodeCamIncoming(std::span<const uint8_t> bytes, std::vector<uint8_t>* pending = nullptr);

// The whole trace text decoded as the installer's support desk reads it. Lines that are not
// trace lines are reported as "line N: ..." and the rest is still shown. Returns the number of
// such faults.
int ShowTrace(std::string_view text, std::string& out);

} // namespace kaptiv::tools
