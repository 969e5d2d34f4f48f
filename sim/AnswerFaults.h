#pragma once
// Faults in how an answer reaches the PC, whatever the transport: cut short, delivered one
// byte at a time, or sent from another bus address than the module that was asked.
//
//   truncated       the first half of the answer's bytes only (serial frame or gateway
//                   message, whose length field still announces the whole); the rest never
//                   comes
//   byte-by-byte    every byte on its own, kByteGapMs apart (separate writes to the pty,
//                   separate sends on the gateway connection)
//   other-address   the answer's source address is another one than the module asked
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace mulvane {

enum class AnswerFault { Truncated, ByteByByte, OtherAddress };

inline constexpr int64_t kByteGapMs = 1;
inline constexpr const char* kAnswerFaultNames = "truncated, byte-by-byte, other-address";

std::optional<AnswerFault> AnswerFaultByName(std::string_view name);

// The part of an answer's bytes that is delivered when it is cut short: the first half,
// never all of them.
std::vector<uint8_t> TruncatedAnswer(std::span<const uint8_t> whole);

// A source address that is not the given one (and not the PC's nor the broadcast address).
uint8_t OtherAddress(uint8_t source);

// The answer's bytes as the pieces that are written one after the other.
std::vector<std::vector<uint8_t>> DeliveryPieces(std::span<const uint8_t> whole, bool truncated,
                                                 bool byteByByte);

} // namespace mulvane
