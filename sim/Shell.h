#pragma once
// The few shell commands a streaming module accepts from the PC, parsed exactly:
//
//   rm -f PATH          mv PATH PATH          sync          touch PATH
//   cat PATH [PATH...] >PATH
//
// Words are separated by one blank; a PATH is absolute, at most 254 bytes, either bare (no
// blank, quote, backslash or other shell character) or in double quotes (no quote,
// backslash, '$' or backquote inside); no control characters anywhere, no ".." step. The
// whole text is at most 255 bytes. Anything else (another command, another option, a second
// redirection, ';', '|', '&', '$(...)', globbing) is refused: the module runs no shell of
// its own in the simulator, and a refused text changes nothing.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mulvane {

inline constexpr size_t kMaxShellText = 255;
inline constexpr size_t kMaxModulePath = 254;

struct ShellCommand {
    enum class Kind { Remove, Move, Sync, Touch, Concat };
    Kind kind = Kind::Sync;
    std::vector<std::string> paths; // Remove, Touch: 1; Move: source, target; Concat: sources
    std::string target;             // Concat: the file after '>'
};

// Nothing, with the reason in why, when the text is not one of the commands above.
std::optional<ShellCommand> ParseShellCommand(std::string_view text, std::string& why);

// Whether a module path is acceptable on its own: absolute, short enough, no control
// character and no "..".
bool IsAcceptablePath(std::string_view path, std::string& why);

} // namespace mulvane
