#pragma once
// How a simulated module's measures move with time: tuner inputs that lose their lock when
// their tuning changes and lock again a moment later, levels and qualities that wander a
// little, the service lists each input receives and the indicator that flips when one of
// them changes, and the rates at the outputs. Everything is driven by the time of the
// requests (virtual in tests) and by a seeded generator, so a run can be repeated.
#include "sim/BlockFields.h"
#include "sim/Rack.h"
#include "sim/Services.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace mulvane {

// Lock values of a tuner input as its status answer gives them.
inline constexpr uint8_t kLockNone = 0;
inline constexpr uint8_t kLockCarrier = 1;
inline constexpr uint8_t kLockLocked = 2;
// After a new tuning: carrier found after this long, lock after the second figure.
inline constexpr int64_t kCarrierAfterMs = 300;
inline constexpr int64_t kLockAfterMs = 1200;
// A received list answer carries at most this many services per input.
inline constexpr size_t kMaxListedServices = 100;

// A service some input of the rack receives now, by id.
using ServiceLookup = std::function<std::optional<ReceivedService>(uint16_t)>;

class ModuleDynamics {
public:
    ModuleDynamics(const ModuleConfig& config, uint64_t seed);

    // The module's block changed (written by the PC or set by a test) at nowMs.
    void OnBlock(std::span<const uint8_t> block, int64_t nowMs);

    uint8_t Lock(size_t input, int64_t nowMs) const;
    // Services the input receives now: none while it is not locked. Input C of the twin
    // tuners gives what the rack file configures for it (services taken over from the
    // modules before it).
    std::vector<ReceivedService> Received(size_t input, int64_t nowMs) const;
    const InputReception* Reception(size_t input, int64_t nowMs) const;
    size_t InputCount() const { return m_inputs.size(); }

    void SetSignal(size_t input, bool on, int64_t nowMs);
    // Holds the input's level at exactly this value while it has carrier or lock (a
    // scenario's "level" event); the level no longer wanders.
    void PinLevel(size_t input, int level);
    void SetReception(size_t input, InputReception reception, int64_t nowMs);

    // Tuner status: per input lock, level, quality; types 7, 10, 12 add the USB-key byte,
    // the change indicator and the remote receiver's address.
    std::vector<uint8_t> TunerStatus(int64_t nowMs, uint8_t usbKeyByte, std::span<const uint8_t> block);
    // Encoder status: the block's change counter and the change indicator.
    std::vector<uint8_t> EncoderStatus(std::span<const uint8_t> block, const ServiceLookup& lookup);
    // The received-service list answer (tuners: one part per input section; encoders: one
    // list of their own channels, then the services they pass on).
    std::vector<uint8_t> ServiceList(int64_t nowMs, std::span<const uint8_t> block,
                                     const ServiceLookup& lookup);
    uint8_t ChangeIndicator() const { return m_changeIndicator; }

    std::mt19937_64& Random() { return m_rng; }

private:
    struct Input {
        InputReception home; // what the tuning of the initial block receives
        std::vector<uint8_t> homeTuning;
        std::vector<uint8_t> tuning;
        bool receivable = false;
        int64_t tunedAtMs = 0;
        bool tunedAtStart = true; // locked since before the first request
        int levelBase = 80;
        bool levelPinned = false;
        int qualityBase = 70;
        int level = 80;
        int quality = 70;
        InputReception generated; // for a tuning other than the initial one
    };

    void NoteList(const std::vector<uint8_t>& list);
    void Wander(Input& input, uint8_t lock);

    ModuleConfig m_config;
    uint64_t m_seed;
    std::mt19937_64 m_rng;
    std::vector<Input> m_inputs; // A (and B) of a tuner
    InputReception m_inputC;     // section C of the twin tuners
    uint8_t m_changeIndicator = 0;
    bool m_haveList = false;
    std::vector<uint8_t> m_lastList;
};

// The read-data answer of an output module: modulators give per channel the used rate and
// the capacity (bit/s), then per carried service its rate (kb/s); the IP streamer its total
// rate scaled by the protocol and per service a byte count per second. rateKbps gives the
// rate of a service at the moment (0 when nothing in the rack provides it).
std::vector<uint8_t> OutputRates(uint8_t type, std::span<const uint8_t> block,
                                 const std::function<uint32_t(uint16_t)>& rateKbps, uint8_t temperature);

// The nominal rate of a received service, from its id and kind (seeded, stable).
uint32_t NominalRateKbps(const ReceivedService& service, uint64_t seed);

} // namespace mulvane
