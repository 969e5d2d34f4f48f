#pragma once
// The requests every module understands. Each operation takes the exchange lock, builds
// one request, exchanges it and hands back what the answer holds. The command is the high
// nibble of the control byte; several commands carry a sub-code in their first data byte.
// Time-outs are in exchange units: 10 ms on the serial line, 100 ms through the gateway.
#include "link/CXmit.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace kaptiv::link {

namespace cmd {
constexpr uint8_t kIdentify = 0x10;
constexpr uint8_t kReadStatus = 0x40;
constexpr uint8_t kWriteData = 0x50;
constexpr uint8_t kReadData = 0x60;
constexpr uint8_t kReadParameters = 0x70;
constexpr uint8_t kExecute = 0x80;
constexpr uint8_t kReadNameList = 0x90;
constexpr uint8_t kFile = 0xA0;
constexpr uint8_t kSetMode = 0xB0;
constexpr uint8_t kFlash = 0xC0;

// Sub-codes of kFile.
constexpr uint8_t kFileCreate = 0x00;
constexpr uint8_t kFileOpen = 0x01;
constexpr uint8_t kFileClose = 0x02;
constexpr uint8_t kFileRead = 0x03;
constexpr uint8_t kFileWriteForm4 = 0x04;
constexpr uint8_t kFileWriteForm5 = 0x05;
constexpr uint8_t kFileSetOption = 0x06;
// Sub-codes of kFlash.
constexpr uint8_t kFlashBegin = 0x00;
constexpr uint8_t kFlashWrite = 0x01;
constexpr uint8_t kFlashEnd = 0x02;
constexpr uint8_t kRestartAll = 0x03;
} // namespace cmd

// What an identification answer carries besides the type.
struct IdentifyResults {
    uint8_t release = 0;              // byte 2
    uint8_t hardwareRevision = 0;     // byte 3, 0 when absent
    uint8_t wantedPersonality = 255;  // byte 4, 255 when absent
    uint8_t runningPersonality = 255; // byte 5, 255 when absent
    uint8_t extraStatus = 0;          // byte 6, 0 when absent
};

class CommandSet {
public:
    static constexpr size_t kMaxTextPayload = 256; // sub-code, text and its ending 0
    static constexpr uint8_t kNoModuleType = 255;
    static constexpr uint32_t kNoHandle = 0xFFFFFFFF;

    explicit CommandSet(CXmit& xmit) : m_xmit(xmit) {}

    // The module type (answer byte 1 when byte 0 is 0x77), else 255. When the exchange
    // succeeded the results are filled whatever byte 0 holds.
    uint8_t Identify(uint8_t address, IdentifyResults* results = nullptr);
    // Pointer to the answer data (valid until the next exchange), or null; lengthOut gets
    // the answer length in both cases.
    const uint8_t* ReadStatus(uint8_t address, int& lengthOut);
    // True when the module answered positively (the block arrived).
    bool WriteData(uint8_t address, std::span<const uint8_t> data);
    // Points dataOut at the answer area before the exchange; returns the answer length on
    // success, else 0.
    uint16_t ReadData(uint8_t address, const uint8_t*& dataOut, int& lengthOut);
    // Copies the parameter block into buffer. lengthOut is 0 on failure, and when the
    // answer does not fit the buffer (the block is refused, never cut).
    bool ReadParameters(uint8_t address, uint16_t& lengthOut, std::span<uint8_t> buffer);
    void Execute(uint8_t address);
    bool ExecuteText(uint8_t address, std::string_view text);
    uint16_t ReadNameList(uint8_t address, const uint8_t*& dataOut, int& lengthOut);
    uint32_t OpenByName(uint8_t address, std::string_view name);
    bool CreateByName(uint8_t address, std::string_view name);
    bool CloseLong(uint8_t address);
    bool WriteForm4(uint8_t address, std::span<const uint8_t> data);
    // Copies the bytes read into buffer; refused (false) when they do not fit.
    bool ReadBlock(uint8_t address, uint16_t count, std::span<uint8_t> buffer);
    bool ReadBlock8(uint8_t address, std::span<uint8_t> buffer);
    bool SetOption(uint8_t address, uint8_t value);
    bool OpenByNumber(uint8_t address, uint16_t number);
    bool CreateByNumber(uint8_t address, uint16_t number);
    bool Close(uint8_t address);
    bool WriteForm5(uint8_t address, std::span<const uint8_t> data);
    void SetMode(uint8_t address, uint8_t value);
    bool FlashBegin(uint8_t address);
    // A block of erased flash (all 0xFF, or empty) is not sent unless force is set.
    bool FlashWrite(std::span<const uint8_t> data, uint32_t flashAddress, uint8_t address, bool force);
    bool FlashEnd(uint8_t address);
    void RestartAll();

    CXmit& Xmit() { return m_xmit; }

private:
    bool Send(uint8_t address, uint8_t command, std::span<const uint8_t> payload, int timeout, bool write);
    bool SendWithSubcode(uint8_t address, uint8_t command, uint8_t subcode, std::span<const uint8_t> data,
                         int timeout, bool write);
    // Sub-code (optional), the low byte of each character, then 0; empty when over 256 bytes.
    static bool BuildText(std::vector<uint8_t>& out, int subcode, std::string_view text);
    bool CopyAnswer(std::span<uint8_t> buffer);

    CXmit& m_xmit;
};

} // namespace kaptiv::link
