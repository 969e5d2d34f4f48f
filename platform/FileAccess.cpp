#include "platform/FileAccess.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptiv::platform {

namespace {

std::string SystemError(const char* what, const std::string& path, int error = errno) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

const char* KindName(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISLNK(mode))
        return "a symbolic link";
    return "not a regular file";
}

std::string NotRegular(const std::string& path, mode_t mode) {
    return path + " is " + KindName(mode) + ", not a regular file";
}

// Temporary names of the writers open in this process, for the signal path. Fixed slots so
// that the signal handler touches no allocator.
constexpr size_t kSlots = 16;
constexpr size_t kSlotPath = 4096;
struct TempSlot {
    std::atomic<bool> used{false};
    char path[kSlotPath];
};
TempSlot g_slots[kSlots];

void RememberTemp(const std::string& temp) {
    if (temp.size() >= kSlotPath)
        return;
    for (TempSlot& slot : g_slots) {
        bool expected = false;
        if (slot.used.load() || !slot.used.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(slot.path, temp.c_str(), temp.size() + 1);
        return;
    }
}

void ForgetTemp(const std::string& temp) {
    for (TempSlot& slot : g_slots)
        if (slot.used.load() && temp == slot.path) {
            slot.path[0] = '\0';
            slot.used.store(false);
            return;
        }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileReadResult ReadRegularFile(const std::string& path, size_t limit, OverLimit overLimit) {
    FileReadOptions options;
    options.limit = limit;
    options.overLimit = overLimit;
    return ReadRegularFile(path, options);
}

FileReadResult ReadRegularFile(const std::string& path, const FileReadOptions& options) {
    FileReadResult result;
    if (path.empty()) {
        result.error = "no file name given";
        return result;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (!options.followSymlinks)
        flags |= O_NOFOLLOW;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (error == ELOOP && !options.followSymlinks)
            result.error = path + " is a symbolic link, not a regular file";
        else if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            result.error = NotRegular(path, st.st_mode); // a socket cannot even be opened
        else
            result.error = SystemError("cannot open", path, error);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result.error = SystemError("cannot examine", path);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = NotRegular(path, st.st_mode);
        ::close(fd);
        return result;
    }
    const size_t limit = options.limit;
    if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) > limit) {
        result.tooLarge = true;
        if (options.overLimit == OverLimit::Refuse) {
            result.error = path + " is too large (" + std::to_string(st.st_size) + " bytes, at most " +
                           std::to_string(limit) + ")";
            ::close(fd);
            return result;
        }
    }
    // A regular file never blocks; drop O_NONBLOCK anyway so that a short read means the end.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const size_t expected = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
    result.bytes.reserve(std::min(limit, expected));
    uint8_t buffer[65536];
    // The file may grow while it is read (or be a /proc file whose size says 0): read one byte
    // past the limit to know whether it holds more.
    while (result.bytes.size() <= limit) {
        const size_t want = std::min(sizeof buffer, limit + 1 - result.bytes.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.error = SystemError("cannot read", path);
            ::close(fd);
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        result.bytes.insert(result.bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    if (result.bytes.size() > limit) {
        result.bytes.resize(limit);
        result.tooLarge = true;
        if (options.overLimit == OverLimit::Refuse) {
            result.error = path + " is too large (more than " + std::to_string(limit) + " bytes)";
            result.bytes.clear();
            return result;
        }
    }
    result.truncated = result.tooLarge;
    result.ok = true;
    return result;
}

FileKind KindOf(const std::string& path, bool followSymlinks) {
    struct stat st {};
    const int rc = followSymlinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    if (S_ISDIR(st.st_mode))
        return FileKind::Directory;
    if (S_ISLNK(st.st_mode))
        return FileKind::Symlink;
    return FileKind::Other;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

FileResult WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes) {
    AtomicFileWriter writer;
    if (FileResult r = writer.Open(path); !r)
        return r;
    if (FileResult r = writer.Write(bytes); !r)
        return r;
    return writer.Commit();
}

FileResult WriteFileAtomic(const std::string& path, std::string_view text) {
    return WriteFileAtomic(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

AtomicFileWriter::~AtomicFileWriter() {
    Abandon();
}

AtomicFileWriter::AtomicFileWriter(AtomicFileWriter&& other) noexcept {
    *this = std::move(other);
}

AtomicFileWriter& AtomicFileWriter::operator=(AtomicFileWriter&& other) noexcept {
    if (this != &other) {
        Abandon();
        m_fd = other.m_fd;
        m_mode = other.m_mode;
        m_keepMode = other.m_keepMode;
        m_path = std::move(other.m_path);
        m_temp = std::move(other.m_temp);
        m_error = std::move(other.m_error);
        other.m_fd = -1;
        other.m_temp.clear();
    }
    return *this;
}

FileResult AtomicFileWriter::Open(const std::string& path) {
    Abandon();
    m_error.clear();
    m_path = path;
    if (path.empty() || path.back() == '/') {
        m_error = "no file name given";
        return {false, m_error};
    }
    struct stat st {};
    m_keepMode = false;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            m_error = NotRegular(path, st.st_mode);
            return {false, m_error};
        }
        m_keepMode = true;
        m_mode = st.st_mode & 07777;
    }
    const std::string folder = FolderOf(path);
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        std::string temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
                           base + "." + suffix + ".tmp";
        // 0666 and the umask: a new file gets the mode any other program would give it.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            m_error = SystemError("cannot create a temporary file in", folder);
            return {false, m_error};
        }
        m_fd = fd;
        m_temp = temp;
        RememberTemp(m_temp);
        return {true, {}};
    }
    m_error = "cannot find a free temporary name in " + folder;
    return {false, m_error};
}

FileResult AtomicFileWriter::Write(std::span<const uint8_t> bytes) {
    if (!m_error.empty())
        return {false, m_error};
    if (m_fd < 0) {
        m_error = "no file is open for writing";
        return {false, m_error};
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = SystemError("cannot write", m_path, n < 0 ? errno : ENOSPC);
            return {false, m_error};
        }
        done += static_cast<size_t>(n);
    }
    return {true, {}};
}

FileResult AtomicFileWriter::Write(std::string_view text) {
    return Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

FileResult AtomicFileWriter::Commit() {
    if (m_fd < 0 && m_error.empty())
        m_error = "no file is open for writing";
    if (!m_error.empty()) {
        Abandon();
        return {false, m_error};
    }
    // The content must be on disk before the name points at it, or a crash could leave an
    // empty file where the previous one was.
    if (::fsync(m_fd) != 0)
        m_error = SystemError("cannot write", m_path);
    else if (m_keepMode && ::fchmod(m_fd, m_mode) != 0)
        m_error = SystemError("cannot set the mode of", m_path);
    if (::close(m_fd) != 0 && m_error.empty())
        m_error = SystemError("cannot write", m_path);
    m_fd = -1;
    if (m_error.empty() && ::rename(m_temp.c_str(), m_path.c_str()) != 0)
        m_error = SystemError("cannot replace", m_path);
    if (!m_error.empty()) {
        Abandon();
        return {false, m_error};
    }
    ForgetTemp(m_temp);
    m_temp.clear();
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {true, {}};
}

void AtomicFileWriter::Abandon() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        ForgetTemp(m_temp);
        m_temp.clear();
    }
}

void RemoveOpenTemporaryFilesFromSignal() {
    for (TempSlot& slot : g_slots)
        if (slot.used.load() && slot.path[0] != '\0')
            ::unlink(slot.path);
}

} // namespace kaptiv::platform
