#pragma once
// The files of the firmware folder, as bytes and names: the firmware file (checksum, module
// type, release, image), the index "QVX.FRM", the composite image of the encoders and the
// IP streamer (sub-records), the packet coding of component data, and the names of the HD
// encoder component files. Pure functions over untrusted bytes: everything is
// bounds-checked and refused with a reason, nothing is cut short.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::firmware {

inline constexpr size_t kFileHeaderSize = 6; // checksum (4, little-endian), type, release
inline constexpr uint8_t kNoMinimumRelease = 0;

// Result of checking a firmware file's bytes.
struct FirmwareFileCheck {
    bool valid = false;
    std::string reason; // why not valid: "too short", "checksum stored ... computed ..."
    uint32_t storedChecksum = 0;
    uint32_t computedChecksum = 0;
    uint8_t moduleType = 0;
    uint8_t release = 0;
};
// Valid when longer than 6 bytes and the stored checksum is the 32-bit sum of every byte
// from offset 4 to the end.
FirmwareFileCheck CheckFirmwareFile(std::span<const uint8_t> file);
uint32_t ByteSum(std::span<const uint8_t> bytes);

// The hardware revision a file is for: the digit just before "_V" in its name ("..1_V23.bin"
// is for revision 1; the last "_V" counts). Nothing when there is no "_V" or no digit before it.
std::optional<uint8_t> HardwareRevisionFromName(std::string_view name);

// Lowest current release from which a module of the type may be updated (0 = none set).
uint8_t MinimumRelease(uint8_t moduleType);

// The index: one name per line; CR-LF or LF line ends, blanks around a name and blank lines
// are ignored (index files are written on Windows too).
std::vector<std::string> ParseIndex(std::string_view text);

// Composite images (module types 9, 13, 14): a run of sub-records, a 10-byte header each.
inline constexpr size_t kSubRecordHeaderSize = 10;
inline constexpr uint32_t kMainFirmwareId = 0xFFFFFFFF;
struct SubRecord {
    uint8_t release = 0;     // header byte 0
    uint32_t identifier = 0; // bytes 2-5, big-endian; all ones: the module's main firmware
    size_t dataOffset = 0;   // within the image
    size_t dataLength = 0;
    bool IsMainFirmware() const { return identifier == kMainFirmwareId; }
    uint16_t ComponentNumber() const { return static_cast<uint16_t>(identifier); }
};
bool IsCompositeType(uint8_t moduleType);
// Nothing (and why) when a sub-record runs past the end of the image, or a component's data
// is not whole packets.
std::optional<std::vector<SubRecord>> ParseSubRecords(std::span<const uint8_t> image,
                                                      std::string* error = nullptr);

// Packet-coded data: a control byte with bit 7 set is followed by (control & 0x7F) bytes as
// they are; with bit 7 clear by one byte standing for (control & 0x7F) copies of it.
struct Packet {
    size_t offset = 0; // within the data
    size_t size = 0;   // coded bytes, control byte included
    size_t decodedSize = 0;
};
// Nothing when the last packet is cut short.
std::optional<std::vector<Packet>> SplitPackets(std::span<const uint8_t> data);
// The first `count` decoded bytes (fewer when the data decode to fewer).
std::vector<uint8_t> DecodePackets(std::span<const uint8_t> data, size_t count);

// The component version a sub-record offers: its first three data bytes (the first decoded
// bytes of its header), as one number, most significant first.
uint32_t VersionNumber(uint8_t major, uint8_t minor, uint8_t patch);

// HD encoder component files: "QVXHD4ENC" "_" two decimal digits (the release) ... then 32
// upper-case hex digits (the file's MD5) before ".bin".
inline constexpr size_t kHdComponentHeaderSize = 16;
struct HdComponentName {
    uint8_t release = 0;
    std::string digest; // 32 upper-case hex digits
};
std::optional<HdComponentName> ParseHdComponentName(std::string_view fileName);

// The front-panel picture a modulator switched to `targetType` needs ("FP_T2V%d.rle", with %d
// the change flag), or null for a type that has none.
const char* FrontPanelPicturePattern(uint8_t targetType);
inline constexpr uint8_t kPictureChangeFlag = 0; // the flag of a change, the only one sent

// Lower-case ASCII copy, for the case-blind name comparisons of files written on Windows.
std::string AsciiLower(std::string_view text);

} // namespace kaptiv::firmware
