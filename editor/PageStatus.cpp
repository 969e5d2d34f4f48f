#include "editor/PageStatus.h"

#include "settings/StatusAnswers.h"

// The page's view of the status answers: the decoding itself is settings/StatusAnswers, shared
// with the rack watch, so that the page and the exporter can never read a field differently.
namespace kaptiv::editor {

namespace {
constexpr uint32_t kTsPacketBytes = 188;
namespace st = settings;
} // namespace

TunerStatus ParseTunerStatus(int inputCount, bool streaming, std::span<const uint8_t> answer) {
    const st::TunerStatusAnswer decoded = st::ParseTunerStatusAnswer(inputCount, streaming, answer);
    TunerStatus status;
    for (const st::InputStatus& in : decoded.inputs)
        status.inputs.push_back({in.lock, in.level, in.quality});
    status.usbKey = decoded.usbKey;
    status.changeIndicator = decoded.changeIndicator;
    status.receiver = decoded.receiver;
    return status;
}

EncoderStatus ParseEncoderStatus(std::span<const uint8_t> answer) {
    const st::EncoderStatusAnswer decoded = st::ParseEncoderStatusAnswer(answer);
    return {decoded.counter, decoded.listIndicator};
}

ModulatorStatus ParseModulatorStatus(int channelCount, std::span<const uint8_t> answer) {
    const st::ModulatorRatesAnswer decoded = st::ParseModulatorRatesAnswer(channelCount, answer);
    ModulatorStatus status;
    for (const st::ChannelRateAnswer& c : decoded.channels)
        status.channels.push_back({c.usedBps, c.capacityBps});
    for (const st::ServiceRateAnswer& s : decoded.services)
        status.services.push_back({s.serviceId, s.rate});
    return status;
}

StreamerStatus ParseStreamerStatus(std::span<const uint8_t> answer) {
    const st::StreamerRatesAnswer decoded = st::ParseStreamerRatesAnswer(answer);
    StreamerStatus status;
    status.total = decoded.total;
    // The page shows a service's byte count per second in transport-stream packets.
    for (const st::ServiceRateAnswer& s : decoded.services)
        status.services.push_back({s.serviceId, s.rate / kTsPacketBytes});
    return status;
}

uint32_t StreamerTotalKbps(uint32_t total, uint8_t protocol) {
    return st::StreamerTotalKbpsOf(total, protocol);
}

} // namespace kaptiv::editor
