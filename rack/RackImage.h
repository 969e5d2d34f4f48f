#pragma once
// The one in-memory picture of the rack: which modules answered, in slot order, with their
// identity and parameter blocks as last read, a reference copy of each block to tell what
// the installer changed, a second half that receives a loaded configuration file, and the
// table of firmware files found on disk.
#include "link/CommandSet.h"
#include "platform/ModuleType.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::rack {

constexpr size_t kMaxBlockSize = 1024;
constexpr size_t kHalfSize = 15;           // records per half: the controller and 14 modules
constexpr uint8_t kAllChains = 255;        // chain filter that serves every output
constexpr size_t kModuleListEntrySize = 3; // address, type, one byte not used

struct ModuleRecord {
    uint8_t type = 0;
    uint8_t reportedType = 0;         // type before the firmware check; wanted personality on a change
    uint8_t hardwareRevision = 0;     // 0 when the identification was too short
    uint8_t wantedPersonality = 255;  // 255 when absent
    uint8_t subRelease = 255;         // same value as the wanted personality
    uint8_t runningPersonality = 255; // 255 when absent
    uint8_t extraStatus = 0;
    uint8_t address = 0;
    uint8_t release = 0; // major * 10 + minor
    uint16_t blockLength = 0;
    std::array<uint8_t, kMaxBlockSize> block{};
    uint16_t referenceLength = 0;
    std::array<uint8_t, kMaxBlockSize> reference{};

    std::span<const uint8_t> Block() const { return {block.data(), blockLength}; }
    // Stores a block read from the module; refused (false, record unchanged) over 1024 bytes.
    bool SetBlock(std::span<const uint8_t> bytes);
    bool DiffersFromReference() const;
};

struct FirmwareEntry {
    std::string path;
    uint8_t moduleType = 0;
    uint8_t hardwareRevision = 0;
    uint8_t release = 0;
    uint8_t minimumRelease = 0;
};

// "\r\n2.3", then "(H2)", ".2" for the IP streamer, ".2.1" for the HD encoder (always).
std::string ReleaseText(const ModuleRecord& record);
// The list row: module name followed by the release text.
std::string ListRowText(const ModuleRecord& record);

struct ModuleListEntry {
    uint8_t address;
    uint8_t type;
};
// The controller's module list: 3-byte entries. Refused (nothing) when it names more
// modules than the rack image holds beside the controller.
std::optional<std::vector<ModuleListEntry>> ParseModuleList(std::span<const uint8_t> answer);

class RackImage {
public:
    uint8_t moduleCount = 0;
    uint8_t loadedCount = 0;
    std::array<ModuleRecord, 2 * kHalfSize> records{};
    std::vector<FirmwareEntry> firmware;
    std::string applicationFolder;

    ModuleRecord& Live(size_t i) { return records.at(i); }
    const ModuleRecord& Live(size_t i) const { return records.at(i); }
    ModuleRecord& Loaded(size_t i) { return records.at(kHalfSize + i); }
    uint8_t FirmwareCount() const { return static_cast<uint8_t>(firmware.size()); }

    void Clear() { moduleCount = 0; }
    // Entry 0 becomes the controller and the count 1: the start of every scan.
    void StartScan();
    // Appends a live record; false when the live half is full.
    bool Append(uint8_t address, uint8_t type);
    // At the end of a scan: reference copies of every editable block.
    void TakeReference();
    // Writes back every editable block that differs from its reference copy and tells the
    // outputs among them to apply it. Only a write the module answered positively takes a new
    // reference copy: a block that did not arrive still differs and is sent again next time.
    // The indexes of those modules go to notWritten when given. Returns whether a module's
    // new settings asked for a restart (the request is cleared).
    bool SendChanges(link::CommandSet& commands, std::vector<size_t>* notWritten = nullptr);
    // Tells the outputs to apply their settings: all of them (kAllChains), or those that
    // follow the input with the given address, up to the next input after one was served.
    void ApplyOutputs(link::CommandSet& commands, uint8_t chainFilter);

    // Raised by the settings editor when a change needs the rack to restart.
    void RequestRestart() { m_restartRequested = true; }

private:
    bool m_restartRequested = false;
};

} // namespace kaptiv::rack
