#include "sim/Faults.h"

namespace mulvane {

void Faults::DropNextAnswers(int count) {
    std::lock_guard lock(m_mutex);
    m_dropNext = count > 0 ? count : 0;
}

void Faults::DropAllAnswersOf(uint8_t address, bool on) {
    std::lock_guard lock(m_mutex);
    if (on)
        m_dropAddresses.insert(address);
    else
        m_dropAddresses.erase(address);
}

void Faults::DelayAnswers(int64_t ms) {
    std::lock_guard lock(m_mutex);
    m_delayMs = ms > 0 ? ms : 0;
}

void Faults::CorruptNextChecksum(int count) {
    std::lock_guard lock(m_mutex);
    m_corruptNext = count > 0 ? count : 0;
}

void Faults::AnswerNegatively(int count) {
    std::lock_guard lock(m_mutex);
    m_negativeNext = count > 0 ? count : 0;
}

void Faults::AnswerNegativelyAlways(uint8_t address, bool on) {
    std::lock_guard lock(m_mutex);
    if (on)
        m_negativeAddresses.insert(address);
    else
        m_negativeAddresses.erase(address);
}

void Faults::InjectAnswerFault(AnswerFault fault, int count) {
    std::lock_guard lock(m_mutex);
    m_answerFaults[fault].next = count > 0 ? count : 0;
}

void Faults::InjectAnswerFaultEvery(AnswerFault fault, int n) {
    std::lock_guard lock(m_mutex);
    AnswerFaultPlan& plan = m_answerFaults[fault];
    plan.every = n > 0 ? n : 0;
    plan.phase = 0;
}

void Faults::RemoveModule(uint8_t address) {
    std::lock_guard lock(m_mutex);
    m_removed.insert(address);
}

void Faults::ReinsertModule(uint8_t address) {
    std::lock_guard lock(m_mutex);
    m_removed.erase(address);
}

bool Faults::IsRemoved(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    return m_removed.count(address) != 0;
}

void Faults::ChangeModuleType(uint8_t address, uint8_t type, TypeChangeScope scope) {
    std::lock_guard lock(m_mutex);
    m_typeChanges[address] = {type, scope};
}

void Faults::RestoreModuleType(uint8_t address) {
    std::lock_guard lock(m_mutex);
    m_typeChanges.erase(address);
}

uint8_t Faults::IdentifiedType(uint8_t address, uint8_t configured) const {
    std::lock_guard lock(m_mutex);
    auto it = m_typeChanges.find(address);
    return it == m_typeChanges.end() ? configured : it->second.first;
}

uint8_t Faults::ListedType(uint8_t address, uint8_t configured) const {
    std::lock_guard lock(m_mutex);
    auto it = m_typeChanges.find(address);
    if (it == m_typeChanges.end() || it->second.second == TypeChangeScope::IdentifyOnly)
        return configured;
    return it->second.first;
}

void Faults::DisconnectGatewayClients() {
    std::lock_guard lock(m_mutex);
    ++m_disconnectGeneration;
}

uint64_t Faults::GatewayDisconnectGeneration() const {
    std::lock_guard lock(m_mutex);
    return m_disconnectGeneration;
}

void Faults::ThrottleSerial(bool on) {
    std::lock_guard lock(m_mutex);
    m_throttled = on;
}

bool Faults::SerialThrottled() const {
    std::lock_guard lock(m_mutex);
    return m_throttled;
}

void Faults::Clear() {
    std::lock_guard lock(m_mutex);
    m_dropNext = 0;
    m_dropAddresses.clear();
    m_dropCommands.clear();
    m_delayMs = 0;
    m_corruptNext = 0;
    m_negativeNext = 0;
    m_negativeAddresses.clear();
    m_answerFaults.clear();
    m_removed.clear();
    m_typeChanges.clear();
    m_throttled = false;
    m_blockWriteCountdown.clear();
    m_createCountdown.clear();
}

void Faults::DropNextAnswersTo(uint8_t address, uint8_t command, int count) {
    std::lock_guard lock(m_mutex);
    if (count > 0)
        m_dropCommands[{address, command}] = count;
    else
        m_dropCommands.erase({address, command});
}

AnswerFate Faults::Consume(uint8_t address, uint8_t command) {
    std::lock_guard lock(m_mutex);
    AnswerFate fate;
    if (m_dropAddresses.count(address)) {
        fate.drop = true;
        return fate;
    }
    if (auto it = m_dropCommands.find({address, command}); it != m_dropCommands.end()) {
        if (--it->second <= 0)
            m_dropCommands.erase(it);
        fate.drop = true;
        return fate;
    }
    if (m_dropNext > 0) {
        --m_dropNext;
        fate.drop = true;
        return fate;
    }
    fate.extraDelayMs = m_delayMs;
    if (m_negativeAddresses.count(address)) {
        fate.negative = true;
    } else if (m_negativeNext > 0) {
        --m_negativeNext;
        fate.negative = true;
    }
    if (m_corruptNext > 0) {
        --m_corruptNext;
        fate.corruptChecksum = true;
    }
    for (auto& [fault, plan] : m_answerFaults) {
        bool hit = false;
        if (plan.next > 0) {
            --plan.next;
            hit = true;
        } else if (plan.every > 0) {
            hit = plan.phase == 0;
            plan.phase = (plan.phase + 1) % plan.every;
        }
        if (!hit)
            continue;
        switch (fault) {
        case AnswerFault::Truncated:
            fate.truncated = true;
            break;
        case AnswerFault::ByteByByte:
            fate.byteByByte = true;
            break;
        case AnswerFault::OtherAddress:
            fate.otherAddress = true;
            break;
        }
    }
    return fate;
}

namespace {

// Counts down to the failing occurrence; true exactly once, at the nth call.
bool CountDown(std::map<uint8_t, int>& countdowns, uint8_t address) {
    auto it = countdowns.find(address);
    if (it == countdowns.end())
        return false;
    if (--it->second > 0)
        return false;
    countdowns.erase(it);
    return true;
}

} // namespace

void Faults::FailNthBlockWrite(uint8_t address, int n) {
    std::lock_guard lock(m_mutex);
    if (n > 0)
        m_blockWriteCountdown[address] = n;
    else
        m_blockWriteCountdown.erase(address);
}

void Faults::RefuseNthCreate(uint8_t address, int n) {
    std::lock_guard lock(m_mutex);
    if (n > 0)
        m_createCountdown[address] = n;
    else
        m_createCountdown.erase(address);
}

bool Faults::ConsumeBlockWriteFailure(uint8_t address) {
    std::lock_guard lock(m_mutex);
    return CountDown(m_blockWriteCountdown, address);
}

bool Faults::ConsumeCreateRefusal(uint8_t address) {
    std::lock_guard lock(m_mutex);
    return CountDown(m_createCountdown, address);
}

} // namespace mulvane
