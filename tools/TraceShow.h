#pragma once
// kaptiv-config trace show: a link trace (link/LinkTrace.h) printed decoded. Module types are
// learned from the identification answers and the controller's module list in the trace
// itself; parameter blocks read from or written to a module are shown as the JSON of
// `block decode`, the packets to and from a common-interface module as EN 50221 transport,
// session and application objects, and everything else as hex.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
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

// Bounds of the decoding, so that no trace line, however made, runs long or fills memory:
// application objects nested deeper than kMaxNesting levels (a menu's items are one level
// below the menu) and objects past kMaxObjectsPerPacket in one CAM packet are shown as hex,
// not decoded.
inline constexpr size_t kMaxNesting = 16;
inline constexpr size_t kMaxObjectsPerPacket = 1024;
// One trace line's decoding is cut after this many bytes, with a note saying so.
inline constexpr size_t kMaxLineOutput = 1024 * 1024;

// The trace text decoded as the installer's support desk reads it, handed to `emit` line by
// line as soon as each is decoded (the output of the whole trace is never held at once), with
// its control characters escaped (tools/TerminalText.h). Lines that are not trace lines are
// reported as "line N: ..." and the rest is still shown. Returns the number of such faults.
using TraceEmit = std::function<void(std::string_view)>;
int ShowTrace(std::string_view text, const TraceEmit& emit, size_t maxLineOutput = kMaxLineOutput);
// The same, appended to out.
int ShowTrace(std::string_view text, std::string& out);

} // namespace kaptiv::tools
