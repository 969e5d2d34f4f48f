#pragma once
// What the settings page reads from the status answers of a chain's modules. Every parser
// takes outside bytes: a field the answer does not reach is absent (std::nullopt or left
// out), never read past the answer, so a short answer leaves the displays it does not cover
// unchanged.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::editor {

// Lock values of a tuner input.
inline constexpr uint8_t kLockNone = 0;
inline constexpr uint8_t kLockSearching = 1;
inline constexpr uint8_t kLockLocked = 2;

struct InputMeasure {
    uint8_t lock = 0;
    uint8_t level = 0;
    uint8_t quality = 0;
};

// ReadStatus of a tuner: 3 bytes per input (lock, level, quality); the streaming tuners
// (types 7, 10, 12, two inputs) then give the USB-key state, a change indicator and the
// remote receiver's IPv4 address.
struct TunerStatus {
    std::vector<InputMeasure> inputs; // only the inputs the answer holds completely
    std::optional<uint8_t> usbKey;
    std::optional<uint8_t> changeIndicator;
    std::optional<std::array<uint8_t, 4>> receiver;
};
TunerStatus ParseTunerStatus(int inputCount, bool streaming, std::span<const uint8_t> answer);

// ReadStatus of an encoder: byte 0 the module's change counter, byte 1 a service-list indicator.
struct EncoderStatus {
    std::optional<uint8_t> counter;
    std::optional<uint8_t> listIndicator;
};
EncoderStatus ParseEncoderStatus(std::span<const uint8_t> answer);

struct ChannelRate {
    uint32_t usedBps = 0;
    uint32_t capacityBps = 0;
};
struct ServiceRate {
    uint16_t serviceId = 0;
    uint32_t rateBps = 0; // modulators: the rate as given; IP streamer: count / 188
};

// ReadData of a modulator: per channel 12 bytes from offset 4 (used u32, capacity u32, 4 unused),
// then from offset 16 (single-channel type) or 52 (others) records of (service id u16, rate u16).
struct ModulatorStatus {
    std::vector<ChannelRate> channels; // only the channels the answer holds completely
    std::vector<ServiceRate> services;
};
ModulatorStatus ParseModulatorStatus(int channelCount, std::span<const uint8_t> answer);

// ReadData of the IP streamer: u32 packet rate at offset 0, then from offset 4 records of
// (service id u16, count u32). The page shows count / 188 as the service's rate.
struct StreamerStatus {
    std::optional<uint32_t> total;
    std::vector<ServiceRate> services; // rateBps = count / 188
};
StreamerStatus ParseStreamerStatus(std::span<const uint8_t> answer);
// The total in kb/s as the page shows it: x 3008 / 958 for RTP (protocol 1), / 966 for UDP.
uint32_t StreamerTotalKbps(uint32_t total, uint8_t protocol);

} // namespace kaptiv::editor
