#pragma once
// The status answers of every module family, decoded. Each parser takes outside bytes: a
// field the answer does not reach is absent (std::nullopt or left out), never read past the
// answer. Used by the rack watch (monitor/).
//
//   ReadStatus (0x40):
//     tuners         per input lock (0 none, 1 carrier, 2 locked), level, quality; the streaming
//                    tuners (types 7, 10, 12) then the USB-key byte (1 present), a change
//                    indicator and the remote receiver's IPv4 address
//     encoders       the module's change counter, a service-list indicator
//     CI module      the CAM's state: 0 no CAM, 1 initialising, 2 ready
//     controller     supply state (0 good), temperature in degrees Celsius, fan (1 running)
//     outputs        output state (1 running), temperature in degrees Celsius
//   ReadData (0x60):
//     modulators     4 state bytes, then per channel 12 bytes (used u32 bit/s, capacity u32
//                    bit/s, 4 unused), then from offset 16 (one channel) or 52 records of
//                    (service id u16, rate u16 kb/s)
//     IP streamer    total u32 in units the PC scales by 3008/958 (RTP) or 3008/966 (UDP) to
//                    kb/s, then records of (service id u16, bytes per second u32)
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kaptiv::settings {

inline constexpr uint8_t kLockNone = 0;
inline constexpr uint8_t kLockCarrier = 1;
inline constexpr uint8_t kLockLocked = 2;

struct InputStatus {
    uint8_t lock = kLockNone;
    uint8_t level = 0;   // 0..100 on the page's bar
    uint8_t quality = 0; // 0..100
};

struct TunerStatusAnswer {
    std::vector<InputStatus> inputs; // only the inputs the answer holds completely
    std::optional<uint8_t> usbKey;
    std::optional<uint8_t> changeIndicator;
    std::optional<std::array<uint8_t, 4>> receiver;
};
TunerStatusAnswer ParseTunerStatusAnswer(int inputCount, bool streaming, std::span<const uint8_t> answer);

struct EncoderStatusAnswer {
    std::optional<uint8_t> counter;
    std::optional<uint8_t> listIndicator;
};
EncoderStatusAnswer ParseEncoderStatusAnswer(std::span<const uint8_t> answer);

inline constexpr uint8_t kCamAbsent = 0;
inline constexpr uint8_t kCamInitialising = 1;
inline constexpr uint8_t kCamReady = 2;
std::optional<uint8_t> ParseCamStatusAnswer(std::span<const uint8_t> answer);

inline constexpr uint8_t kSupplyGood = 0;
struct ControllerStatusAnswer {
    std::optional<uint8_t> supply;
    std::optional<uint8_t> temperatureCelsius;
    std::optional<uint8_t> fan;
};
ControllerStatusAnswer ParseControllerStatusAnswer(std::span<const uint8_t> answer);

inline constexpr uint8_t kOutputRunning = 1;
struct OutputStatusAnswer {
    std::optional<uint8_t> state;
    std::optional<uint8_t> temperatureCelsius;
};
OutputStatusAnswer ParseOutputStatusAnswer(std::span<const uint8_t> answer);

struct ChannelRateAnswer {
    uint32_t usedBps = 0;
    uint32_t capacityBps = 0;
};
struct ServiceRateAnswer {
    uint16_t serviceId = 0;
    uint32_t rate = 0; // modulators: kb/s; IP streamer: bytes per second
};
struct ModulatorRatesAnswer {
    std::vector<ChannelRateAnswer> channels; // only the channels the answer holds completely
    std::vector<ServiceRateAnswer> services;
};
ModulatorRatesAnswer ParseModulatorRatesAnswer(int channelCount, std::span<const uint8_t> answer);

struct StreamerRatesAnswer {
    std::optional<uint32_t> total;
    std::vector<ServiceRateAnswer> services;
};
StreamerRatesAnswer ParseStreamerRatesAnswer(std::span<const uint8_t> answer);
// The total in kb/s: x 3008 / 958 for RTP (protocol 1), / 966 for UDP.
uint32_t StreamerTotalKbpsOf(uint32_t total, uint8_t protocol);

} // namespace kaptiv::settings
