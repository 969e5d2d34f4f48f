#pragma once
// The services an input module receives, as it answers ReadData.
//
// Tuners (types 1, 4, 7, 10, 12), once per input section:
//   u8 m; when m > 0: m x (service id u16, table-coded name), then m flag bytes in the same order
//   (bit 0 set: service type 1, clear: type 2; bit 1: crypted), then two u16 values (transport
//   stream id and original network id of the input).
// Encoders (types 9, 14): u8 m, then m x (service id u16, table-coded name, flag byte). The first
// service belongs to input A, the second to B and so on; the last input takes all further ones.
//
// The answer comes from the module: a count that runs past the answer, or a list of more than
// 100 services, is cut at what the answer holds or at 100. A service counts only when all its
// bytes are in the answer; nothing is read beyond it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::editor {

inline constexpr size_t kMaxReceivedServices = 100;
inline constexpr uint8_t kFlagServiceType1 = 0x01;
inline constexpr uint8_t kFlagCrypted = 0x02;

struct ReceivedService {
    uint16_t serviceId = 0;
    std::u32string name;
    uint8_t serviceType = 2; // 1 or 2
    bool crypted = false;
    bool operator==(const ReceivedService&) const = default;
};

struct ReceivedInput {
    std::vector<ReceivedService> services; // at most 100
    uint16_t transportStreamId = 0;        // tuners only
    uint16_t originalNetworkId = 0;
    bool operator==(const ReceivedInput&) const = default;
};

// One entry per input list of the module (1, 3 or 5); empty inputs when nothing was received.
struct ReceivedServices {
    std::vector<ReceivedInput> inputs;
    bool operator==(const ReceivedServices&) const = default;
};

ReceivedServices ParseReceivedServices(uint8_t inputType, std::span<const uint8_t> answer);

} // namespace kaptiv::editor
