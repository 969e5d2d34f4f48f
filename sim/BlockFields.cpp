#include "sim/BlockFields.h"

#include "sim/Protocol.h"
#include "sim/Services.h"

#include "platform/Bytes.h"

#include <algorithm>

namespace mulvane {

using kaptiv::platform::ByteReader;

namespace {

constexpr size_t kSectionHeader = 6; // frequency word, symbol rate, polarisation/FEC, count
constexpr int kMaxServicesInBlock = 100;

// Bytes up to the terminating 0, which is consumed; a text without its 0 is an error.
std::vector<uint8_t> Text(ByteReader& r) {
    std::vector<uint8_t> out;
    for (;;) {
        const uint8_t b = r.U8();
        if (!r.Ok() || b == 0)
            return out;
        out.push_back(b);
    }
}

int SectionCount(uint8_t type) {
    return IsStreamingTunerType(type) ? 3 : 1;
}

// Start offsets of the input sections; stops at the first section that does not fit.
std::vector<size_t> SectionStarts(uint8_t type, std::span<const uint8_t> block, size_t& end) {
    std::vector<size_t> starts;
    size_t pos = 0;
    for (int s = 0; s < SectionCount(type); ++s) {
        if (pos + kSectionHeader > block.size())
            break;
        starts.push_back(pos);
        pos += kSectionHeader + 3 * static_cast<size_t>(block[pos + 5]);
    }
    end = pos;
    return starts;
}

bool SatelliteReceivable(std::span<const uint8_t> section) {
    const unsigned word = section[0] << 8 | section[1];
    const unsigned mhz = (word & 0x7FFF) + ((word & 0x8000) ? 10600 : 9750);
    const unsigned symbolRate = section[2] << 8 | section[3];
    return mhz >= 10700 && mhz <= 12750 && symbolRate >= 1000 && symbolRate <= 45000;
}

constexpr uint32_t kAudioKbps[] = {128, 192, 256, 320, 384};

uint32_t AudioKbps(uint8_t index) {
    return index < std::size(kAudioKbps) ? kAudioKbps[index] : kAudioKbps[0];
}

int ChannelCount(uint8_t type) {
    switch (type) {
    case kTypeCofdm1:
        return 1;
    case kTypeCofdm2:
    case kTypeQam2:
        return 2;
    case kTypeCofdm4:
    case kTypeQam4:
        return 4;
    case kTypeIpStreamer:
        return 16;
    default:
        return 0;
    }
}

bool IsQam(uint8_t type) {
    return type == kTypeQam2 || type == kTypeQam4;
}

// Useful rate of one DVB-T channel (EN 300 744): 6.75 Msymbol/s of data carriers at 8 MHz,
// scaled by the bandwidth, times the bits per carrier, the code rate, the Reed-Solomon
// 188/204 and the guard interval.
uint32_t CofdmCapacity(uint8_t bandwidthCode, uint8_t codeRate, uint8_t constellation, uint8_t guard) {
    static constexpr double kCodeRates[] = {1.0 / 2, 2.0 / 3, 3.0 / 4, 5.0 / 6, 7.0 / 8};
    static constexpr double kGuards[] = {1.0 / 32, 1.0 / 16, 1.0 / 8, 1.0 / 4};
    static constexpr int kBits[] = {2, 4, 6};
    const double bandwidth = bandwidthCode == 0 ? 6 : bandwidthCode == 1 ? 7 : 8;
    const double rate = 6.75e6 * (bandwidth / 8) * kBits[std::min<int>(constellation, 2)] *
                        kCodeRates[std::min<int>(codeRate, 4)] * 188.0 / 204.0 /
                        (1 + kGuards[std::min<int>(guard, 3)]);
    return static_cast<uint32_t>(rate);
}

// Useful rate of one DVB-C channel (EN 300 429): symbol rate times bits per symbol, 188/204.
uint32_t QamCapacity(uint16_t symbolRateKs, uint8_t constellation) {
    const int bits = 4 + std::min<int>(constellation, 4); // QAM16 .. QAM256
    return static_cast<uint32_t>(symbolRateKs * 1000.0 * bits * 188.0 / 204.0);
}

} // namespace

bool IsTunerType(uint8_t type) {
    return type == kTypeSatTuner || type == kTypeSatTunerB || IsStreamingTunerType(type);
}
bool IsStreamingTunerType(uint8_t type) {
    return type == kTypeTwinSatTuner || type == kTypeTwinSatTunerB || type == kTypeTerrestrialTuner;
}
bool IsEncoderType(uint8_t type) {
    return type == kTypeAvEncoder || type == kTypeHdEncoder;
}
bool IsOutputType(uint8_t type) {
    return ChannelCount(type) > 0;
}

std::vector<TunerInputTuning> TunerTunings(uint8_t type, std::span<const uint8_t> block) {
    if (!IsTunerType(type))
        return {};
    const int inputs = IsStreamingTunerType(type) ? 2 : 1;
    size_t end = 0;
    const std::vector<size_t> starts = SectionStarts(type, block, end);
    std::optional<TunerTail> tail;
    if (type == kTypeTerrestrialTuner)
        tail = ReadTunerTail(type, block);
    std::vector<TunerInputTuning> out(static_cast<size_t>(inputs));
    for (int i = 0; i < inputs; ++i) {
        TunerInputTuning& t = out[static_cast<size_t>(i)];
        if (type == kTypeTerrestrialTuner && tail && tail->terrestrial) {
            const auto& tt = (*tail->terrestrial)[static_cast<size_t>(i)];
            t.signature = {tt.standard,
                           tt.bandwidthMHz,
                           static_cast<uint8_t>(tt.frequencyKHz >> 24),
                           static_cast<uint8_t>(tt.frequencyKHz >> 16),
                           static_cast<uint8_t>(tt.frequencyKHz >> 8),
                           static_cast<uint8_t>(tt.frequencyKHz)};
            t.receivable = tt.standard <= 2 && tt.frequencyKHz >= 47000 && tt.frequencyKHz <= 862000;
        } else if (type != kTypeTerrestrialTuner && static_cast<size_t>(i) < starts.size()) {
            const auto section = block.subspan(starts[static_cast<size_t>(i)], 5);
            t.signature.assign(section.begin(), section.end());
            if (IsStreamingTunerType(type))
                t.signature[4] &= 0x80; // only the polarisation bit tunes
            t.receivable = SatelliteReceivable(section);
        } else {
            // The block does not reach this input's tuning: the module keeps the one it has.
            t.receivable = true;
        }
    }
    return out;
}

std::optional<TunerTail> ReadTunerTail(uint8_t type, std::span<const uint8_t> block) {
    if (!IsStreamingTunerType(type))
        return std::nullopt;
    size_t end = 0;
    if (SectionStarts(type, block, end).size() != 3 || end >= block.size())
        return std::nullopt;
    ByteReader r(block);
    r.Seek(end);
    TunerTail tail;
    tail.streamingServiceId = r.U16();
    const uint8_t count = r.U8();
    for (int i = 0; i < count && r.Ok(); ++i) {
        ScheduleEntry e;
        e.startMin = r.U32();
        e.endMin = r.U32();
        const auto name = Text(r);
        e.fileName.assign(name.begin(), name.end());
        if (r.Ok())
            tail.schedule.push_back(std::move(e));
    }
    r.U8(); // play-out rate setting
    const auto name = Text(r);
    if (!r.Ok())
        return tail;
    tail.streamedName.assign(name.begin(), name.end());
    r.Skip(8); // kept bytes
    Text(r);   // server address
    r.Skip(2 + 2);
    std::array<TunerTail::Terrestrial, 2> terrestrial{};
    for (auto& t : terrestrial) {
        t.standard = r.U8();
        t.bandwidthMHz = r.U8();
        t.frequencyKHz = r.U32();
    }
    if (r.Ok())
        tail.terrestrial = terrestrial;
    return tail;
}

std::optional<EncoderView> ReadEncoder(uint8_t type, std::span<const uint8_t> block) {
    if (!IsEncoderType(type))
        return std::nullopt;
    ByteReader r(block);
    r.U8(); // change counter
    EncoderView view;
    auto passThrough = [&] {
        const uint8_t k = r.U8();
        for (int i = 0; i < k && r.Ok(); ++i)
            view.passThrough.push_back(r.U16());
    };
    if (type == kTypeHdEncoder)
        passThrough();
    const int channels = type == kTypeHdEncoder ? 4 : 2;
    for (int c = 0; c < channels; ++c) {
        EncoderChannel ch;
        ch.serviceId = r.U16();
        r.Skip(type == kTypeHdEncoder ? 8 : 6);
        ch.videoKbps = r.U16();
        ch.audioKbps = AudioKbps(r.U8());
        if (type == kTypeHdEncoder)
            r.U8(); // audio coding
        ch.name = TableCodedToUtf8(Text(r));
        if (type == kTypeAvEncoder)
            r.Skip(5); // standard, aspect, brightness, contrast, saturation
        if (!r.Ok())
            return std::nullopt;
        view.channels.push_back(std::move(ch));
    }
    if (type == kTypeAvEncoder) {
        passThrough();
        if (!r.Ok())
            view.passThrough.clear();
    }
    return view;
}

std::optional<OutputView> ReadOutput(uint8_t type, std::span<const uint8_t> block) {
    if (!IsOutputType(type))
        return std::nullopt;
    OutputView view;
    view.channels = ChannelCount(type);
    ByteReader r(block);
    if (type == kTypeIpStreamer) {
        r.Seek(23);
        Text(r); // identification
        view.rtp = r.U8() == 1;
        r.Skip(2 + 16 * 6 + 1); // TTL, QoS, stream targets, unseen byte
        const uint8_t n = r.U8();
        for (int i = 0; i < n && r.Ok(); ++i) {
            const uint16_t id = r.U16();
            const uint16_t mask = r.U16();
            r.Skip(2);
            int stream = 0;
            for (int bit = 15; bit >= 0 && !stream; --bit)
                if (mask & (1u << bit))
                    stream = bit + 1;
            if (r.Ok())
                view.services.push_back({id, stream});
        }
        return r.Ok() || !view.services.empty() ? std::optional(view) : std::nullopt;
    }
    const auto header = r.Bytes(8);
    uint8_t n = r.U8();
    if (!r.Ok())
        return std::nullopt;
    if (n > kMaxServicesInBlock)
        n = 0;
    if (type == kTypeCofdm1) {
        for (int i = 0; i < n; ++i)
            view.services.push_back({r.U16(), 1});
        r.Skip(1 + 2); // 0xFF, descrambled mask
    } else {
        for (int i = 0; i < n; ++i) {
            const uint16_t id = r.U16();
            view.services.push_back({id, r.U8() & 0x0F});
        }
    }
    if (!r.Ok())
        return std::nullopt;
    if (!IsQam(type)) {
        view.capacityBps = CofdmCapacity(header[2], header[3], header[4], header[6]);
        return view;
    }
    // The symbol rate sits behind the numbers, the network ids and the stored NIT.
    r.Skip(4u * n + 2 + 2 * 4);
    const uint16_t nitLength = r.U16();
    r.Skip(nitLength + 1u + 2);
    const uint16_t symbolRate = r.U16();
    view.capacityBps = QamCapacity(r.Ok() && symbolRate ? symbolRate : 6900, header[4]);
    return view;
}

} // namespace mulvane
