#pragma once
// The firmware folder on disk: the index "QVX.FRM" read into firmware entries, and the HD
// encoder component files. Names are looked up without regard to case, so that a folder
// prepared on Windows works as it is. Every file is read through FolderFiles: regular files
// only, never through a symbolic link that leads out of the folder, each file once.
#include "firmware/FirmwareFile.h"
#include "rack/RackImage.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::firmware {

inline constexpr const char* kIndexFileName = "QVX.FRM";
// Larger files are refused rather than read into memory.
inline constexpr size_t kMaxFileSize = 16u * 1024 * 1024;
// An index names files, one a line: 64 KiB holds well over a thousand names.
inline constexpr size_t kMaxIndexSize = 64u * 1024;
// Bytes kept for later use in one FolderFiles; a file read past this is still read, only
// not kept (it is read again the next time it is asked for).
inline constexpr size_t kMaxKeptBytes = 64u * 1024 * 1024;

// `name` (relative, '/' or '\' between parts) inside folder: the exact path when it exists,
// else the one entry per part whose name matches without regard to case.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                  const std::string& name);

// The files of one firmware folder as they were read, each at most once: a later request
// for the same file (under any name that leads to it) gets the bytes, or the reason, of the
// first read.
class FolderFiles {
public:
    struct File {
        bool ok = false;
        bool tooLarge = false;
        std::string error; // why not ok: "missing", "... is a folder, not a regular file", ...
        std::shared_ptr<const std::vector<uint8_t>> bytes;
        std::string md5;         // of the bytes, 32 upper-case hex digits
        std::string fingerprint; // stands for the contents: size and MD5
        std::span<const uint8_t> Bytes() const {
            return bytes ? std::span<const uint8_t>(*bytes) : std::span<const uint8_t>();
        }
    };

    explicit FolderFiles(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return m_folder; }
    // The file at path (inside the folder), read with the limit when it is first asked for.
    // A symbolic link is followed only to a regular file inside the folder.
    File Read(const std::filesystem::path& path, size_t limit = kMaxFileSize);
    // Forgets what was read of path (a file the update has just deleted).
    void Forget(const std::filesystem::path& path);
    // Forgets everything: the next request reads again.
    void Clear();
    // Files read from disk so far.
    size_t ReadCount() const { return m_reads; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_realFolder;  // without symbolic links
    std::map<std::string, File> m_files; // by the file's path without symbolic links
    size_t m_kept = 0;
    size_t m_reads = 0;
};

// One line of the index as it was read.
struct IndexLine {
    std::string name;
    bool added = false;
    std::string skipped; // why the line gave no entry
    rack::FirmwareEntry entry;
};
struct FolderIndex {
    bool indexFound = false;
    bool indexTooLarge = false; // found, larger than kMaxIndexSize, not read
    std::string indexError;     // why an index that is there could not be read
    std::vector<IndexLine> lines;
    std::vector<rack::FirmwareEntry> Entries() const;
};
FolderIndex IndexFirmwareFolder(FolderFiles& files);
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
std::optional<bool> HdComponentDigestMatches(FolderFiles& files, const HdComponentFile& file,
                                             std::string* computed = nullptr);

} // namespace kaptiv::firmware
