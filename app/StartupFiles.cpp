#include "app/StartupFiles.h"

#include "text/Language.h"

#include <array>
#include <fstream>
#include <utility>

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

} // namespace

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
    const fs::path path = folder / kAdvancedFileName;
    if (!IsRegularFile(path))
        return false;
    std::ifstream file(path, std::ios::binary);
    return file.is_open();
}

int LanguageFromPreferenceLine(std::string_view firstLine) {
    const std::string_view code = firstLine.substr(0, kLanguageCodeLength);
    for (const auto& [text, language] : kLanguageCodes)
        if (code == text)
            return static_cast<int>(language);
    return static_cast<int>(text::Language::English);
}

int ReadPreferredLanguage(const fs::path& folder) {
    const fs::path path = folder / kPreferenceFileName;
    if (!IsRegularFile(path))
        return static_cast<int>(text::Language::English);
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return static_cast<int>(text::Language::English);
    // Only the first two characters of the first line matter; never read more.
    char head[kLanguageCodeLength] = {};
    file.read(head, sizeof head);
    std::string_view firstLine(head, static_cast<std::size_t>(file.gcount()));
    firstLine = firstLine.substr(0, firstLine.find_first_of("\r\n"));
    return LanguageFromPreferenceLine(firstLine);
}

} // namespace kaptiv::app
