#include "sim/ModuleFiles.h"

#include "sim/Shell.h"

#include <algorithm>
#include <cstdio>

namespace mulvane {

namespace {

constexpr std::string_view kKeyFolder = "/mnt/";
constexpr std::string_view kLogPath = "/logFile";
constexpr std::string_view kRotatedLogPath = "/logFile.0";
constexpr uint8_t kCreate = 0x00;
constexpr uint8_t kOpen = 0x01;
constexpr uint8_t kClose = 0x02;
constexpr uint8_t kReadBlock = 0x03;
constexpr uint8_t kWriteBlock = 0x04;

bool OnKey(std::string_view path) {
    return path.starts_with(kKeyFolder);
}

// The folders that exist: the root, /tmp and the key; no sub-folders.
bool InKnownFolder(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash + 1 >= path.size())
        return false;
    const std::string_view folder = path.substr(0, slash + 1);
    return folder == "/" || folder == "/tmp/" || folder == kKeyFolder;
}

// The text of a file request: bytes up to the 0 that must end it.
std::optional<std::string> RequestText(std::span<const uint8_t> bytes) {
    const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    if (zero == bytes.end())
        return std::nullopt;
    return std::string(bytes.begin(), zero);
}

} // namespace

ModuleFiles::ModuleFiles(const ModuleConfig& config, uint64_t seed) {
    (void)seed;
    const UsbKeyConfig key = config.usbKey.value_or(UsbKeyConfig{});
    m_keyPresent = key.present;
    m_capacity = key.capacityBytes;
    for (const auto& [name, bytes] : key.files)
        m_files.emplace_back(std::string(kKeyFolder) + name, bytes);
    m_files.emplace_back(std::string(kLogPath), std::vector<uint8_t>(config.log.begin(), config.log.end()));
}

void ModuleFiles::Advance(int64_t nowMs) {
    m_nowMs = std::max(m_nowMs, nowMs);
    if (!m_nextLogMs) {
        m_nextLogMs = nowMs + kLogLineIntervalMs;
        return;
    }
    // After a long silence only the last hundred lines are written.
    if (nowMs - *m_nextLogMs > 100 * kLogLineIntervalMs)
        *m_nextLogMs = nowMs - 100 * kLogLineIntervalMs;
    static const char* const kRoutine[] = {"tuner A: locked", "tuner B: locked",
                                           "play-out: waiting for schedule", "ts: 0 continuity errors",
                                           "net: link up 100Mb/s"};
    while (nowMs >= *m_nextLogMs) {
        if (m_mode == 0) {
            char line[96];
            std::snprintf(line, sizeof line, "%s", kRoutine[m_logCount % std::size(kRoutine)]);
            const int64_t saved = m_nowMs;
            m_nowMs = *m_nextLogMs;
            LogLine(line);
            m_nowMs = saved;
        }
        *m_nextLogMs += kLogLineIntervalMs;
    }
}

void ModuleFiles::LogLine(const std::string& text) {
    if (m_mode != 0)
        return;
    ++m_logCount;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%8lld.%03d] ", static_cast<long long>(m_nowMs / 1000),
                  static_cast<int>(m_nowMs % 1000));
    std::vector<uint8_t>* log = Visible(std::string(kLogPath));
    if (!log) {
        m_files.emplace_back(std::string(kLogPath), std::vector<uint8_t>{});
        log = &m_files.back().second;
    }
    const std::string line = stamp + text + "\n";
    log->insert(log->end(), line.begin(), line.end());
    if (log->size() > kLogRotateBytes) {
        std::vector<uint8_t> full = std::move(*log);
        log->clear();
        Put(std::string(kRotatedLogPath), std::move(full));
    }
}

void ModuleFiles::SetKeyPresent(bool present) {
    if (present == m_keyPresent)
        return;
    m_keyPresent = present;
    LogLine(present ? "usb: key mounted on /mnt" : "usb: key removed");
    if (!present) {
        if (m_writing && OnKey(*m_writing))
            m_writing.reset();
        if (m_reading && OnKey(*m_reading))
            m_reading.reset();
    }
}

std::vector<uint8_t>* ModuleFiles::Visible(const std::string& path) {
    if (OnKey(path) && !m_keyPresent)
        return nullptr;
    for (auto& [p, bytes] : m_files)
        if (p == path)
            return &bytes;
    return nullptr;
}

