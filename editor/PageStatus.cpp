#include "editor/PageStatus.h"

#include "platform/Bytes.h"

namespace kaptiv::editor {

namespace {
constexpr size_t kTunerInputBytes = 3;
constexpr size_t kChannelOffset = 4;
constexpr size_t kChannelBytes = 12;
constexpr size_t kSingleChannelServicesAt = 16;
constexpr size_t kMultiChannelServicesAt = 52;
constexpr size_t kModulatorServiceBytes = 4;
constexpr size_t kStreamerServicesAt = 4;
constexpr size_t kStreamerServiceBytes = 6;
constexpr uint32_t kTsPacketBytes = 188;
} // namespace

TunerStatus ParseTunerStatus(int inputCount, bool streaming, std::span<const uint8_t> answer) {
    TunerStatus status;
    platform::ByteReader in(answer);
    for (int k = 0; k < inputCount; ++k) {
        if (in.Remaining() < kTunerInputBytes)
            return status;
        InputMeasure m;
        m.lock = in.U8();
        m.level = in.U8();
        m.quality = in.U8();
        status.inputs.push_back(m);
    }
    if (!streaming)
        return status;
    if (in.Remaining() >= 1)
        status.usbKey = in.U8();
    if (in.Remaining() >= 1)
        status.changeIndicator = in.U8();
    if (in.Remaining() >= 4) {
        std::array<uint8_t, 4> address{};
        for (uint8_t& b : address)
            b = in.U8();
        status.receiver = address;
    }
    return status;
}

EncoderStatus ParseEncoderStatus(std::span<const uint8_t> answer) {
    EncoderStatus status;
    if (answer.size() >= 1)
        status.counter = answer[0];
    if (answer.size() >= 2)
        status.listIndicator = answer[1];
    return status;
}

ModulatorStatus ParseModulatorStatus(int channelCount, std::span<const uint8_t> answer) {
    ModulatorStatus status;
    platform::ByteReader in(answer);
    for (int k = 0; k < channelCount; ++k) {
        const size_t at = kChannelOffset + size_t(k) * kChannelBytes;
        if (!in.Has(at, 8))
            break;
        in.Seek(at);
        ChannelRate rate;
        rate.usedBps = in.U32();
        rate.capacityBps = in.U32();
        status.channels.push_back(rate);
    }
    const size_t from = channelCount <= 1 ? kSingleChannelServicesAt : kMultiChannelServicesAt;
    for (size_t at = from; in.Has(at, kModulatorServiceBytes); at += kModulatorServiceBytes) {
        in.Seek(at);
        ServiceRate rate;
        rate.serviceId = in.U16();
        rate.rateBps = in.U16();
        status.services.push_back(rate);
    }
    return status;
}

StreamerStatus ParseStreamerStatus(std::span<const uint8_t> answer) {
    StreamerStatus status;
    platform::ByteReader in(answer);
    if (!in.Has(0, 4))
        return status;
    status.total = in.U32();
    for (size_t at = kStreamerServicesAt; in.Has(at, kStreamerServiceBytes); at += kStreamerServiceBytes) {
        in.Seek(at);
        ServiceRate rate;
        rate.serviceId = in.U16();
        rate.rateBps = in.U32() / kTsPacketBytes;
        status.services.push_back(rate);
    }
    return status;
}

uint32_t StreamerTotalKbps(uint32_t total, uint8_t protocol) {
    return static_cast<uint32_t>(uint64_t(total) * 3008 / (protocol == 1 ? 958 : 966));
}

} // namespace kaptiv::editor
