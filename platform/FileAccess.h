#pragma once
// The one place where the program opens files. Everything it reads or writes (configuration
// files, reports, profiles, firmware folders, traces shown, USB-key uploads and logs, the
// simulator's rack files) goes through here, so that three rules hold everywhere:
//  - a read never blocks and never reads without bound: it opens with O_NONBLOCK, refuses
//    anything that is not a regular file (directory, FIFO, device, socket) and stops at the
//    caller's limit;
//  - a write never leaves a half-written file under the chosen name: it goes to a temporary
//    file in the same folder, is flushed to disk and then renamed over the target;
//  - a replaced file keeps its mode (a 0600 file stays 0600); a new one follows the umask.
// Every failure comes back as a message that names the file. Device nodes (the serial port,
// /dev/urandom) and the link trace's append stream are opened where they are used.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::platform {

struct FileResult {
    bool ok = false;
    std::string error; // empty when ok; otherwise names the file and the reason
    explicit operator bool() const { return ok; }
};

enum class OverLimit {
    Refuse,    // a file larger than the limit is an error ("... is larger than N bytes")
    ReadPrefix // read the first `limit` bytes and say so in `truncated`
};

struct FileReadOptions {
    size_t limit = 0;
    OverLimit overLimit = OverLimit::Refuse;
    bool followSymlinks = true; // false: a symbolic link as the last component is refused
};

struct FileReadResult {
    bool ok = false;
    std::string error;
    std::vector<uint8_t> bytes;
    bool tooLarge = false;  // the file holds more than the limit (an error with Refuse)
    bool truncated = false; // ReadPrefix stopped at the limit
    explicit operator bool() const { return ok; }
    std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
};

// Reads a regular file up to `limit` bytes. Never blocks on a FIFO or device.
FileReadResult ReadRegularFile(const std::string& path, size_t limit,
                               OverLimit overLimit = OverLimit::Refuse);
FileReadResult ReadRegularFile(const std::string& path, const FileReadOptions& options);

// What kind of object sits at a path, without opening it (lstat when not following links).
enum class FileKind { Missing, Regular, Directory, Symlink, Other };
FileKind KindOf(const std::string& path, bool followSymlinks = true);
bool Exists(const std::string& path);

// Writes `bytes` to `path` atomically: temporary file beside it, fsync, rename, fsync of the
// folder. An existing target must be a regular file; its mode is kept.
FileResult WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes);
FileResult WriteFileAtomic(const std::string& path, std::string_view text);

// The same for output produced piece by piece (a report, a log download). Nothing appears
// under the final name until Commit() succeeds; a writer destroyed or abandoned before that
// removes its temporary file, and the previous file of that name is left as it was.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    AtomicFileWriter(AtomicFileWriter&& other) noexcept;
    AtomicFileWriter& operator=(AtomicFileWriter&& other) noexcept;

    FileResult Open(const std::string& path);
    // Appends; after the first failure every call fails with the same message.
    FileResult Write(std::span<const uint8_t> bytes);
    FileResult Write(std::string_view text);
    FileResult Commit();
    void Abandon();

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& TemporaryPath() const { return m_temp; }
    const std::string& TargetPath() const { return m_path; }
    const std::string& Error() const { return m_error; }

private:
    int m_fd = -1;
    unsigned m_mode = 0;
    bool m_keepMode = false;
    std::string m_path;
    std::string m_temp;
    std::string m_error;
};

// Removes every temporary file that writers of this process have open. Async-signal-safe:
// for a fatal-signal path that cannot unwind. Normal exits unwind and the destructors clean up.
void RemoveOpenTemporaryFilesFromSignal();

} // namespace kaptiv::platform
