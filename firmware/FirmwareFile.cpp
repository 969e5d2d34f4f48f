#include "firmware/FirmwareFile.h"

#include "platform/Bytes.h"
#include "platform/ModuleType.h"

#include <cctype>
#include <cstdio>

namespace kaptiv::firmware {

uint32_t ByteSum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    return sum;
}

FirmwareFileCheck CheckFirmwareFile(std::span<const uint8_t> file) {
    FirmwareFileCheck check;
    if (file.size() <= kFileHeaderSize) {
        check.reason = "too short (" + std::to_string(file.size()) + " bytes, more than 6 needed)";
        return check;
    }
    platform::ByteReader reader(file);
    const uint32_t b0 = reader.U8(), b1 = reader.U8(), b2 = reader.U8(), b3 = reader.U8();
    check.storedChecksum = b0 | b1 << 8 | b2 << 16 | b3 << 24; // little-endian
    check.moduleType = reader.U8();
    check.release = reader.U8();
    check.computedChecksum = ByteSum(file.subspan(4));
    if (check.storedChecksum != check.computedChecksum) {
        char text[96];
        std::snprintf(text, sizeof text, "checksum stored %08X, computed %08X", check.storedChecksum,
                      check.computedChecksum);
        check.reason = text;
        return check;
    }
    check.valid = true;
    return check;
}

std::optional<uint8_t> HardwareRevisionFromName(std::string_view name) {
    // Only the file name counts, not a folder written into the index line.
    if (const size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    size_t mark = std::string_view::npos;
    for (size_t i = name.size(); i-- > 1;)
        if ((name[i] == 'V' || name[i] == 'v') && name[i - 1] == '_') {
            mark = i - 1;
            break;
        }
    if (mark == std::string_view::npos || mark == 0)
        return std::nullopt;
    const char digit = name[mark - 1];
    if (digit < '0' || digit > '9')
        return std::nullopt;
    return static_cast<uint8_t>(digit - '0');
}

uint8_t MinimumRelease(uint8_t moduleType) {
    switch (moduleType) {
    case type::kPowerSupply:
        return 99;
    case type::kSat1_0:
        return 14;
    case type::kModT1:
        return 22;
    case type::kCommonInterface:
        return 20;
    case type::kSat1:
        return 13;
    case type::kModT2:
    case type::kModT4:
    case type::kSat2_0:
    case type::kModC4:
    case type::kAvEncoder:
    case type::kModC2:
        return 10;
    case type::kIpStreamer:
    case type::kHdEncoder:
        return 1;
    default:
        return kNoMinimumRelease; // 10 and 12 are checked as 7; no file targets them
    }
}

std::vector<std::string> ParseIndex(std::string_view text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.remove_suffix(1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
            line.remove_prefix(1);
        if (!line.empty())
            names.emplace_back(line);
        start = end + 1;
    }
    return names;
}

bool IsCompositeType(uint8_t moduleType) {
    return moduleType == type::kAvEncoder || moduleType == type::kIpStreamer ||
           moduleType == type::kHdEncoder;
}

std::optional<std::vector<SubRecord>> ParseSubRecords(std::span<const uint8_t> image, std::string* error) {
    std::vector<SubRecord> records;
    platform::ByteReader reader(image);
    auto fail = [&](const std::string& why) -> std::optional<std::vector<SubRecord>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    while (!reader.AtEnd()) {
        const size_t at = reader.Position();
        if (reader.Remaining() < kSubRecordHeaderSize)
            return fail("sub-record header at " + std::to_string(at) + " cut short");
        SubRecord record;
        record.release = reader.U8();
        reader.U8(); // not used
        record.identifier = reader.U32();
        const uint32_t length = reader.U32();
        if (length > reader.Remaining())
            return fail("sub-record at " + std::to_string(at) + " claims " + std::to_string(length) +
                        " bytes, " + std::to_string(reader.Remaining()) + " left");
        record.dataOffset = reader.Position();
        record.dataLength = length;
        if (!record.IsMainFirmware() && !SplitPackets(image.subspan(record.dataOffset, length)))
            return fail("component " + std::to_string(record.ComponentNumber()) + " at " +
                        std::to_string(at) + ": last packet cut short");
        reader.Skip(length);
        records.push_back(record);
    }
    return records;
}

std::optional<std::vector<Packet>> SplitPackets(std::span<const uint8_t> data) {
    std::vector<Packet> packets;
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t control = data[i];
        const size_t run = control & 0x7F;
        Packet packet;
        packet.offset = i;
        packet.size = (control & 0x80) ? 1 + run : 2;
        packet.decodedSize = run;
        if (packet.size > data.size() - i)
            return std::nullopt;
        packets.push_back(packet);
        i += packet.size;
    }
    return packets;
}

std::vector<uint8_t> DecodePackets(std::span<const uint8_t> data, size_t count) {
    std::vector<uint8_t> out;
    const auto packets = SplitPackets(data);
    if (!packets)
        return out;
    for (const Packet& p : *packets) {
        for (size_t k = 0; k < p.decodedSize && out.size() < count; ++k)
            out.push_back((data[p.offset] & 0x80) ? data[p.offset + 1 + k] : data[p.offset + 1]);
        if (out.size() >= count)
            break;
    }
    return out;
}

uint32_t VersionNumber(uint8_t major, uint8_t minor, uint8_t patch) {
    return uint32_t{major} << 16 | uint32_t{minor} << 8 | patch;
}

std::optional<HdComponentName> ParseHdComponentName(std::string_view fileName) {
    static constexpr std::string_view kPrefix = "qvxhd4enc_";
    static constexpr std::string_view kSuffix = ".bin";
    constexpr size_t kDigestLength = 32;
    const std::string lower = AsciiLower(fileName);
    if (lower.size() < kPrefix.size() + 2 + kDigestLength + kSuffix.size() || !lower.starts_with(kPrefix) ||
        !lower.ends_with(kSuffix))
        return std::nullopt;
    const char d1 = fileName[kPrefix.size()], d2 = fileName[kPrefix.size() + 1];
    if (!std::isdigit(static_cast<unsigned char>(d1)) || !std::isdigit(static_cast<unsigned char>(d2)))
        return std::nullopt;
    HdComponentName name;
    name.release = static_cast<uint8_t>((d1 - '0') * 10 + (d2 - '0'));
    name.digest =
        std::string(fileName.substr(fileName.size() - kSuffix.size() - kDigestLength, kDigestLength));
    for (char c : name.digest)
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'A' || c > 'F'))
            return std::nullopt;
    return name;
}

const char* FrontPanelPicturePattern(uint8_t targetType) {
    switch (targetType) {
    case type::kModT2:
        return "FP_T2V%d.rle";
    case type::kModT4:
        return "FP_T4V%d.rle";
    case type::kModC4:
        return "FP_C4V%d.rle";
    case type::kModC2:
        return "FP_C2V%d.rle";
    default:
        return nullptr;
    }
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace kaptiv::firmware
