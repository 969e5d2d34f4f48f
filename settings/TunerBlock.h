#pragma once
// TunerBlock: the parameter block of the tuner modules. Types 1 and 4 hold one InputSection;
// types 7, 10 and 12 hold sections A, B and C followed by the tail (play-out schedule, remote
// server, switches, terrestrial tuning, tuner lock settings).
//
// Wire units and their conversion, done only inside the codec:
//  - frequency word: bit 15 = high band, bits 0-14 = dish-side frequency minus the local
//    oscillator in MHz (10600 MHz high band, 9750 MHz low band). The band written follows the
//    frequency alone: below 11700 MHz low band, from 11700 MHz high band.
//  - byte 4 of a section: types 1, 4: FEC code = 14 + FEC index (14 "1/2" ... 18 "7/8");
//    types 7, 10, 12: bit 7 = polarisation (1 "H", 0 "V"), the other bits written as 0.
//  - TerrestrialTuning frequency in kHz, bandwidth in MHz (6, 7 or 8).
#include "settings/BlockResult.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::settings {

inline constexpr size_t kMaxSectionServices = 100;
inline constexpr size_t kMaxScheduleEntries = 10;
inline constexpr size_t kMaxServerAddressChars = 64;

inline constexpr int kLowBandOscillatorMHz = 9750;
inline constexpr int kHighBandOscillatorMHz = 10600;
inline constexpr int kHighBandFromMHz = 11700;
inline constexpr uint16_t kLockTimeoutDefault = 8; // seconds

struct SelectedService {
    uint16_t serviceId = 0;
    // 0 = passed on in the clear, 1 to 4 = descrambled by the first to fourth common-interface
    // module of the chain.
    uint8_t cam = 0;
    bool operator==(const SelectedService&) const = default;
};

struct InputSection {
    int frequencyMHz = kLowBandOscillatorMHz; // dish side
    uint16_t symbolRate = 0;                  // as shown in the "S.R." field
    int fecIndex = 0;                         // types 1, 4: 0 "1/2" ... 4 "7/8" (other codes kept)
    bool horizontal = false;                  // types 7, 10, 12: polarisation "H" / "V"
    std::vector<SelectedService> services;    // at most 100
    bool operator==(const InputSection&) const = default;
};

struct ScheduleEntry {
    uint32_t start = 0; // minutes after midnight
    uint32_t end = 0;
    std::u32string fileName;
    bool operator==(const ScheduleEntry&) const = default;
};

enum class DvbStandard : uint8_t { DvbC = 0, DvbT = 1, DvbT2 = 2 };

struct TerrestrialTuning {
    uint8_t standard = 0; // DvbStandard code; other codes kept as read
    // 6, 7 or 8 (page list index = value - 6). A block too short to hold the tuning gets the first
    // entry of the page's list, as a fresh page would write it.
    uint8_t bandwidthMHz = 6;
    uint32_t frequencyKHz = 0;
    bool operator==(const TerrestrialTuning&) const = default;
};

struct TunerValues {
    uint8_t type = 0;                   // module type: 1, 4 (one section) or 7, 10, 12 (three)
    std::vector<InputSection> sections; // 1 or 3: A, B, C

    // Tail of types 7, 10, 12. Fields absent from a short block hold the defaults below.
    uint16_t streamingServiceId = 0;
    std::vector<ScheduleEntry> schedule; // at most 10
    uint8_t playoutRate = 0;             // rate slider position
    std::u32string streamedName;
    std::array<uint8_t, 8> keptBytes{}; // written back exactly as read; zeros when not received
    std::u32string serverAddress = U"0.0.0.0";
    uint16_t serverPort = 0;
    uint8_t switchA = 0; // 0 to 3 = "A" to "D"
    uint8_t switchB = 0;
    std::array<TerrestrialTuning, 2> terrestrial{};
    uint16_t lockTimeout = kLockTimeoutDefault; // seconds, 0 = off
    bool lockWatchdog = true;
    // Whether the module's block reached the lock settings. They are written back only then (a
    // module that does not know them must not receive them), wherever the schedule and service
    // lists place them in the new block.
    bool lockFieldsPresent = false;

    bool operator==(const TunerValues&) const = default;
};

// Check boxes of the page that decide written values.
struct TunerChecks {
    bool lockTimeout = false; // "Tuner Lock TimeOut :"
    bool lockWatchdog = false;
};

// The check box states that follow decoded values.
TunerChecks ChecksFor(const TunerValues& values);

// Frequency word <-> dish-side MHz. Encoding refuses a frequency the word cannot carry
// (below 9750 MHz, or more than 0x7FFF MHz above the oscillator of its band).
int FrequencyFromWord(uint16_t word);
bool FrequencyWordFits(int frequencyMHz);
uint16_t FrequencyWordOf(int frequencyMHz); // only for frequencies that fit

// "1/2" ... "7/8" for FEC indexes 0 to 4, empty for others.
const char* FecText(int fecIndex);

// A short block: section bytes beyond it read as 0 and CAM numbers as 1; tail fields it does not
// reach keep the defaults of a fresh TunerValues. Refused: a block over 1024 bytes, a section
// listing more than 100 services, a schedule of more than 10 entries (the editor holds no more).
DecodeResult<TunerValues> DecodeTunerBlock(uint8_t type, std::span<const uint8_t> block);
// Refuses, with the reason, what its field cannot carry: a frequency outside the word, more
// than 100 services or 10 schedule entries, a server address over 64 characters, a plain text
// with a character whose low 8 bits are 0, a block over 1024 bytes.
EncodeResult EncodeTunerBlock(const TunerValues& values, const TunerChecks& checks);

} // namespace kaptiv::settings
