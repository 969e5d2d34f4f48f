#pragma once
// The few fields of the stored parameter blocks that the simulated modules act on, read
// with the simulator's own minimal reader: the tuning of each tuner input, the tuner's
// play-out tail, the encoder channels, the services a modulator or IP streamer carries and
// the modulator's channel capacity. Every read is bounds-checked; a field beyond the block
// is reported missing, never guessed from other bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mulvane {

struct TunerInputTuning {
    std::vector<uint8_t> signature; // the bytes that select the multiplex; empty when the block lacks them
    bool receivable = false;        // a tuning a real tuner could lock on (true when unknown)
};

struct ScheduleEntry {
    uint32_t startMin = 0;
    uint32_t endMin = 0;
    std::string fileName; // bytes as stored (plain text)
};

struct TunerTail {
    uint16_t streamingServiceId = 0;
    std::vector<ScheduleEntry> schedule;
    std::string streamedName; // Latin-1 bytes as stored
    struct Terrestrial {
        uint8_t standard = 0;
        uint8_t bandwidthMHz = 0;
        uint32_t frequencyKHz = 0;
    };
    std::optional<std::array<Terrestrial, 2>> terrestrial; // present only when the block reaches them
};

// Tuners 1, 4 (one input) and 7, 10, 12 (inputs A and B). Empty for other types.
std::vector<TunerInputTuning> TunerTunings(uint8_t type, std::span<const uint8_t> block);
// Tail of types 7, 10, 12; nothing when the block ends inside the three sections.
std::optional<TunerTail> ReadTunerTail(uint8_t type, std::span<const uint8_t> block);

struct EncoderChannel {
    uint16_t serviceId = 0;
    std::string name; // UTF-8
    uint32_t videoKbps = 0;
    uint32_t audioKbps = 0;
};
struct EncoderView {
    std::vector<EncoderChannel> channels;
    std::vector<uint16_t> passThrough;
};
// Encoders 9 (two channels) and 14 (four); nothing when the block is cut short.
std::optional<EncoderView> ReadEncoder(uint8_t type, std::span<const uint8_t> block);

struct CarriedService {
    uint16_t id = 0;
    int channel = 0; // modulator channel 1..4, IP stream 1..16; 0 = not on the output
};
struct OutputView {
    std::vector<CarriedService> services;
    int channels = 0;
    uint32_t capacityBps = 0; // per channel (modulators)
    bool rtp = false;         // IP streamer protocol
};
// Modulators 2, 5, 6, 8, 11 and the IP streamer 13; nothing when the block is too short to
// hold its service list.
std::optional<OutputView> ReadOutput(uint8_t type, std::span<const uint8_t> block);

bool IsTunerType(uint8_t type);
bool IsStreamingTunerType(uint8_t type); // 7, 10, 12: two inputs, USB key, play-out
bool IsEncoderType(uint8_t type);
bool IsOutputType(uint8_t type);

} // namespace mulvane
