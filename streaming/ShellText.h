#pragma once
// The shell command texts the streaming modules run, built from file names. The module runs the
// text as it stands, so a name that would change the command (a quote ending the quoted word, a
// `$` or backtick expanding, a `;` or `&` starting another command, a redirection, a wildcard,
// a control character ending the line) is refused and never sent. Refusals name the file.
//
// Limits of the module's request area: a shell command text holds at most 255 characters, a
// module path sent with a file request at most 254.
#include <optional>
#include <string>
#include <string_view>

namespace kaptiv::streaming {

inline constexpr size_t kMaxCommandChars = 255;
inline constexpr size_t kMaxModulePathChars = 254;
inline constexpr const char* kKeyFolder = "/mnt/";

inline constexpr const char* kSyncCommand = "sync";
inline constexpr const char* kTouchLogCommand = "touch /logFile.0";
inline constexpr const char* kJoinLogCommand = "cat /logFile.0 /logFile >/tmp/log.txt";
inline constexpr const char* kJoinedLogPath = "/tmp/log.txt";

// Either the text to send or why the name was refused.
struct ShellText {
    std::string text;
    std::string problem; // empty when text may be sent
    bool Ok() const { return problem.empty(); }
};

// Why a file name of the key cannot be used, or nothing when it can. `unquoted`: the name goes
// into the command without quotation marks (the installer's delete), so a space splits it too.
std::optional<std::string> NameProblem(std::string_view name, bool unquoted);

// rm -f "/mnt/N"
ShellText RemoveOldCopyCommand(std::string_view name);
// mv "/mnt/N.tmp" "/mnt/N"
ShellText MoveUploadCommand(std::string_view name);
// rm -f /mnt/N
ShellText DeleteCommand(std::string_view name);
// rm -f "P" for a module path P (a partly written upload)
ShellText RemovePathCommand(std::string_view path);
// "/mnt/" + name + ".tmp", checked against the path limit.
ShellText UploadPath(std::string_view name);

// The upload name: the part of a local path after its last "/".
std::string UploadName(std::string_view localPath);

} // namespace kaptiv::streaming
