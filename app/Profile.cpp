#include "app/Profile.h"

#include "platform/FileAccess.h"

#include <cstdlib>

namespace kaptiv::app {

namespace fs = std::filesystem;

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool IsSectionHeader(std::string_view line) {
    return Trim(line).starts_with('[');
}

bool IsComment(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    return trimmed.starts_with(';') || trimmed.starts_with('#');
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

Profile Profile::Parse(std::string_view text) {
    Profile profile;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (line.ends_with('\r')) // CRLF files, and stray carriage returns before the break
            line.remove_suffix(1);
        profile.m_lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return profile;
}

std::size_t Profile::UnnamedSectionEnd() const {
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (IsSectionHeader(m_lines[i]))
            return i;
    return m_lines.size();
}

std::optional<std::size_t> Profile::FindKeyLine(std::string_view key) const {
    const std::size_t end = UnnamedSectionEnd();
    for (std::size_t i = 0; i < end; ++i) {
        const std::string_view line = m_lines[i];
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || IsComment(line))
            continue;
        if (EqualsIgnoringAsciiCase(Trim(line.substr(0, equals)), key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> Profile::Get(std::string_view key) const {
    const auto index = FindKeyLine(key);
    if (!index)
        return std::nullopt;
    const std::string_view line = m_lines[*index];
    return std::string(Trim(line.substr(line.find('=') + 1)));
}

bool Profile::Set(std::string_view key, std::string_view value) {
    if (Trim(key).empty() || key.find_first_of("=[") != std::string_view::npos || HasLineBreak(key) ||
        HasLineBreak(value) || key.starts_with(';') || key.starts_with('#'))
        return false;
    std::string line = std::string(Trim(key)) + "=" + std::string(value);
    if (const auto index = FindKeyLine(key)) {
        m_lines[*index] = std::move(line);
        return true;
    }
    // New keys go to the end of the unnamed section, before trailing blank lines.
    std::size_t at = UnnamedSectionEnd();
    while (at > 0 && Trim(m_lines[at - 1]).empty())
        --at;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    return true;
}

std::string Profile::Serialize() const {
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

ProfileFile ReadProfileFile(const fs::path& path) {
    ProfileFile result;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (ec) {
            result.status = ProfileFileStatus::Unreadable;
            result.error = "cannot reach profile " + path.string() + ": " + ec.message();
        }
        return result;
    }
    // A FIFO, a device or a folder given as the profile is refused at once, never waited on.
    platform::FileReadResult read = platform::ReadRegularFile(path.string(), kMaxProfileBytes);
    if (!read) {
        result.status = read.tooLarge ? ProfileFileStatus::TooLarge : ProfileFileStatus::Unreadable;
        result.error = "profile " + read.error;
        return result;
    }
    result.status = ProfileFileStatus::Read;
    result.profile = Profile::Parse(read.Text());
    return result;
}

bool WriteProfileFile(const fs::path& givenPath, const Profile& profile, std::string& error) {
    // A profile that is a link to a file elsewhere (a shared or versioned profile) stays a
    // link: the new text replaces the file it points to.
    fs::path path = givenPath;
    std::error_code linkError;
    if (fs::is_symlink(fs::symlink_status(givenPath, linkError))) {
        path = fs::weakly_canonical(givenPath, linkError);
        if (linkError) {
            error = "cannot follow the link " + givenPath.string() + ": " + linkError.message();
            return false;
        }
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create folder " + folder.string() + ": " + ec.message();
        return false;
    }
    // Temporary file, flush, rename; the replaced profile keeps its mode.
    const platform::FileResult written = platform::WriteFileAtomic(path.string(), profile.Serialize());
    error = written.error;
    return written.ok;
}

EnvLookup ProcessEnvironment() {
    return [](const char* name) -> const char* { return std::getenv(name); };
}

std::optional<fs::path> DefaultProfilePath(const EnvLookup& env) {
    const auto absoluteFolder = [&](const char* name) -> std::optional<fs::path> {
        const char* value = env(name);
        if (value == nullptr || *value == '\0' || value[0] != '/')
            return std::nullopt;
        return fs::path(value);
    };
    std::optional<fs::path> configHome = absoluteFolder("XDG_CONFIG_HOME");
    if (!configHome) {
        const auto home = absoluteFolder("HOME");
        if (!home)
            return std::nullopt;
        configHome = *home / ".config";
    }
    return *configHome / kProfileMakerFolder / kProfileFileName;
}

} // namespace kaptiv::app
