// Status answers read by the settings page: the first byte picks the parser and its shape
// (tuner inputs and streaming tail, modulator channels, IP streamer), the rest is the answer.
// Nothing is read outside the answer, and nothing is reported that the answer cannot hold.
#include "editor/PageStatus.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace kaptiv::editor;

namespace {
void Require(bool condition) {
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t pick = data[0];
    const std::span<const uint8_t> answer(data + 1, size - 1);
    switch (pick % 4) {
    case 0: {
        const int inputs = 1 + (pick >> 2) % 2;
        const bool streaming = (pick >> 3) & 1;
        const TunerStatus s = ParseTunerStatus(inputs, streaming, answer);
        Require(s.inputs.size() <= size_t(inputs) && s.inputs.size() * 3 <= answer.size());
        Require(!s.receiver || answer.size() >= s.inputs.size() * 3 + 6);
        Require(streaming || (!s.usbKey && !s.changeIndicator && !s.receiver));
        break;
    }
    case 1: {
        const EncoderStatus s = ParseEncoderStatus(answer);
        Require(s.counter.has_value() == (answer.size() >= 1));
        break;
    }
    case 2: {
        const int channels = 1 + (pick >> 2) % 4;
        const ModulatorStatus s = ParseModulatorStatus(channels, answer);
        Require(s.channels.size() <= size_t(channels));
        Require(s.services.size() * 4 <= answer.size());
        break;
    }
    default: {
        const StreamerStatus s = ParseStreamerStatus(answer);
        Require(s.services.size() * 6 + 4 <= answer.size() + (s.total ? 0 : 4));
        if (s.total)
            (void)StreamerTotalKbps(*s.total, pick >> 7);
        break;
    }
    }
    return 0;
}
