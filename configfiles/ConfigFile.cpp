#include "configfiles/ConfigFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptiv::configfiles {

namespace {

constexpr char kExtension[] = ".qvc";
constexpr size_t kExtensionLength = 4;

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

} // namespace

ConfigReadResult ParseConfigFile(std::span<const uint8_t> bytes) {
    ConfigReadResult result;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t index = result.entries.size();
        result.entryIndex = index;
        if (index >= kMaxEntries) {
            result.problem = FileProblem::TooManyEntries;
            break;
        }
        if (bytes.size() - pos < kEntryHeaderBytes) {
            result.problem = FileProblem::EndsInsideEntry;
            break;
        }
        const uint8_t type = bytes[pos];
        const size_t length = size_t(bytes[pos + 1]) << 8 | bytes[pos + 2];
        pos += kEntryHeaderBytes;
        if (length > kMaxBlockBytes) {
            result.problem = FileProblem::BlockTooLong;
            result.length = length;
            break;
        }
        if (bytes.size() - pos < length) {
            result.problem = FileProblem::EndsInsideEntry;
            result.length = length;
            break;
        }
        result.entries.push_back({type,
                                  {bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(pos + length)}});
        pos += length;
    }
    if (!result.Ok())
        result.entries.clear();
    return result;
}

std::string DescribeProblem(const ConfigReadResult& result) {
    const std::string entry = "entry " + std::to_string(result.entryIndex);
    switch (result.problem) {
    case FileProblem::None:
        return {};
    case FileProblem::TooManyEntries:
        return "more than " + std::to_string(kMaxEntries) + " modules";
    case FileProblem::BlockTooLong:
        return entry + " has a block of " + std::to_string(result.length) + " bytes, more than " +
               std::to_string(kMaxBlockBytes);
    case FileProblem::EndsInsideEntry:
        if (result.length == 0)
            return "the file ends inside the header of " + entry;
        return "the file ends inside the " + std::to_string(result.length) + "-byte block of " + entry;
    }
    return {};
}

std::vector<uint8_t> BuildConfigFile(std::span<const ConfigEntry> entries, std::string& error) {
    if (entries.size() > kMaxEntries) {
        error = std::to_string(entries.size()) + " modules, at most " + std::to_string(kMaxEntries) + " fit";
        return {};
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ConfigEntry& e = entries[i];
        if (e.block.size() > kMaxBlockBytes) {
            error = "entry " + std::to_string(i) + " has a block of " + std::to_string(e.block.size()) +
                    " bytes, more than " + std::to_string(kMaxBlockBytes);
            return {};
        }
        out.push_back(e.type);
        out.push_back(static_cast<uint8_t>(e.block.size() >> 8));
        out.push_back(static_cast<uint8_t>(e.block.size()));
        out.insert(out.end(), e.block.begin(), e.block.end());
    }
    error.clear();
    return out;
}

std::string ConfigFileName(const std::string& chosen) {
    const size_t firstDot = chosen.find('.');
    bool keep = chosen.size() >= kExtensionLength && firstDot == chosen.size() - kExtensionLength;
    for (size_t i = 1; keep && i < kExtensionLength; ++i) {
        const char c = chosen[chosen.size() - kExtensionLength + i];
        keep = (c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) == "QVC"[i - 1];
    }
    return keep ? chosen : chosen + kExtension;
}

bool WriteFileSafely(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = SystemError("cannot create a temporary file beside", path);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = SystemError("cannot write", temp);
            ok = false;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    // The new content must be on disk before the name points at it, or a crash could leave an
    // empty file where the old configuration was.
    if (ok && ::fsync(fd) != 0) {
        error = SystemError("cannot flush", temp);
        ok = false;
    }
    if (::fchmod(fd, 0644) != 0 && ok) {
        error = SystemError("cannot set the mode of", temp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = SystemError("cannot close", temp);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot rename the temporary file to", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadFilePrefix(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                    std::string& error) {
    bytes.clear();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = SystemError("cannot open", path);
        return false;
    }
    uint8_t buffer[4096];
    size_t n = 0;
    bool ok = true;
    while (bytes.size() < maxBytes &&
           (n = std::fread(buffer, 1, std::min(sizeof buffer, maxBytes - bytes.size()), in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    if (ok && std::ferror(in) != 0) {
        error = SystemError("cannot read", path);
        ok = false;
    }
    std::fclose(in);
    return ok;
}

} // namespace kaptiv::configfiles
