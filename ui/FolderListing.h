#pragma once
// The PC's folders as the page's file dialog browses them: one folder's sub-folders and the
// files that match the dialog's filter. Safe to call from any thread (it touches no dialog).
#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::ui {

struct FolderEntry {
    std::string name;
    bool isFolder = false;
    uint64_t sizeBytes = 0;
    bool operator==(const FolderEntry&) const = default;
};

struct FolderListing {
    bool ok = false;
    std::string error;                // why the folder could not be read
    bool notAFolder = false;          // the path names no folder (error says so in English)
    std::string folder;               // absolute, normalised
    std::string parent;               // empty at the root
    std::vector<FolderEntry> entries; // folders first, then files, each sorted by name
    bool truncated = false;           // more than maxEntries entries
};

// patterns: "*.qvc;*.txt" as in a file filter ("*" or "*.*" or empty = every file); matching
// ignores case. Hidden entries (a leading dot) are left out.
FolderListing ListFolder(const std::string& folder, const std::string& patterns = "*",
                         size_t maxEntries = 5000);
bool MatchesFilter(const std::string& name, const std::string& patterns);

} // namespace kaptiv::ui
