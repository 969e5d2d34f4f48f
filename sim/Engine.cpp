#include "sim/Engine.h"

#include "sim/Frame.h"
#include "sim/Protocol.h"

#include <algorithm>

namespace mulvane {

namespace {

// Families by module type, as far as the answers differ.
bool IsSingleInputTuner(uint8_t type) {
    return type == kTypeSatTuner || type == kTypeSatTunerB;
}
bool IsDualInputTuner(uint8_t type) {
    return type == kTypeTwinSatTuner || type == kTypeTwinSatTunerB || type == kTypeTerrestrialTuner;
}
bool IsEncoder(uint8_t type) {
    return type == kTypeAvEncoder || type == kTypeHdEncoder;
}

// Status answers (the read-status command), by family:
//  - tuners: per input lock (0 none, 1 carrier, 2 locked), level, quality; the twin-input
//    tuners (7, 10, 12) add the USB-key state, a service-list change indicator and the
//    4-byte address of the remote receiver;
//  - encoders: the block's change counter (byte 0 of their block), then a service-list
//    change indicator;
//  - common-interface module: CAM status (0 no CAM, 1 initialising, 2 ready);
//  - controller: supply state (0 good), temperature in degrees Celsius, fan state (1 on);
//  - modulators and IP streamer: output state (1 running), temperature in degrees Celsius.
constexpr uint8_t kLocked = 2;
constexpr uint8_t kNoSignal = 0;
constexpr uint8_t kUsbKeyPresent = 1;
constexpr uint8_t kCamReady = 2;

} // namespace

uint8_t Answer::Control() const {
    return ControlFor(kind, data.size());
}

RackEngine::RackEngine(RackConfig rack, uint64_t seed)
    : m_restartSilenceMs(rack.restartSilenceMs), m_rng(seed) {
    for (auto& config : rack.modules) {
        ModuleState state;
        state.block = config.block;
        state.config = std::move(config);
        if (state.config.type == kTypeCommonInterface)
            state.cam = std::make_unique<SimCam>();
        m_modules.push_back(std::move(state));
    }
}

RackConfig RackEngine::Config() const {
    std::lock_guard lock(m_mutex);
    RackConfig rack;
    rack.restartSilenceMs = m_restartSilenceMs;
    for (const auto& module : m_modules)
        rack.modules.push_back(module.config);
    return rack;
}

void RackEngine::SetRestartSilenceMs(int64_t ms) {
    std::lock_guard lock(m_mutex);
    m_restartSilenceMs = ms < 0 ? 0 : ms;
}

bool RackEngine::IsRestarting(int64_t nowMs) const {
    std::lock_guard lock(m_mutex);
    return nowMs < m_silentUntilMs;
}

RackEngine::ModuleState* RackEngine::Find(uint8_t address) {
    for (auto& module : m_modules)
        if (module.config.address == address)
            return &module;
    return nullptr;
}

const RackEngine::ModuleState* RackEngine::Find(uint8_t address) const {
    return const_cast<RackEngine*>(this)->Find(address);
}

int64_t RackEngine::DrawDelay(const ModuleConfig& config) {
    const int lo = std::max(0, config.answerDelayMinMs);
    const int hi = std::max(lo, config.answerDelayMaxMs);
    if (lo == hi)
        return lo;
    return std::uniform_int_distribution<int>(lo, hi)(m_rng);
}

std::optional<Answer> RackEngine::Handle(uint8_t destination, uint8_t command, std::span<const uint8_t> data,
                                         int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    command &= kCommandMask;
    m_requests.push_back({nowMs, destination, command, {data.begin(), data.end()}});
    if (m_requests.size() > kMaxRequestHistory)
        m_requests.pop_front();

    if (destination == kAddrAll) {
        // Nobody answers a broadcast; the one broadcast the modules act on is the restart.
        if (command == kCmdFlash && !data.empty() && data[0] == kFlashRestartAll) {
            ++m_restarts;
            m_silentUntilMs = nowMs + m_restartSilenceMs;
        }
        return std::nullopt;
    }
    if (nowMs < m_silentUntilMs)
        return std::nullopt;
    ModuleState* module = Find(destination);
    if (!module || m_faults.IsRemoved(destination))
        return std::nullopt;
    if (auto it = m_moduleSilentUntilMs.find(destination); it != m_moduleSilentUntilMs.end()) {
        if (nowMs < it->second)
            return std::nullopt;
        m_moduleSilentUntilMs.erase(it);
    }

    bool restartSelf = false;
    std::optional<Answer> answer = Dispatch(*module, command, data, nowMs, restartSelf);
    if (restartSelf)
        m_moduleSilentUntilMs[destination] = nowMs + m_restartSilenceMs;
    if (!answer)
        return std::nullopt;

    const AnswerFate fate = m_faults.Consume(destination);
    if (fate.drop)
        return std::nullopt;
    if (fate.negative) {
        answer->kind = kAnswerNegative;
        answer->data.clear();
    }
    answer->corruptChecksum = fate.corruptChecksum;
    answer->delayMs = DrawDelay(module->config) + fate.extraDelayMs;
    return answer;
}

std::optional<Answer> RackEngine::Dispatch(ModuleState& module, uint8_t command,
                                           std::span<const uint8_t> data, int64_t nowMs, bool& restartSelf) {
    if (module.cam)
        module.cam->PowerOn(nowMs);
    Answer answer;
    answer.source = module.config.address;
    answer.kind = kAnswerPositive;
    switch (command) {
    case kCmdIdentify:
        answer.data = IdentifyAnswer(module);
        break;
    case kCmdReadStatus:
        if (module.cam && !module.config.status)
            answer.data = {module.cam->Status(nowMs)};
        else
            answer.data = StatusAnswer(module);
        break;
    case kCmdWriteData:
        module.written.emplace_back(data.begin(), data.end());
        if (module.written.size() > kMaxHistoryPerModule)
            module.written.pop_front();
        // The controller and the CI module have no settings block; what they receive through
        // this command (CAM packets on the CI module) is only kept in the history.
        if (module.config.type != kTypeController && module.config.type != kTypeCommonInterface)
            module.block.assign(data.begin(), data.end());
        if (module.cam)
            module.cam->Receive(data, nowMs);
        break;
    case kCmdReadData:
        if (module.cam && module.config.readData.empty())
            answer.data = module.cam->TakeRecords(nowMs);
        else
            answer.data = module.config.address == kAddrController ? ModuleList() : module.config.readData;
        break;
    case kCmdReadParameters:
        answer.data = module.block;
        break;
    case kCmdExecute:
        if (data.empty()) {
            ++module.executes;
        } else {
            // A shell command: the text up to its terminating 0.
            auto end = std::find(data.begin(), data.end(), uint8_t{0});
            module.texts.emplace_back(data.begin(), end);
            if (module.texts.size() > kMaxHistoryPerModule)
                module.texts.pop_front();
        }
        break;
    case kCmdFlash:
        if (!data.empty() && data[0] == kFlashRestartAll)
            restartSelf = true; // a restart addressed to one module: it answers, then reboots
        break;
    case kCmdFile:
        HandleFile(module, data);
        break;
    case kCmdReadNameList:
    case kCmdSetMode:
        break; // kept in the request history; answered positively with no data
    default:
        answer.kind = kAnswerNegative; // a command no module knows
        break;
    }
    return answer;
}

void RackEngine::HandleFile(ModuleState& module, std::span<const uint8_t> data) {
    // Only the personality component has an effect: the wanted type it records is what the
    // module reports as its wanted personality from then on (the firmware update that
    // follows switches it over). Everything else is kept in the request history only.
    if (data.empty())
        return;
    switch (data[0]) {
    case kFileCreate:
        module.openComponent = data.size() == 3 ? (data[1] << 8 | data[2]) : -1;
        break;
    case kFileWriteForm5:
        if (module.openComponent == kPersonalityComponent && data.size() >= 3 &&
            data[1] == kPersonalityRecordMark)
            module.config.wantedPersonality = data[2];
        break;
    case kFileClose:
        module.openComponent = -1;
        break;
    default:
        break;
    }
}

std::vector<uint8_t> RackEngine::IdentifyAnswer(const ModuleState& module) const {
    const ModuleConfig& c = module.config;
    std::vector<uint8_t> full = {kIdentifyMagic,      m_faults.IdentifiedType(c.address, c.type),
                                 c.release,           c.hwRevision,
                                 c.wantedPersonality, c.runningPersonality,
                                 c.extraStatus};
    const size_t length = std::clamp<size_t>(c.identifyLength, kMinIdentifyLength, kMaxIdentifyLength);
    full.resize(length);
    return full;
}

std::vector<uint8_t> RackEngine::ModuleList() const {
    std::vector<uint8_t> list;
    for (const auto& module : m_modules) {
        const ModuleConfig& c = module.config;
        if (c.address == kAddrController || m_faults.IsRemoved(c.address))
            continue;
        list.push_back(c.address);
        list.push_back(m_faults.ListedType(c.address, c.type));
        list.push_back(0); // not used by the PC
    }
    return list;
}

std::vector<uint8_t> RackEngine::StatusAnswer(const ModuleState& module) {
    const ModuleConfig& c = module.config;
    if (c.status)
        return *c.status;
    auto jitter = [this](int base) {
        return static_cast<uint8_t>(base + std::uniform_int_distribution<int>(-2, 2)(m_rng));
    };
    if (IsSingleInputTuner(c.type))
        return {kLocked, jitter(90), jitter(70)};
    if (IsDualInputTuner(c.type))
        return {kLocked, jitter(90), jitter(70), kNoSignal, 0, 0, kUsbKeyPresent, 0, 0, 0, 0, 0};
    if (IsEncoder(c.type))
        return {module.block.empty() ? uint8_t{0} : module.block[0], 0};
    if (c.type == kTypeCommonInterface)
        return {kCamReady};
    if (c.type == kTypeController)
        return {0, jitter(41), 1};
    return {1, jitter(45)};
}

std::vector<ReceivedRequest> RackEngine::RequestsTo(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    std::vector<ReceivedRequest> out;
    for (const auto& r : m_requests)
        if (r.destination == address)
            out.push_back(r);
    return out;
}

std::vector<ReceivedRequest> RackEngine::AllRequests() const {
    std::lock_guard lock(m_mutex);
    return {m_requests.begin(), m_requests.end()};
}

std::vector<std::vector<uint8_t>> RackEngine::BlocksWritten(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    if (!module)
        return {};
    return {module->written.begin(), module->written.end()};
}

std::vector<uint8_t> RackEngine::CurrentBlock(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module ? module->block : std::vector<uint8_t>{};
}

int RackEngine::ExecuteCount(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module ? module->executes : 0;
}

std::vector<std::string> RackEngine::ExecutedTexts(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    if (!module)
        return {};
    return {module->texts.begin(), module->texts.end()};
}

int RackEngine::RestartCount() const {
    std::lock_guard lock(m_mutex);
    return m_restarts;
}

void RackEngine::ClearHistory() {
    std::lock_guard lock(m_mutex);
    m_requests.clear();
    for (auto& module : m_modules) {
        module.written.clear();
        module.executes = 0;
        module.texts.clear();
    }
    m_restarts = 0;
}

SimCam* RackEngine::Cam(uint8_t address) {
    std::lock_guard lock(m_mutex);
    ModuleState* module = Find(address);
    return module ? module->cam.get() : nullptr;
}

void RackEngine::SetBlock(uint8_t address, std::vector<uint8_t> block) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address))
        module->block = std::move(block);
}

void RackEngine::BumpChangeCounter(uint8_t address) {
    std::lock_guard lock(m_mutex);
    ModuleState* module = Find(address);
    if (module && !module->block.empty())
        ++module->block[0];
}

} // namespace mulvane
