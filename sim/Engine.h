#pragma once
// The modules of the rack: what each one answers to a request, whatever transport carried
// it. Thread-safe; the serial line, the pty server and the gateway server all feed the one
// engine of a simulated rack, and tests inspect it from their own thread.
#include "sim/Cam.h"
#include "sim/Dynamics.h"
#include "sim/Faults.h"
#include "sim/FirmwareLoader.h"
#include "sim/ModuleFiles.h"
#include "sim/Rack.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace mulvane {

struct ReceivedRequest {
    int64_t atMs = 0;
    uint8_t destination = 0;
    uint8_t command = 0; // high nibble of the control byte
    std::vector<uint8_t> data;
};

struct Answer {
    uint8_t source = 0;
    uint8_t kind = 0; // positive or negative answer kind (high nibble)
    std::vector<uint8_t> data;
    int64_t delayMs = 0; // from the end of the request to the first byte of the answer
    bool corruptChecksum = false;
    bool truncated = false;  // delivered cut short (sim/AnswerFaults.h)
    bool byteByByte = false; // delivered one byte at a time

    // Control byte with the length form, as on the line.
    uint8_t Control() const;
};

class RackEngine {
public:
    explicit RackEngine(RackConfig rack, uint64_t seed = 1);

    // One request as the modules received it at nowMs (command = high nibble of the control
    // byte). Returns the answer that goes back to the PC, if any: broadcasts, requests to
    // absent or restarting modules and dropped answers get none.
    std::optional<Answer> Handle(uint8_t destination, uint8_t command, std::span<const uint8_t> data,
                                 int64_t nowMs);

    Faults& GetFaults() { return m_faults; }
    // Loaders, flash and components of the modules (sim/FirmwareLoader.h).
    FirmwareLoader& Firmware() { return m_firmware; }
    RackConfig Config() const;
    void SetRestartSilenceMs(int64_t ms);
    bool IsRestarting(int64_t nowMs) const;

    // Inspection ------------------------------------------------------------------------
    // The histories keep the most recent entries only (kMaxRequestHistory requests, and
    // kMaxHistoryPerModule blocks and texts per module), so that a simulator left running for
    // days under a polling tool does not grow without end.
    static constexpr size_t kMaxRequestHistory = 20000;
    static constexpr size_t kMaxHistoryPerModule = 1000;
    // Requests in arrival order, by destination (0xFF for broadcasts), or all of them.
    std::vector<ReceivedRequest> RequestsTo(uint8_t address) const;
    std::vector<ReceivedRequest> AllRequests() const;
    std::vector<std::vector<uint8_t>> BlocksWritten(uint8_t address) const;
    std::vector<uint8_t> CurrentBlock(uint8_t address) const;
    int ExecuteCount(uint8_t address) const;                       // executes without a text
    std::vector<std::string> ExecutedTexts(uint8_t address) const; // shell commands
    int RestartCount() const;
    void ClearHistory();

    // The CAM behind a common-interface module (null for other modules and addresses). It
    // lives as long as the engine and locks itself.
    SimCam* Cam(uint8_t address);

    // Changes made on the module's own side ----------------------------------------------
    void SetBlock(uint8_t address, std::vector<uint8_t> block);
    // An encoder whose settings changed on its front panel: the block's change counter
    // (byte 0, which its status answer repeats) moves on by one.
    void BumpChangeCounter(uint8_t address);
    // A tuner input's antenna or cable plugged in or out (the input loses or regains lock).
    void SetInputSignal(uint8_t address, size_t input, bool on);
    // A tuner input's level held at a value while it has a signal (sim/Dynamics.h PinLevel).
    void SetInputLevel(uint8_t address, size_t input, int level);
    // The time of the latest request the modules received (the engine's "now").
    int64_t LastRequestMs() const;
    // The multiplex an input receives changes (a service added by the broadcaster).
    void SetReception(uint8_t address, size_t input, InputReception reception);

