#pragma once
// The application profile: where the tool keeps its per-user values between runs, in an
// INI-style text file (UTF-8) in place of a registry key. The values live in the unnamed
// section, i.e. the "key=value" lines before the first "[section]" header. Lines the tool
// does not know (comments, other sections, other keys) are kept as they are when the file
// is written back.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::app {

// Maker folder and file name of the profile: <config home>/ZELMORA/kaptiv.ini.
inline constexpr std::string_view kProfileMakerFolder = "ZELMORA";
inline constexpr std::string_view kProfileFileName = "kaptiv.ini";
// A profile is a few lines; anything larger is not ours and is left alone.
inline constexpr std::size_t kMaxProfileBytes = 64 * 1024;

class Profile {
public:
    // Parses untrusted text; never fails (lines that are not "key=value" are kept verbatim).
    static Profile Parse(std::string_view text);

    // The trimmed value of `key` in the unnamed section. Keys compare without regard to
    // ASCII case, as registry value names do.
    std::optional<std::string> Get(std::string_view key) const;
    // Sets or adds `key` in the unnamed section. Refuses (false) a key that is empty or holds
    // '=', '[', or a line break, and a value that holds a line break.
    bool Set(std::string_view key, std::string_view value);

    std::string Serialize() const;

private:
    std::optional<std::size_t> FindKeyLine(std::string_view key) const;
    std::size_t UnnamedSectionEnd() const;

    std::vector<std::string> m_lines;
};

enum class ProfileFileStatus { Read, Missing, Unreadable, TooLarge };

struct ProfileFile {
    ProfileFileStatus status = ProfileFileStatus::Missing;
    Profile profile;
    std::string error; // set unless Read or Missing
};

ProfileFile ReadProfileFile(const std::filesystem::path& path);

// Writes the profile so that a crash or full disk never leaves a half-written file: the text
// goes to a temporary file in the same folder, which is flushed and then renamed over the
// old one. Creates the folder when needed. A path that is a symbolic link stays one: the file
// it points to is replaced. On failure returns false with `error` set.
bool WriteProfileFile(const std::filesystem::path& path, const Profile& profile, std::string& error);

// Looks up an environment variable; returns nullptr when it is not set.
using EnvLookup = std::function<const char*(const char*)>;
EnvLookup ProcessEnvironment();

// $XDG_CONFIG_HOME/ZELMORA/kaptiv.ini, or $HOME/.config/ZELMORA/kaptiv.ini when
// XDG_CONFIG_HOME is unset, empty or relative (as the XDG base directory rules say).
// Empty when neither gives an absolute folder.
std::optional<std::filesystem::path> DefaultProfilePath(const EnvLookup& env);

} // namespace kaptiv::app
