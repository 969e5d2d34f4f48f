#include "tools/json/ModulatorJson.h"

#include <array>
#include <cstdio>
#include <limits>
#include <span>

#include "settings/BlockText.h"
#include "settings/NitSection.h"
#include "tools/json/BlockFields.h"

namespace kaptiv::tools {

using nlohmann::json;
using namespace kaptiv::settings;

namespace {

constexpr std::array<const char*, 5> kCodeRates = {"1/2", "2/3", "3/4", "5/6", "7/8"};
constexpr std::array<const char*, 3> kCofdmConstellations = {"QPSK", "QAM16", "QAM64"};
constexpr std::array<const char*, 5> kQamConstellations = {"QAM16", "QAM32", "QAM64", "QAM128", "QAM256"};
constexpr std::array<const char*, 2> kModes = {"2K", "8K"};
constexpr std::array<const char*, 4> kGuards = {"1/32", "1/16", "1/8", "1/4"};
constexpr std::array<const char*, 3> kBandwidths = {"6 MHz", "7 MHz", "8 MHz"};
constexpr FieldNames<LcnFlavour, 2> kLcnFlavours = {{{"EACEM", LcnFlavour::Eacem}, {"ITC", LcnFlavour::Itc}}};

std::string HexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

const char* DescriptorName(uint8_t tag) {
    switch (tag) {
    case kTagNetworkName:
        return "network_name_descriptor";
    case kTagServiceList:
        return "service_list_descriptor";
    case kTagTerrestrialDelivery:
        return "terrestrial_delivery_system_descriptor";
    case kTagPrivateDataSpecifier:
        return "private_data_specifier_descriptor";
    case kTagLogicalChannel:
        return "logical_channel_descriptor";
    case kTagHdSimulcastLogicalChannel:
        return "hd_simulcast_logical_channel_descriptor";
    default:
        return "descriptor";
    }
}

json DescriptorToJson(const NitDescriptor& d) {
    json j = {{"tag", HexNumber(d.tag, 2)}, {"name", DescriptorName(d.tag)}, {"hex", HexText(d.payload)}};
    switch (d.tag) {
    case kTagNetworkName:
        j["networkName"] = ToUtf8(d.networkName);
        break;
    case kTagPrivateDataSpecifier:
        if (d.privateDataSpecifier) {
            j["privateDataSpecifier"] = HexNumber(*d.privateDataSpecifier, 8);
            if (*d.privateDataSpecifier == kPrivateDataSpecifierEacem)
                j["flavour"] = "EACEM";
            else if (*d.privateDataSpecifier == kPrivateDataSpecifierItc)
                j["flavour"] = "ITC";
        }
        break;
    case kTagLogicalChannel:
    case kTagHdSimulcastLogicalChannel:
        j["channels"] = json::array();
        for (const NitLogicalChannel& c : d.logicalChannels)
            j["channels"].push_back(
                {{"serviceId", c.serviceId}, {"visible", c.visible}, {"number", c.number}});
        break;
    case kTagTerrestrialDelivery:
        if (d.delivery) {
            const NitTerrestrialDelivery& t = *d.delivery;
            j["centreFrequencyHz"] = uint64_t{t.centreFrequency10Hz} * 10;
            j["bandwidth"] = t.bandwidth;
            j["constellation"] = t.constellation;
            j["hierarchy"] = t.hierarchy;
            j["codeRateHp"] = t.codeRateHp;
            j["codeRateLp"] = t.codeRateLp;
            j["guard"] = t.guard;
            j["mode"] = t.mode;
            j["otherFrequency"] = t.otherFrequency;
        }
        break;
    case kTagServiceList:
        j["services"] = json::array();
        for (const NitServiceEntry& s : d.services)
            j["services"].push_back({{"serviceId", s.serviceId}, {"serviceType", s.serviceType}});
        break;
    default:
        break;
    }
    return j;
}

json NitToJson(std::span<const uint8_t> section) {
    json j = {{"hex", HexText(section)}, {"length", section.size()}};
    if (section.empty())
        return j;
    const auto parsed = ParseNitSection(section);
    if (!parsed.Ok()) {
        j["error"] = parsed.error;
        return j;
    }
    const NitSectionFields& f = parsed.values;
    json fields = {{"tableId", HexNumber(f.tableId, 2)},
                   {"sectionLength", f.sectionLength},
                   {"networkId", f.networkId},
                   {"version", f.version},
                   {"currentNext", f.currentNext},
                   {"sectionNumber", f.sectionNumber},
                   {"lastSectionNumber", f.lastSectionNumber},
                   {"networkDescriptors", json::array()},
                   {"transportStreams", json::array()},
                   {"crc", HexNumber(f.crc, 8)},
                   {"crcOk", f.crcOk}};
    for (const NitDescriptor& d : f.networkDescriptors)
        fields["networkDescriptors"].push_back(DescriptorToJson(d));
    for (const NitTransportStream& ts : f.transportStreams) {
        json entry = {{"transportStreamId", ts.transportStreamId},
                      {"originalNetworkId", ts.originalNetworkId},
                      {"descriptors", json::array()}};
        for (const NitDescriptor& d : ts.descriptors)
            entry["descriptors"].push_back(DescriptorToJson(d));
        fields["transportStreams"].push_back(std::move(entry));
    }
    j["fields"] = std::move(fields);
    return j;
}

size_t JsonTransportStreamIds(uint8_t type) {
    return type == type::kModT1 ? 1 : 4;
}

// The stored NIT, the channel frequencies and the texts are for the reader of the JSON; reading
// takes the editable fields only. Services are read whole: each needs its id, and the output id
// defaults to it.
template <class V, class Values> void ModulatorFields(V& v, uint8_t type, Values& values) {
    auto& r = values.radio;
    const int channels = ModulatorChannelCount(type);
    v.Integer("frequencyKHz", r.frequencyKHz);
    v.Shown("channelFrequenciesKHz", [&] {
        json frequencies = json::array();
        for (int k = 1; k <= channels; ++k)
            frequencies.push_back(ChannelFrequencyKHz(r, k));
        return frequencies;
    });
    v.Shown("frequencyInRange", [&] { return FrequencyInRange(r, channels); });
    v.Choice("bandwidthCode", "bandwidthText", r.bandwidthCode, kBandwidths);
    v.Choice("codeRate", "codeRateText", r.codeRate, kCodeRates);
    if (IsQamModulatorType(type))
        v.Choice("constellation", "constellationText", r.constellation, kQamConstellations);
    else
        v.Choice("constellation", "constellationText", r.constellation, kCofdmConstellations);
    v.Choice("mode", "modeText", r.mode, kModes);
    v.Choice("guard", "guardText", r.guard, kGuards);
    v.Integer("levelStep", r.levelStep, kMinAttenuationStep, kMaxAttenuationStep);
    v.Shown("levelDb", [&] { return AttenuationStepDecibels(r.levelStep); });
    v.Integer("originalNetworkId", values.originalNetworkId);
    v.Integer("networkId", values.networkId);
    v.Integer("nitVersion", values.nitVersion, 0, kMaxNitVersion);
    v.Text("networkName", values.networkName);
    v.Bool("removeCatEmm", values.removeCatEmm);
    v.Bool("watchdog", values.watchdog);
    v.WrittenIf(IsQamModulatorType(type),
                [&](auto& v) { v.Integer("symbolRateKSps", values.symbolRateKSps); });
    v.Named("lcnFlavour", values.lcnFlavour, kLcnFlavours);
    v.IdArray("transportStreamIds", values.transportStreamIds, JsonTransportStreamIds(type));
    v.Entries("services", values.services, std::numeric_limits<size_t>::max(), [](auto& v, auto& s, size_t) {
        v.Required("serviceId", s.serviceId);
        if constexpr (std::remove_reference_t<decltype(v)>::kReading) {
            s.outputServiceId = s.serviceId;
            s.logicalChannel = s.hdLogicalChannel = 0;
        }
        v.Integer("outputServiceId", s.outputServiceId);
        v.Integer("channel", s.channel, 0, 15);
        v.Integer("logicalChannel", s.logicalChannel);
        v.Integer("hdLogicalChannel", s.hdLogicalChannel);
        v.Bool("descrambledUpstream", s.descrambledUpstream);
    });
    if constexpr (V::kReading) {
        if (type == type::kModT1)
            for (ModulatorService& s : values.services)
                s.channel = 1; // the single-channel modulator has no channel byte
    }
    v.Shown("storedNit", [&] { return NitToJson(values.storedNit); });
}

} // namespace

json ModulatorToJson(uint8_t type, const ModulatorValues& values) {
    return WriteJson([&](auto& v) { ModulatorFields(v, type, values); });
}

bool ModulatorFromJson(uint8_t type, const json& j, ModulatorValues& values, std::string& error) {
    if (!IsModulatorType(type)) {
        error = "module type " + std::to_string(type) + " is not a modulator";
        return false;
    }
    if (!j.is_object()) {
        error = "the modulator values must be a JSON object";
        return false;
    }
    return ReadJson<PhraseMessages>(j, error, [&](auto& v) { ModulatorFields(v, type, values); });
}

} // namespace kaptiv::tools
