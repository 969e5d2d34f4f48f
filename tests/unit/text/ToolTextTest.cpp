#include "text/ToolText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

using namespace kaptiv::text;

namespace {

std::string Formats(const std::string& text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%')
            out += text[++i];
    return out;
}

struct French : ::testing::Test {
    void SetUp() override { SetLanguageIndex(static_cast<int>(Language::French)); }
    void TearDown() override { SetLanguageIndex(static_cast<int>(Language::English)); }
};

} // namespace

TEST(ToolTexts, EveryRowHasFiveDistinctTextsWithTheSamePlaceholders) {
    for (int row = 0; row < kToolTextCount; ++row) {
        const auto id = static_cast<ToolText>(row);
        const std::string english = LocalizedToolText(id, 0);
        ASSERT_FALSE(english.empty()) << row;
        std::set<std::string> texts;
        for (int language = 0; language < kLanguageCount; ++language) {
            const std::string text = LocalizedToolText(id, language);
            EXPECT_FALSE(text.empty()) << row << "/" << language;
            EXPECT_EQ(Formats(text), Formats(english)) << text;
            texts.insert(text);
        }
        // A few words are the same in several languages ("OK", "No", "Type"); every other
        // row differs in each language, so a row copied from English stands out.
        const bool sharedWord =
            id == ToolText::PageOk || id == ToolText::PageNo || id == ToolText::PageFileType;
        if (!sharedWord)
            EXPECT_EQ(texts.size(), size_t(kLanguageCount))
                << "row " << row << " is not translated: " << english;
        else
            EXPECT_GE(texts.size(), size_t(2)) << "row " << row << " is not translated: " << english;
    }
    EXPECT_EQ(LocalizedToolText(ToolText::BlockRefused, 5), "");
    EXPECT_EQ(LocalizedToolText(ToolText::Count, 0), "");
}

TEST_F(French, RefusalsFollowTheLanguage) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, LocalizedToolText(ToolText::ModuleListRefused).c_str(), 15, 14);
    EXPECT_STREQ(buffer, "Liste des modules refusée : 15 modules annoncés, 14 au plus.");
}

TEST(ToolTexts, FormatFillsPlaceholdersInOrderAndNeverReadsArgumentsAsFormats) {
    EXPECT_EQ(FormatToolText(ToolText::SettingsNotRead, 0, {"7"}),
              "The settings of module 7 could not be read; they are not written.");
    EXPECT_EQ(
        FormatToolText(ToolText::FirmwarePictureMissing, 3, {"5", "RkMod", "FP_C4V0.rle"}),
        "Modul 5 (RkMod) bleibt unverändert: das Frontplattenbild FP_C4V0.rle fehlt oder ist nicht lesbar.");
    // An argument holding a placeholder is copied as it is.
    EXPECT_EQ(FormatToolText(ToolText::ReplaceQuestion, 0, {"%s%d.qvc"}),
              "%s%d.qvc already exists.\nDo you want to replace it?");
    // Missing arguments leave the place empty; extra ones are dropped.
    EXPECT_EQ(FormatToolText(ToolText::FirmwarePictureMissing, 0, {"5"}),
              "Module 5 () left as it is: the front-panel picture  is missing or unreadable.");
    EXPECT_EQ(FormatToolText(ToolText::PageClose, 1, {"x"}), "Fermer");
}

TEST(ToolTexts, LanguageCodesFollowTheColumns) {
    EXPECT_EQ(LanguageCode(0), "en");
    EXPECT_EQ(LanguageCode(1), "fr");
    EXPECT_EQ(LanguageCode(4), "es");
    EXPECT_EQ(LanguageCode(5), "en");
    EXPECT_EQ(LanguageCode(-1), "en");
}
