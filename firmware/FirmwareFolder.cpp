#include "firmware/FirmwareFolder.h"

#include "firmware/Md5.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace kaptiv::firmware {

namespace fs = std::filesystem;

std::optional<fs::path> FindInFolder(const fs::path& folder, const std::string& name) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    // The index names files inside the folder only: no absolute names, no way up.
    if (relative.empty() || relative.front() == '/' || relative.find(':') != std::string::npos ||
        ("/" + relative + "/").find("/../") != std::string::npos)
        return std::nullopt;
    std::error_code ec;
    if (fs::exists(folder / relative, ec))
        return folder / relative;
    fs::path at = folder;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        const std::string wanted = AsciiLower(part);
        std::optional<fs::path> match;
        for (fs::directory_iterator it(at, ec), last; !ec && it != last; it.increment(ec))
            if (AsciiLower(it->path().filename().string()) == wanted) {
                match = it->path();
                break;
            }
        if (!match)
            return std::nullopt;
        at = *match;
    }
    return at;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxFileSize)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<uintmax_t>(in.gcount()) != size)
        return std::nullopt;
    return bytes;
}

std::vector<rack::FirmwareEntry> FolderIndex::Entries() const {
    std::vector<rack::FirmwareEntry> entries;
    for (const IndexLine& line : lines)
        if (line.added)
            entries.push_back(line.entry);
    return entries;
}

namespace {

IndexLine ReadIndexLine(const fs::path& folder, const std::string& name) {
    IndexLine line;
    line.name = name;
    const auto revision = HardwareRevisionFromName(name);
    if (!revision) {
        line.skipped = "no hardware revision digit before \"_V\" in the name";
        return line;
    }
    const auto path = FindInFolder(folder, name);
    if (!path) {
        line.skipped = "missing";
        return line;
    }
    const auto bytes = ReadWholeFile(*path);
    if (!bytes) {
        line.skipped = "unreadable";
        return line;
    }
    const FirmwareFileCheck check = CheckFirmwareFile(*bytes);
    if (!check.valid) {
        line.skipped = check.reason;
        return line;
    }
    if (IsCompositeType(check.moduleType)) {
        std::string error;
        if (!ParseSubRecords(std::span(*bytes).subspan(kFileHeaderSize), &error)) {
            line.skipped = "composite image: " + error;
            return line;
        }
    }
    line.entry.path = path->string();
    line.entry.moduleType = check.moduleType;
    line.entry.hardwareRevision = *revision;
    line.entry.release = check.release;
    line.entry.minimumRelease = MinimumRelease(check.moduleType);
    line.added = true;
    return line;
}

} // namespace

FolderIndex IndexFirmwareFolder(const fs::path& folder) {
    FolderIndex index;
    const auto indexPath = FindInFolder(folder, kIndexFileName);
    if (!indexPath)
        return index;
    const auto text = ReadWholeFile(*indexPath);
    if (!text)
        return index;
    index.indexFound = true;
    for (const std::string& name : ParseIndex({reinterpret_cast<const char*>(text->data()), text->size()}))
        index.lines.push_back(ReadIndexLine(folder, name));
    return index;
}

std::vector<HdComponentFile> ListHdComponentFiles(const fs::path& folder) {
    std::vector<HdComponentFile> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), last; !ec && it != last; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        if (auto name = ParseHdComponentName(it->path().filename().string()))
            files.push_back({it->path(), *name});
    }
    std::sort(files.begin(), files.end(), [](const HdComponentFile& a, const HdComponentFile& b) {
        return a.path.filename() < b.path.filename();
    });
    return files;
}

std::optional<HdComponentFile> NewestHdComponentFile(const fs::path& folder) {
    std::optional<HdComponentFile> newest;
    for (HdComponentFile& file : ListHdComponentFiles(folder))
        if (!newest || file.name.release > newest->name.release)
            newest = std::move(file);
    return newest;
}

std::optional<bool> HdComponentDigestMatches(const HdComponentFile& file, std::string* computed) {
    const auto bytes = ReadWholeFile(file.path);
    if (!bytes)
        return std::nullopt;
    const std::string hex = Md5::Hex(Md5::Of(*bytes));
    if (computed)
        *computed = hex;
    return hex == file.name.digest;
}

} // namespace kaptiv::firmware
