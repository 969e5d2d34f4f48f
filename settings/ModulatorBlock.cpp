#include "settings/ModulatorBlock.h"

#include <algorithm>

#include "platform/Bytes.h"
#include "settings/BlockText.h"
#include "settings/NitSection.h"

namespace kaptiv::settings {

namespace {

constexpr size_t kRadioSize = 8;
constexpr size_t kCountOffset = 8;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kDescrambledBit = 0x80;
constexpr uint32_t kFrequencyUnitKHz = 125;
constexpr uint16_t kDefaultOriginalNetworkId = 8442;
constexpr uint16_t kDefaultLcnModulus = 1000;
constexpr uint8_t kNitPrefixSize = 2; // the two zero bytes before the stored section
// Large enough to measure any block the values can describe before refusing it.
constexpr size_t kEncodeScratch = 4 * kMaxBlockSize;

// The single-channel type stores one transport stream id, all others four (whatever their
// channel count).
size_t StoredTransportStreamIds(uint8_t type) {
    return type == type::kModT1 ? 1 : 4;
}

// Reads fields at a running offset that follows the layout even past the end of the block;
// a field that does not lie inside the block reads as its default.
class FieldCursor {
public:
    explicit FieldCursor(std::span<const uint8_t> block) : m_block(block) {}

    bool Holds(size_t n) const { return m_pos <= m_block.size() && n <= m_block.size() - m_pos; }
    uint8_t U8(uint8_t fallback) {
        const uint8_t v = Holds(1) ? m_block[m_pos] : fallback;
        m_pos += 1;
        return v;
    }
    uint16_t U16(uint16_t fallback) {
        const uint16_t v =
            Holds(2) ? static_cast<uint16_t>((m_block[m_pos] << 8) | m_block[m_pos + 1]) : fallback;
        m_pos += 2;
        return v;
    }
    // Up to n bytes, fewer when the block ends first.
    std::span<const uint8_t> Bytes(size_t n) {
        const size_t start = std::min(m_pos, m_block.size());
        const size_t count = std::min(n, m_block.size() - start);
        m_pos += n;
        return m_block.subspan(start, count);
    }
    void Skip(size_t n) { m_pos += n; }

private:
    std::span<const uint8_t> m_block;
    size_t m_pos = 0;
};

void DecodeRadio(std::span<const uint8_t> block, ModulatorRadio& radio) {
    if (block.size() < kRadioSize)
        return;
    radio.frequencyKHz = ((block[0] << 8) | block[1]) * kFrequencyUnitKHz;
    radio.bandwidthCode = block[2];
    radio.codeRate = block[3];
    radio.constellation = block[4];
    radio.mode = block[5];
    radio.guard = block[6];
    radio.levelStep = static_cast<uint8_t>(AttenuationStepFromByte(block[7]));
}

// The services and their per-service fields; a service whose entry is cut off by the end of the
// block is dropped, its later per-service fields still count in the layout.
void DecodeServices(uint8_t type, FieldCursor& in, size_t count, ModulatorValues& values) {
    if (type == type::kModT1) {
        for (size_t i = 0; i < count; ++i) {
            const bool present = in.Holds(2);
            const uint16_t id = in.U16(0);
            if (present)
                values.services.push_back({.serviceId = id, .channel = 1});
        }
        in.Skip(1); // kType2ServiceListEnd
        const uint16_t mask = in.U16(0);
        for (size_t i = 0; i < values.services.size() && i < kType2MaskBits; ++i)
            values.services[i].descrambledUpstream = (mask >> i) & 1;
    } else {
        for (size_t i = 0; i < count; ++i) {
            const bool present = in.Holds(3);
            const uint16_t id = in.U16(0);
            const uint8_t channel = in.U8(0);
            if (present)
                values.services.push_back({.serviceId = id,
                                           .channel = static_cast<uint8_t>(channel & kChannelMask),
                                           .descrambledUpstream = (channel & kDescrambledBit) != 0});
        }
    }
    for (size_t i = 0; i < count; ++i) {
        const uint16_t fallback =
            i < values.services.size() ? values.services[i].serviceId % kDefaultLcnModulus : 0;
        const uint16_t number = in.U16(fallback);
        if (i < values.services.size())
            values.services[i].logicalChannel = number;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint16_t fallback =
            i < values.services.size() ? values.services[i].serviceId % kDefaultLcnModulus : 0;
        const uint16_t number = in.U16(fallback);
        if (i < values.services.size())
            values.services[i].hdLogicalChannel = number;
    }
}

void DecodeNit(FieldCursor& in, ModulatorValues& values) {
    const size_t length = in.U16(0);
    const std::span<const uint8_t> stored = in.Bytes(length);
    if (stored.size() > kNitPrefixSize)
        values.storedNit.assign(stored.begin() + kNitPrefixSize, stored.end());
    const StoredNitSummary summary = SummarizeStoredNit(values.storedNit);
    values.nitVersion = summary.version;
    values.networkName = summary.networkName;
    values.lcnFlavour = summary.lcnFlavour;
}

} // namespace

DecodeResult<ModulatorValues> DecodeModulatorBlock(uint8_t type, std::span<const uint8_t> block,
                                                   const ModulatorRadio& previousRadio) {
    using Result = DecodeResult<ModulatorValues>;
    if (!IsModulatorType(type))
        return Result::Failure("module type " + std::to_string(type) + " has no modulator block");
    if (block.size() > kMaxBlockSize)
        return Result::Failure("a block of " + std::to_string(block.size()) + " bytes is longer than " +
                               std::to_string(kMaxBlockSize));
    Result result;
    ModulatorValues& values = result.values;
    values.radio = previousRadio;
    DecodeRadio(block, values.radio);

    FieldCursor in(block);
    in.Skip(kCountOffset);
    size_t count = in.U8(0);
    if (count > kMaxModulatorServices)
        count = 0;
    DecodeServices(type, in, count, values);

    values.originalNetworkId = in.U16(kDefaultOriginalNetworkId);
    for (size_t k = 0; k < StoredTransportStreamIds(type); ++k)
        values.transportStreamIds[k] = in.U16(values.transportStreamIds[k]);
    DecodeNit(in, values);
    values.removeCatEmm = in.U8(0) != 0;
    values.networkId = in.U16(values.originalNetworkId);
    // The single-channel type has no symbol rate here: its block is read the way it is written.
    if (IsQamModulatorType(type))
        values.symbolRateKSps = in.U16(0);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t fallback = i < values.services.size() ? values.services[i].serviceId : 0;
        const uint16_t id = in.U16(fallback);
        if (i < values.services.size())
            values.services[i].outputServiceId = id;
    }
    values.watchdog = in.U8(1) != 0;
    return result;
}

