#include "settings/TunerBlock.h"

#include "platform/Bytes.h"
#include "platform/ModuleType.h"
#include "settings/BlockText.h"

#include <array>

namespace kaptiv::settings {

namespace {

constexpr uint16_t kHighBandBit = 0x8000;
constexpr uint16_t kBandOffsetMask = 0x7FFF;
constexpr int kFecCodeBase = 14; // FEC code of "1/2"
constexpr uint8_t kHorizontalBit = 0x80;
constexpr uint8_t kCamBeyondBlock = 1;
constexpr std::array<const char*, 5> kFecTexts = {"1/2", "2/3", "3/4", "5/6", "7/8"};
constexpr char kSectionLetters[] = "ABC";
// The streamed service name and the schedule's file names have no limit of their own: the block's
// size bounds them.

std::string SectionName(size_t index) {
    return std::string("section ") + kSectionLetters[index];
}

DecodeResult<InputSection> DecodeSection(uint8_t type, platform::ByteReader& in, size_t index) {
    InputSection section;
    section.frequencyMHz = FrequencyFromWord(in.U16());
    section.symbolRate = in.U16();
    const uint8_t mode = in.U8();
    if (LayoutOfType(type) == BlockLayout::SingleTuner)
        section.fecIndex = mode - kFecCodeBase;
    else
        section.horizontal = (mode & kHorizontalBit) != 0;
    const size_t count = in.U8();
    if (count > kMaxSectionServices) {
        return DecodeResult<InputSection>::Failure(SectionName(index) + " lists " + std::to_string(count) +
                                                   " services, at most " +
                                                   std::to_string(kMaxSectionServices) + " fit");
    }
    section.services.resize(count);
    for (auto& service : section.services)
        service.serviceId = in.U16();
    for (auto& service : section.services)
        service.cam = in.AtEnd() ? kCamBeyondBlock : in.U8();
    return {section, {}};
}

std::string EncodeSection(uint8_t type, const InputSection& section, size_t index,
                          platform::ByteWriter& out) {
    if (!FrequencyWordFits(section.frequencyMHz)) {
        return SectionName(index) + ": frequency " + std::to_string(section.frequencyMHz) +
               " MHz cannot be written (the block holds 0 to 32767 MHz above the local oscillator)";
    }
    if (section.services.size() > kMaxSectionServices) {
        return SectionName(index) + ": " + std::to_string(section.services.size()) + " services, at most " +
               std::to_string(kMaxSectionServices) + " fit";
    }
    uint8_t mode = 0;
    if (LayoutOfType(type) == BlockLayout::SingleTuner) {
        const int code = section.fecIndex + kFecCodeBase;
        if (code < 0 || code > 0xFF)
            return SectionName(index) + ": FEC index " + std::to_string(section.fecIndex) + " has no code";
        mode = static_cast<uint8_t>(code);
    } else {
        mode = section.horizontal ? kHorizontalBit : 0;
    }
    out.U16(FrequencyWordOf(section.frequencyMHz));
    out.U16(section.symbolRate);
    out.U8(mode);
    out.U8(static_cast<uint8_t>(section.services.size()));
    for (const auto& service : section.services)
        out.U16(service.serviceId);
    for (const auto& service : section.services)
        out.U8(service.cam);
    return {};
}

// The tail of types 7, 10, 12: each field only while the read position is inside the block;
// absent fields keep the defaults of a fresh TunerValues.
std::string DecodeTail(platform::ByteReader& in, TunerValues& v) {
    if (in.AtEnd())
        return {};
    v.streamingServiceId = in.U16();
    if (in.AtEnd())
        return {};
    const size_t entries = in.U8();
    if (entries > kMaxScheduleEntries) {
        return "the schedule holds " + std::to_string(entries) + " entries, at most " +
               std::to_string(kMaxScheduleEntries) + " fit";
    }
    v.schedule.resize(entries);
    for (auto& entry : v.schedule) {
        entry.start = in.U32();
        entry.end = in.U32();
        entry.fileName = DecodePlainText(in);
    }
    if (in.AtEnd())
        return {};
    v.playoutRate = in.U8();
    if (in.AtEnd())
        return {};
    v.streamedName = DecodePlainText(in);
    if (in.AtEnd())
        return {};
    for (auto& b : v.keptBytes)
        b = in.U8();
    if (in.AtEnd())
        return {};
    // Written table-coded, read back plain: the address is plain ASCII either way.
    v.serverAddress = DecodePlainText(in);
    if (in.AtEnd())
        return {};
    v.serverPort = in.U16();
    if (in.AtEnd())
        return {};
    v.switchA = in.U8();
    if (in.AtEnd())
        return {};
    v.switchB = in.U8();
    for (auto& tuning : v.terrestrial) {
        if (in.AtEnd())
            return {};
        tuning.standard = in.U8();
        if (in.AtEnd())
            return {};
        tuning.bandwidthMHz = in.U8();
        if (in.AtEnd())
            return {};
        tuning.frequencyKHz = in.U32();
    }
    if (in.AtEnd())
        return {};
    v.lockFieldsPresent = true;
    v.lockTimeout = in.U16();
    if (in.AtEnd())
        return {};
    v.lockWatchdog = in.U8() != 0;
    return {};
}

std::string EncodeTail(const TunerValues& v, const TunerChecks& checks, platform::ByteWriter& out) {
    if (v.schedule.size() > kMaxScheduleEntries) {
        return "the schedule holds " + std::to_string(v.schedule.size()) + " entries, at most " +
               std::to_string(kMaxScheduleEntries) + " fit";
    }
    out.U16(v.streamingServiceId);
    out.U8(static_cast<uint8_t>(v.schedule.size()));
    for (size_t i = 0; i < v.schedule.size(); ++i) {
        out.U32(v.schedule[i].start);
        out.U32(v.schedule[i].end);
        if (std::string why = EncodePlainText(v.schedule[i].fileName, kMaxBlockSize, out); !why.empty())
            return "schedule entry " + std::to_string(i + 1) + " file name: " + why;
    }
    out.U8(v.playoutRate);
    if (std::string why = EncodePlainText(v.streamedName, kMaxBlockSize, out); !why.empty())
        return "streamed service name: " + why;
    out.Bytes(v.keptBytes);
    if (std::string why = EncodeTableText(v.serverAddress, kMaxServerAddressChars, out); !why.empty())
        return "server address: " + why;
    out.U16(v.serverPort);
    out.U8(v.switchA);
    out.U8(v.switchB);
    for (const auto& tuning : v.terrestrial) {
        out.U8(tuning.standard);
        out.U8(tuning.bandwidthMHz);
        out.U32(tuning.frequencyKHz);
    }
    if (v.lockFieldsPresent) {
        // A cleared box writes 0; a checked box with 0 seconds writes the default.
        uint16_t timeout = v.lockTimeout;
        if (!checks.lockTimeout || timeout == 0)
            timeout = checks.lockTimeout ? kLockTimeoutDefault : 0;
        out.U16(timeout);
        out.U8(checks.lockWatchdog ? 1 : 0);
    }
    return {};
}

} // namespace

TunerChecks ChecksFor(const TunerValues& values) {
    return {values.lockTimeout != 0, values.lockWatchdog};
}

int FrequencyFromWord(uint16_t word) {
    const int offset = word & kBandOffsetMask;
    return offset + ((word & kHighBandBit) ? kHighBandOscillatorMHz : kLowBandOscillatorMHz);
}

bool FrequencyWordFits(int frequencyMHz) {
    const int oscillator = frequencyMHz < kHighBandFromMHz ? kLowBandOscillatorMHz : kHighBandOscillatorMHz;
    const int offset = frequencyMHz - oscillator;
    return offset >= 0 && offset <= kBandOffsetMask;
}

uint16_t FrequencyWordOf(int frequencyMHz) {
    if (frequencyMHz < kHighBandFromMHz)
        return static_cast<uint16_t>(frequencyMHz - kLowBandOscillatorMHz);
    return static_cast<uint16_t>((frequencyMHz - kHighBandOscillatorMHz) | kHighBandBit);
}

const char* FecText(int fecIndex) {
    if (fecIndex < 0 || fecIndex >= static_cast<int>(kFecTexts.size()))
        return "";
    return kFecTexts[static_cast<size_t>(fecIndex)];
}

DecodeResult<TunerValues> DecodeTunerBlock(uint8_t type, std::span<const uint8_t> block) {
    using Result = DecodeResult<TunerValues>;
    const int sectionCount = TunerSectionCount(type);
    if (sectionCount == 0)
        return Result::Failure("module type " + std::to_string(type) + " has no tuner block");
    if (block.size() > kMaxBlockSize)
        return Result::Failure("block of " + std::to_string(block.size()) + " bytes is longer than " +
                               std::to_string(kMaxBlockSize));
    // Every decode starts from the defaults, never from another module's values.
    Result result;
    TunerValues& v = result.values;
    v.type = type;
    // Section bytes beyond the block read as 0 (CAM numbers as 1); the tail fields take their
    // defaults instead.
    platform::ByteReader in(block);
    for (int i = 0; i < sectionCount; ++i) {
        auto section = DecodeSection(type, in, static_cast<size_t>(i));
        if (!section.Ok())
            return Result::Failure(section.error);
        v.sections.push_back(std::move(section.values));
    }
    if (sectionCount == 3) {
        if (std::string why = DecodeTail(in, v); !why.empty())
            return Result::Failure(why);
    }
    return result;
}

EncodeResult EncodeTunerBlock(const TunerValues& values, const TunerChecks& checks) {
    const int sectionCount = TunerSectionCount(values.type);
    if (sectionCount == 0)
        return EncodeResult::Failure("module type " + std::to_string(values.type) + " has no tuner block");
    if (values.sections.size() != static_cast<size_t>(sectionCount)) {
        return EncodeResult::Failure("module type " + std::to_string(values.type) + " needs " +
                                     std::to_string(sectionCount) + " input sections, not " +
                                     std::to_string(values.sections.size()));
    }
    platform::ByteWriter out(kMaxBlockSize);
    for (size_t i = 0; i < values.sections.size(); ++i) {
        if (std::string why = EncodeSection(values.type, values.sections[i], i, out); !why.empty())
            return EncodeResult::Failure(why);
    }
    if (sectionCount == 3) {
        if (std::string why = EncodeTail(values, checks, out); !why.empty())
            return EncodeResult::Failure(why);
    }
    if (!out.Ok())
        return EncodeResult::Failure("the block would be longer than " + std::to_string(kMaxBlockSize) +
                                     " bytes");
    return {out.Take(), {}};
}

} // namespace kaptiv::settings
