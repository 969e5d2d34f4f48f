// A/V and HD encoder blocks: the first byte picks the layout (even: type 9, odd: type 14) and
// whether the "changed" mark is set; the rest is the block. Decoding never reads outside the
// block; a decoded block written again decodes to the same values (the counter advanced by the
// mark).
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kaptiv::settings;

namespace {

template <typename Values, typename Decode, typename Encode>
void Check(std::span<const uint8_t> block, bool changed, Decode decode, Encode encode) {
    const auto first = decode(block);
    if (!first.Ok())
        return;
    Values values = first.values;
    bool mark = changed;
    const auto encoded = encode(values, mark);
    if (!encoded.Ok())
        return; // a name longer than 31 characters
    if (mark || encoded.block.size() > kMaxBlockSize)
        std::abort();
    const auto second = decode(encoded.block);
    if (!second.Ok())
        std::abort();
    Values expected = first.values;
    expected.counter = static_cast<uint8_t>(expected.counter + (changed ? 1 : 0));
    if (!(second.values == expected) || !(values == expected))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::span<const uint8_t> block(data + 1, size - 1);
    const bool changed = (data[0] & 2) != 0;
    if (data[0] & 1) {
        Check<HdEncoderValues>(
            block, changed, [](std::span<const uint8_t> b) { return DecodeHdEncoderBlock(b); },
            [](HdEncoderValues& v, bool& c) { return EncodeHdEncoderBlock(v, c); });
    } else {
        Check<EncoderValues>(
            block, changed, [](std::span<const uint8_t> b) { return DecodeEncoderBlock(b); },
            [](EncoderValues& v, bool& c) { return EncodeEncoderBlock(v, c); });
    }
    return 0;
}
