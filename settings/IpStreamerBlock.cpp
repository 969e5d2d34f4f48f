#include "settings/IpStreamerBlock.h"

#include "platform/Bytes.h"
#include "settings/BlockText.h"

namespace kaptiv::settings {

namespace {

// The identification has no page limit; the block bounds it.
constexpr size_t kMaxIdentificationChars = kMaxBlockSize;
constexpr size_t kMaxStreamNumber = kStreamCount;

Ipv4 ReadIpv4(platform::ByteReader& in) {
    Ipv4 ip{};
    for (auto& b : ip)
        b = in.U8();
    return ip;
}

void WriteIpv4(const Ipv4& ip, platform::ByteWriter& out) {
    for (uint8_t b : ip)
        out.U8(b);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

} // namespace

QosChoice QosFromByte(uint8_t tos) {
    for (size_t i = 0; i < kQosBytes.size(); ++i) {
        if (kQosBytes[i] == tos)
            return static_cast<QosChoice>(i);
    }
    return QosChoice::VideoHigh;
}

uint8_t QosByte(QosChoice qos) {
    const auto index = static_cast<size_t>(qos);
    return index < kQosBytes.size() ? kQosBytes[index] : kQosBytes[static_cast<size_t>(QosChoice::VideoHigh)];
}

uint8_t StreamFromMask(uint16_t mask) {
    uint8_t stream = 0;
    for (uint8_t bit = 0; bit < kStreamCount; ++bit) {
        if (mask & (1u << bit))
            stream = static_cast<uint8_t>(bit + 1);
    }
    return stream;
}

uint16_t MaskOfStream(uint8_t stream) {
    if (stream == 0 || stream > kMaxStreamNumber)
        return 0;
    return static_cast<uint16_t>(1u << (stream - 1));
}

uint16_t UsedStreamMask(const std::vector<StreamerService>& services) {
    uint16_t used = 0;
    for (const auto& service : services)
        used |= MaskOfStream(service.stream);
    return used;
}

uint8_t MacByteFromText(std::string_view text) {
    unsigned value = 0;
    for (char c : text)
        value = value * 16 + static_cast<unsigned>(HexDigit(c));
    return static_cast<uint8_t>(value);
}

DecodeResult<IpStreamerValues> DecodeIpStreamerBlock(std::span<const uint8_t> block) {
    using Result = DecodeResult<IpStreamerValues>;
    if (block.size() > kMaxBlockSize)
        return Result::Failure("block of " + std::to_string(block.size()) + " bytes is longer than " +
                               std::to_string(kMaxBlockSize));
    Result result;
    IpStreamerValues& v = result.values;
    platform::ByteReader in(block);
    v.dhcp = in.U8() != 0;
    for (auto& b : v.mac)
        b = in.U8();
    v.address = ReadIpv4(in);
    v.mask = ReadIpv4(in);
    v.gateway = ReadIpv4(in);
    v.unseenWord = in.U16();
    v.unseenByte = in.U8();
    v.sap = in.U8() != 0;
    v.identification = DecodePlainText(in);
    v.protocol = in.U8();
    v.ttl = in.U8();
    v.qos = QosFromByte(in.U8());
    for (auto& stream : v.streams) {
        stream.address = ReadIpv4(in);
        stream.port = in.U16();
    }
    v.unseenTrailer = in.U8();
    const size_t count = in.U8();
    v.services.resize(count);
    for (auto& service : v.services) {
        service.serviceId = in.U16();
        service.stream = StreamFromMask(in.U16());
        in.U16(); // always 0x0000
    }
    return result;
}

EncodeResult EncodeIpStreamerBlock(const IpStreamerValues& v) {
    if (v.services.size() > kMaxStreamerServices) {
        return EncodeResult::Failure(std::to_string(v.services.size()) + " services, at most " +
                                     std::to_string(kMaxStreamerServices) + " fit");
    }
    for (const auto& service : v.services) {
        if (service.stream > kMaxStreamNumber) {
            return EncodeResult::Failure("service " + std::to_string(service.serviceId) + " is on stream " +
                                         std::to_string(service.stream) + ", streams are 1 to 16");
        }
    }
    platform::ByteWriter out(kMaxBlockSize);
    out.U8(v.dhcp ? 1 : 0);
    for (uint8_t b : v.mac)
        out.U8(b);
    WriteIpv4(v.address, out);
    WriteIpv4(v.mask, out);
    WriteIpv4(v.gateway, out);
    out.U16(v.unseenWord);
    out.U8(v.unseenByte);
    out.U8(v.sap ? 1 : 0);
    if (std::string why = EncodeTableText(v.identification, kMaxIdentificationChars, out); !why.empty())
        return EncodeResult::Failure("identification: " + why);
    out.U8(v.protocol);
    out.U8(v.ttl);
    out.U8(QosByte(v.qos));
    for (const auto& stream : v.streams) {
        WriteIpv4(stream.address, out);
        out.U16(stream.port);
    }
    out.U8(v.unseenTrailer);
    out.U8(static_cast<uint8_t>(v.services.size()));
    for (const auto& service : v.services) {
        out.U16(service.serviceId);
        out.U16(MaskOfStream(service.stream));
        out.U16(0);
    }
    if (!out.Ok())
        return EncodeResult::Failure("the block would be longer than " + std::to_string(kMaxBlockSize) +
                                     " bytes");
    return {out.Take(), {}};
}

} // namespace kaptiv::settings
