#pragma once
// The firmware side of the simulated modules: per module a loader and its flash, the
// components (headers with versions) of the encoders and the IP streamer, the HD encoder's
// extra component with its release byte, and the personality record of the modulators.
//
// The loader checks what arrives against the rules the tool must follow (block writes only
// inside the loader, offsets in range and on block boundaries, ascending and gap-free for
// the twin-input tuners' family, strictly descending for every other module) and compares
// what was written with the firmware files it knows (the files it wrote itself with
// --write-firmware, or those a test gave it), byte for byte. A new release, personality or
// HD sub-release shows only after a restart; components change at once. Without any firmware
// file to compare with (no library given), the loaders take every request positively and
// change nothing.
//
// Called by the engine under its lock; the inspection calls take the loader's own lock.
#include "sim/Rack.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mulvane {

// One firmware file as the tool reads it: header (checksum, type, release) and image.
struct SimFirmwareFile {
    std::string name;
    uint8_t type = 0;
    uint8_t hwRevision = 0;
    uint8_t release = 0;
    std::vector<uint8_t> image; // the bytes after the 6-byte header
};
struct SimHdComponentFile {
    std::string name;
    uint8_t release = 0;
    std::vector<uint8_t> bytes; // whole file: a 16-byte header, then what is sent
};
struct SimPictureFile {
    std::string name;
    uint8_t type = 0; // personality the picture belongs to
    std::vector<uint8_t> bytes;
};
struct FirmwareLibrary {
    std::vector<SimFirmwareFile> files;
    std::vector<SimHdComponentFile> hdComponents;
    std::vector<SimPictureFile> pictures;
};

// The answer the engine gives to a loader or component request.
enum class LoaderAnswer { Positive, Negative, Drop };

class FirmwareLoader {
public:
    static constexpr size_t kFlashSize = 4 * 1024 * 1024;
    static constexpr size_t kBlockSize = 256;
    static constexpr size_t kComponentHeaderSize = 16;

    void SetLibrary(FirmwareLibrary library);
    // A component the module has from the start (its 16-byte header).
    void AddComponent(uint8_t address, uint16_t number, std::vector<uint8_t> header);

    // Requests: command 0xC0 (sub-codes begin, write, end) and 0xA0 (components).
    LoaderAnswer Flash(ModuleConfig& module, std::span<const uint8_t> data);
    LoaderAnswer File(ModuleConfig& module, std::span<const uint8_t> data, std::vector<uint8_t>& answer);
    // The module restarts: what the loader verified takes effect.
    void Restart(ModuleConfig& module);

    // Fault: the nth block write (1 = first) after entering the loader gets this answer.
    void FailBlockWrite(uint8_t address, int nth, LoaderAnswer how);
    // Fault: the nth component write (1 = first) after opening a component gets this answer.
    void FailComponentWrite(uint8_t address, int nth, LoaderAnswer how);
    // Fault: the module cannot show its component headers (opening one for reading is
    // answered negatively), however often a component is written.
    void HideComponentHeaders(uint8_t address, bool hidden = true);

    // Inspection -----------------------------------------------------------------------
    // Rules broken and contents that matched no file, in the order met.
    std::vector<std::string> Errors(uint8_t address) const;
    std::vector<uint32_t> BlockOffsets(uint8_t address) const;
    // Data of each write to a component (sub-code removed), in order; all sessions.
    std::vector<std::vector<uint8_t>> ComponentWrites(uint8_t address, uint16_t number) const;
    std::optional<std::vector<uint8_t>> ComponentHeader(uint8_t address, uint16_t number) const;
    // Something verified waits for a restart to show.
    bool RestartPending(uint8_t address) const;
    bool LoaderActive(uint8_t address) const;

private:
    struct Module {
        bool inLoader = false;
        std::map<uint32_t, std::vector<uint8_t>> flash; // block offset -> bytes written
        std::optional<uint32_t> lastOffset;
        int blockWrites = 0;
        std::vector<uint32_t> offsets;
        std::vector<std::string> errors;
        uint8_t option = 0;
        int openRead = -1;
        int openWrite = -1;
        std::vector<std::vector<uint8_t>> chunks; // of the component open for writing
        std::map<uint16_t, std::vector<uint8_t>> components;
        std::map<uint16_t, std::vector<std::vector<uint8_t>>> componentWrites;
        std::optional<uint8_t> personalityTarget; // from the personality record
        bool pictureReceived = false;
        std::optional<uint8_t> hdReceived; // release of the HD component file received
        // Shown after the next restart.
        std::optional<uint8_t> pendingRelease;
        std::optional<uint8_t> pendingType;
        std::optional<uint8_t> pendingSubRelease;
        // Fault.
        int failAt = 0;
        LoaderAnswer failHow = LoaderAnswer::Positive;
        int componentFailAt = 0;
        LoaderAnswer componentFailHow = LoaderAnswer::Positive;
        bool headersHidden = false;
    };

    LoaderAnswer BlockWrite(Module& m, const ModuleConfig& module, std::span<const uint8_t> data);
    LoaderAnswer EndLoader(Module& m, const ModuleConfig& module);
    LoaderAnswer CloseComponent(Module& m, const ModuleConfig& module);
    // The first flash image of a file of `type` for the module's revision that the flash holds.
    const SimFirmwareFile* MatchFlash(const Module& m, uint8_t type, uint8_t hwRevision) const;
    bool MainFirmwareMatch(const Module& m, const ModuleConfig& module, uint8_t& release) const;
    Module& At(uint8_t address) { return m_modules[address]; }
    bool Verifying() const { return !m_library.files.empty() || !m_library.hdComponents.empty(); }

    mutable std::mutex m_mutex;
    FirmwareLibrary m_library;
    std::map<uint8_t, Module> m_modules;
};

// Helpers over the formats, the simulator's own: packet decoding and composite sub-records.
struct SimSubRecord {
    uint8_t release = 0;
    uint32_t identifier = 0;
    std::span<const uint8_t> data;
};
std::optional<std::vector<SimSubRecord>> SplitSubRecords(std::span<const uint8_t> image);
// Decoded bytes of packet-coded data; nothing when a packet is cut short.
std::optional<std::vector<uint8_t>> DecodeRunPackets(std::span<const uint8_t> coded);

} // namespace mulvane
