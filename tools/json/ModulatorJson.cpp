#include "tools/json/ModulatorJson.h"

#include <array>
#include <cstdio>
#include <limits>
#include <span>

#include "settings/BlockText.h"
#include "settings/NitSection.h"

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

template <size_t N> json TextOf(const std::array<const char*, N>& texts, unsigned index) {
    return index < N ? json(texts[index]) : json(nullptr);
}

std::string Hex(std::span<const uint8_t> bytes) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        out += cell;
    }
    return out;
}

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
    json j = {{"tag", HexNumber(d.tag, 2)}, {"name", DescriptorName(d.tag)}, {"hex", Hex(d.payload)}};
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
    json j = {{"hex", Hex(section)}, {"length", section.size()}};
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

} // namespace

json ModulatorToJson(uint8_t type, const ModulatorValues& values) {
    const ModulatorRadio& r = values.radio;
    const int channels = ModulatorChannelCount(type);
    json frequencies = json::array();
    for (int k = 1; k <= channels; ++k)
        frequencies.push_back(ChannelFrequencyKHz(r, k));
    json services = json::array();
    for (const ModulatorService& s : values.services)
        services.push_back({{"serviceId", s.serviceId},
                            {"outputServiceId", s.outputServiceId},
                            {"channel", s.channel},
                            {"logicalChannel", s.logicalChannel},
                            {"hdLogicalChannel", s.hdLogicalChannel},
                            {"descrambledUpstream", s.descrambledUpstream}});
    json tsIds = json::array();
    for (size_t k = 0; k < JsonTransportStreamIds(type); ++k)
        tsIds.push_back(values.transportStreamIds[k]);

    json j = {{"frequencyKHz", r.frequencyKHz},
              {"channelFrequenciesKHz", std::move(frequencies)},
              {"frequencyInRange", FrequencyInRange(r, channels)},
              {"bandwidthCode", r.bandwidthCode},
              {"bandwidthText", TextOf(kBandwidths, r.bandwidthCode)},
              {"codeRate", r.codeRate},
              {"codeRateText", TextOf(kCodeRates, r.codeRate)},
              {"constellation", r.constellation},
              {"constellationText", IsQamModulatorType(type) ? TextOf(kQamConstellations, r.constellation)
                                                             : TextOf(kCofdmConstellations, r.constellation)},
              {"mode", r.mode},
              {"modeText", TextOf(kModes, r.mode)},
              {"guard", r.guard},
              {"guardText", TextOf(kGuards, r.guard)},
              {"levelStep", r.levelStep},
              {"levelDb", AttenuationStepDecibels(r.levelStep)},
              {"services", std::move(services)},
              {"originalNetworkId", values.originalNetworkId},
              {"transportStreamIds", std::move(tsIds)},
              {"networkId", values.networkId},
              {"nitVersion", values.nitVersion},
              {"networkName", ToUtf8(values.networkName)},
              {"lcnFlavour", values.lcnFlavour == LcnFlavour::Eacem ? "EACEM" : "ITC"},
              {"removeCatEmm", values.removeCatEmm},
              {"watchdog", values.watchdog}};
    if (IsQamModulatorType(type))
        j["symbolRateKSps"] = values.symbolRateKSps;
    j["storedNit"] = NitToJson(values.storedNit);
    return j;
}

namespace {

// Reads one member when present. Each returns false with the reason when the member is there but
// unusable.
class JsonFields {
public:
    JsonFields(const json& object, std::string context, std::string& error)
        : m_object(object), m_context(std::move(context)), m_error(error) {}

