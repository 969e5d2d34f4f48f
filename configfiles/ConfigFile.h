#pragma once
// The configuration file ".qvc": no header, one entry per module of the rack in scan order,
// the rack controller first. Each entry is the module type (1 byte), the block length (2 bytes,
// big-endian) and the parameter block. Pure: bytes in, bytes out; the file system helpers
// below are the only code that touches disk.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::configfiles {

// What the rack image holds: the controller and 14 modules, blocks of at most 1024 bytes.
inline constexpr size_t kMaxEntries = 15;
inline constexpr size_t kMaxBlockBytes = 1024;
inline constexpr size_t kEntryHeaderBytes = 3;
inline constexpr size_t kMaxFileBytes = kMaxEntries * (kEntryHeaderBytes + kMaxBlockBytes);

struct ConfigEntry {
    uint8_t type = 0;
    std::vector<uint8_t> block;
    bool operator==(const ConfigEntry&) const = default;
};

// Why a file is refused. A refused file is refused whole: none of its entries may be used.
enum class FileProblem {
    None,
    TooManyEntries, // a 16th entry starts
    BlockTooLong,   // an entry announces more than 1024 bytes
    EndsInsideEntry // the file ends after a type byte or inside the length or the block
};

struct ConfigReadResult {
    std::vector<ConfigEntry> entries;
    FileProblem problem = FileProblem::None;
    size_t entryIndex = 0; // the entry the problem was found in
    size_t length = 0;     // BlockTooLong: the announced length
    bool Ok() const { return problem == FileProblem::None; }
};

ConfigReadResult ParseConfigFile(std::span<const uint8_t> bytes);

// An English sentence naming the problem, e.g. "entry 3 ends before its 40-byte block".
std::string DescribeProblem(const ConfigReadResult& result);

// The file's bytes. Empty with a reason in `error` for more than 15 entries or a block over 1024
// bytes: such a file could not be read back into a rack image.
std::vector<uint8_t> BuildConfigFile(std::span<const ConfigEntry> entries, std::string& error);

// The installer's chosen path with ".qvc" appended unless the first "." of the path is its
// fourth character from the end and its last three characters read "QVC" in any case.
// site1 -> site1.qvc, site1.QVC kept, site1.qv -> site1.qv.qvc, a/b.c/site1.qvc -> ...qvc.qvc.
std::string ConfigFileName(const std::string& chosen);

// Writes `bytes` through the platform's atomic writer (platform/FileAccess.h): a temporary
// file in the target's folder, flushed to disk and renamed over the target, so an existing
// file is either replaced whole or left as it was, and keeps its mode. False (with the reason,
// naming the file, in `error`) when any step failed.
bool WriteFileSafely(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

// Reads at most maxBytes from the start of a regular file; anything else (a folder, a FIFO, a
// device) is refused at once, never waited on. False with the reason in `error`.
// kMaxFileBytes + 1 bytes are enough to judge a configuration file: a longer one always shows
// a 16th entry or an oversized block within them.
bool ReadFilePrefix(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                    std::string& error);

} // namespace kaptiv::configfiles
