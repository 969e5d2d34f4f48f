#include "configfiles/ConfigSummary.h"

#include "platform/Bytes.h"
#include "platform/ModuleType.h"
#include "settings/BlockText.h"
#include "settings/EncoderBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"
#include "text/Language.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace kaptiv::configfiles {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr uint16_t kHighBandBit = 0x8000;
constexpr uint16_t kBandOffsetMask = 0x7FFF;
constexpr uint8_t kHorizontalBit = 0x80;
constexpr uint8_t kCamBeyondBlock = 1;
constexpr char kSectionLetters[] = "ABC";

constexpr std::array<const char*, 3> kStandards = {"  DVB-C", "  DVB-T", "  DVB-T2"};
constexpr std::array<const char*, 5> kQamConstellations = {"16-QAM - ", "32-QAM - ", "64-QAM - ",
                                                           "128-QAM - ", "256-QAM - "};
constexpr std::array<const char*, 3> kQamBandwidths = {"6 MHz)", "7 MHz)", "8 MHz)"};
constexpr std::array<const char*, 3> kCofdmConstellations = {"QPSK - ", "16-QAM - ", "64-QAM - "};
constexpr std::array<const char*, 2> kModes = {"2K - ", "8K - "};
constexpr std::array<const char*, 3> kCofdmBandwidths = {"6 MHz - ", "7 MHz - ", "8 MHz - "};
constexpr std::array<const char*, 5> kCodeRates = {"F.E.C. 1/2 - ", "F.E.C. 2/3 - ", "F.E.C. 3/4 - ",
                                                   "F.E.C. 5/6 - ", "F.E.C. 7/8 - "};
constexpr std::array<const char*, 4> kGuards = {" 1/32)", " 1/16)", " 1/8)", " 1/4)"};
constexpr std::array<const char*, 2> kVideoStandards = {"       PAL - ", "       NTSC - "};
constexpr std::array<const char*, 2> kAspects = {"4/3", "16/9"};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min(size_t(n), sizeof buffer - 1));
}

// A localized row with one integer or one text in it.
std::string Localized(int number, int language) {
    return kaptiv::text::LocalizedText(number, language);
}
std::string LocalizedInt(int number, int language, int value) {
    const std::string format = kaptiv::text::LocalizedText(number, language);
    const size_t at = format.find("%d");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + std::to_string(value) + format.substr(at + 2);
}
std::string LocalizedString(int number, int language, const std::string& value) {
    const std::string format = kaptiv::text::LocalizedText(number, language);
    const size_t at = format.find("%s");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + value + format.substr(at + 2);
}

template <size_t N> const char* Pick(const std::array<const char*, N>& table, unsigned code) {
    return code < N ? table[code] : "";
}

class Lines {
public:
    void Add(const std::string& line) { m_text += line + kLineEnd; }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
};

// One input section as it stands in the block; read by hand because the summary shows the
// frequency word itself (band bit apart), which the decoded values no longer carry.
struct RawSection {
    uint16_t frequencyWord = 0;
    uint16_t symbolRate = 0;
    uint8_t mode = 0;
    std::vector<settings::SelectedService> services;
};

std::vector<RawSection> ReadSections(uint8_t code, std::span<const uint8_t> block) {
    std::vector<RawSection> sections;
    platform::ByteReader in(block);
    for (int i = 0; i < TunerSectionCount(code); ++i) {
        RawSection s;
        s.frequencyWord = in.U16();
        s.symbolRate = in.U16();
        s.mode = in.U8();
        s.services.resize(in.U8());
        for (auto& service : s.services)
            service.serviceId = in.U16();
        for (auto& service : s.services)
            service.cam = in.AtEnd() ? kCamBeyondBlock : in.U8();
        sections.push_back(std::move(s));
    }
    return sections;
}

std::string TunerServices(const std::vector<settings::SelectedService>& services) {
    std::string out;
    for (size_t i = 0; i < services.size(); ++i) {
        if (i > 0)
            out += "-";
        out += Format(" %d(%d) ", services[i].serviceId, services[i].cam);
    }
    return out;
}

