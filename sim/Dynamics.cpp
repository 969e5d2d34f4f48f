#include "sim/Dynamics.h"

#include "sim/Protocol.h"

#include <algorithm>

namespace mulvane {

namespace {

uint64_t Mix(uint64_t x) { // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}

// Service kind and scrambling as the list answer flags them: bit 0 TV (service type 1),
// bit 1 crypted.
uint8_t Flags(const ReceivedService& s) {
    return static_cast<uint8_t>((s.radio ? 0 : 0x01) | (s.crypted ? 0x02 : 0));
}

// One input's part of a tuner's list: m, then (only when m > 0) the ids with their names,
// the flag bytes, the transport stream id and the original network id.
void AppendTunerPart(std::vector<uint8_t>& out, const std::vector<ReceivedService>& services,
                     const InputReception* reception) {
    const size_t m = std::min(services.size(), kMaxListedServices);
    out.push_back(static_cast<uint8_t>(m));
    if (m == 0)
        return;
    for (size_t i = 0; i < m; ++i) {
        Put16(out, services[i].id);
        const auto name = TableCodedText(services[i].name);
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
    }
    for (size_t i = 0; i < m; ++i)
        out.push_back(Flags(services[i]));
    Put16(out, reception ? reception->transportStreamId : 0);
    Put16(out, reception ? reception->originalNetworkId : 0);
}

} // namespace

ModuleDynamics::ModuleDynamics(const ModuleConfig& config, uint64_t seed)
    : m_config(config), m_seed(Mix(seed ^ (uint64_t{config.address} << 32))), m_rng(m_seed) {
    const auto tunings = TunerTunings(config.type, config.block);
    for (size_t i = 0; i < tunings.size(); ++i) {
        Input in;
        if (i < config.inputs.size())
            in.home = config.inputs[i];
        in.homeTuning = in.tuning = tunings[i].signature;
        in.receivable = tunings[i].receivable;
        in.levelBase = in.level = 68 + static_cast<int>(Mix(m_seed + i) % 20);
        in.qualityBase = in.quality = 55 + static_cast<int>(Mix(m_seed + 7 * i + 1) % 25);
        m_inputs.push_back(std::move(in));
    }
    if (IsStreamingTunerType(config.type) && config.inputs.size() > 2)
        m_inputC = config.inputs[2];
}

void ModuleDynamics::OnBlock(std::span<const uint8_t> block, int64_t nowMs) {
    const auto tunings = TunerTunings(m_config.type, block);
    for (size_t i = 0; i < m_inputs.size() && i < tunings.size(); ++i) {
        Input& in = m_inputs[i];
        if (tunings[i].signature == in.tuning)
            continue; // a write that leaves the tuning alone keeps the lock
        in.tuning = tunings[i].signature;
        in.receivable = tunings[i].receivable;
        in.tunedAtMs = nowMs;
        in.tunedAtStart = false;
        if (in.tuning != in.homeTuning)
            in.generated = GeneratedReception(in.tuning, m_seed);
    }
}

uint8_t ModuleDynamics::Lock(size_t input, int64_t nowMs) const {
    if (input >= m_inputs.size())
        return kLockNone;
    const Input& in = m_inputs[input];
    if (!in.home.signal || !in.receivable)
        return kLockNone;
    if (in.tunedAtStart)
        return kLockLocked;
    const int64_t since = nowMs - in.tunedAtMs;
    if (since < kCarrierAfterMs)
        return kLockNone;
    return since < kLockAfterMs ? kLockCarrier : kLockLocked;
}

const InputReception* ModuleDynamics::Reception(size_t input, int64_t nowMs) const {
    if (input == 2 && IsStreamingTunerType(m_config.type))
        return &m_inputC;
    if (input >= m_inputs.size() || Lock(input, nowMs) != kLockLocked)
        return nullptr;
    const Input& in = m_inputs[input];
    return in.tuning == in.homeTuning ? &in.home : &in.generated;
}

std::vector<ReceivedService> ModuleDynamics::Received(size_t input, int64_t nowMs) const {
    const InputReception* r = Reception(input, nowMs);
    return r ? r->services : std::vector<ReceivedService>{};
}

void ModuleDynamics::SetSignal(size_t input, bool on, int64_t nowMs) {
    if (input >= m_inputs.size() || m_inputs[input].home.signal == on)
        return;
    m_inputs[input].home.signal = on;
    // A signal that comes back is searched for and locked like a new tuning.
    m_inputs[input].tunedAtMs = nowMs;
    m_inputs[input].tunedAtStart = false;
}

void ModuleDynamics::PinLevel(size_t input, int level) {
    if (input >= m_inputs.size())
        return;
    m_inputs[input].levelBase = m_inputs[input].level = std::clamp(level, 0, 100);
    m_inputs[input].levelPinned = true;
}

void ModuleDynamics::SetReception(size_t input, InputReception reception, int64_t nowMs) {
    (void)nowMs;
    if (input == 2 && IsStreamingTunerType(m_config.type)) {
        m_inputC = std::move(reception);
    } else if (input < m_inputs.size()) {
        const bool signal = m_inputs[input].home.signal;
        m_inputs[input].home = std::move(reception);
        m_inputs[input].home.signal = signal;
    }
}

void ModuleDynamics::Wander(Input& in, uint8_t lock) {
    const int levelTarget = lock != kLockNone ? in.levelBase : in.home.signal && in.receivable ? 22 : 4;
    const int qualityTarget = lock == kLockLocked ? in.qualityBase : lock == kLockCarrier ? 12 : 0;
    auto step = [this](int value, int target) {
        if (std::abs(value - target) > 3)
            return target; // a new state: the measure settles at once
        const int moved = value + std::uniform_int_distribution<int>(-1, 1)(m_rng);
        return std::clamp(std::clamp(moved, target - 3, target + 3), 0, 100);
    };
    in.level = in.levelPinned && lock != kLockNone ? in.levelBase : step(in.level, levelTarget);
    in.quality = qualityTarget == 0 ? 0 : step(in.quality, qualityTarget);
}

void ModuleDynamics::NoteList(const std::vector<uint8_t>& list) {
    if (m_haveList && list != m_lastList)
        ++m_changeIndicator;
    m_haveList = true;
    m_lastList = list;
}

std::vector<uint8_t> ModuleDynamics::TunerStatus(int64_t nowMs, uint8_t usbKeyByte,
                                                 std::span<const uint8_t> block) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < m_inputs.size(); ++i) {
        const uint8_t lock = Lock(i, nowMs);
        Wander(m_inputs[i], lock);
        out.push_back(lock);
        out.push_back(static_cast<uint8_t>(m_inputs[i].level));
        out.push_back(static_cast<uint8_t>(m_inputs[i].quality));
    }
    if (!IsStreamingTunerType(m_config.type))
        return out;
    NoteList(ServiceList(nowMs, block, nullptr));
    out.push_back(usbKeyByte);
    out.push_back(m_changeIndicator);
    out.insert(out.end(), m_config.remoteReceiver.begin(), m_config.remoteReceiver.end());
    return out;
}

