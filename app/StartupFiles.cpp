#include "app/StartupFiles.h"

#include "platform/FileAccess.h"
#include "text/Language.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

namespace kaptiv::app {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::pair<std::string_view, text::Language>, 5> kLanguageCodes = {{
    {"EN", text::Language::English},
    {"FR", text::Language::French},
    {"IT", text::Language::Italian},
    {"DE", text::Language::German},
    {"SP", text::Language::Spanish},
}};
constexpr std::size_t kLanguageCodeLength = 2;

// Only regular files count: opening a named pipe for reading would block start-up.
bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

fs::path FindIgnoringCase(const fs::path& folder, std::string_view name) {
    const fs::path exact = folder / name;
    if (IsRegularFile(exact))
        return exact;
    // The program folders come from a system whose file names ignore letter case:
    // "Pref.TXT" there is "pref.txt". Of several such names the first in byte order counts.
    std::vector<fs::path> matches;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path candidate = it->path();
        if (SameIgnoringCase(candidate.filename().string(), name) && IsRegularFile(candidate))
            matches.push_back(candidate);
    }
    if (matches.empty())
        return exact;
    return *std::min_element(matches.begin(), matches.end());
}

std::optional<fs::path> CurrentProgramFolder(std::string& error) {
    std::error_code ec;
    fs::path folder = fs::current_path(ec);
    if (ec) {
        error = "cannot determine the current directory: " + ec.message();
        return std::nullopt;
    }
    return folder;
}

bool AdvancedModeRequested(const fs::path& folder) {
    const fs::path path = FindIgnoringCase(folder, kAdvancedFileName);
    if (!IsRegularFile(path))
        return false;
    // Opened to know that it can be read; none of its content is needed.
    return platform::ReadRegularFile(path.string(), 0, platform::OverLimit::ReadPrefix).ok;
}

int LanguageFromPreferenceLine(std::string_view firstLine) {
    const std::string_view code = firstLine.substr(0, kLanguageCodeLength);
    for (const auto& [text, language] : kLanguageCodes)
        if (code == text)
            return static_cast<int>(language);
    return static_cast<int>(text::Language::English);
}

int ReadPreferredLanguage(const fs::path& folder) {
    const fs::path path = FindIgnoringCase(folder, kPreferenceFileName);
    if (!IsRegularFile(path))
        return static_cast<int>(text::Language::English);
    // Only the first two characters of the first line matter; never read more.
    const platform::FileReadResult read =
        platform::ReadRegularFile(path.string(), kLanguageCodeLength, platform::OverLimit::ReadPrefix);
    if (!read)
        return static_cast<int>(text::Language::English);
    const std::string head = read.Text();
    std::string_view firstLine(head);
    firstLine = firstLine.substr(0, firstLine.find_first_of("\r\n"));
    return LanguageFromPreferenceLine(firstLine);
}

} // namespace kaptiv::app
