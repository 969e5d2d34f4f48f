// Tuner blocks: the first byte picks the module type (1, 4, 7, 10, 12), the rest is the block.
// Decoding never reads outside the block; a decoded block that can be written again decodes to
// the same values, and writing those gives the same bytes.
#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "settings/TunerBlock.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kaptiv::settings;

namespace {

constexpr uint8_t kTypes[] = {kaptiv::type::kSat1_0, kaptiv::type::kSat1, kaptiv::type::kSat2_0,
                              kaptiv::type::kSat2, kaptiv::type::kTerrestrial};

// The server address is written table-coded and read plain: what comes back is what the table
// keeps of it.
// (an apostrophe comes back as a double quote, which the next write drops).
TunerValues AsWritten(TunerValues values) {
    kaptiv::platform::ByteWriter out(kMaxBlockSize * 4);
    if (!EncodeTableText(values.serverAddress, values.serverAddress.size(), out).empty())
        std::abort();
    kaptiv::platform::ByteReader in(out.Data());
    values.serverAddress = DecodePlainText(in);
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t type = kTypes[data[0] % std::size(kTypes)];
    const std::span<const uint8_t> block(data + 1, size - 1);
    const auto first = DecodeTunerBlock(type, block);
    if (!first.Ok())
        return 0;
    const auto encoded = EncodeTunerBlock(first.values, ChecksFor(first.values));
    if (!encoded.Ok())
        return 0; // e.g. a server address longer than the page allows
    if (encoded.block.size() > kMaxBlockSize)
        std::abort();
    const auto second = DecodeTunerBlock(type, encoded.block);
    if (!second.Ok() || !(second.values == AsWritten(first.values)))
        std::abort();
    const auto again = EncodeTunerBlock(second.values, ChecksFor(second.values));
    if (!again.Ok())
        std::abort();
    const auto third = DecodeTunerBlock(type, again.block);
    if (!third.Ok() || !(third.values == AsWritten(second.values)))
        std::abort();
    // Once the address is what the table keeps, the bytes no longer move.
    if (AsWritten(second.values) == second.values && again.block != encoded.block)
        std::abort();
    return 0;
}
