#pragma once
// The shell of a streaming module as the PC reaches it: one command line, read the way a
// POSIX shell reads it, then run only when it is one of the file operations the PC sends:
//
//   rm -f PATH...         mv PATH PATH          sync          touch PATH
//   cat PATH... >PATH
//
// Reading (POSIX shell, 2.2 quoting, 2.6 word expansions, 2.13 patterns):
//  - blanks separate words;
//  - outside quotes a backslash makes the next character plain; single quotes make everything
//    plain up to the next single quote; inside double quotes a backslash makes `\`, `$`, the
//    backquote and `"` plain and is kept before any other character;
//  - unquoted braces holding a comma are expanded as bash and busybox hush expand them
//    ("a{b,c}d" gives "abd acd"; "{b}" and "{}" stay as written);
//  - unquoted `*`, `?` and `[...]` (with `!` or `^` to negate, and ranges) in the last step of
//    a path are patterns matched against the files that exist; the matches replace the word in
//    byte order, and a pattern that matches nothing stays as written. A leading "." of a name
//    is matched only by a "." written in the pattern.
// Refused, and nothing runs, for what the module's shell would do besides a file operation:
// another command or option; unquoted `;`, `&`, `|`, `(`, `)`, `<`, a second redirection or
// `>>`; a `$` or backquote outside single quotes (expansion, command substitution); `#` or `~`
// starting a word (comment, home folder); a pattern in a folder step; control characters
// anywhere; an unterminated quote; a path that is not absolute, holds a ".." step or passes
// 254 bytes; a text over 255 bytes.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mulvane {

inline constexpr size_t kMaxShellText = 255;
inline constexpr size_t kMaxModulePath = 254;

struct ShellCommand {
    enum class Kind { Remove, Move, Sync, Touch, Concat };
    Kind kind = Kind::Sync;
    std::vector<std::string> paths; // Remove: 1 or more; Touch: 1; Move: source, target; Concat: sources
    std::string target;             // Concat: the file after '>'
};

// Nothing, with the reason in why, when the text is not one of the commands above. Patterns
// are matched against `existing` (full paths of the files that exist).
std::optional<ShellCommand> ParseShellCommand(std::string_view text, std::string& why,
                                              std::span<const std::string> existing = {});

// Whether a module path is acceptable on its own: absolute, short enough, no control
// character and no "..".
bool IsAcceptablePath(std::string_view path, std::string& why);

// Whether `name` matches the pattern; quoted[i] tells whether pattern[i] was quoted (plain).
bool MatchPattern(std::string_view pattern, const std::vector<bool>& quoted, std::string_view name);

} // namespace mulvane