const std::vector<uint8_t>* ModuleFiles::Visible(const std::string& path) const {
    return const_cast<ModuleFiles*>(this)->Visible(path);
}

bool ModuleFiles::Writable(const std::string& path, std::string& why) const {
    if (!IsAcceptablePath(path, why))
        return false;
    if (!InKnownFolder(path)) {
        why = "no such folder";
        return false;
    }
    if (OnKey(path) && !m_keyPresent) {
        why = "no USB key";
        return false;
    }
    return true;
}

uint64_t ModuleFiles::KeyBytes() const {
    uint64_t total = 0;
    for (const auto& [path, bytes] : m_files)
        if (OnKey(path))
            total += bytes.size();
    return total;
}

bool ModuleFiles::Fits(const std::string& path, uint64_t newSize) const {
    if (!OnKey(path))
        return true;
    const std::vector<uint8_t>* old = Visible(path);
    return KeyBytes() - (old ? old->size() : 0) + newSize <= m_capacity;
}

void ModuleFiles::Put(const std::string& path, std::vector<uint8_t> bytes) {
    for (auto& [p, b] : m_files)
        if (p == path) {
            b = std::move(bytes);
            return;
        }
    m_files.emplace_back(path, std::move(bytes));
}

void ModuleFiles::Erase(const std::string& path) {
    std::erase_if(m_files, [&](const NamedFile& f) { return f.first == path; });
    if (m_writing == path)
        m_writing.reset();
    if (m_reading == path)
        m_reading.reset();
}

std::vector<uint8_t> ModuleFiles::NameList() const {
    std::vector<uint8_t> out = {0, 0, 0, 0};
    size_t count = 0;
    if (m_keyPresent)
        for (const auto& [path, bytes] : m_files)
            if (OnKey(path) && count < 0xFFFF) {
                out.insert(out.end(), path.begin() + kKeyFolder.size(), path.end());
                out.push_back(0);
                ++count;
            }
    out[2] = static_cast<uint8_t>(count >> 8);
    out[3] = static_cast<uint8_t>(count);
    return out;
}

std::optional<std::vector<uint8_t>> ModuleFiles::FileRequest(std::span<const uint8_t> data, Faults& faults,
                                                             uint8_t address) {
    if (data.empty())
        return std::nullopt;
    std::string why;
    switch (data[0]) {
    case kCreate: {
        const auto path = RequestText(data.subspan(1));
        if (!path || !Writable(*path, why) || !Fits(*path, 0) || faults.ConsumeCreateRefusal(address)) {
            LogLine("file: cannot create " + (path ? *path : std::string("(unterminated name)")));
            return std::nullopt;
        }
        Put(*path, {});
        m_writing = *path;
        m_reading.reset();
        return std::vector<uint8_t>{};
    }
    case kOpen: {
        const auto path = RequestText(data.subspan(1));
        const std::vector<uint8_t>* file = path ? Visible(*path) : nullptr;
        if (!file)
            return std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}; // no such file
        m_reading = *path;
        m_readPos = 0;
        m_writing.reset();
        const auto size = static_cast<uint32_t>(file->size());
        return std::vector<uint8_t>{static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                                    static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
    }
    case kClose:
        if (m_writing) {
            const std::vector<uint8_t>* file = Visible(*m_writing);
            LogLine("file: wrote " + *m_writing + " (" + std::to_string(file ? file->size() : 0) + " bytes)");
        }
        m_writing.reset();
        m_reading.reset();
        return std::vector<uint8_t>{};
    case kReadBlock: {
        const std::vector<uint8_t>* file = m_reading ? Visible(*m_reading) : nullptr;
        if (!file || data.size() != 3)
            return std::nullopt;
        const size_t wanted = static_cast<size_t>(data[1] << 8 | data[2]);
        const size_t from = std::min(m_readPos, file->size());
        const size_t n = std::min(wanted, file->size() - from);
        m_readPos = from + n;
        return std::vector<uint8_t>(file->begin() + static_cast<std::ptrdiff_t>(from),
                                    file->begin() + static_cast<std::ptrdiff_t>(from + n));
    }
    case kWriteBlock: {
        std::vector<uint8_t>* file = m_writing ? Visible(*m_writing) : nullptr;
        if (!file)
            return std::nullopt;
        const size_t n = data.size() - 1;
        if (faults.ConsumeBlockWriteFailure(address) || !Fits(*m_writing, file->size() + n)) {
            LogLine("file: write error on " + *m_writing);
            return std::nullopt;
        }
        file->insert(file->end(), data.begin() + 1, data.end());
        return std::vector<uint8_t>{};
    }
    default:
        return std::nullopt;
    }
}

