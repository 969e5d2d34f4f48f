#include "settings/EncoderBlock.h"

#include "platform/Bytes.h"
#include "settings/BlockText.h"

namespace kaptiv::settings {

namespace {

EncoderChannel DecodeChannel(platform::ByteReader& in) {
    EncoderChannel channel;
    channel.serviceId = in.U16();
    for (auto& word : channel.unseen)
        word = in.U16();
    channel.videoRateKbps = in.U16();
    channel.audioIndex = in.U8();
    channel.name = DecodeTableText(in);
    channel.standard = in.U8();
    channel.aspect = in.U8();
    channel.brightness = in.U8();
    channel.contrast = in.U8();
    channel.saturation = in.U8();
    return channel;
}

std::string EncodeChannel(const EncoderChannel& channel, platform::ByteWriter& out) {
    out.U16(channel.serviceId);
    for (uint16_t word : channel.unseen)
        out.U16(word);
    out.U16(channel.videoRateKbps);
    out.U8(channel.audioIndex);
    if (std::string why = EncodeTableText(channel.name, kMaxEncoderNameChars, out); !why.empty())
        return why;
    out.U8(channel.standard);
    out.U8(channel.aspect);
    out.U8(channel.brightness);
    out.U8(channel.contrast);
    out.U8(channel.saturation);
    return {};
}

} // namespace

uint8_t NextChangeCounter(uint8_t counter, bool changed) {
    return changed ? static_cast<uint8_t>((counter + 1) & 0xFF) : counter;
}

namespace {

size_t PassThroughCount(std::span<const std::vector<uint16_t>> lists) {
    size_t count = 0;
    for (const auto& list : lists)
        count += list.size();
    return count;
}

} // namespace

std::string PassThroughProblem(std::span<const std::vector<uint16_t>> lists) {
    const size_t count = PassThroughCount(lists);
    if (count <= kMaxPassThroughIds)
        return {};
    return std::to_string(count) + " pass-through services, at most " + std::to_string(kMaxPassThroughIds) +
           " fit";
}

void WritePassThrough(std::span<const std::vector<uint16_t>> lists, platform::ByteWriter& out) {
    out.U8(static_cast<uint8_t>(PassThroughCount(lists)));
    for (const auto& list : lists) {
        for (uint16_t id : list)
            out.U16(id);
    }
}

void ReadPassThrough(platform::ByteReader& in, std::vector<uint16_t>& first) {
    const size_t count = in.U8();
    for (size_t i = 0; i < count; ++i)
        first.push_back(in.U16());
}

DecodeResult<EncoderValues> DecodeEncoderBlock(std::span<const uint8_t> block) {
    using Result = DecodeResult<EncoderValues>;
    if (block.size() > kMaxBlockSize)
        return Result::Failure("block of " + std::to_string(block.size()) + " bytes is longer than " +
                               std::to_string(kMaxBlockSize));
    Result result;
    EncoderValues& v = result.values;
    platform::ByteReader in(block);
    v.counter = in.U8();
    for (auto& channel : v.channels)
        channel = DecodeChannel(in);
    ReadPassThrough(in, v.passThrough[0]);
    return result;
}

EncodeResult EncodeEncoderBlock(EncoderValues& values, bool& changed) {
    if (std::string why = PassThroughProblem(values.passThrough); !why.empty())
        return EncodeResult::Failure(why);
    const uint8_t counter = NextChangeCounter(values.counter, changed);
    platform::ByteWriter out(kMaxBlockSize);
    out.U8(counter);
    for (size_t i = 0; i < values.channels.size(); ++i) {
        if (std::string why = EncodeChannel(values.channels[i], out); !why.empty())
            return EncodeResult::Failure("channel " + std::string(1, static_cast<char>('A' + i)) +
                                         " name: " + why);
    }
    WritePassThrough(values.passThrough, out);
    if (!out.Ok())
        return EncodeResult::Failure("the block would be longer than " + std::to_string(kMaxBlockSize) +
                                     " bytes");
    values.counter = counter;
    changed = false;
    return {out.Take(), {}};
}

} // namespace kaptiv::settings
