#pragma once
// Fault injection, shared by the simulator's transports and by the tests that drive them.
// Every operation is thread-safe: tests set faults from their own thread while the pty or
// gateway server runs on its background thread.
#include "sim/AnswerFaults.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

namespace mulvane {

// How a changed module type shows: only in the module's identification answer (a module
// swapped behind the controller's back) or also in the controller's module list.
enum class TypeChangeScope { IdentifyOnly, IdentifyAndList };

// What happens to one answer after the faults have had their say.
struct AnswerFate {
    bool drop = false;
    bool negative = false;
    bool corruptChecksum = false;
    int64_t extraDelayMs = 0;
    bool truncated = false;    // only the first half of the answer's bytes is delivered
    bool byteByByte = false;   // each byte delivered on its own, kByteGapMs apart
    bool otherAddress = false; // the answer comes from another bus address
};

class Faults {
public:
    // Answers (any module) -------------------------------------------------------------
    void DropNextAnswers(int count);
    void DropAllAnswersOf(uint8_t address, bool on = true);
    // The next count answers of the module to one command (its request is still handled).
    void DropNextAnswersTo(uint8_t address, uint8_t command, int count);
    void DelayAnswers(int64_t ms); // 0 = no extra delay
    void CorruptNextChecksum(int count = 1);
    void AnswerNegatively(int count);
    void AnswerNegativelyAlways(uint8_t address, bool on = true);
    // The next count answers are delivered with the fault (sim/AnswerFaults.h).
    void InjectAnswerFault(AnswerFault fault, int count);
    // One answer in every n is delivered with the fault, from now on; 0 stops it.
    void InjectAnswerFaultEvery(AnswerFault fault, int n);

    // Rack -----------------------------------------------------------------------------
    // A removed module does not answer and leaves the controller's module list.
    void RemoveModule(uint8_t address);
    void ReinsertModule(uint8_t address);
    bool IsRemoved(uint8_t address) const;
    void ChangeModuleType(uint8_t address, uint8_t type, TypeChangeScope scope);
    void RestoreModuleType(uint8_t address);
    // The type the module reports: in its identification answer or in the module list.
    uint8_t IdentifiedType(uint8_t address, uint8_t configured) const;
    uint8_t ListedType(uint8_t address, uint8_t configured) const;

    // Transports -----------------------------------------------------------------------
    // Every gateway server closes its client connections once for each call.
    void DisconnectGatewayClients();
    uint64_t GatewayDisconnectGeneration() const;
    // 115200 baud, 10 bits a byte: 11,520 bytes/s for the echo and the answers.
    void ThrottleSerial(bool on);
    bool SerialThrottled() const;

    // Files of a streaming module -----------------------------------------------------
    // The nth block written to a file of the module from now on (1 = the next) is refused;
    // likewise the nth file creation. 0 cancels.
    void FailNthBlockWrite(uint8_t address, int n);
    void RefuseNthCreate(uint8_t address, int n);
    // Called by the module for each block write and each creation: true when it must fail.
    bool ConsumeBlockWriteFailure(uint8_t address);
    bool ConsumeCreateRefusal(uint8_t address);

    // Clears every fault.
    void Clear();

    // Called by the engine for every answer it is about to give.
    AnswerFate Consume(uint8_t address, uint8_t command = 0);

private:
    mutable std::mutex m_mutex;
    int m_dropNext = 0;
    std::set<uint8_t> m_dropAddresses;
    std::map<std::pair<uint8_t, uint8_t>, int> m_dropCommands;
    int64_t m_delayMs = 0;
    int m_corruptNext = 0;
    int m_negativeNext = 0;
    std::set<uint8_t> m_negativeAddresses;
    struct AnswerFaultPlan {
        int next = 0;  // the next answers that get the fault
        int every = 0; // then one in every n, counted by phase
        int phase = 0;
    };
    std::map<AnswerFault, AnswerFaultPlan> m_answerFaults;
    std::set<uint8_t> m_removed;
    std::map<uint8_t, std::pair<uint8_t, TypeChangeScope>> m_typeChanges;
    uint64_t m_disconnectGeneration = 0;
    bool m_throttled = false;
    std::map<uint8_t, int> m_blockWriteCountdown;
    std::map<uint8_t, int> m_createCountdown;
};

} // namespace mulvane