std::vector<uint8_t> ModuleDynamics::EncoderStatus(std::span<const uint8_t> block,
                                                   const ServiceLookup& lookup) {
    NoteList(ServiceList(0, block, lookup));
    return {block.empty() ? uint8_t{0} : block[0], m_changeIndicator};
}

std::vector<uint8_t> ModuleDynamics::ServiceList(int64_t nowMs, std::span<const uint8_t> block,
                                                 const ServiceLookup& lookup) {
    std::vector<uint8_t> out;
    if (IsTunerType(m_config.type)) {
        const size_t parts = IsStreamingTunerType(m_config.type) ? 3 : 1;
        for (size_t i = 0; i < parts; ++i)
            AppendTunerPart(out, Received(i, nowMs), Reception(i, nowMs));
        return out;
    }
    if (!IsEncoderType(m_config.type))
        return out;
    // Encoders: their own channels first (one per input list), then what they pass on.
    std::vector<ReceivedService> services;
    if (auto view = ReadEncoder(m_config.type, block)) {
        for (const auto& ch : view->channels)
            services.push_back({ch.serviceId, ch.name, false, false});
        for (uint16_t id : view->passThrough) {
            const auto known = lookup ? lookup(id) : std::nullopt;
            services.push_back(known ? *known : ReceivedService{id, "", false, false});
        }
    }
    const size_t m = std::min(services.size(), kMaxListedServices);
    out.push_back(static_cast<uint8_t>(m));
    for (size_t i = 0; i < m; ++i) {
        Put16(out, services[i].id);
        const auto name = TableCodedText(services[i].name);
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        out.push_back(Flags(services[i]));
    }
    return out;
}

