#pragma once
// IpStreamerBlock: the parameter block of the IP streamer (type 13, "QVXIP"), 16 output streams
// "A" to "P".
//
// Layout: DHCP flag (u8), MAC (6 bytes), IP address, mask, gateway (4 bytes each, first byte =
// first dotted number), an unseen u16 and an unseen u8, SAP flag (u8), identification text
// (written table-coded, read plain), protocol (u8: 0 "UDP", 1 "RTP"), TTL (u8), QoS byte (u8),
// 16 stream targets (address 4 bytes, port u16), an unseen u8, the number of services (u8) and
// per service: id (u16), stream mask (u16, bit k-1 for stream k), 0x0000.
//
// The module's block length is not a bound of this layout: bytes beyond the block read as 0.
#include "settings/BlockResult.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::settings {

inline constexpr size_t kStreamCount = 16;
inline constexpr size_t kMaxStreamerServices = 255; // their count is one byte

using Ipv4 = std::array<uint8_t, 4>;

// Quality-of-service choices in page order and the type-of-service byte each writes.
enum class QosChoice : uint8_t { Max = 0, VideoHigh = 1, VideoLow = 2, VideoVoice = 3, Service = 4 };
inline constexpr std::array<uint8_t, 5> kQosBytes = {184, 136, 144, 104, 0};
inline constexpr std::array<const char*, 5> kQosTexts = {"MAX", "VIDEO HIGH", "VIDEO LOW", "VIDEO+VOICE",
                                                         "SERVICE"};
// Any byte that is not one of the others reads as "VIDEO HIGH" (and is written back as 136).
QosChoice QosFromByte(uint8_t tos);
uint8_t QosByte(QosChoice qos);

struct StreamTarget {
    Ipv4 address{};
    uint16_t port = 0;
    bool operator==(const StreamTarget&) const = default;
};

struct StreamerService {
    uint16_t serviceId = 0;
    uint8_t stream = 0; // 1 to 16 = "A" to "P", 0 = on no stream
    bool operator==(const StreamerService&) const = default;
};

struct IpStreamerValues {
    bool dhcp = false;
    std::array<uint8_t, 6> mac{};
    Ipv4 address{};
    Ipv4 mask{};
    Ipv4 gateway{};
    uint16_t unseenWord = 0; // written back as decoded
    uint8_t unseenByte = 0;
    bool sap = false;
    std::u32string identification;
    uint8_t protocol = 0; // 0 "UDP", 1 "RTP"
    uint8_t ttl = 0;
    QosChoice qos = QosChoice::VideoHigh;
    std::array<StreamTarget, kStreamCount> streams{};
    uint8_t unseenTrailer = 0; // the byte after the stream targets, written back as decoded
    std::vector<StreamerService> services;
    bool operator==(const IpStreamerValues&) const = default;
};

// Stream number of a stored mask: its highest set bit + 1, 0 for an empty mask. A mask with
// several bits therefore names its highest stream only.
uint8_t StreamFromMask(uint16_t mask);
// The mask written for a stream number; 0 for stream 0 (a service on no stream).
uint16_t MaskOfStream(uint8_t stream);
// Bit k-1 set for every stream k that carries at least one service.
uint16_t UsedStreamMask(const std::vector<StreamerService>& services);

// The page's two-digit MAC fields: each character is a hexadecimal digit (0-9, A-F, a-f), any
// other character counts as 0.
uint8_t MacByteFromText(std::string_view text);

// Refuses only a block over 1024 bytes.
DecodeResult<IpStreamerValues> DecodeIpStreamerBlock(std::span<const uint8_t> block);
// Refuses more than 255 services, a stream number above 16 and a block over 1024 bytes.
EncodeResult EncodeIpStreamerBlock(const IpStreamerValues& values);

} // namespace kaptiv::settings
