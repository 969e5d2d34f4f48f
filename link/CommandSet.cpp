#include "link/CommandSet.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace kaptiv::link {

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int kTimeoutShort = 10;
constexpr int kTimeoutRead = 100;
constexpr int kTimeoutName = 200;
constexpr int kTimeoutFlashWrite = 300;
constexpr int kTimeoutBlock = 500;
constexpr int kTimeoutLong = 5000;
constexpr int kTimeoutFlashEnd = 10000;
constexpr int kTimeoutRestart = 1;
} // namespace

bool CommandSet::Send(uint8_t address, uint8_t command, std::span<const uint8_t> payload, int timeout,
                      bool write) {
    if (write)
        m_xmit.SetWriteFlag();
    return m_xmit.Exchange(payload.size(), address, command, payload.empty() ? nullptr : payload.data(),
                           timeout);
}

bool CommandSet::SendWithSubcode(uint8_t address, uint8_t command, uint8_t subcode,
                                 std::span<const uint8_t> data, int timeout, bool write) {
    std::vector<uint8_t> payload;
    payload.reserve(data.size() + 1);
    payload.push_back(subcode);
    payload.insert(payload.end(), data.begin(), data.end());
    return Send(address, command, payload, timeout, write);
}

bool CommandSet::BuildText(std::vector<uint8_t>& out, int subcode, std::string_view text) {
    out.clear();
    if (subcode >= 0)
        out.push_back(static_cast<uint8_t>(subcode));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    return out.size() <= kMaxTextPayload;
}

bool CommandSet::CopyAnswer(std::span<uint8_t> buffer) {
    const size_t n = static_cast<size_t>(std::max(m_xmit.AnswerLength(), 0));
    if (n > buffer.size())
        return false;
    if (n > 0)
        std::memcpy(buffer.data(), m_xmit.AnswerData(), n);
    return true;
}

uint8_t CommandSet::Identify(uint8_t address, IdentifyResults* results) {
    Lock lock(m_xmit.ExchangeLock());
    if (!Send(address, cmd::kIdentify, {}, kTimeoutShort, false))
        return kNoModuleType;
    const int n = m_xmit.AnswerLength();
    const uint8_t* a = m_xmit.AnswerData();
    if (results) {
        results->release = n > 2 ? a[2] : 0;
        results->hardwareRevision = n >= 4 ? a[3] : 0;
        results->wantedPersonality = n >= 5 ? a[4] : 255;
        results->runningPersonality = n >= 6 ? a[5] : 255;
        results->extraStatus = n >= 7 ? a[6] : 0;
    }
    if (n >= 2 && a[0] == CXmit::kIdentifyMark)
        return a[1];
    return kNoModuleType;
}

const uint8_t* CommandSet::ReadStatus(uint8_t address, int& lengthOut) {
    Lock lock(m_xmit.ExchangeLock());
    const bool ok = Send(address, cmd::kReadStatus, {}, kTimeoutRead, false);
    lengthOut = m_xmit.AnswerLength();
    return ok ? m_xmit.AnswerData() : nullptr;
}

bool CommandSet::WriteData(uint8_t address, std::span<const uint8_t> data) {
    Lock lock(m_xmit.ExchangeLock());
    return Send(address, cmd::kWriteData, data, kTimeoutBlock, true);
}

uint16_t CommandSet::ReadData(uint8_t address, const uint8_t*& dataOut, int& lengthOut) {
    Lock lock(m_xmit.ExchangeLock());
    dataOut = m_xmit.AnswerData();
    const bool ok = Send(address, cmd::kReadData, {}, kTimeoutRead, false);
    lengthOut = m_xmit.AnswerLength();
    return ok ? static_cast<uint16_t>(lengthOut) : 0;
}

bool CommandSet::ReadParameters(uint8_t address, uint16_t& lengthOut, std::span<uint8_t> buffer) {
    Lock lock(m_xmit.ExchangeLock());
    lengthOut = 0;
    if (!Send(address, cmd::kReadParameters, {}, kTimeoutShort, false) || !CopyAnswer(buffer))
        return false;
    lengthOut = static_cast<uint16_t>(m_xmit.AnswerLength());
    return true;
}

void CommandSet::Execute(uint8_t address) {
    Lock lock(m_xmit.ExchangeLock());
    Send(address, cmd::kExecute, {}, kTimeoutRead, true);
}

bool CommandSet::ExecuteText(uint8_t address, std::string_view text) {
    Lock lock(m_xmit.ExchangeLock());
    std::vector<uint8_t> payload;
    if (!BuildText(payload, -1, text))
        return false;
    return Send(address, cmd::kExecute, payload, kTimeoutLong, true);
}

uint16_t CommandSet::ReadNameList(uint8_t address, const uint8_t*& dataOut, int& lengthOut) {
    Lock lock(m_xmit.ExchangeLock());
    dataOut = m_xmit.AnswerData();
    const bool ok = Send(address, cmd::kReadNameList, {}, kTimeoutRead, false);
    lengthOut = m_xmit.AnswerLength();
    return ok ? static_cast<uint16_t>(lengthOut) : 0;
}