ModulatorEncodeContext ModulatorEncodeContext::FromStoredBlock(std::span<const uint8_t> block) {
    ModulatorEncodeContext context;
    if (block.size() >= 2)
        context.storedFrequencyWord = static_cast<uint16_t>((block[0] << 8) | block[1]);
    return context;
}

namespace {

std::string CheckServices(uint8_t type, const ModulatorValues& values) {
    if (values.services.size() > kMaxModulatorServices)
        return std::to_string(values.services.size()) + " services are more than the " +
               std::to_string(kMaxModulatorServices) + " a modulator holds";
    for (size_t i = 0; i < values.services.size(); ++i) {
        const ModulatorService& s = values.services[i];
        if (type != type::kModT1 && s.channel > kChannelMask)
            return "output channel " + std::to_string(s.channel) + " of service " +
                   std::to_string(s.serviceId) + " does not fit the channel byte";
        if (type == type::kModT1 && i >= kType2MaskBits && s.descrambledUpstream)
            return "service " + std::to_string(s.serviceId) +
                   " cannot be marked descrambled: the mask holds the first 16 services only";
    }
    return {};
}

} // namespace

EncodeResult EncodeModulatorBlock(uint8_t type, const ModulatorValues& values,
                                  const ModulatorEncodeContext& context) {
    if (!IsModulatorType(type))
        return EncodeResult::Failure("module type " + std::to_string(type) + " has no modulator block");
    if (auto error = CheckServices(type, values); !error.empty())
        return EncodeResult::Failure(error);
    const ModulatorRadio& radio = values.radio;
    const std::optional<uint8_t> level = AttenuationByteFromStep(radio.levelStep);
    if (!level)
        return EncodeResult::Failure("output level step " + std::to_string(radio.levelStep) +
                                     " is outside 1 to 30");
    const int channels = ModulatorChannelCount(type);
    EncodeResult nit = BuildNitSection(values, channels);
    if (!nit.Ok())
        return nit;

    platform::ByteWriter out(kEncodeScratch);
    out.U16(FrequencyInRange(radio, channels) ? static_cast<uint16_t>(radio.frequencyKHz / kFrequencyUnitKHz)
                                              : context.storedFrequencyWord);
    out.U8(radio.bandwidthCode);
    out.U8(radio.codeRate);
    out.U8(radio.constellation);
    out.U8(radio.mode);
    out.U8(radio.guard);
    out.U8(*level);
    out.U8(static_cast<uint8_t>(values.services.size()));

    if (type == type::kModT1) {
        uint16_t mask = 0;
        for (size_t i = 0; i < values.services.size(); ++i) {
            out.U16(values.services[i].serviceId);
            if (values.services[i].descrambledUpstream)
                mask = static_cast<uint16_t>(mask | (1u << i));
        }
        out.U8(kType2ServiceListEnd);
        out.U16(mask);
    } else {
        for (const ModulatorService& s : values.services) {
            out.U16(s.serviceId);
            out.U8(static_cast<uint8_t>(s.channel | (s.descrambledUpstream ? kDescrambledBit : 0)));
        }
    }
    for (const ModulatorService& s : values.services)
        out.U16(s.logicalChannel);
    for (const ModulatorService& s : values.services)
        out.U16(s.hdLogicalChannel);
    out.U16(values.originalNetworkId);
    for (size_t k = 0; k < StoredTransportStreamIds(type); ++k)
        out.U16(values.transportStreamIds[k]);

    out.U16(static_cast<uint16_t>(nit.block.size() + kNitPrefixSize));
    out.U16(0);
    out.Bytes(nit.block);

    out.U8(values.removeCatEmm ? 1 : 0);
    out.U16(values.networkId);
    if (IsQamModulatorType(type))
        out.U16(values.symbolRateKSps);
    for (const ModulatorService& s : values.services)
        out.U16(s.outputServiceId);
    out.U8(values.watchdog ? 1 : 0);

    if (!out.Ok() || out.Size() > kMaxBlockSize)
        return EncodeResult::Failure("the modulator block would be " + std::to_string(out.Size()) +
                                     " bytes, more than the " + std::to_string(kMaxBlockSize) +
                                     " a module holds");
    return {out.Take(), {}};
}

} // namespace kaptiv::settings
