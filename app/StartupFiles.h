#pragma once
// What start-up reads from the program folder (the current directory): "advanced.txt",
// whose mere existence turns on the advanced controls, and "pref.txt", whose first line
// starts with the code of the interface language.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kaptiv::app {

inline constexpr std::string_view kAdvancedFileName = "advanced.txt";
inline constexpr std::string_view kPreferenceFileName = "pref.txt";

// The current directory at start-up. It is taken whole, however long: on this system a
// path has no 256-character limit, and a shortened folder would point somewhere else.
// Empty (with `error` set) when the current directory cannot be determined (e.g. removed).
std::optional<std::filesystem::path> CurrentProgramFolder(std::string& error);

// The regular file `name` in `folder`, its letter case ignored ("ADVANCED.TXT" is
// "advanced.txt"); the exact name wins. folder / name when there is none.
std::filesystem::path FindIgnoringCase(const std::filesystem::path& folder, std::string_view name);

// True when "advanced.txt" (in any letter case) in `folder` can be opened for reading; its content is not
// read.
bool AdvancedModeRequested(const std::filesystem::path& folder);

// The language index chosen by the first two characters of `firstLine` ("EN", "FR", "IT",
// "DE", "SP", compared exactly, upper case); 0 (English) for anything else.
int LanguageFromPreferenceLine(std::string_view firstLine);

// The language chosen by "pref.txt" (in any letter case) in `folder`; English when it is missing or empty.
int ReadPreferredLanguage(const std::filesystem::path& folder);

} // namespace kaptiv::app
