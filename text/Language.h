#pragma once
// The five-language text tables and the process-wide language index.
//
// Every text is a UTF-8 encoded std::string (the tables hold accented letters and, in a few
// German and Italian rows, the no-break space U+00A0 as the bytes C2 A0). Format
// placeholders are the same, in the same order, in all five texts of a row, so a caller
// formats the localized text with the same arguments whatever the language.
#include <cstddef>
#include <string>
#include <string_view>

namespace kaptiv::text {

// Column order of both tables.
enum class Language : int { English = 0, French = 1, Italian = 2, German = 3, Spanish = 4 };
inline constexpr int kLanguageCount = 5;

// Rows of the localized text table, addressed by number 0 to 93.
inline constexpr int kLocalizedTextCount = 94;
// Rows of the heading table; the last row ("-" in every language) ends the walk.
inline constexpr int kHeadingRowCount = 34;

// Chosen once at start-up; 0 (English) unless start-up chose another. Values outside
// 0 to 4 are ignored and leave the index unchanged.
void SetLanguageIndex(int index);
int LanguageIndex();

// The text of row `number` in the current language. A number outside 0 to 93 is a
// programming error; it yields an empty text instead of reading outside the table.
std::string LocalizedText(int number);
std::string LocalizedText(int number, int language);

// The current language's form of an English heading (exact, case-sensitive match on the
// English column); a heading not in the table comes back unchanged.
std::string TranslateHeading(std::string_view english);
std::string TranslateHeading(std::string_view english, int language);

} // namespace kaptiv::text
