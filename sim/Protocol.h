#pragma once
// Numbers of the rack bus as the modules see them: addresses, commands, answer kinds,
// sub-codes and the gateway's message types. The simulator keeps its own copy on purpose:
// it must not share a single constant with the tool it is testing.
#include <cstdint>

namespace mulvane {

// Module types (the one-byte type code of the identification answer and the module list).
inline constexpr uint8_t kTypeController = 0;
inline constexpr uint8_t kTypeSatTuner = 1; // one input
inline constexpr uint8_t kTypeCofdm1 = 2;   // COFDM modulator, 1 channel
inline constexpr uint8_t kTypeCommonInterface = 3;
inline constexpr uint8_t kTypeSatTunerB = 4; // one input, later model
inline constexpr uint8_t kTypeCofdm2 = 5;
inline constexpr uint8_t kTypeCofdm4 = 6;
inline constexpr uint8_t kTypeTwinSatTuner = 7; // inputs A and B, USB key
inline constexpr uint8_t kTypeQam4 = 8;
inline constexpr uint8_t kTypeAvEncoder = 9;
inline constexpr uint8_t kTypeTwinSatTunerB = 10;
inline constexpr uint8_t kTypeQam2 = 11;
inline constexpr uint8_t kTypeTerrestrialTuner = 12; // DVB-T/T2/C, inputs A and B, USB key
inline constexpr uint8_t kTypeIpStreamer = 13;
inline constexpr uint8_t kTypeHdEncoder = 14;

// Bus addresses.
inline constexpr uint8_t kAddrController = 0x00;
inline constexpr uint8_t kAddrPc = 0xFD;
inline constexpr uint8_t kAddrAll = 0xFF;

// Frame layout.
inline constexpr uint8_t kFrameStart = 0x02; // also the stuffing byte: doubled from the control byte on
inline constexpr uint8_t kCommandMask = 0xF0;
inline constexpr uint8_t kLengthFormOneByte = 0x04;  // one length byte follows the control byte
inline constexpr uint8_t kLengthFormTwoBytes = 0x08; // two length bytes (high, low) follow
inline constexpr uint8_t kShortLengthMask = 0x03;    // lengths 0..3 sit in the control byte itself
inline constexpr size_t kMaxFrameData = 65535;

// Commands (high nibble of a request's control byte).
inline constexpr uint8_t kCmdIdentify = 0x10;
inline constexpr uint8_t kCmdReadStatus = 0x40;
inline constexpr uint8_t kCmdWriteData = 0x50;
inline constexpr uint8_t kCmdReadData = 0x60;
inline constexpr uint8_t kCmdReadParameters = 0x70;
inline constexpr uint8_t kCmdExecute = 0x80;
inline constexpr uint8_t kCmdReadNameList = 0x90;
inline constexpr uint8_t kCmdFile = 0xA0;
inline constexpr uint8_t kCmdSetMode = 0xB0;
inline constexpr uint8_t kCmdFlash = 0xC0;

// Sub-codes of the flash command (first data byte).
inline constexpr uint8_t kFlashBegin = 0x00;
inline constexpr uint8_t kFlashWrite = 0x01;
inline constexpr uint8_t kFlashEnd = 0x02;
inline constexpr uint8_t kFlashRestartAll = 0x03;

// Sub-codes of the file command (first data byte) that the simulator acts on.
inline constexpr uint8_t kFileCreate = 0x00;
inline constexpr uint8_t kFileOpen = 0x01;
inline constexpr uint8_t kFileClose = 0x02;
inline constexpr uint8_t kFileReadBlock = 0x03;
inline constexpr uint8_t kFileWriteForm4 = 0x04;
inline constexpr uint8_t kFileWriteForm5 = 0x05;
// A modulator's personality component: the record 0x83, wanted type, two more bytes.
inline constexpr uint16_t kPersonalityComponent = 0x0FFF;
inline constexpr uint8_t kPersonalityRecordMark = 0x83;

// Answer kinds (high nibble of an answer's control byte).
inline constexpr uint8_t kAnswerPositive = 0xF0;
inline constexpr uint8_t kAnswerNegative = 0xE0;

// First byte of every identification answer ('w').
inline constexpr uint8_t kIdentifyMagic = 0x77;
inline constexpr size_t kMinIdentifyLength = 3;
inline constexpr size_t kMaxIdentifyLength = 7;

// Module list answer of the controller: entries of (address, type, unused byte).
inline constexpr size_t kModuleListEntrySize = 3;

// The serial line: 115200 baud, 8N1 = 10 bits per byte.
inline constexpr int64_t kThrottledBytesPerSecond = 11520;

// Gateway messages: 2-byte total length, 2-byte id, 1-byte type, payload.
inline constexpr size_t kGatewayHeaderSize = 5;
inline constexpr size_t kGatewayMaxMessage = 65535;
enum class GatewayType : uint8_t {
    Opening = 0, // gateway -> PC; the PC answers OpeningAnswer with the same id
    OpeningAnswer = 1,
    LinkState = 5, // gateway -> PC; payload byte 0: 1 = linked to a rack
    Close = 6,     // PC -> gateway
    Relay = 7,     // both ways: a request to, or an answer from, a module
    KeepAlive = 8, // both ways; answered with an empty type 8 of the same id
};
inline constexpr uint16_t kCloseMessageId = 0xFFFF;

} // namespace mulvane
