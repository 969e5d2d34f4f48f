#include "tools/json/IpStreamerJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/JsonFieldReader.h"

#include <array>

namespace kaptiv::tools {

using nlohmann::json;
using namespace kaptiv::settings;

namespace {

constexpr std::array<const char*, 2> kProtocols = {"UDP", "RTP"};
constexpr size_t kQosChoices = kQosTexts.size();

std::string StreamName(uint8_t stream) {
    return stream >= 1 && stream <= kStreamCount ? std::string(1, static_cast<char>('A' + stream - 1)) : "";
}

} // namespace

json IpStreamerToJson(const IpStreamerValues& v) {
    json streams = json::array();
    for (size_t i = 0; i < v.streams.size(); ++i) {
        streams.push_back({{"name", StreamName(static_cast<uint8_t>(i + 1))},
                           {"address", AddressText(v.streams[i].address)},
                           {"port", v.streams[i].port}});
    }
    json services = json::array();
    for (const auto& s : v.services) {
        const std::string name = StreamName(s.stream);
        services.push_back({{"serviceId", s.serviceId},
                            {"stream", s.stream},
                            {"streamText", name.empty() ? json(nullptr) : json(name)}});
    }
    const auto qos = static_cast<size_t>(v.qos);
    return {{"type", type::kIpStreamer},
            {"dhcp", v.dhcp},
            {"mac", HexText(v.mac, ':')},
            {"address", AddressText(v.address)},
            {"mask", AddressText(v.mask)},
            {"gateway", AddressText(v.gateway)},
            {"unseenWord", v.unseenWord},
            {"unseenByte", v.unseenByte},
            {"sap", v.sap},
            {"identification", ToUtf8(v.identification)},
            {"protocol", v.protocol},
            {"protocolText", ChoiceText(kProtocols, v.protocol)},
            {"ttl", v.ttl},
            {"qos", qos},
            {"qosText", qos < kQosChoices ? json(kQosTexts[qos]) : json(nullptr)},
            {"streams", std::move(streams)},
            {"unseenTrailer", v.unseenTrailer},
            {"services", std::move(services)},
            {"usedStreamMask", UsedStreamMask(v.services)}};
}

bool IpStreamerFromJson(const json& j, IpStreamerValues& v, std::string& error) {
    error.clear();
    JsonFieldReader f(error);
    if (const json* type = f.Member(j, "", "type")) {
        if (!type->is_number_integer() || type->get<long long>() != type::kIpStreamer)
            f.Fail("type", "does not match module type " + std::to_string(type::kIpStreamer));
    }
    f.Bool(j, "", "dhcp", v.dhcp);
    f.HexBytes(j, "", "mac", v.mac);
    f.Address(j, "", "address", v.address);
    f.Address(j, "", "mask", v.mask);
    f.Address(j, "", "gateway", v.gateway);
    f.Integer(j, "", "unseenWord", v.unseenWord);
    f.Integer(j, "", "unseenByte", v.unseenByte);
    f.Bool(j, "", "sap", v.sap);
    f.Text(j, "", "identification", v.identification);
    f.Integer(j, "", "protocol", v.protocol);
    f.Integer(j, "", "ttl", v.ttl);
    uint8_t qos = static_cast<uint8_t>(v.qos);
    f.Integer(j, "", "qos", qos, 0, kQosChoices - 1);
    v.qos = static_cast<QosChoice>(qos);
    if (const json* streams = f.Array(j, "", "streams", kStreamCount)) {
        for (size_t i = 0; i < streams->size() && f.Ok(); ++i) {
            const std::string at = JsonFieldReader::Index("", "streams", i);
            f.Address((*streams)[i], at, "address", v.streams[i].address);
            f.Integer((*streams)[i], at, "port", v.streams[i].port);
        }
    }
    f.Integer(j, "", "unseenTrailer", v.unseenTrailer);
    if (const json* services = f.Array(j, "", "services", kMaxStreamerServices)) {
        v.services.assign(services->size(), {});
        for (size_t i = 0; i < services->size() && f.Ok(); ++i) {
            const std::string at = JsonFieldReader::Index("", "services", i);
            f.Integer((*services)[i], at, "serviceId", v.services[i].serviceId);
            f.Integer((*services)[i], at, "stream", v.services[i].stream, 0, kStreamCount);
        }
    }
    return f.Ok();
}

} // namespace kaptiv::tools
