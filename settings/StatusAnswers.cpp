#include "settings/StatusAnswers.h"

#include "platform/Bytes.h"

namespace kaptiv::settings {

namespace {
constexpr size_t kTunerInputBytes = 3;
constexpr size_t kChannelOffset = 4;
constexpr size_t kChannelBytes = 12;
constexpr size_t kSingleChannelServicesAt = 16;
constexpr size_t kMultiChannelServicesAt = 52;
constexpr size_t kModulatorServiceBytes = 4;
constexpr size_t kStreamerServicesAt = 4;
constexpr size_t kStreamerServiceBytes = 6;
constexpr uint64_t kStreamerScale = 3008;
constexpr uint64_t kRtpDivisor = 958;
constexpr uint64_t kUdpDivisor = 966;
constexpr uint8_t kProtocolRtp = 1;

std::optional<uint8_t> ByteAt(std::span<const uint8_t> answer, size_t at) {
    return at < answer.size() ? std::optional<uint8_t>(answer[at]) : std::nullopt;
}
} // namespace

TunerStatusAnswer ParseTunerStatusAnswer(int inputCount, bool streaming, std::span<const uint8_t> answer) {
    TunerStatusAnswer status;
    platform::ByteReader in(answer);
    for (int k = 0; k < inputCount; ++k) {
        if (in.Remaining() < kTunerInputBytes)
            return status;
        InputStatus m;
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

EncoderStatusAnswer ParseEncoderStatusAnswer(std::span<const uint8_t> answer) {
    return {ByteAt(answer, 0), ByteAt(answer, 1)};
}

std::optional<uint8_t> ParseCamStatusAnswer(std::span<const uint8_t> answer) {
    return ByteAt(answer, 0);
}

ControllerStatusAnswer ParseControllerStatusAnswer(std::span<const uint8_t> answer) {
    return {ByteAt(answer, 0), ByteAt(answer, 1), ByteAt(answer, 2)};
}

OutputStatusAnswer ParseOutputStatusAnswer(std::span<const uint8_t> answer) {
    return {ByteAt(answer, 0), ByteAt(answer, 1)};
}

ModulatorRatesAnswer ParseModulatorRatesAnswer(int channelCount, std::span<const uint8_t> answer) {
    ModulatorRatesAnswer rates;
    platform::ByteReader in(answer);
    for (int k = 0; k < channelCount; ++k) {
        const size_t at = kChannelOffset + size_t(k) * kChannelBytes;
        if (!in.Has(at, 8))
            break;
        in.Seek(at);
        ChannelRateAnswer rate;
        rate.usedBps = in.U32();
        rate.capacityBps = in.U32();
        rates.channels.push_back(rate);
    }
    const size_t from = channelCount <= 1 ? kSingleChannelServicesAt : kMultiChannelServicesAt;
    for (size_t at = from; in.Has(at, kModulatorServiceBytes); at += kModulatorServiceBytes) {
        in.Seek(at);
        ServiceRateAnswer rate;
        rate.serviceId = in.U16();
        rate.rate = in.U16();
        rates.services.push_back(rate);
    }
    return rates;
}

StreamerRatesAnswer ParseStreamerRatesAnswer(std::span<const uint8_t> answer) {
    StreamerRatesAnswer rates;
    platform::ByteReader in(answer);
    if (!in.Has(0, 4))
        return rates;
    rates.total = in.U32();
    for (size_t at = kStreamerServicesAt; in.Has(at, kStreamerServiceBytes); at += kStreamerServiceBytes) {
        in.Seek(at);
        ServiceRateAnswer rate;
        rate.serviceId = in.U16();
        rate.rate = in.U32();
        rates.services.push_back(rate);
    }
    return rates;
}

uint32_t StreamerTotalKbpsOf(uint32_t total, uint8_t protocol) {
    return static_cast<uint32_t>(uint64_t(total) * kStreamerScale /
                                 (protocol == kProtocolRtp ? kRtpDivisor : kUdpDivisor));
}

} // namespace kaptiv::settings
