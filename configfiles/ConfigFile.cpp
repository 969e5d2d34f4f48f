#include "configfiles/ConfigFile.h"

#include "platform/FileAccess.h"

#include <utility>

namespace kaptiv::configfiles {

namespace {

constexpr char kExtension[] = ".qvc";
constexpr size_t kExtensionLength = 4;

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
    const platform::FileResult written = platform::WriteFileAtomic(path, bytes);
    error = written.error;
    return written.ok;
}

bool ReadFilePrefix(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                    std::string& error) {
    platform::FileReadResult read =
        platform::ReadRegularFile(path, maxBytes, platform::OverLimit::ReadPrefix);
    bytes = std::move(read.bytes);
    error = read.error;
    return read.ok;
}

} // namespace kaptiv::configfiles
