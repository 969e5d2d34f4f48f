#include "firmware/FirmwareFolder.h"

#include "firmware/Md5.h"
#include "platform/FileAccess.h"

#include <algorithm>
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
    if (fs::exists(fs::symlink_status(folder / relative, ec)))
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

namespace {

// Whether path (without symbolic links) lies inside folder (the same).
bool Inside(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
        if (f->empty())
            continue; // a trailing separator
        else if (p == path.end() || *p != *f)
            return false;
    return p != path.end();
}

std::string SizeText(size_t bytes) {
    if (bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

FolderFiles::FolderFiles(fs::path folder) : m_folder(std::move(folder)) {
    std::error_code ec;
    m_realFolder = fs::canonical(m_folder, ec);
    if (ec)
        m_realFolder = m_folder.lexically_normal();
}

FolderFiles::File FolderFiles::Read(const fs::path& path, size_t limit) {
    File file;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) {
        file.error = "missing";
        return file;
    }
    const fs::path real = fs::canonical(path, ec);
    if (ec) {
        file.error = "a symbolic link to nothing";
        return file;
    }
    if (!Inside(real, m_realFolder)) {
        file.error = "a symbolic link that leads out of the firmware folder";
        return file;
    }
    const std::string key = real.string();
    if (const auto it = m_files.find(key); it != m_files.end())
        return it->second;

    ++m_reads;
    platform::FileReadOptions options;
    options.limit = limit;
    options.followSymlinks = false; // the path has none left
    platform::FileReadResult read = platform::ReadRegularFile(key, options);
    if (read.ok) {
        file.ok = true;
        file.md5 = Md5::Hex(Md5::Of(read.bytes));
        file.fingerprint = std::to_string(read.bytes.size()) + ":" + file.md5;
        file.bytes = std::make_shared<const std::vector<uint8_t>>(std::move(read.bytes));
    } else if (read.tooLarge) {
        file.tooLarge = true;
        file.error = "too large (more than " + SizeText(limit) + ")";
    } else if (const auto kind = platform::KindOf(key, false); kind != platform::FileKind::Regular) {
        file.error = kind == platform::FileKind::Directory ? "a folder, not a file" : "not a regular file";
    } else {
        file.error = "unreadable: " + read.error;
    }
    const size_t size = file.bytes ? file.bytes->size() : 0;
    if (m_kept + size <= kMaxKeptBytes) {
        m_kept += size;
        m_files.emplace(key, file);
    }
    return file;
}

void FolderFiles::Forget(const fs::path& path) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(path, ec);
    const auto it = m_files.find(ec ? path.string() : real.string());
    if (it == m_files.end())
        return;
    m_kept -= it->second.bytes ? it->second.bytes->size() : 0;
    m_files.erase(it);
}

void FolderFiles::Clear() {
    m_files.clear();
    m_kept = 0;
}

std::vector<rack::FirmwareEntry> FolderIndex::Entries() const {
    std::vector<rack::FirmwareEntry> entries;
    for (const IndexLine& line : lines)
        if (line.added)
            entries.push_back(line.entry);
    return entries;
}

namespace {

IndexLine ReadIndexLine(FolderFiles& files, const std::string& name) {
    IndexLine line;
    line.name = name;
    const auto revision = HardwareRevisionFromName(name);
    if (!revision) {
        line.skipped = "no hardware revision digit before \"_V\" in the name";
        return line;
    }
    const auto path = FindInFolder(files.Folder(), name);
    if (!path) {
        line.skipped = "missing";
        return line;
    }
    const FolderFiles::File file = files.Read(*path);
    if (!file.ok) {
        line.skipped = file.error;
        return line;
    }
    const FirmwareFileCheck check = CheckFirmwareFile(file.Bytes());
    if (!check.valid) {
        line.skipped = check.reason;
        return line;
    }
    if (IsCompositeType(check.moduleType)) {
        std::string error;
        if (!ParseSubRecords(file.Bytes().subspan(kFileHeaderSize), &error)) {
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

FolderIndex IndexFirmwareFolder(FolderFiles& files) {
    FolderIndex index;
    const auto indexPath = FindInFolder(files.Folder(), kIndexFileName);
    if (!indexPath)
        return index;
    const FolderFiles::File text = files.Read(*indexPath, kMaxIndexSize);
    index.indexFound = true;
    if (!text.ok) {
        index.indexTooLarge = text.tooLarge;
        index.indexError = text.error;
        return index;
    }
    const auto bytes = text.Bytes();
    for (const std::string& name : ParseIndex({reinterpret_cast<const char*>(bytes.data()), bytes.size()}))
        index.lines.push_back(ReadIndexLine(files, name));
    return index;
}

FolderIndex IndexFirmwareFolder(const fs::path& folder) {
    FolderFiles files(folder);
    return IndexFirmwareFolder(files);
}

std::vector<HdComponentFile> ListHdComponentFiles(const fs::path& folder) {
    std::vector<HdComponentFile> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), last; !ec && it != last; it.increment(ec)) {
        // Folders are passed over; links and other odd entries are listed and then refused
        // when they are read, so that the listing can say why.
        if (it->is_directory(ec))
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

std::optional<bool> HdComponentDigestMatches(FolderFiles& files, const HdComponentFile& file,
                                             std::string* computed) {
    const FolderFiles::File read = files.Read(file.path);
    if (!read.ok)
        return std::nullopt;
    if (computed)
        *computed = read.md5;
    return read.md5 == file.name.digest;
}

} // namespace kaptiv::firmware
