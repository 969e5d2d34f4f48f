#include "tools/json/IpStreamerJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/BlockFields.h"

#include <array>

namespace kaptiv::tools {

using nlohmann::json;
using namespace kaptiv::settings;

namespace {

constexpr std::array<const char*, 2> kProtocols = {"UDP", "RTP"};
constexpr size_t kQosChoices = kQosTexts.size();

// Streams 1 to 16 are "A" to "P"; 0 (on no stream) has no name.
std::string StreamName(size_t stream) {
    return stream >= 1 && stream <= kStreamCount ? std::string(1, static_cast<char>('A' + stream - 1)) : "";
}

template <class V, class Values> void IpStreamerFields(V& v, Values& values) {
    v.TypeTag("type", type::kIpStreamer);
    v.Bool("dhcp", values.dhcp);
    v.Hex("mac", values.mac, ':');
    v.Address("address", values.address);
    v.Address("mask", values.mask);
    v.Address("gateway", values.gateway);
    v.Integer("unseenWord", values.unseenWord);
    v.Integer("unseenByte", values.unseenByte);
    v.Bool("sap", values.sap);
    v.Text("identification", values.identification);
    v.Choice("protocol", "protocolText", values.protocol, kProtocols);
    v.Integer("ttl", values.ttl);
    v.Integer("qos", values.qos, 0, kQosChoices - 1);
    v.Shown("qosText", [&] {
        const auto qos = static_cast<size_t>(values.qos);
        return qos < kQosChoices ? json(kQosTexts[qos]) : json(nullptr);
    });
    v.Objects("streams", values.streams, kStreamCount, [](auto& v, auto& stream, size_t i) {
        v.Shown("name", [i] { return StreamName(i + 1); });
        v.Address("address", stream.address);
        v.Integer("port", stream.port);
    });
    v.Integer("unseenTrailer", values.unseenTrailer);
    v.Entries("services", values.services, kMaxStreamerServices, [](auto& v, auto& service, size_t) {
        v.Integer("serviceId", service.serviceId);
        v.Integer("stream", service.stream, 0, kStreamCount);
        v.Shown("streamText", [&] {
            const std::string name = StreamName(service.stream);
            return name.empty() ? json(nullptr) : json(name);
        });
    });
    v.Shown("usedStreamMask", [&] { return UsedStreamMask(values.services); });
}

} // namespace

json IpStreamerToJson(const IpStreamerValues& values) {
    return WriteJson([&](auto& v) { IpStreamerFields(v, values); });
}

bool IpStreamerFromJson(const json& j, IpStreamerValues& values, std::string& error) {
    return ReadJson<PathMessages>(j, error, [&](auto& v) { IpStreamerFields(v, values); });
}

} // namespace kaptiv::tools
