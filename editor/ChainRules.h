#pragma once
// Rules of a chain that reach beyond the page's own two modules, over the rack image: the
// pass-through lists of the later inputs, the services the outputs of the chain carry, and the
// descrambled-upstream marks of the modulators.
//
// A "run" is the chain in the wide sense: the input and common-interface modules that stand next
// to each other in slot order, and the output modules right after them.
#include "rack/RackImage.h"

#include <cstdint>
#include <optional>
#include <set>

namespace kaptiv::editor {

// Rule P: adds (add = true, CAM 0) or removes the service id in the pass-through lists of the
// input modules of types 7, 9, 10, 12, 14 that follow `inputRow` in its run, up to but not
// including the last such module (that one belongs with the output; its own page keeps its
// pass-through list). Section C of the tuners, the pass-through list of the encoders. Their
// blocks are re-encoded in the rack image; a block that does not decode is left alone. Returns
// whether any block changed.
bool ApplyPassThrough(rack::RackImage& rack, int inputRow, uint16_t serviceId, bool add);

// The distinct service ids that the output modules from `firstOutput` on list (up to the first
// module that is not an output). Nothing when one of their blocks does not decode: the caller
// must not drop selections on the word of a block it could not read.
std::optional<std::set<uint16_t>> OutputServiceIds(const rack::RackImage& rack, int firstOutput);

// The descrambled-upstream rule for the run of the input at `inputRow`: the ids that any tuner
// section of the run lists with a CAM number are marked descrambled upstream, and all others
// unmarked, in every modulator that follows the run (up to the first module that is neither a
// modulator nor the IP streamer; the IP streamer itself is left alone). Only the marks change in
// the stored blocks. Returns whether any block changed.
bool ApplyDescrambledUpstream(rack::RackImage& rack, int inputRow);

} // namespace kaptiv::editor
