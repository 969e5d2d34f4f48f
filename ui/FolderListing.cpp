#include "ui/FolderListing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kaptiv::ui {

namespace fs = std::filesystem;

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// '*' any run, '?' one character; iterative with one back-tracking point.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool MatchesFilter(const std::string& name, const std::string& patterns) {
    std::string_view rest(patterns);
    bool any = false;
    while (!rest.empty()) {
        const size_t cut = rest.find(';');
        std::string_view pattern = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
        while (!pattern.empty() && pattern.front() == ' ')
            pattern.remove_prefix(1);
        while (!pattern.empty() && pattern.back() == ' ')
            pattern.remove_suffix(1);
        if (pattern.empty())
            continue;
        any = true;
        if (pattern == "*" || pattern == "*.*" || WildcardMatch(name, pattern))
            return true;
    }
    return !any;
}

FolderListing ListFolder(const std::string& folder, const std::string& patterns, size_t maxEntries) {
    FolderListing listing;
    std::error_code error;
    const fs::path path = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, error), error);
    if (error || !fs::is_directory(path, error)) {
        listing.error = "not a folder: " + folder;
        listing.notAFolder = true;
        return listing;
    }
    listing.folder = path.string();
    if (path.has_parent_path() && path.parent_path() != path)
        listing.parent = path.parent_path().string();

    fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, error);
    if (error) {
        listing.error = error.message();
        return listing;
    }
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        std::error_code statError;
        const bool isFolder = it->is_directory(statError);
        if (!isFolder && (!it->is_regular_file(statError) || !MatchesFilter(name, patterns)))
            continue;
        if (listing.entries.size() == maxEntries) {
            listing.truncated = true;
            break;
        }
        const uint64_t size = isFolder ? 0 : it->file_size(statError);
        listing.entries.push_back(FolderEntry{name, isFolder, statError ? 0 : size});
    }
    std::sort(listing.entries.begin(), listing.entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.isFolder != b.isFolder)
            return a.isFolder;
        return a.name < b.name;
    });
    listing.ok = true;
    return listing;
}

} // namespace kaptiv::ui
