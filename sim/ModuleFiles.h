#pragma once
// The small file system of a streaming module (types 7, 10, 12): its USB key at /mnt/, a
// /tmp folder and the log at /logFile (rotated to /logFile.0). It answers the file
// requests of the PC (create, open, read and write blocks, close, the name list of the
// key), runs the shell commands of Shell.h and keeps a log that grows while the module runs.
#include "sim/Faults.h"
#include "sim/Rack.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace mulvane {

// The log grows by one line every this many milliseconds of module time while logging is on,
// and is rotated to /logFile.0 when it passes kLogRotateBytes.
inline constexpr int64_t kLogLineIntervalMs = 10000;
inline constexpr size_t kLogRotateBytes = 16384;

using NamedFile = std::pair<std::string, std::vector<uint8_t>>;

class ModuleFiles {
public:
    ModuleFiles(const ModuleConfig& config, uint64_t seed);

    // Module time moves on: the log gets the lines of the time passed.
    void Advance(int64_t nowMs);

    bool KeyPresent() const { return m_keyPresent; }
    void SetKeyPresent(bool present);

    // Answer data of the name-list request: 2 bytes 0, the number of names (u16), then the
    // names of the files on the key, each ended by 0, in the order they were created.
    std::vector<uint8_t> NameList() const;

    // A file request whose payload starts with its sub-code; nothing for a negative answer.
    // Sub-codes 0 (create by name), 1 (open by name), 2 (close), 3 (read block), 4 (write).
    std::optional<std::vector<uint8_t>> FileRequest(std::span<const uint8_t> data, Faults& faults,
                                                    uint8_t address);
    // A shell command text (without its 0). False when refused or when it failed.
    bool Execute(std::string_view text);
    // Log control of the PC: 0 logging on, 1 and 2 logging held (the PC holds it while it
    // fetches the log).
    void SetMode(uint8_t mode);

    // Inspection.
    std::vector<NamedFile> KeyFiles() const; // names without "/mnt/"
    std::optional<std::vector<uint8_t>> File(const std::string& path) const;
    void PutKeyFile(const std::string& name, std::vector<uint8_t> bytes);
    std::string Log() const;
    uint8_t Mode() const { return m_mode; }
    int SyncCount() const { return m_syncs; }
    uint64_t KeyBytes() const;
    uint64_t KeyCapacity() const { return m_capacity; }

private:
    std::vector<uint8_t>* Visible(const std::string& path);
    const std::vector<uint8_t>* Visible(const std::string& path) const;
    bool Writable(const std::string& path, std::string& why) const;
    void Put(const std::string& path, std::vector<uint8_t> bytes);
    void Erase(const std::string& path);
    void LogLine(const std::string& text);
    bool Fits(const std::string& path, uint64_t newSize) const;

    std::vector<NamedFile> m_files; // full paths, in creation order
    bool m_keyPresent = true;
    uint64_t m_capacity = 0;
    std::optional<std::string> m_writing;
    std::optional<std::string> m_reading;
    size_t m_readPos = 0;
    uint8_t m_mode = 0;
    int m_syncs = 0;
    int64_t m_nowMs = 0;
    std::optional<int64_t> m_nextLogMs;
    uint64_t m_logCount = 0;
};

// Bytes of a transport-stream file of the given size for the demo keys: 188-byte packets
// with the sync byte, a PID and a continuity counter, payload seeded from the name.
std::vector<uint8_t> DemoTransportStream(const std::string& name, size_t size);

} // namespace mulvane
