#include "settings/HdEncoderBlock.h"

#include "platform/Bytes.h"
#include "settings/BlockText.h"

namespace kaptiv::settings {

namespace {

HdChannel DecodeChannel(platform::ByteReader& in) {
    HdChannel channel;
    channel.serviceId = in.U16();
    for (auto& word : channel.unseen)
        word = in.U16();
    channel.videoRateKbps = in.U16();
    channel.audioIndex = in.U8();
    channel.audioCoding = in.U8();
    channel.name = DecodeTableText(in);
    return channel;
}

std::string EncodeChannel(const HdChannel& channel, platform::ByteWriter& out) {
    out.U16(channel.serviceId);
    for (uint16_t word : channel.unseen)
        out.U16(word);
    out.U16(channel.videoRateKbps);
    out.U8(channel.audioIndex);
    out.U8(channel.audioCoding);
    return EncodeTableText(channel.name, kMaxEncoderNameChars, out);
}

} // namespace

DecodeResult<HdEncoderValues> DecodeHdEncoderBlock(std::span<const uint8_t> block) {
    using Result = DecodeResult<HdEncoderValues>;
    if (block.size() > kMaxBlockSize)
        return Result::Failure("block of " + std::to_string(block.size()) + " bytes is longer than " +
                               std::to_string(kMaxBlockSize));
    Result result;
    HdEncoderValues& v = result.values;
    platform::ByteReader in(block);
    v.counter = in.U8();
    ReadPassThrough(in, v.passThrough[0]);
    for (auto& channel : v.channels)
        channel = DecodeChannel(in);
    return result;
}

EncodeResult EncodeHdEncoderBlock(HdEncoderValues& values, bool& changed) {
    if (std::string why = PassThroughProblem(values.passThrough); !why.empty())
        return EncodeResult::Failure(why);
    const uint8_t counter = NextChangeCounter(values.counter, changed);
    platform::ByteWriter out(kMaxBlockSize);
    out.U8(counter);
    WritePassThrough(values.passThrough, out);
    for (size_t i = 0; i < values.channels.size(); ++i) {
        if (std::string why = EncodeChannel(values.channels[i], out); !why.empty())
            return EncodeResult::Failure("channel " + std::string(1, static_cast<char>('A' + i)) +
                                         " name: " + why);
    }
    if (!out.Ok())
        return EncodeResult::Failure("the block would be longer than " + std::to_string(kMaxBlockSize) +
                                     " bytes");
    values.counter = counter;
    changed = false;
    return {out.Take(), {}};
}

} // namespace kaptiv::settings