    template <typename T> bool Number(const char* key, T& field, int64_t min, int64_t max) {
        if (!m_object.contains(key))
            return true;
        const json& v = m_object[key];
        if (!v.is_number_integer())
            return Fail(key, "is not an integer");
        const auto n = v.get<int64_t>();
        if (n < min || n > max)
            return Fail(key, "is outside " + std::to_string(min) + " to " + std::to_string(max));
        field = static_cast<T>(n);
        return true;
    }
    template <typename T> bool Unsigned(const char* key, T& field) {
        return Number(key, field, 0, std::numeric_limits<T>::max());
    }
    bool Flag(const char* key, bool& field) {
        if (!m_object.contains(key))
            return true;
        if (!m_object[key].is_boolean())
            return Fail(key, "is not true or false");
        field = m_object[key].get<bool>();
        return true;
    }
    bool Text(const char* key, std::u32string& field) {
        if (!m_object.contains(key))
            return true;
        if (!m_object[key].is_string())
            return Fail(key, "is not a string");
        auto text = FromUtf8(m_object[key].get<std::string>());
        if (!text)
            return Fail(key, "is not valid UTF-8");
        field = std::move(*text);
        return true;
    }
    bool Fail(const std::string& key, const std::string& why) {
        m_error = m_context + key + " " + why;
        return false;
    }

private:
    const json& m_object;
    std::string m_context;
    std::string& m_error;
};

bool ServicesFromJson(const json& list, std::vector<ModulatorService>& services, std::string& error) {
    if (!list.is_array()) {
        error = "services is not an array";
        return false;
    }
    services.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].is_object()) {
            error = "services[" + std::to_string(i) + "] is not an object";
            return false;
        }
        ModulatorService s;
        JsonFields f(list[i], "services[" + std::to_string(i) + "].", error);
        if (!list[i].contains("serviceId"))
            return f.Fail("serviceId", "is missing");
        if (!f.Unsigned("serviceId", s.serviceId))
            return false;
        s.outputServiceId = s.serviceId;
        s.logicalChannel = s.hdLogicalChannel = 0;
        if (!f.Unsigned("outputServiceId", s.outputServiceId) || !f.Number("channel", s.channel, 0, 15) ||
            !f.Unsigned("logicalChannel", s.logicalChannel) ||
            !f.Unsigned("hdLogicalChannel", s.hdLogicalChannel) ||
            !f.Flag("descrambledUpstream", s.descrambledUpstream))
            return false;
        services.push_back(s);
    }
    return true;
}

} // namespace

bool ModulatorFromJson(uint8_t type, const json& j, ModulatorValues& values, std::string& error) {
    if (!IsModulatorType(type)) {
        error = "module type " + std::to_string(type) + " is not a modulator";
        return false;
    }
    if (!j.is_object()) {
        error = "the modulator values must be a JSON object";
        return false;
    }
    ModulatorRadio& r = values.radio;
    JsonFields f(j, "", error);
    if (!f.Unsigned("frequencyKHz", r.frequencyKHz) || !f.Unsigned("bandwidthCode", r.bandwidthCode) ||
        !f.Unsigned("codeRate", r.codeRate) || !f.Unsigned("constellation", r.constellation) ||
        !f.Unsigned("mode", r.mode) || !f.Unsigned("guard", r.guard) ||
        !f.Number("levelStep", r.levelStep, kMinAttenuationStep, kMaxAttenuationStep) ||
        !f.Unsigned("originalNetworkId", values.originalNetworkId) ||
        !f.Unsigned("networkId", values.networkId) ||
        !f.Number("nitVersion", values.nitVersion, 0, kMaxNitVersion) ||
        !f.Text("networkName", values.networkName) || !f.Flag("removeCatEmm", values.removeCatEmm) ||
        !f.Flag("watchdog", values.watchdog) || !f.Unsigned("symbolRateKSps", values.symbolRateKSps))
        return false;
    if (j.contains("lcnFlavour")) {
        const json& v = j["lcnFlavour"];
        if (v == "EACEM")
            values.lcnFlavour = LcnFlavour::Eacem;
        else if (v == "ITC")
            values.lcnFlavour = LcnFlavour::Itc;
        else
            return f.Fail("lcnFlavour", "is neither \"EACEM\" nor \"ITC\"");
    }
    if (j.contains("transportStreamIds")) {
        const json& ids = j["transportStreamIds"];
        if (!ids.is_array() || ids.size() > values.transportStreamIds.size())
            return f.Fail("transportStreamIds", "is not an array of at most 4 ids");
        for (size_t k = 0; k < ids.size(); ++k) {
            if (!ids[k].is_number_integer() || ids[k].get<int64_t>() < 0 || ids[k].get<int64_t>() > 0xFFFF)
                return f.Fail("transportStreamIds", "holds a value that is not a 16-bit id");
            values.transportStreamIds[k] = ids[k].get<uint16_t>();
        }
    }
    if (j.contains("services") && !ServicesFromJson(j["services"], values.services, error))
        return false;
    if (type == type::kModT1)
        for (ModulatorService& s : values.services)
            s.channel = 1; // the single-channel modulator has no channel byte
    return true;
}

} // namespace kaptiv::tools