uint32_t CommandSet::OpenByName(uint8_t address, std::string_view name) {
    Lock lock(m_xmit.ExchangeLock());
    std::vector<uint8_t> payload;
    if (!BuildText(payload, cmd::kFileOpen, name))
        return kNoHandle;
    if (!Send(address, cmd::kFile, payload, kTimeoutName, false) || m_xmit.AnswerLength() < 4)
        return kNoHandle;
    const uint8_t* a = m_xmit.AnswerData();
    return (uint32_t{a[0]} << 24) | (uint32_t{a[1]} << 16) | (uint32_t{a[2]} << 8) | a[3];
}

bool CommandSet::CreateByName(uint8_t address, std::string_view name) {
    Lock lock(m_xmit.ExchangeLock());
    std::vector<uint8_t> payload;
    if (!BuildText(payload, cmd::kFileCreate, name))
        return false;
    return Send(address, cmd::kFile, payload, kTimeoutName, true);
}

bool CommandSet::CloseLong(uint8_t address) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFile, cmd::kFileClose, {}, kTimeoutLong, false);
}

bool CommandSet::WriteForm4(uint8_t address, std::span<const uint8_t> data) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFile, cmd::kFileWriteForm4, data, kTimeoutBlock, true);
}

bool CommandSet::ReadBlock(uint8_t address, uint16_t count, std::span<uint8_t> buffer) {
    Lock lock(m_xmit.ExchangeLock());
    const uint8_t wanted[2] = {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    return SendWithSubcode(address, cmd::kFile, cmd::kFileRead, wanted, kTimeoutBlock, false) &&
           CopyAnswer(buffer);
}

bool CommandSet::ReadBlock8(uint8_t address, std::span<uint8_t> buffer) {
    return ReadBlock(address, 8, buffer);
}

bool CommandSet::SetOption(uint8_t address, uint8_t value) {
    Lock lock(m_xmit.ExchangeLock());
    // The third byte has no meaning the modules are known to read; send it as 0.
    const uint8_t data[2] = {value, 0};
    return SendWithSubcode(address, cmd::kFile, cmd::kFileSetOption, data, kTimeoutBlock, false);
}

bool CommandSet::OpenByNumber(uint8_t address, uint16_t number) {
    Lock lock(m_xmit.ExchangeLock());
    const uint8_t data[2] = {static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)};
    return SendWithSubcode(address, cmd::kFile, cmd::kFileOpen, data, kTimeoutBlock, false);
}

bool CommandSet::CreateByNumber(uint8_t address, uint16_t number) {
    Lock lock(m_xmit.ExchangeLock());
    const uint8_t data[2] = {static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)};
    return SendWithSubcode(address, cmd::kFile, cmd::kFileCreate, data, kTimeoutBlock, true);
}

bool CommandSet::Close(uint8_t address) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFile, cmd::kFileClose, {}, kTimeoutBlock, false);
}

bool CommandSet::WriteForm5(uint8_t address, std::span<const uint8_t> data) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFile, cmd::kFileWriteForm5, data, kTimeoutBlock, true);
}

void CommandSet::SetMode(uint8_t address, uint8_t value) {
    Lock lock(m_xmit.ExchangeLock());
    const uint8_t data[1] = {value};
    Send(address, cmd::kSetMode, data, kTimeoutName, false);
}

bool CommandSet::FlashBegin(uint8_t address) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFlash, cmd::kFlashBegin, {}, kTimeoutName, true);
}

bool CommandSet::FlashWrite(std::span<const uint8_t> data, uint32_t flashAddress, uint8_t address,
                            bool force) {
    Lock lock(m_xmit.ExchangeLock());
    if (!force && std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0xFF; }))
        return true; // erased flash needs no writing
    std::vector<uint8_t> payload;
    payload.reserve(data.size() + 4);
    payload.push_back(cmd::kFlashWrite);
    payload.push_back(static_cast<uint8_t>(flashAddress >> 16));
    payload.push_back(static_cast<uint8_t>(flashAddress >> 8));
    payload.push_back(static_cast<uint8_t>(flashAddress));
    payload.insert(payload.end(), data.begin(), data.end());
    return Send(address, cmd::kFlash, payload, kTimeoutFlashWrite, true);
}

bool CommandSet::FlashEnd(uint8_t address) {
    Lock lock(m_xmit.ExchangeLock());
    return SendWithSubcode(address, cmd::kFlash, cmd::kFlashEnd, {}, kTimeoutFlashEnd, true);
}

void CommandSet::RestartAll() {
    Lock lock(m_xmit.ExchangeLock());
    SendWithSubcode(kBroadcastAddress, cmd::kFlash, cmd::kRestartAll, {}, kTimeoutRestart, true);
}

} // namespace kaptiv::link
