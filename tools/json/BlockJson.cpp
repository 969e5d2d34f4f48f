#include "tools/json/BlockJson.h"

#include "platform/ModuleType.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"
#include "settings/IpStreamerBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"
#include "tools/json/EncoderJson.h"
#include "tools/json/IpStreamerJson.h"
#include "tools/json/ModulatorJson.h"
#include "tools/json/TunerJson.h"

namespace kaptiv::tools {

using namespace kaptiv::settings;

namespace {

constexpr uint32_t kModulatorFrequencyUnitKHz = 125;

std::string NoBlock(uint8_t type) {
    return "module type " + std::to_string(type) + " has no parameter block to edit";
}

template <typename Values> JsonDecodeResult Render(const DecodeResult<Values>& decoded, auto toJson) {
    if (!decoded.Ok())
        return {{}, decoded.error};
    return {toJson(decoded.values), {}};
}

} // namespace

JsonDecodeResult BlockToJson(uint8_t type, std::span<const uint8_t> block) {
    switch (LayoutOfType(type)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner:
        return Render(DecodeTunerBlock(type, block),
                      [](const TunerValues& v) { return TunerToJson(v, ChecksFor(v)); });
    case BlockLayout::Encoder:
        return Render(DecodeEncoderBlock(block),
                      [](const EncoderValues& v) { return EncoderToJson(v, false); });
    case BlockLayout::HdEncoder:
        return Render(DecodeHdEncoderBlock(block),
                      [](const HdEncoderValues& v) { return HdEncoderToJson(v, false); });
    case BlockLayout::IpStreamer:
        return Render(DecodeIpStreamerBlock(block),
                      [](const IpStreamerValues& v) { return IpStreamerToJson(v); });
    case BlockLayout::Modulator:
        return Render(DecodeModulatorBlock(type, block),
                      [type](const ModulatorValues& v) { return ModulatorToJson(type, v); });
    case BlockLayout::None:
        break;
    }
    return {{}, NoBlock(type)};
}

EncodeResult BlockFromJson(uint8_t type, const nlohmann::json& json) {
    std::string error;
    switch (LayoutOfType(type)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner: {
        TunerValues values;
        values.type = type;
        TunerChecks checks;
        if (!TunerFromJson(json, values, checks, error))
            return EncodeResult::Failure(error);
        return EncodeTunerBlock(values, checks);
    }
    case BlockLayout::Encoder: {
        EncoderValues values;
        bool changed = false;
        if (!EncoderFromJson(json, values, changed, error))
            return EncodeResult::Failure(error);
        return EncodeEncoderBlock(values, changed);
    }
    case BlockLayout::HdEncoder: {
        HdEncoderValues values;
        bool changed = false;
        if (!HdEncoderFromJson(json, values, changed, error))
            return EncodeResult::Failure(error);
        return EncodeHdEncoderBlock(values, changed);
    }
    case BlockLayout::IpStreamer: {
        IpStreamerValues values;
        if (!IpStreamerFromJson(json, values, error))
            return EncodeResult::Failure(error);
        return EncodeIpStreamerBlock(values);
    }
    case BlockLayout::Modulator: {
        ModulatorValues values;
        if (!ModulatorFromJson(type, json, values, error))
            return EncodeResult::Failure(error);
        // Without a module record, the "stored" frequency word is the one the JSON names: a
        // frequency outside the page's range is then written as given, as it was decoded.
        ModulatorEncodeContext context;
        const uint32_t word = values.radio.frequencyKHz / kModulatorFrequencyUnitKHz;
        if (word <= 0xFFFF)
            context.storedFrequencyWord = static_cast<uint16_t>(word);
        return EncodeModulatorBlock(type, values, context);
    }
    case BlockLayout::None:
        break;
    }
    return EncodeResult::Failure(NoBlock(type));
}

} // namespace kaptiv::tools
