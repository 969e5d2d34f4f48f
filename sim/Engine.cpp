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
constexpr uint8_t kUsbKeyPresent = 1;
constexpr uint8_t kUsbKeyAbsent = 0;

} // namespace

// False when the answer is dropped.
static bool ApplyLoaderAnswer(LoaderAnswer result, Answer& answer) {
    if (result == LoaderAnswer::Drop)
        return false;
    if (result == LoaderAnswer::Negative) {
        answer.kind = kAnswerNegative;
        answer.data.clear();
    }
    return true;
}

uint8_t Answer::Control() const {
    return ControlFor(kind, data.size());
}

RackEngine::RackEngine(RackConfig rack, uint64_t seed)
    : m_restartSilenceMs(rack.restartSilenceMs), m_rng(seed), m_seed(seed) {
    for (auto& config : rack.modules)
        m_modules.emplace_back(std::move(config), seed);
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
    m_lastNowMs = nowMs;
    m_requests.push_back({nowMs, destination, command, {data.begin(), data.end()}});
    if (m_requests.size() > kMaxRequestHistory)
        m_requests.pop_front();

    if (destination == kAddrAll) {
        // Nobody answers a broadcast; the one broadcast the modules act on is the restart.
        if (command == kCmdFlash && !data.empty() && data[0] == kFlashRestartAll) {
            ++m_restarts;
            m_silentUntilMs = nowMs + m_restartSilenceMs;
            for (auto& module : m_modules)
                m_firmware.Restart(module.config);
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
    if (restartSelf) {
        m_moduleSilentUntilMs[destination] = nowMs + m_restartSilenceMs;
        m_firmware.Restart(module->config);
    }
    if (!answer)
        return std::nullopt;

    const AnswerFate fate = m_faults.Consume(destination, command);
    if (fate.drop)
        return std::nullopt;
    if (fate.negative) {
        answer->kind = kAnswerNegative;
        answer->data.clear();
    }
    answer->corruptChecksum = fate.corruptChecksum;
    answer->truncated = fate.truncated;
    answer->byteByByte = fate.byteByByte;
    if (fate.otherAddress)
        answer->source = OtherAddress(answer->source);
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
    if (module.files) {
        module.files->Advance(nowMs);
        if (auto handled = HandleKeyRequest(module, command, data)) {
            if (*handled)
                answer.data = std::move(**handled);
            else
                answer.kind = kAnswerNegative;
            return answer;
        }
    }
    switch (command) {
    case kCmdIdentify:
        answer.data = IdentifyAnswer(module);
        break;
    case kCmdReadStatus:
        answer.data = StatusAnswer(module, nowMs);
        break;
    case kCmdWriteData:
        module.written.emplace_back(data.begin(), data.end());
        if (module.written.size() > kMaxHistoryPerModule)
            module.written.pop_front();
        // The controller and the CI module have no settings block; what they receive through
        // this command (CAM packets on the CI module) is only kept in the history.
        if (module.config.type != kTypeController && module.config.type != kTypeCommonInterface) {
            module.block.assign(data.begin(), data.end());
            module.dynamics.OnBlock(module.block, nowMs);
        }
        if (module.cam)
            module.cam->Receive(data, nowMs);
        break;
    case kCmdReadData:
        answer.data = ReadDataAnswer(module, nowMs);
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
        if (!data.empty() && data[0] == kFlashRestartAll) {
            restartSelf = true; // a restart addressed to one module: it answers, then reboots
            break;
        }
        if (!ApplyLoaderAnswer(m_firmware.Flash(module.config, data), answer))
            return std::nullopt;
        break;
    case kCmdFile:
        HandleFile(module, data);
        if (!ApplyLoaderAnswer(m_firmware.File(module.config, data, answer.data), answer))
            return std::nullopt;
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

std::optional<std::optional<std::vector<uint8_t>>>
RackEngine::HandleKeyRequest(ModuleState& module, uint8_t command, std::span<const uint8_t> data) {
    ModuleFiles& files = *module.files;
    switch (command) {
    case kCmdExecute: {
        if (data.empty())
            return std::nullopt; // the plain execute
        const auto end = std::find(data.begin(), data.end(), uint8_t{0});
        module.texts.emplace_back(data.begin(), end);
        if (module.texts.size() > kMaxHistoryPerModule)
            module.texts.pop_front();
        // A text without its terminating 0 is refused like any text the module cannot run.
        const bool ok = end != data.end() && files.Execute(std::string_view(module.texts.back()));
        return ok ? std::optional(std::vector<uint8_t>{}) : std::optional<std::vector<uint8_t>>{};
    }
    case kCmdReadNameList:
        return std::optional(files.NameList());
    case kCmdSetMode:
        if (!data.empty())
            files.SetMode(data[0]);
        return std::optional(std::vector<uint8_t>{});
    case kCmdFile: {
        if (data.empty())
            return std::nullopt;
        // Files by name ("/..." then 0) and the block requests go to the key's file system;
        // components by number stay with the module's loader.
        const bool byName =
            (data[0] == kFileCreate || data[0] == kFileOpen) && data.size() >= 2 && data[1] == '/';
        const bool block = data[0] == kFileReadBlock || data[0] == kFileWriteForm4;
        if (data[0] == kFileClose)
            module.openComponent = -1;
        if (!byName && !block && data[0] != kFileClose)
            return std::nullopt;
        return std::optional(files.FileRequest(data, m_faults, module.config.address));
    }
    default:
        return std::nullopt;
    }
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

std::vector<uint8_t> RackEngine::StatusAnswer(ModuleState& module, int64_t nowMs) {
    const ModuleConfig& c = module.config;
    if (c.status)
        return *c.status;
    auto jitter = [this](int base) {
        return static_cast<uint8_t>(base + std::uniform_int_distribution<int>(-2, 2)(m_rng));
    };
    if (IsSingleInputTuner(c.type) || IsDualInputTuner(c.type))
        return module.dynamics.TunerStatus(
            nowMs, module.files && !module.files->KeyPresent() ? kUsbKeyAbsent : kUsbKeyPresent,
            module.block);
    if (IsEncoder(c.type))
        return module.dynamics.EncoderStatus(module.block,
                                             [this, nowMs](uint16_t id) { return FindService(id, nowMs); });
    if (module.cam)
        return {module.cam->Status(nowMs)};
    if (c.type == kTypeController)
        return {0, jitter(41), 1};
    return {1, jitter(45)};
}

std::vector<uint8_t> RackEngine::ReadDataAnswer(ModuleState& module, int64_t nowMs) {
    const ModuleConfig& c = module.config;
    if (c.address == kAddrController)
        return ModuleList();
    if (!c.readData.empty())
        return c.readData;
    if (module.cam)
        return module.cam->TakeRecords(nowMs);
    if (IsSingleInputTuner(c.type) || IsDualInputTuner(c.type) || IsEncoder(c.type))
        return module.dynamics.ServiceList(nowMs, module.block,
                                           [this, nowMs](uint16_t id) { return FindService(id, nowMs); });
    if (IsOutputType(c.type)) {
        auto& rng = module.dynamics.Random();
        const auto temperature = static_cast<uint8_t>(std::uniform_int_distribution<int>(43, 47)(rng));
        return OutputRates(
            c.type, module.block, [this, nowMs](uint16_t id) { return ServiceRateKbps(id, nowMs); },
            temperature);
    }
    return {};
}

// A service some input of the rack receives now, by id (the first one found in slot order).
std::optional<ReceivedService> RackEngine::FindService(uint16_t id, int64_t nowMs) const {
    for (const auto& module : m_modules) {
        if (m_faults.IsRemoved(module.config.address))
            continue;
        for (size_t input = 0; input < 3; ++input)
            if (const InputReception* r = module.dynamics.Reception(input, nowMs))
                for (const auto& s : r->services)
                    if (s.id == id)
                        return s;
    }
    return std::nullopt;
}

// What a service carries at the moment: a received service its nominal rate, an encoder
// channel its video and audio rates, a streaming tuner's play-out service (while it has a
// schedule) a fixed rate; each varies by a few percent from answer to answer. A service
// nothing in the rack provides has no rate.
uint32_t RackEngine::ServiceRateKbps(uint16_t id, int64_t nowMs) {
    constexpr uint32_t kPlayOutKbps = 3500;
    uint32_t nominal = 0;
    for (const auto& module : m_modules) {
        if (nominal || m_faults.IsRemoved(module.config.address))
            break;
        const uint8_t type = module.config.type;
        if (IsEncoder(type)) {
            if (auto view = ReadEncoder(type, module.block))
                for (const auto& ch : view->channels)
                    if (ch.serviceId == id && !nominal)
                        nominal = ch.videoKbps + ch.audioKbps;
        } else if (IsDualInputTuner(type)) {
            if (auto tail = ReadTunerTail(type, module.block))
                if (tail->streamingServiceId == id && !tail->schedule.empty())
                    nominal = kPlayOutKbps;
        }
    }
    if (!nominal)
        if (const auto s = FindService(id, nowMs))
            nominal = NominalRateKbps(*s, m_seed);
    if (!nominal)
        return 0;
    const int percent = std::uniform_int_distribution<int>(-3, 3)(m_rng);
    return static_cast<uint32_t>(nominal * (100 + percent) / 100);
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
    if (ModuleState* module = Find(address)) {
        module->block = std::move(block);
        module->dynamics.OnBlock(module->block, m_lastNowMs);
    }
}

void RackEngine::SetInputSignal(uint8_t address, size_t input, bool on) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address))
        module->dynamics.SetSignal(input, on, m_lastNowMs);
}

void RackEngine::SetInputLevel(uint8_t address, size_t input, int level) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address))
        module->dynamics.PinLevel(input, level);
}

