#pragma once
// The shell command texts the streaming modules run, built from file names. One function builds
// every command that carries a name, and it quotes every name: each path goes out in double
// quotation marks, with a backslash before `\`, `$` and the backquote, the only characters
// that keep a meaning there (POSIX shell, 2.2.3). Inside such a word no space, wildcard,
// bracket, brace, `;`, `&`, `|` or redirection means anything to the shell, so the module
// acts on exactly the file named. What quoting cannot make safe is refused and never sent:
// the quotation mark itself, control characters (a line end would end the command), `/`
// (the name would leave the key's folder), "." and "..", and names that pass the limits.
// Refusals name the file.
//
// Limits of the module's request area: a shell command text holds at most 255 characters, a
// module path sent with a file request at most 254.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace kaptiv::streaming {

inline constexpr size_t kMaxCommandChars = 255;
inline constexpr size_t kMaxModulePathChars = 254;
inline constexpr const char* kKeyFolder = "/mnt/";

// Fixed texts that carry no name.
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

// Why a file name of the key (module bytes, one per character) cannot be put into a command or
// a module path, or nothing when it can. The length is checked by the commands themselves.
std::optional<std::string> NameProblem(std::string_view name);

// A byte that is not text: C0 controls, DEL and the C1 controls of ISO-8859-1.
bool IsControlByte(unsigned char c);

// The one builder: `verb` (fixed text, e.g. "rm -f"), then each path quoted as above. Every
// path must lie in kKeyFolder and its name pass NameProblem; the text must fit 255 characters.
ShellText BuildShellCommand(std::string_view verb, std::initializer_list<std::string_view> paths);

// rm -f "/mnt/N" (the old copy before an upload is moved in place)
ShellText RemoveOldCopyCommand(std::string_view name);
// mv "/mnt/N.tmp" "/mnt/N"
ShellText MoveUploadCommand(std::string_view name);
// rm -f "/mnt/N" (the installer's delete: the same text as the old copy's removal)
ShellText DeleteCommand(std::string_view name);
// rm -f "P" for a module path P of the key (a partly written upload)
ShellText RemovePathCommand(std::string_view path);
// "/mnt/" + name + ".tmp", checked against the path limit and against the commands that
// will follow (the upload sends nothing unless its move and delete can be sent too).
ShellText UploadPath(std::string_view name);

// The upload name: the part of a local path after its last "/".
std::string UploadName(std::string_view localPath);

} // namespace kaptiv::streaming