uint32_t NominalRateKbps(const ReceivedService& service, uint64_t seed) {
    const uint64_t h = Mix(seed ^ service.id);
    if (service.radio)
        return 128 + 64 * static_cast<uint32_t>(h % 4);
    uint32_t rate = 2200 + static_cast<uint32_t>(h % 2800);
    if (service.name.find("HD") != std::string::npos)
        rate += 3000;
    return rate;
}

std::vector<uint8_t> OutputRates(uint8_t type, std::span<const uint8_t> block,
                                 const std::function<uint32_t(uint16_t)>& rateKbps, uint8_t temperature) {
    std::vector<uint8_t> out;
    const auto view = ReadOutput(type, block);
    if (type == kTypeIpStreamer) {
        // Total first, in the unit the PC scales by 3008/958 (RTP) or 3008/966 (UDP) to kb/s;
        // then per service on a stream its bytes per second.
        uint64_t total = 0;
        std::vector<std::pair<uint16_t, uint32_t>> rates;
        if (view)
            for (const auto& s : view->services)
                if (s.channel > 0) {
                    const uint32_t kbps = rateKbps(s.id);
                    total += kbps;
                    rates.emplace_back(s.id, kbps);
                }
        const uint64_t divisor = view && view->rtp ? 958 : 966;
        Put32(out, static_cast<uint32_t>((total * divisor + 1504) / 3008));
        for (const auto& [id, kbps] : rates) {
            Put16(out, id);
            Put32(out, kbps * 1000 / 8);
        }
        return out;
    }
    // Modulators: 4 bytes of state, then a 12-byte record per channel (one for the
    // single-channel type, four slots for the others), then (service id, kb/s) records.
    out = {1, temperature, 0, 0};
    const int slots = type == kTypeCofdm1 ? 1 : 4;
    std::vector<uint64_t> used(static_cast<size_t>(slots), 0);
    std::vector<std::pair<uint16_t, uint32_t>> rates;
    const int channels = view ? view->channels : 0;
    if (view)
        for (const auto& s : view->services)
            if (s.channel >= 1 && s.channel <= channels) {
                const uint32_t kbps = rateKbps(s.id);
                used[static_cast<size_t>(s.channel - 1)] += uint64_t{kbps} * 1000;
                rates.emplace_back(s.id, kbps);
            }
    for (int c = 0; c < slots; ++c) {
        const uint32_t capacity = c < channels && view ? view->capacityBps : 0;
        Put32(out, static_cast<uint32_t>(std::min<uint64_t>(used[static_cast<size_t>(c)], capacity)));
        Put32(out, capacity);
        Put32(out, 0);
    }
    for (const auto& [id, kbps] : rates) {
        Put16(out, id);
        Put16(out, std::min<uint32_t>(kbps, 0xFFFF));
    }
    return out;
}

} // namespace mulvane
