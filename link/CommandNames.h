#pragma once
// Names of the requests of the command set as the support trace shows them, told apart by
// the command nibble and, for the file and flash commands, by the sub-code in the first data
// byte. Requests whose bytes are the same carry one name (Close and CloseLong are "Close",
// ReadBlock8 is a "ReadBlock").
#include "link/LinkResult.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kaptiv::link {

// "Identify", "ReadParameters", "OpenByName", ...; "Unknown" for a command outside the set.
std::string_view CommandName(uint8_t command, std::span<const uint8_t> request);

// One word per result, for lines a program reads back: "ok", "no-link", "timeout",
// "negative", "bad-checksum", "answer-too-long", "refused", "send-failed".
std::string_view ResultToken(LinkResult result);
std::optional<LinkResult> ResultFromToken(std::string_view token);

} // namespace kaptiv::link
