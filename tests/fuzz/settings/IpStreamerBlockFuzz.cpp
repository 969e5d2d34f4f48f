// IP streamer blocks. Decoding never reads outside the block; a decoded block written again
// decodes to the same values (the identification as the character table keeps it) and writing
// those gives the same bytes.
#include "settings/BlockText.h"
#include "settings/IpStreamerBlock.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kaptiv::settings;

namespace {

// The identification is written table-coded and read plain: what comes back is what the table
// keeps of it (an apostrophe comes back as a double quote, which the next write drops).
IpStreamerValues AsWritten(IpStreamerValues values) {
    kaptiv::platform::ByteWriter out(kMaxBlockSize);
    if (!EncodeTableText(values.identification, kMaxBlockSize, out).empty())
        std::abort();
    kaptiv::platform::ByteReader in(out.Data());
    values.identification = DecodePlainText(in);
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> block(data, size);
    const auto first = DecodeIpStreamerBlock(block);
    if (!first.Ok())
        return 0;
    const auto encoded = EncodeIpStreamerBlock(first.values);
    if (!encoded.Ok())
        return 0; // more services than 1024 bytes hold
    const auto second = DecodeIpStreamerBlock(encoded.block);
    if (!second.Ok() || !(second.values == AsWritten(first.values)))
        std::abort();
    const auto again = EncodeIpStreamerBlock(second.values);
    if (!again.Ok())
        std::abort();
    const auto third = DecodeIpStreamerBlock(again.block);
    if (!third.Ok() || !(third.values == AsWritten(second.values)))
        std::abort();
    // Once the identification is what the table keeps, the bytes no longer move.
    if (AsWritten(second.values) == second.values && again.block != encoded.block)
        std::abort();
    return 0;
}