    // Measures as the modules would give them at nowMs --------------------------------------
    uint8_t LockState(uint8_t address, size_t input, int64_t nowMs) const;
    std::vector<ReceivedService> ReceivedServices(uint8_t address, size_t input, int64_t nowMs) const;
    uint8_t ChangeIndicator(uint8_t address) const;

    // USB key and log of the streaming modules (types 7, 10, 12) --------------------------
    // Plugging the key out or in flips the USB-key byte of the status answer.
    void SetUsbKeyPresent(uint8_t address, bool present);
    std::vector<NamedFile> UsbKeyFiles(uint8_t address) const; // names without "/mnt/"
    void PutUsbKeyFile(uint8_t address, const std::string& name, std::vector<uint8_t> bytes);
    std::optional<std::vector<uint8_t>> ModuleFile(uint8_t address, const std::string& path) const;
    uint64_t UsbKeyBytes(uint8_t address) const;
    uint64_t UsbKeyCapacity(uint8_t address) const;
    std::string ModuleLog(uint8_t address) const; // /logFile as it stands
    uint8_t LogMode(uint8_t address) const;
    int SyncCount(uint8_t address) const;

private:
    static constexpr uint8_t kCamModuleType = 3; // the common-interface module carries a CAM
    struct ModuleState {
        ModuleState(ModuleConfig c, uint64_t seed)
            : config(std::move(c)), block(config.block), dynamics(config, seed),
              files(IsStreamingTunerType(config.type) ? std::make_unique<ModuleFiles>(config, seed)
                                                      : nullptr),
              cam(config.type == kCamModuleType ? std::make_unique<SimCam>() : nullptr) {}
        ModuleConfig config;
        std::vector<uint8_t> block;
        std::deque<std::vector<uint8_t>> written;
        int executes = 0;
        std::deque<std::string> texts;
        int openComponent = -1; // component opened by number, until closed
        ModuleDynamics dynamics;
        std::unique_ptr<ModuleFiles> files; // streaming modules only
        std::unique_ptr<SimCam> cam;        // common-interface modules only
    };

    ModuleState* Find(uint8_t address);
    const ModuleState* Find(uint8_t address) const;
    std::optional<Answer> Dispatch(ModuleState& module, uint8_t command, std::span<const uint8_t> data,
                                   int64_t nowMs, bool& restartSelf);
    std::vector<uint8_t> IdentifyAnswer(const ModuleState& module) const;
    static void HandleFile(ModuleState& module, std::span<const uint8_t> data);
    // A request the streaming module's file system answers: nothing when it is not one
    // (the ordinary handling follows), else the answer data or nothing for a negative answer.
    std::optional<std::optional<std::vector<uint8_t>>> HandleKeyRequest(ModuleState& module, uint8_t command,
                                                                        std::span<const uint8_t> data);
    std::vector<uint8_t> ModuleList() const;
    std::vector<uint8_t> StatusAnswer(ModuleState& module, int64_t nowMs);
    std::vector<uint8_t> ReadDataAnswer(ModuleState& module, int64_t nowMs);
    std::optional<ReceivedService> FindService(uint16_t id, int64_t nowMs) const;
    uint32_t ServiceRateKbps(uint16_t id, int64_t nowMs);
    int64_t DrawDelay(const ModuleConfig& config);

    mutable std::mutex m_mutex;
    Faults m_faults;
    FirmwareLoader m_firmware;
    std::vector<ModuleState> m_modules; // slot order
    int64_t m_restartSilenceMs;
    int64_t m_silentUntilMs = 0;
    std::map<uint8_t, int64_t> m_moduleSilentUntilMs;
    int m_restarts = 0;
    std::deque<ReceivedRequest> m_requests;
    std::mt19937_64 m_rng;
    uint64_t m_seed;
    int64_t m_lastNowMs = 0;
};

} // namespace mulvane
