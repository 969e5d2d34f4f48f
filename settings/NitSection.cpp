#include "settings/NitSection.h"

#include <algorithm>
#include <array>

#include "platform/Bytes.h"
#include "settings/Crc32Mpeg2.h"

namespace kaptiv::settings {

namespace {

using platform::ByteReader;
using platform::ByteWriter;

// The 12-bit length fields carry their reserved bits set (and, for section_length, the
// section_syntax_indicator).
constexpr uint16_t kLengthFlags = 0xF000;
constexpr uint16_t kLengthMask = 0x0FFF;
// reserved '11', version_number, current_next_indicator 1.
constexpr uint8_t kVersionFlags = 0xC1;
constexpr size_t kSectionHeaderSize = 3; // table_id and section_length
constexpr size_t kCrcSize = 4;
constexpr uint8_t kLcnFlags = 0xFC;      // visible_service_flag and reserved bits
constexpr uint8_t kDeliveryFlags = 0x1F; // priority, time slicing, MPE-FEC off, reserved bits
constexpr uint8_t kServiceTypeDigitalTelevision = 0x01;
constexpr uint8_t kDeliveryBandwidth8MHz = 0;
constexpr uint8_t kDeliveryBandwidth7MHz = 1;
constexpr uint8_t kEmphasisOn = 0x86;
constexpr uint8_t kEmphasisOff = 0x87;
constexpr size_t kVersionOffset = 5;
constexpr size_t kNetworkLoopOffset = 8;
constexpr size_t kBuildScratch = 8192;
constexpr uint8_t kPrivateDataSpecifierLength = 4;
constexpr uint8_t kTerrestrialDeliveryLength = 11;
constexpr uint16_t kVisibleServiceFlag = 0x8000;

constexpr std::array<uint8_t, 6> kEacemSpecifier = {
    kTagPrivateDataSpecifier, kPrivateDataSpecifierLength, 0, 0, 0x00, 0x28};

std::string ChannelText(int channel) {
    return "channel " + std::to_string(channel);
}

// Opens a descriptor; Close fills in its length or refuses one over 255 bytes.
class DescriptorScope {
public:
    DescriptorScope(ByteWriter& out, uint8_t tag) : m_out(out), m_lengthAt(out.Size() + 1) {
        out.U8(tag);
        out.U8(0);
    }
    std::string Close(const std::string& what) {
        const size_t length = m_out.Size() - m_lengthAt - 1;
        if (length > kMaxDescriptorLength)
            return what + " would be " + std::to_string(length) + " bytes long (at most 255)";
        m_out.PatchU8(m_lengthAt, static_cast<uint8_t>(length));
        return {};
    }

private:
    ByteWriter& m_out;
    size_t m_lengthAt;
};

std::string WriteLogicalChannels(ByteWriter& out, uint8_t tag,
                                 const std::vector<const ModulatorService*>& services, bool hd, int channel) {
    const auto number = [hd](const ModulatorService& s) {
        return hd ? s.hdLogicalChannel : s.logicalChannel;
    };
    if (std::none_of(services.begin(), services.end(), [&](auto* s) { return number(*s) != 0; }))
        return {};
    DescriptorScope scope(out, tag);
    for (const ModulatorService* s : services) {
        const uint16_t n = number(*s);
        if (n == 0)
            continue;
        out.U16(s->outputServiceId);
        out.U8(static_cast<uint8_t>(kLcnFlags | (n >> 8)));
        out.U8(static_cast<uint8_t>(n & 0xFF));
    }
    return scope.Close(
        std::string(hd ? "the HD logical channel descriptor of " : "the logical channel descriptor of ") +
        ChannelText(channel));
}

std::string WriteTransportStream(ByteWriter& out, const ModulatorValues& values, int channel,
                                 const std::vector<const ModulatorService*>& services) {
    const ModulatorRadio& radio = values.radio;
    out.U16(values.transportStreamIds[static_cast<size_t>(channel - 1)]);
    out.U16(values.originalNetworkId);
    const size_t loopLengthAt = out.Size();
    out.U16(kLengthFlags);

    const uint32_t specifier =
        values.lcnFlavour == LcnFlavour::Eacem ? kPrivateDataSpecifierEacem : kPrivateDataSpecifierItc;
    out.U8(kTagPrivateDataSpecifier);
    out.U8(kPrivateDataSpecifierLength);
    out.U32(specifier);

    if (auto error = WriteLogicalChannels(out, kTagLogicalChannel, services, false, channel); !error.empty())
        return error;
    if (auto error = WriteLogicalChannels(out, kTagHdSimulcastLogicalChannel, services, true, channel);
        !error.empty())
        return error;

    const uint64_t centre10Hz = ChannelFrequencyKHz(radio, channel) * 100;
    if (centre10Hz > UINT32_MAX)
        return "the frequency of " + ChannelText(channel) + " does not fit the delivery system descriptor";
    const uint8_t bandwidth =
        radio.bandwidthCode == kBandwidthCode7MHz ? kDeliveryBandwidth7MHz : kDeliveryBandwidth8MHz;
    out.U8(kTagTerrestrialDelivery);
    out.U8(kTerrestrialDeliveryLength);
    out.U32(static_cast<uint32_t>(centre10Hz));
    out.U8(static_cast<uint8_t>((bandwidth << 5) | kDeliveryFlags));
    // constellation (2 bits), hierarchy 0, code rate HP; the low-priority code rate repeats the
    // high-priority one, other_frequency_flag 0. Indices beyond the fields are cut to 8 bits.
    out.U8(static_cast<uint8_t>((radio.constellation << 6) | radio.codeRate));
    out.U8(static_cast<uint8_t>(((radio.codeRate * 4 + radio.guard) * 4 + radio.mode) * 2));
    out.U32(0xFFFFFFFF); // reserved_future_use

    DescriptorScope list(out, kTagServiceList);
    for (const ModulatorService* s : services) {
        out.U16(s->outputServiceId);
        out.U8(kServiceTypeDigitalTelevision);
    }
    if (auto error = list.Close("the service list descriptor of " + ChannelText(channel)); !error.empty())
        return error;

    out.PatchU16(loopLengthAt,
                 static_cast<uint16_t>(kLengthFlags | ((out.Size() - loopLengthAt - 2) & kLengthMask)));
    return {};
}

std::string CheckNitValues(const ModulatorValues& values) {
    if (values.nitVersion > kMaxNitVersion)
        return "NIT version " + std::to_string(values.nitVersion) + " is outside 0 to 31";
    if (values.networkName.size() > kMaxDescriptorLength)
        return "the network name is longer than 255 characters";
    for (const ModulatorService& s : values.services) {
        if (s.logicalChannel > kMaxLogicalChannelNumber || s.hdLogicalChannel > kMaxLogicalChannelNumber)
            return "logical channel number " +
                   std::to_string(std::max(s.logicalChannel, s.hdLogicalChannel)) + " of service " +
                   std::to_string(s.serviceId) + " is outside 0 to 1023";
    }
    return {};
}

} // namespace

EncodeResult BuildNitSection(const ModulatorValues& values, int channelCount) {
    if (auto error = CheckNitValues(values); !error.empty())
        return EncodeResult::Failure(error);
    channelCount = std::clamp(channelCount, 0, static_cast<int>(values.transportStreamIds.size()));

    // Room for any section the values can describe, so an oversized one is measured, not cut.
    ByteWriter out(kBuildScratch);
    out.U8(kTableIdNitActual);
    out.U16(kLengthFlags); // section_length, filled in below
    out.U16(values.networkId);
    out.U8(static_cast<uint8_t>(kVersionFlags | (values.nitVersion << 1)));
    out.U8(0); // section_number
    out.U8(0); // last_section_number

    const size_t networkLoopAt = out.Size();
    out.U16(kLengthFlags);
    DescriptorScope name(out, kTagNetworkName);
    for (char32_t c : values.networkName)
        out.U8(static_cast<uint8_t>(c & 0xFF));
    if (auto error = name.Close("the network name descriptor"); !error.empty())
        return EncodeResult::Failure(error);
    out.PatchU16(networkLoopAt, static_cast<uint16_t>(kLengthFlags | (out.Size() - networkLoopAt - 2)));

    const size_t streamLoopAt = out.Size();
    out.U16(kLengthFlags);
    for (int channel = channelCount; channel >= 1; --channel) {
        std::vector<const ModulatorService*> onChannel;
        for (const ModulatorService& s : values.services)
            if (s.channel == channel)
                onChannel.push_back(&s);
        if (onChannel.empty())
            continue;
        if (auto error = WriteTransportStream(out, values, channel, onChannel); !error.empty())
            return EncodeResult::Failure(error);
    }
    out.PatchU16(streamLoopAt,
                 static_cast<uint16_t>(kLengthFlags | ((out.Size() - streamLoopAt - 2) & kLengthMask)));

    const size_t sectionLength = out.Size() + kCrcSize - kSectionHeaderSize;
    if (!out.Ok() || sectionLength > kMaxNitSectionLength)
        return EncodeResult::Failure(
            "the network information section would be " + std::to_string(sectionLength) +
            " bytes long after its length field (at most " + std::to_string(kMaxNitSectionLength) + ")");
    out.PatchU16(1, static_cast<uint16_t>(kLengthFlags | sectionLength));
    out.U32(Crc32Mpeg2::Of(out.Data()));
    return {out.Take(), {}};
}

StoredNitSummary SummarizeStoredNit(std::span<const uint8_t> section) {
    StoredNitSummary summary;
    if (section.empty())
        return summary;
    summary.lcnFlavour = std::search(section.begin(), section.end(), kEacemSpecifier.begin(),
                                     kEacemSpecifier.end()) != section.end()
                             ? LcnFlavour::Eacem
                             : LcnFlavour::Itc;
    ByteReader in(section);
    if (in.Has(kVersionOffset))
        summary.version = (section[kVersionOffset] >> 1) & kMaxNitVersion;
    in.Seek(kNetworkLoopOffset);
    const size_t loopLength = in.U16() & kLengthMask;
    if (!in.Ok() || loopLength < 2)
        return summary;
    in.U8(); // tag
    const size_t length = std::min<size_t>(in.U8(), loopLength - 2);
    for (size_t i = 0; i < length && in.Ok(); ++i) {
        const uint8_t b = in.U8();
        if (in.Ok() && b != kEmphasisOn && b != kEmphasisOff)
            summary.networkName.push_back(b);
    }
    return summary;
}

namespace {

NitDescriptor ParseDescriptor(uint8_t tag, std::vector<uint8_t> payload) {
    NitDescriptor d;
    d.tag = tag;
    ByteReader in(payload);
    switch (tag) {
    case kTagNetworkName:
        for (uint8_t b : payload)
            if (b != kEmphasisOn && b != kEmphasisOff)
                d.networkName.push_back(b);
        break;
    case kTagPrivateDataSpecifier:
        if (payload.size() == 4)
            d.privateDataSpecifier = in.U32();
        break;
    case kTagLogicalChannel:
    case kTagHdSimulcastLogicalChannel:
        while (in.Remaining() >= 4) {
            NitLogicalChannel lcn;
            lcn.serviceId = in.U16();
            const uint16_t word = in.U16();
            lcn.visible = (word & kVisibleServiceFlag) != 0;
            lcn.number = word & kMaxLogicalChannelNumber;
            d.logicalChannels.push_back(lcn);
        }
        break;
    case kTagTerrestrialDelivery:
        if (payload.size() >= kTerrestrialDeliveryLength - 4) { // the reserved bytes may be missing
            NitTerrestrialDelivery t;
            t.centreFrequency10Hz = in.U32();
            t.bandwidth = in.U8() >> 5;
            const uint8_t b1 = in.U8();
            t.constellation = b1 >> 6;
            t.hierarchy = (b1 >> 3) & 0x07;
            t.codeRateHp = b1 & 0x07;
            const uint8_t b2 = in.U8();
            t.codeRateLp = b2 >> 5;
            t.guard = (b2 >> 3) & 0x03;
            t.mode = (b2 >> 1) & 0x03;
            t.otherFrequency = (b2 & 0x01) != 0;
            d.delivery = t;
        }
        break;
    case kTagServiceList:
        while (in.Remaining() >= 3) {
            NitServiceEntry s;
            s.serviceId = in.U16();
            s.serviceType = in.U8();
            d.services.push_back(s);
        }
        break;
    default:
        break;
    }
    d.payload = std::move(payload);
    return d;
}

// Reads a descriptor loop of `length` bytes; false when a descriptor runs past it.
bool ParseDescriptorLoop(ByteReader& in, size_t length, std::vector<NitDescriptor>& out) {
    if (length > in.Remaining())
        return false;
    const size_t end = in.Position() + length;
    while (in.Position() < end) {
        if (end - in.Position() < 2)
            return false;
        const uint8_t tag = in.U8();
        const uint8_t size = in.U8();
        if (size > end - in.Position())
            return false;
        out.push_back(ParseDescriptor(tag, in.Bytes(size)));
    }
    return in.Ok();
}

} // namespace

DecodeResult<NitSectionFields> ParseNitSection(std::span<const uint8_t> section) {
    using Result = DecodeResult<NitSectionFields>;
    Result result;
    NitSectionFields& f = result.values;
    ByteReader in(section);
    f.tableId = in.U8();
    f.sectionLength = in.U16() & kLengthMask;
    if (!in.Ok())
        return Result::Failure("the section header is cut short");
    if (f.sectionLength > in.Remaining())
        return Result::Failure("section_length " + std::to_string(f.sectionLength) + " runs past the " +
                               std::to_string(section.size()) + " stored bytes");
    if (f.sectionLength < 9 + kCrcSize)
        return Result::Failure("section_length " + std::to_string(f.sectionLength) +
                               " is too short for a NIT");
    // Everything after section_length up to the CRC.
    ByteReader body(section.subspan(kSectionHeaderSize, f.sectionLength - kCrcSize));
    f.networkId = body.U16();
    const uint8_t versionByte = body.U8();
    f.version = (versionByte >> 1) & kMaxNitVersion;
    f.currentNext = (versionByte & 0x01) != 0;
    f.sectionNumber = body.U8();
    f.lastSectionNumber = body.U8();
    if (!ParseDescriptorLoop(body, body.U16() & kLengthMask, f.networkDescriptors))
        return Result::Failure("a network descriptor runs past its loop");
    const size_t streamLoopLength = body.U16() & kLengthMask;
    if (!body.Ok() || streamLoopLength > body.Remaining())
        return Result::Failure("the transport stream loop runs past the section");
    const size_t streamLoopEnd = body.Position() + streamLoopLength;
    while (body.Position() < streamLoopEnd) {
        NitTransportStream ts;
        if (streamLoopEnd - body.Position() < 6)
            return Result::Failure("a transport stream entry is cut short");
        ts.transportStreamId = body.U16();
        ts.originalNetworkId = body.U16();
        const size_t length = body.U16() & kLengthMask;
        if (length > streamLoopEnd - body.Position() || !ParseDescriptorLoop(body, length, ts.descriptors))
            return Result::Failure("a descriptor of transport stream " +
                                   std::to_string(ts.transportStreamId) + " runs past its loop");
        f.transportStreams.push_back(std::move(ts));
    }
    const size_t crcAt = kSectionHeaderSize + f.sectionLength - kCrcSize;
    ByteReader crc(section.subspan(crcAt, kCrcSize));
    f.crc = crc.U32();
    f.crcOk = Crc32Mpeg2::Of(section.first(crcAt)) == f.crc;
    return result;
}

} // namespace kaptiv::settings