int64_t RackEngine::LastRequestMs() const {
    std::lock_guard lock(m_mutex);
    return m_lastNowMs;
}

void RackEngine::SetReception(uint8_t address, size_t input, InputReception reception) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address))
        module->dynamics.SetReception(input, std::move(reception), m_lastNowMs);
}

uint8_t RackEngine::LockState(uint8_t address, size_t input, int64_t nowMs) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module ? module->dynamics.Lock(input, nowMs) : kLockNone;
}

std::vector<ReceivedService> RackEngine::ReceivedServices(uint8_t address, size_t input,
                                                          int64_t nowMs) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module ? module->dynamics.Received(input, nowMs) : std::vector<ReceivedService>{};
}

void RackEngine::SetUsbKeyPresent(uint8_t address, bool present) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address); module && module->files)
        module->files->SetKeyPresent(present);
}

std::vector<NamedFile> RackEngine::UsbKeyFiles(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->KeyFiles() : std::vector<NamedFile>{};
}

void RackEngine::PutUsbKeyFile(uint8_t address, const std::string& name, std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    if (ModuleState* module = Find(address); module && module->files)
        module->files->PutKeyFile(name, std::move(bytes));
}

std::optional<std::vector<uint8_t>> RackEngine::ModuleFile(uint8_t address, const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->File(path) : std::nullopt;
}

uint64_t RackEngine::UsbKeyBytes(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->KeyBytes() : 0;
}

uint64_t RackEngine::UsbKeyCapacity(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->KeyCapacity() : 0;
}

std::string RackEngine::ModuleLog(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->Log() : std::string();
}

uint8_t RackEngine::LogMode(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->Mode() : 0;
}

int RackEngine::SyncCount(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module && module->files ? module->files->SyncCount() : 0;
}

uint8_t RackEngine::ChangeIndicator(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    const ModuleState* module = Find(address);
    return module ? module->dynamics.ChangeIndicator() : 0;
}

void RackEngine::BumpChangeCounter(uint8_t address) {
    std::lock_guard lock(m_mutex);
    ModuleState* module = Find(address);
    if (module && !module->block.empty())
        ++module->block[0];
}

} // namespace mulvane