bool ModuleFiles::Execute(std::string_view text) {
    std::string why;
    // The files the shell's patterns can match: those that can be seen now.
    std::vector<std::string> existing;
    for (const auto& [path, bytes] : m_files)
        if (Visible(path))
            existing.push_back(path);
    const auto command = ParseShellCommand(text, why, existing);
    if (!command) {
        LogLine("shell: refused (" + why + ")");
        return false;
    }
    LogLine("shell: " + std::string(text));
    using Kind = ShellCommand::Kind;
    switch (command->kind) {
    case Kind::Sync:
        ++m_syncs;
        return true;
    case Kind::Remove:
        for (const std::string& path : command->paths) {
            if (!InKnownFolder(path) || (OnKey(path) && !m_keyPresent))
                continue; // rm -f: nothing there is not an error
            if (Visible(path))
                Erase(path);
        }
        return true;
    case Kind::Touch: {
        const std::string& path = command->paths[0];
        if (!Writable(path, why))
            return false;
        if (!Visible(path))
            Put(path, {});
        return true;
    }
    case Kind::Move: {
        const std::string& from = command->paths[0];
        const std::string& to = command->paths[1];
        const std::vector<uint8_t>* source = Visible(from);
        if (!source || !Writable(to, why))
            return false;
        if (from == to)
            return true;
        if (OnKey(to) && !OnKey(from) && !Fits(to, source->size()))
            return false;
        std::vector<uint8_t> bytes = *source;
        Erase(from);
        Erase(to);
        m_files.emplace_back(to, std::move(bytes));
        return true;
    }
    case Kind::Concat: {
        if (!Writable(command->target, why))
            return false;
        std::vector<uint8_t> joined;
        bool all = true;
        for (const std::string& path : command->paths) {
            if (const std::vector<uint8_t>* file = Visible(path))
                joined.insert(joined.end(), file->begin(), file->end());
            else
                all = false;
        }
        if (!Fits(command->target, joined.size()))
            return false;
        Put(command->target, std::move(joined));
        return all;
    }
    }
    return false;
}

void ModuleFiles::SetMode(uint8_t mode) {
    if (mode == 0 && m_mode != 0) {
        m_mode = 0;
        LogLine("log: on");
        return;
    }
    if (mode != 0 && m_mode == 0)
        LogLine("log: held");
    m_mode = mode;
}

std::vector<NamedFile> ModuleFiles::KeyFiles() const {
    std::vector<NamedFile> out;
    for (const auto& [path, bytes] : m_files)
        if (OnKey(path))
            out.emplace_back(path.substr(kKeyFolder.size()), bytes);
    return out;
}

std::optional<std::vector<uint8_t>> ModuleFiles::File(const std::string& path) const {
    const std::vector<uint8_t>* file = Visible(path);
    if (!file)
        return std::nullopt;
    return *file;
}

void ModuleFiles::PutKeyFile(const std::string& name, std::vector<uint8_t> bytes) {
    Put(std::string(kKeyFolder) + name, std::move(bytes));
}

std::string ModuleFiles::Log() const {
    const std::vector<uint8_t>* log = Visible(std::string(kLogPath));
    return log ? std::string(log->begin(), log->end()) : std::string();
}

std::vector<uint8_t> DemoTransportStream(const std::string& name, size_t size) {
    constexpr size_t kPacket = 188;
    uint32_t h = 2166136261u; // FNV-1a of the name seeds the payload
    for (char c : name)
        h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) {
        const size_t packet = i / kPacket;
        switch (i % kPacket) {
        case 0:
            out[i] = 0x47; // sync byte
            break;
        case 1:
            out[i] = 0x41; // payload unit start, PID 0x100
            break;
        case 2:
            out[i] = 0x00;
            break;
        case 3:
            out[i] = static_cast<uint8_t>(0x10 | (packet & 0x0F)); // payload only, continuity counter
            break;
        default:
            h = h * 1103515245u + 12345u;
            out[i] = static_cast<uint8_t>(h >> 16);
            break;
        }
    }
    return out;
}

} // namespace mulvane
