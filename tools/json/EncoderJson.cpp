#include "tools/json/EncoderJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/BlockFields.h"

#include <array>

namespace kaptiv::tools {

using nlohmann::json;
using namespace kaptiv::settings;

namespace {

constexpr std::array<const char*, 5> kAudioRates = {"128 Kb/s", "192 Kb/s", "256 Kb/s", "320  Kb/s",
                                                    "384  Kb/s"};
constexpr std::array<const char*, 2> kStandards = {"PAL", "NTSC"};
constexpr std::array<const char*, 2> kAspects = {"4/3", "16/9"};
constexpr std::array<const char*, 2> kAudioCodings = {"AAC", "MPEG"};

template <class V, class Channel> void EncoderChannelFields(V& v, Channel& c) {
    v.Integer("serviceId", c.serviceId);
    v.Words("unseen", c.unseen);
    v.Integer("videoRateKbps", c.videoRateKbps);
    v.Choice("audioIndex", "audioText", c.audioIndex, kAudioRates);
    v.Text("name", c.name);
    v.Choice("standard", "standardText", c.standard, kStandards);
    v.Choice("aspect", "aspectText", c.aspect, kAspects);
    v.Integer("brightness", c.brightness);
    v.Integer("contrast", c.contrast);
    v.Integer("saturation", c.saturation);
}

template <class V, class Channel> void HdChannelFields(V& v, Channel& c) {
    v.Integer("serviceId", c.serviceId);
    v.Words("unseen", c.unseen);
    v.Integer("videoRateKbps", c.videoRateKbps);
    v.Choice("audioIndex", "audioText", c.audioIndex, kAudioRates);
    v.Choice("audioCoding", "audioCodingText", c.audioCoding, kAudioCodings);
    v.Text("name", c.name);
}

// "page" holds the encoder's "changed" mark, which advances the change counter when written.
template <class V, class Changed> void PageFields(V& v, Changed& changed) {
    v.Object("page", [&](auto& v) { v.Bool("changed", changed); });
}

template <class V, class Values, class Changed> void EncoderFields(V& v, Values& values, Changed& changed) {
    v.TypeTag("type", type::kAvEncoder);
    v.Integer("counter", values.counter);
    v.Objects("channels", values.channels, values.channels.size(),
              [](auto& v, auto& channel, size_t) { EncoderChannelFields(v, channel); });
    v.IdLists("passThrough", values.passThrough);
    PageFields(v, changed);
}

template <class V, class Values, class Changed> void HdEncoderFields(V& v, Values& values, Changed& changed) {
    v.TypeTag("type", type::kHdEncoder);
    v.Integer("counter", values.counter);
    v.IdLists("passThrough", values.passThrough);
    v.Objects("channels", values.channels, values.channels.size(),
              [](auto& v, auto& channel, size_t) { HdChannelFields(v, channel); });
    PageFields(v, changed);
}

} // namespace

json EncoderToJson(const EncoderValues& values, bool changed) {
    return WriteJson([&](auto& v) { EncoderFields(v, values, changed); });
}

bool EncoderFromJson(const json& j, EncoderValues& values, bool& changed, std::string& error) {
    return ReadJson<PathMessages>(j, error, [&](auto& v) { EncoderFields(v, values, changed); });
}

json HdEncoderToJson(const HdEncoderValues& values, bool changed) {
    return WriteJson([&](auto& v) { HdEncoderFields(v, values, changed); });
}

bool HdEncoderFromJson(const json& j, HdEncoderValues& values, bool& changed, std::string& error) {
    return ReadJson<PathMessages>(j, error, [&](auto& v) { HdEncoderFields(v, values, changed); });
}

} // namespace kaptiv::tools
