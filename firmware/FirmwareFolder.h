#pragma once
// The firmware folder on disk: the index "QVX.FRM" read into firmware entries, and the HD
// encoder component files. Names are looked up without regard to case, so that a folder
// prepared on Windows works as it is.
#include "firmware/FirmwareFile.h"
#include "rack/RackImage.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::firmware {

inline constexpr const char* kIndexFileName = "QVX.FRM";
// Larger files are refused rather than read into memory.
inline constexpr uintmax_t kMaxFileSize = 16u * 1024 * 1024;

// `name` (relative, '/' or '\' between parts) inside folder: the exact path when it exists,
// else the one entry per part whose name matches without regard to case.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                  const std::string& name);
// Whole file, or nothing when it cannot be read or is larger than kMaxFileSize.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path);

// One line of the index as it was read.
struct IndexLine {
    std::string name;
    bool added = false;
    std::string skipped; // why the line gave no entry
    rack::FirmwareEntry entry;
};
struct FolderIndex {
    bool indexFound = false;
    std::vector<IndexLine> lines;
    std::vector<rack::FirmwareEntry> Entries() const;
};
FolderIndex IndexFirmwareFolder(const std::filesystem::path& folder);

// HD encoder component files of the folder, sorted by name.
struct HdComponentFile {
    std::filesystem::path path;
    HdComponentName name;
};
std::vector<HdComponentFile> ListHdComponentFiles(const std::filesystem::path& folder);
// The file with the highest release (the first by name among equals), if any.
std::optional<HdComponentFile> NewestHdComponentFile(const std::filesystem::path& folder);
// Whether the file's MD5 is the digest in its name; nothing when it cannot be read.
std::optional<bool> HdComponentDigestMatches(const HdComponentFile& file, std::string* computed = nullptr);

} // namespace kaptiv::firmware
