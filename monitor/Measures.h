#pragma once
// The typed measures of a rack, decoded from one status round (monitor/StatusRound.h). One
// measures function per module family, all of one shape, chosen from the module-type table.
#include "monitor/StatusRound.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::monitor {

struct TunerInputMeasure {
    std::string name; // "A", "B"
    uint8_t lock = 0; // 0 none, 1 carrier, 2 locked
    uint8_t level = 0;
    uint8_t quality = 0;
    bool Locked() const;
};

struct ChannelRateMeasure {
    int channel = 1; // 1-based
    uint64_t usedBps = 0;
    uint64_t capacityBps = 0;
};

struct ModuleMeasures {
    int slot = 0;
    uint8_t address = 0;
    uint8_t listedType = 0;
    bool asked = false; // see ModuleAnswers::asked; a module not asked has no measures and no alarm
    // Identification: answered at all, and what it says.
    bool up = false;
    std::optional<uint8_t> identifiedType;
    uint8_t release = 0;
    uint8_t hwRevision = 0;
    uint8_t wantedPersonality = 255;
    uint8_t runningPersonality = 255;
    bool statusAnswered = false;

    std::vector<TunerInputMeasure> inputs;
    std::optional<bool> usbKeyPresent;
    std::optional<uint8_t> camState; // 0 no CAM, 1 initialising, 2 ready
    std::optional<bool> outputRunning;
    std::optional<int> temperatureCelsius;
    std::vector<ChannelRateMeasure> channels; // modulators
    std::optional<uint64_t> streamerRateBps;  // IP streamer: total
    std::optional<bool> supplyGood;           // controller
    std::optional<bool> fanRunning;           // controller
    std::optional<uint8_t> encoderChangeCounter;

    // The type the module answers as, else the listed one.
    uint8_t Type() const { return identifiedType.value_or(listedType); }
    bool TypeMatchesList() const { return !identifiedType || *identifiedType == listedType; }
};

struct RackMeasures {
    std::vector<ModuleMeasures> modules; // the controller first
    RoundFailure failure = RoundFailure::None;
    int exchanges = 0;
    int failedExchanges = 0;
    bool Complete() const { return failure == RoundFailure::None; }
};

RackMeasures DecodeRound(const RoundAnswers& round);

} // namespace kaptiv::monitor