void TunerLines(uint8_t code, std::span<const uint8_t> block, int language, Lines& lines) {
    const bool dual = LayoutOfType(code) == BlockLayout::DualTuner;
    const bool satellite = code != type::kTerrestrial;
    const std::vector<RawSection> sections = ReadSections(code, block);
    // The tail (terrestrial tuning, schedule) through the codec; a block it refuses shows its
    // sections only.
    const auto decoded = settings::DecodeTunerBlock(code, block);
    for (size_t i = 0; i < sections.size(); ++i) {
        const RawSection& s = sections[i];
        if (code == type::kTerrestrial) {
            lines.Add(Format("In. : %c ", kSectionLetters[i]));
            if (i < 2 && decoded.Ok()) {
                const settings::TerrestrialTuning& t = decoded.values.terrestrial[i];
                if (t.standard < kStandards.size())
                    lines.Add(kStandards[t.standard]);
                lines.Add(Format("  Freq. : %dkHz", static_cast<int>(t.frequencyKHz)));
                if (t.standard != static_cast<uint8_t>(settings::DvbStandard::DvbC))
                    lines.Add(Format("  Bw. : %dMHz", t.bandwidthMHz));
            }
        } else if (dual) {
            lines.Add(Format("Sat. : %c", kSectionLetters[i]));
        }
        if (satellite && i < 2) {
            lines.Add(LocalizedInt(row::kBisFrequency, language, s.frequencyWord & kBandOffsetMask));
            lines.Add(LocalizedInt(row::kSymbolRate, language, s.symbolRate));
            if (dual) {
                const bool high = (s.frequencyWord & kHighBandBit) != 0;
                lines.Add(LocalizedString(row::kBand, language,
                                          Localized(high ? row::kHigh : row::kLow, language)));
                const bool horizontal = (s.mode & kHorizontalBit) != 0;
                lines.Add(
                    LocalizedString(row::kPolarity, language,
                                    Localized(horizontal ? row::kHorizontal : row::kVertical, language)));
            }
        }
        if (!s.services.empty()) {
            const int heading = dual ? row::kActivationDecryption : row::kDecryptionOn;
            lines.Add(Localized(heading, language) + TunerServices(s.services));
        }
    }
    if (dual && decoded.Ok() && !decoded.values.schedule.empty()) {
        lines.Add(LocalizedInt(row::kMoviesPlayed, language, decoded.values.streamingServiceId));
        for (const settings::ScheduleEntry& e : decoded.values.schedule) {
            lines.Add(Format("%02u:%02u - %02u:%02u ", e.start / 60, e.start % 60, e.end / 60, e.end % 60) +
                      settings::ToUtf8(e.fileName));
        }
    }
}

void EncoderLines(std::span<const uint8_t> block, int language, Lines& lines) {
    const auto decoded = settings::DecodeEncoderBlock(block);
    if (!decoded.Ok())
        return;
    const settings::EncoderValues& v = decoded.values;
    for (size_t i = 0; i < v.channels.size(); ++i) {
        const settings::EncoderChannel& c = v.channels[i];
        lines.Add(Format("IN%c : Service %d - ", kSectionLetters[i], c.serviceId) + settings::ToUtf8(c.name));
        std::string rates = Format("       video %dKb/s - Audio ", c.videoRateKbps);
        if (c.audioIndex < settings::kEncoderAudioRates.size())
            rates += std::to_string(settings::kEncoderAudioRates[c.audioIndex]);
        lines.Add(rates + "Kb/s");
        lines.Add(std::string(Pick(kVideoStandards, c.standard)) + Pick(kAspects, c.aspect));
        lines.Add(Format("       Light : %d - Contrast : %d - Saturation : %d", c.brightness, c.contrast,
                         c.saturation));
    }
    std::string services = Localized(row::kActivation, language);
    size_t count = 0;
    for (const auto& list : v.passThrough) {
        for (uint16_t id : list) {
            services += Format(" %d", id);
            ++count;
        }
    }
    if (count == 0)
        services += " -";
    lines.Add(services);
}

