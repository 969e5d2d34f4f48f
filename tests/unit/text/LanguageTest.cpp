#include "text/Language.h"
#include "text/LanguageTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

using namespace kaptiv::text;

namespace {

constexpr int kFrench = static_cast<int>(Language::French);
constexpr int kItalian = static_cast<int>(Language::Italian);
constexpr int kGerman = static_cast<int>(Language::German);
constexpr int kSpanish = static_cast<int>(Language::Spanish);
const std::string kNoBreakSpace = "\xC2\xA0";

// The conversions of a printf-style format ("%d", "%06X", "%%" skipped) and of the
// numbered "%1" kind, in order.
std::vector<std::string> Placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::string_view("-+ #0").find(text[j]) != std::string_view::npos)
            ++j;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.'))
            ++j;
        while (j < text.size() && std::string_view("hlLqjzt").find(text[j]) != std::string_view::npos)
            ++j;
        if (j < text.size() && std::string_view("diouxXeEfFgGaAcspn").find(text[j]) != std::string_view::npos)
            ++j;
        found.push_back(text.substr(i, j - i));
        i = j - 1;
    }
    return found;
}

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Restores the process-wide index whatever a test did with it.
class LanguageIndexTest : public ::testing::Test {
protected:
    void TearDown() override { SetLanguageIndex(static_cast<int>(Language::English)); }
};

} // namespace

TEST(LanguageTables, EveryRowKeepsItsPlaceholdersInEveryLanguage) {
    for (int number = 0; number < kLocalizedTextCount; ++number) {
        const auto english = Placeholders(LocalizedText(number, 0));
        for (int language = 1; language < kLanguageCount; ++language)
            EXPECT_EQ(Placeholders(LocalizedText(number, language)), english)
                << "row " << number << " language " << language << ": " << LocalizedText(number, language);
    }
    for (const TextRow& row : kHeadingTable)
        for (const char* text : row)
            EXPECT_TRUE(Placeholders(text).empty()) << text;
}

TEST(LanguageTables, PlaceholderScannerSeesFormatsAndNumberedArguments) {
    // Guards the check above: a scanner that found nothing would pass every row.
    EXPECT_EQ(Placeholders("Updating module %d (%s) to release V%d.%d\r\n"),
              (std::vector<std::string>{"%d", "%s", "%d", "%d"}));
    EXPECT_EQ(Placeholders("TAG %06X, 100%% and %1 to %2"), (std::vector<std::string>{"%06X", "%1", "%2"}));
}

TEST(LanguageTables, TextsAreUtf8AndFormattableWithTheEnglishArguments) {
    for (int number = 0; number < kLocalizedTextCount; ++number) {
        for (int language = 0; language < kLanguageCount; ++language) {
            const std::string text = LocalizedText(number, language);
            EXPECT_TRUE(IsValidUtf8(text)) << "row " << number << " language " << language;
            if (number != 80 && number != 81 && number != 85) {
                EXPECT_FALSE(text.empty()) << "row " << number << " language " << language;
            }
        }
    }
    for (const TextRow& row : kHeadingTable)
        for (const char* text : row)
            EXPECT_TRUE(IsValidUtf8(text)) << text;

    char buffer[128];
    std::snprintf(buffer, sizeof buffer, LocalizedText(23, kItalian).c_str(), 3, "QPSK", 2, 7);
    EXPECT_STREQ(buffer, "Aggiornamento del modulo 3 (QPSK) alla versione V2.7\r\n");
    std::snprintf(buffer, sizeof buffer, LocalizedText(92, kFrench).c_str(), 4, "MOD", 1, 2);
    EXPECT_STREQ(buffer, "Changement module 4 : MOD version 1.2\r\n");
}

TEST(LanguageTables, NoBreakSpacesSitOnlyInTheirGermanAndItalianTexts) {
    std::set<std::pair<int, int>> expected;
    for (int number : {8, 9, 10, 11, 16, 17, 18, 20, 22})
        expected.insert({number, kGerman});
    expected.insert({16, kItalian});
    expected.insert({43, kItalian});
    for (int number = 0; number < kLocalizedTextCount; ++number)
        for (int language = 0; language < kLanguageCount; ++language)
            EXPECT_EQ(LocalizedText(number, language).find(kNoBreakSpace) != std::string::npos,
                      expected.count({number, language}) == 1)
                << "row " << number << " language " << language;
}

TEST_F(LanguageIndexTest, LocalizedTextFollowsTheLanguageIndex) {
    EXPECT_EQ(LocalizedText(0), "NoName");
    SetLanguageIndex(kFrench);
    EXPECT_EQ(LocalizedText(0), "SansNom");
    EXPECT_EQ(LocalizedText(31), "Matériel non trouvé...");
    SetLanguageIndex(kSpanish);
    EXPECT_EQ(LocalizedText(0), "SinNombre");
    EXPECT_EQ(LocalizedText(38), "ERROR : NO ES POSIBLE CREAR EL FICHERO !");
    SetLanguageIndex(kGerman);
    EXPECT_EQ(LocalizedText(26), "Schreiben, WARTEN. Das gerät nicht vomnets nehmen...");
    EXPECT_EQ(LocalizedText(93), "Watchdog");
}

TEST_F(LanguageIndexTest, OutOfRangeNumbersAndIndexesAreHarmless) {
    SetLanguageIndex(kItalian);
    EXPECT_EQ(LocalizedText(-1), "");
    EXPECT_EQ(LocalizedText(kLocalizedTextCount), "");
    EXPECT_EQ(LocalizedText(1000000), "");
    EXPECT_EQ(LocalizedText(0, 5), "");
    // An index outside 0 to 4 is ignored: the language stays as it was.
    SetLanguageIndex(5);
    EXPECT_EQ(LanguageIndex(), kItalian);
    SetLanguageIndex(-1);
    EXPECT_EQ(LocalizedText(0), "SenzaNome");
}

TEST_F(LanguageIndexTest, TranslateHeadingMatchesTheEnglishTextExactly) {
    SetLanguageIndex(kFrench);
    EXPECT_EQ(TranslateHeading("NAME"), "NOM");
    EXPECT_EQ(TranslateHeading("S.N.R."), "Qualité");
    EXPECT_EQ(TranslateHeading("MODULATION"), "MODULATION");
    EXPECT_EQ(TranslateHeading("Name"), "Name"); // case counts
    EXPECT_EQ(TranslateHeading("NAME "), "NAME ");
    EXPECT_EQ(TranslateHeading("Not a heading"), "Not a heading");
    EXPECT_EQ(TranslateHeading(""), "");
    SetLanguageIndex(kSpanish);
    EXPECT_EQ(TranslateHeading("NAME"), "NOMBRE");
    EXPECT_EQ(TranslateHeading("MODULATION"), "MODULACION"); // the row just before the end mark
    SetLanguageIndex(kGerman);
    EXPECT_EQ(TranslateHeading("S.N.R."), "S.N.R.");
    EXPECT_EQ(TranslateHeading("Crypted"), "Verschlüsselt");
}

TEST(LanguageTables, TheEndMarkComesBackUnchangedInEveryLanguage) {
    for (int language = 0; language < kLanguageCount; ++language)
        EXPECT_EQ(TranslateHeading("-", language), "-");
    EXPECT_EQ(std::string(kHeadingTable.back()[0]), "-");
}
