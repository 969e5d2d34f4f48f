#pragma once
// The eight bytes in the tail of a dual tuner block (types 7, 10, 12) that the tool keeps
// exactly as the module sent them. A loaded configuration must not overwrite them with the
// bytes of the rack it was saved from, so they are carried from the live block into the
// loaded one before the loaded block is written.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kaptiv::configfiles {

inline constexpr size_t kKeptByteCount = 8;

// Types whose blocks hold the kept bytes.
bool HoldsKeptBytes(uint8_t type);

// Where the field starts, found by walking the block's own layout (three input sections, the
// streaming service id, the schedule, the play-out rate, the streamed service name). Nothing
// when the walk leaves the block before the field starts or the type has no such field.
std::optional<size_t> KeptBytesOffset(uint8_t type, std::span<const uint8_t> block);

// Copies the field from `live` into `loaded` when it lies whole inside both blocks (each at its
// own position); otherwise `loaded` stays as it is. True when bytes were copied.
bool CarryKeptBytes(uint8_t type, std::span<const uint8_t> live, std::vector<uint8_t>& loaded);

} // namespace kaptiv::configfiles