void ModulatorLines(uint8_t code, std::span<const uint8_t> block, int language, Lines& lines) {
    const auto decoded = settings::DecodeModulatorBlock(code, block);
    if (!decoded.Ok() || block.size() < 8)
        return;
    const settings::ModulatorValues& v = decoded.values;
    const uint16_t word = static_cast<uint16_t>(block[0] << 8 | block[1]);
    std::string radio = LocalizedInt(row::kFrequency, language, word / 8);
    if (code == type::kModC2 || code == type::kModC4) {
        radio += Pick(kQamConstellations, block[4]);
        radio += Pick(kQamBandwidths, block[2]);
    } else {
        radio += Pick(kCofdmConstellations, block[4]);
        radio += Pick(kModes, block[5]);
        radio += Pick(kCofdmBandwidths, block[2]);
        radio += Pick(kCodeRates, block[3]);
        radio += Localized(row::kGuardInterval, language);
        radio += Pick(kGuards, block[6]);
    }
    lines.Add(radio);
    lines.Add(Format("  Attenuation : %ddB", settings::AttenuationStepDecibels(v.radio.levelStep)));
    std::string services = "  Services : ";
    constexpr size_t kFirstService = 9;
    constexpr size_t kServiceEntryBytes = 3;
    for (size_t i = 0; i < v.services.size(); ++i) {
        const settings::ModulatorService& s = v.services[i];
        // The channel byte as stored (bit 7 marks a service descrambled upstream); the single
        // channel type stores none.
        int channel = 1;
        const size_t at = kFirstService + i * kServiceEntryBytes + 2;
        if (code != type::kModT1 && at < block.size())
            channel = block[at];
        if (i > 0)
            services += "-";
        if (s.outputServiceId != s.serviceId)
            services += Format(" %x:%d->%d ", unsigned(s.serviceId), channel, s.outputServiceId);
        else
            services += Format(" %x:%d ", unsigned(s.serviceId), channel);
        if (s.logicalChannel != 0 || s.hdLogicalChannel != 0) {
            services += "(";
            if (s.logicalChannel != 0)
                services += Format("SD%d ", s.logicalChannel);
            if (s.hdLogicalChannel != 0)
                services += Format("HD%d ", s.hdLogicalChannel);
            services += ")";
        }
    }
    lines.Add(services);
}

} // namespace

bool ConfigMatches(std::span<const ConfigEntry> loaded, std::span<const uint8_t> liveTypes) {
    if (loaded.size() != liveTypes.size())
        return false;
    for (size_t i = 0; i < loaded.size(); ++i) {
        if (loaded[i].type != liveTypes[i])
            return false;
    }
    return true;
}

std::string EntrySummary(size_t slot, const ConfigEntry& entry, int language) {
    Lines lines;
    lines.Add(Format("Slot %d : ", static_cast<int>(slot)) + ModuleName(entry.type));
    switch (LayoutOfType(entry.type)) {
    case BlockLayout::SingleTuner:
    case BlockLayout::DualTuner:
        TunerLines(entry.type, entry.block, language, lines);
        break;
    case BlockLayout::Encoder:
        EncoderLines(entry.block, language, lines);
        break;
    case BlockLayout::Modulator:
        ModulatorLines(entry.type, entry.block, language, lines);
        break;
    case BlockLayout::None:
    case BlockLayout::HdEncoder:
    case BlockLayout::IpStreamer:
        lines.Add(Localized(row::kNoConfiguration, language));
        break;
    }
    return lines.Take();
}

std::string ConfigSummary(std::span<const ConfigEntry> loaded,
                          std::optional<std::span<const uint8_t>> liveTypes, int language) {
    std::string out;
    if (liveTypes) {
        const bool match = ConfigMatches(loaded, *liveTypes);
        out += Localized(match ? row::kMatches : row::kDoesNotMatch, language) + kLineEnd;
        out += kLineEnd;
    }
    out += Localized(row::kShortDescription, language) + kLineEnd;
    for (size_t i = 0; i < loaded.size(); ++i)
        out += EntrySummary(i, loaded[i], language);
    return out;
}

} // namespace kaptiv::configfiles
