#include "text/Language.h"

#include "text/LanguageTable.h"

namespace kaptiv::text {

namespace {

int g_languageIndex = static_cast<int>(Language::English);

bool IsLanguage(int language) {
    return language >= 0 && language < kLanguageCount;
}

} // namespace

void SetLanguageIndex(int index) {
    if (IsLanguage(index))
        g_languageIndex = index;
}

int LanguageIndex() {
    return g_languageIndex;
}

std::string LocalizedText(int number) {
    return LocalizedText(number, g_languageIndex);
}

std::string LocalizedText(int number, int language) {
    if (number < 0 || number >= kLocalizedTextCount || !IsLanguage(language))
        return {};
    return kLocalizedTextTable[static_cast<size_t>(number)][static_cast<size_t>(language)];
}

std::string TranslateHeading(std::string_view english) {
    return TranslateHeading(english, g_languageIndex);
}

std::string TranslateHeading(std::string_view english, int language) {
    if (!IsLanguage(language))
        return std::string(english);
    for (const TextRow& row : kHeadingTable) {
        const std::string_view key = row[static_cast<size_t>(Language::English)];
        if (key == "-")
            break;
        if (key == english)
            return row[static_cast<size_t>(language)];
    }
    return std::string(english);
}

} // namespace kaptiv::text
