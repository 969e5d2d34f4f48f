// Modulator block decoder on arbitrary bytes. First byte picks the module type, the rest is the
// block. Checks: no read outside the block (ASan), and whatever decodes and encodes again is a
// fixed point: decode -> encode -> decode gives the same values and encoding them gives the same
// bytes.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "settings/ModulatorBlock.h"

using namespace kaptiv::settings;

namespace {

constexpr uint8_t kTypes[] = {kaptiv::type::kModT1, kaptiv::type::kModT2, kaptiv::type::kModT4,
                              kaptiv::type::kModC4, kaptiv::type::kModC2};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Without a transport stream entry the NIT carries no private data specifier, so the LCN
// flavour does not survive a write; everything else must.
bool SameValues(uint8_t type, ModulatorValues a, ModulatorValues b) {
    a.storedNit.clear();
    b.storedNit.clear();
    bool onAir = false;
    for (const ModulatorService& s : a.services)
        onAir |= s.channel >= 1 && s.channel <= ModulatorChannelCount(type);
    if (!onAir)
        b.lcnFlavour = a.lcnFlavour;
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t type = kTypes[data[0] % std::size(kTypes)];
    const std::span<const uint8_t> block(data + 1, size - 1);
    const auto first = DecodeModulatorBlock(type, block);
    if (!first.Ok())
        return 0;
    const EncodeResult encoded =
        EncodeModulatorBlock(type, first.values, ModulatorEncodeContext::FromStoredBlock(block));
    if (!encoded.Ok())
        return 0; // values the block cannot carry again (e.g. a logical channel number above 1023)
    Check(encoded.block.size() <= kMaxBlockSize);
    const auto second = DecodeModulatorBlock(type, encoded.block);
    Check(second.Ok());
    Check(SameValues(type, first.values, second.values));
    const EncodeResult again =
        EncodeModulatorBlock(type, second.values, ModulatorEncodeContext::FromStoredBlock(encoded.block));
    Check(again.Ok() && again.block == encoded.block);
    return 0;
}
