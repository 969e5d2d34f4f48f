#include "tools/json/EncoderJson.h"

#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "tools/json/JsonFieldReader.h"

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

template <size_t N> json ListsToJson(const std::array<std::vector<uint16_t>, N>& lists) {
    json j = json::array();
    for (const auto& list : lists)
        j.push_back(list);
    return j;
}

template <size_t N>
void ListsFromJson(JsonFieldReader& f, const json& j, std::array<std::vector<uint16_t>, N>& lists) {
    const json* value = f.Array(j, "", "passThrough", N);
    if (!value)
        return;
    for (auto& list : lists)
        list.clear();
    for (size_t i = 0; i < value->size() && f.Ok(); ++i) {
        const std::string at = JsonFieldReader::Index("", "passThrough", i);
        const json& ids = (*value)[i];
        if (!ids.is_array()) {
            f.Fail(at, "expected an array of service ids");
            return;
        }
        if (ids.size() > kMaxBlockSize) {
            f.Fail(at, "too many service ids");
            return;
        }
        lists[i].assign(ids.size(), 0);
        for (size_t k = 0; k < ids.size() && f.Ok(); ++k)
            f.IntegerValue(ids[k], at + "[" + std::to_string(k) + "]", lists[i][k], 0, 0xFFFF);
    }
}

void CheckType(JsonFieldReader& f, const json& j, uint8_t type) {
    if (const json* value = f.Member(j, "", "type")) {
        if (!value->is_number_integer() || value->get<long long>() != type)
            f.Fail("type", "does not match module type " + std::to_string(type));
    }
}

void ChangedFromJson(JsonFieldReader& f, const json& j, bool& changed) {
    if (const json* page = f.Member(j, "", "page"))
        f.Bool(*page, "page", "changed", changed);
}

template <size_t N> json UnseenToJson(const std::array<uint16_t, N>& words) {
    return json(words);
}

template <size_t N>
void UnseenFromJson(JsonFieldReader& f, const json& j, const std::string& path,
                    std::array<uint16_t, N>& words) {
    const json* value = f.Array(j, path, "unseen", N);
    if (!value)
        return;
    if (value->size() != N) {
        f.Fail(JsonFieldReader::Join(path, "unseen"), "expected " + std::to_string(N) + " words");
        return;
    }
    for (size_t i = 0; i < N; ++i)
        f.IntegerValue((*value)[i], JsonFieldReader::Index(path, "unseen", i), words[i], 0, 0xFFFF);
}

} // namespace

json EncoderToJson(const EncoderValues& values, bool changed) {
    json channels = json::array();
    for (const auto& c : values.channels) {
        channels.push_back({{"serviceId", c.serviceId},
                            {"unseen", UnseenToJson(c.unseen)},
                            {"videoRateKbps", c.videoRateKbps},
                            {"audioIndex", c.audioIndex},
                            {"audioText", ChoiceText(kAudioRates, c.audioIndex)},
                            {"name", ToUtf8(c.name)},
                            {"standard", c.standard},
                            {"standardText", ChoiceText(kStandards, c.standard)},
                            {"aspect", c.aspect},
                            {"aspectText", ChoiceText(kAspects, c.aspect)},
                            {"brightness", c.brightness},
                            {"contrast", c.contrast},
                            {"saturation", c.saturation}});
    }
    return {{"type", type::kAvEncoder},
            {"counter", values.counter},
            {"channels", std::move(channels)},
            {"passThrough", ListsToJson(values.passThrough)},
            {"page", {{"changed", changed}}}};
}

bool EncoderFromJson(const json& j, EncoderValues& values, bool& changed, std::string& error) {
    error.clear();
    JsonFieldReader f(error);
    CheckType(f, j, type::kAvEncoder);
    f.Integer(j, "", "counter", values.counter);
    if (const json* channels = f.Array(j, "", "channels", values.channels.size())) {
        for (size_t i = 0; i < channels->size() && f.Ok(); ++i) {
            const json& c = (*channels)[i];
            const std::string at = JsonFieldReader::Index("", "channels", i);
            EncoderChannel& ch = values.channels[i];
            f.Integer(c, at, "serviceId", ch.serviceId);
            UnseenFromJson(f, c, at, ch.unseen);
            f.Integer(c, at, "videoRateKbps", ch.videoRateKbps);
            f.Integer(c, at, "audioIndex", ch.audioIndex);
            f.Text(c, at, "name", ch.name);
            f.Integer(c, at, "standard", ch.standard);
            f.Integer(c, at, "aspect", ch.aspect);
            f.Integer(c, at, "brightness", ch.brightness);
            f.Integer(c, at, "contrast", ch.contrast);
            f.Integer(c, at, "saturation", ch.saturation);
        }
    }
    ListsFromJson(f, j, values.passThrough);
    ChangedFromJson(f, j, changed);
    return f.Ok();
}

json HdEncoderToJson(const HdEncoderValues& values, bool changed) {
    json channels = json::array();
    for (const auto& c : values.channels) {
        channels.push_back({{"serviceId", c.serviceId},
                            {"unseen", UnseenToJson(c.unseen)},
                            {"videoRateKbps", c.videoRateKbps},
                            {"audioIndex", c.audioIndex},
                            {"audioText", ChoiceText(kAudioRates, c.audioIndex)},
                            {"audioCoding", c.audioCoding},
                            {"audioCodingText", ChoiceText(kAudioCodings, c.audioCoding)},
                            {"name", ToUtf8(c.name)}});
    }
    return {{"type", type::kHdEncoder},
            {"counter", values.counter},
            {"passThrough", ListsToJson(values.passThrough)},
            {"channels", std::move(channels)},
            {"page", {{"changed", changed}}}};
}

bool HdEncoderFromJson(const json& j, HdEncoderValues& values, bool& changed, std::string& error) {
    error.clear();
    JsonFieldReader f(error);
    CheckType(f, j, type::kHdEncoder);
    f.Integer(j, "", "counter", values.counter);
    ListsFromJson(f, j, values.passThrough);
    if (const json* channels = f.Array(j, "", "channels", values.channels.size())) {
        for (size_t i = 0; i < channels->size() && f.Ok(); ++i) {
            const json& c = (*channels)[i];
            const std::string at = JsonFieldReader::Index("", "channels", i);
            HdChannel& ch = values.channels[i];
            f.Integer(c, at, "serviceId", ch.serviceId);
            UnseenFromJson(f, c, at, ch.unseen);
            f.Integer(c, at, "videoRateKbps", ch.videoRateKbps);
            f.Integer(c, at, "audioIndex", ch.audioIndex);
            f.Integer(c, at, "audioCoding", ch.audioCoding);
            f.Text(c, at, "name", ch.name);
        }
    }
    ChangedFromJson(f, j, changed);
    return f.Ok();
}

} // namespace kaptiv::tools
