#pragma once
// The rack the simulator plays: modules in slot order, the controller first. A rack comes
// from the built-in demo or from a JSON file.
//
// Rack file (JSON). Every key but "modules" is optional; numbers are decimal:
//
//   {
//     "restartSilenceMs": 3000,            // how long every module stays silent after a restart
//     "modules": [                         // slot order; the first entry is the controller
//       { "type": 0, "address": 0, "release": 31 },
//       { "type": 7,                       // module type 0..14
//         "address": 10,                   // bus address; not 0xFD (PC) or 0xFF (all)
//         "release": 23,                   // major * 10 + minor: 23 shows as "2.3"
//         "hwRevision": 2,
//         "wantedPersonality": 1,
//         "runningPersonality": 1,
//         "extraStatus": 0,
//         "identifyLength": 7,             // 3..7 bytes of identification answer
//         "block": "01 02 0A ...",         // initial parameter block, hex; default: demo block of the type
//         "status": "02 5A 40",            // fixed status answer, hex; default: by family
//         "readData": "",                  // answer to the read-data command, hex (not the controller)
//         "answerDelayMs": [0, 2],         // answer delay, drawn per answer from this range
//         "inputs": [                      // tuners: reception per input (A, B, C); default: demo lists
//           { "tsid": 1031, "onid": 7936, "signal": true,
//             "services": [ { "id": 1101, "name": "Canal Nord HD", "radio": false, "crypted": false } ] }
//         ],
//         "remoteReceiver": "192.168.1.20", // types 7, 10, 12: remote receiver address in the status
//         "usbKey": { "present": true, "capacityBytes": 67108864,   // types 7, 10, 12
//                     "files": [ { "name": "clip.ts", "size": 188000 },  // generated TS packets
//                                { "name": "a.txt", "text": "..." }, { "name": "b.bin", "hex": "01 02" } ] },
//         "log": "boot\n"                  // types 7, 10, 12: the log's first lines
//       }
//     ]
//   }
//
// Hex texts: bytes as pairs of hex digits ("0A", "0x0A" or runs like "0A1B"), separated by
// blanks or commas; '#' starts a comment that runs to the end of the line.
#include "sim/Services.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mulvane {

inline constexpr int kMaxModuleType = 14;
inline constexpr int64_t kDefaultRestartSilenceMs = 3000;

// The USB key of a streaming module (types 7, 10, 12).
inline constexpr uint64_t kDefaultUsbKeyCapacity = 64ull << 20;
inline constexpr uint64_t kMaxUsbKeyFileBytes = 64ull << 20;
struct UsbKeyConfig {
    bool present = true;
    uint64_t capacityBytes = kDefaultUsbKeyCapacity;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files; // names as listed (no "/mnt/")
};

struct ModuleConfig {
    uint8_t address = 0;
    uint8_t type = 0;
    uint8_t release = 10;
    uint8_t hwRevision = 1;
    uint8_t wantedPersonality = 0;
    uint8_t runningPersonality = 0;
    uint8_t extraStatus = 0;
    uint8_t identifyLength = 7; // 3..7
    std::vector<uint8_t> block;
    std::optional<std::vector<uint8_t>> status; // none: the family's default status answer
    std::vector<uint8_t> readData;
    int answerDelayMinMs = 0;
    int answerDelayMaxMs = 2;
    // Tuners: what each input receives (A, B, then C of the twin tuners); see Services.h.
    std::vector<InputReception> inputs;
    // Types 7, 10, 12: address of the remote receiver, last 4 bytes of their status.
    std::array<uint8_t, 4> remoteReceiver{};
    // Types 7, 10, 12: the USB key (none given: an empty key of the default size) and the
    // log the module starts with.
    std::optional<UsbKeyConfig> usbKey;
    std::string log;
};

struct RackConfig {
    std::vector<ModuleConfig> modules; // slot order, controller first
    int64_t restartSilenceMs = kDefaultRestartSilenceMs;
};

// The built-in demo headend (see Rack.cpp for its slots).
RackConfig DemoRack();

// Parses a rack file's text. On failure returns nothing and says why in error.
std::optional<RackConfig> LoadRackJson(const std::string& text, std::string& error);
// Reads the file first, up to kMaxRackFileBytes (a larger one, a FIFO or a device is refused).
inline constexpr size_t kMaxRackFileBytes = 4 * 1024 * 1024;
std::optional<RackConfig> LoadRackFile(const std::string& path, std::string& error);

// Checks what every rack must satisfy: the controller first (type 0, address 0), types
// 0..14, distinct addresses other than 0xFD and 0xFF, identification lengths 3..7, blocks
// that fit one frame.
bool ValidateRack(const RackConfig& rack, std::string& error);

// Hex text as described above; nothing (and the reason) when a token is not hex.
std::optional<std::vector<uint8_t>> ParseHexText(const std::string& text, std::string& error);

} // namespace mulvane
