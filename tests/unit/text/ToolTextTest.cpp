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
        EXPECT_EQ(texts.size(), size_t(kLanguageCount)) << "row " << row << " is not translated: " << english;
    }
    EXPECT_EQ(LocalizedToolText(ToolText::BlockRefused, 5), "");
    EXPECT_EQ(LocalizedToolText(ToolText::Count, 0), "");
}

TEST_F(French, RefusalsFollowTheLanguage) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, LocalizedToolText(ToolText::ModuleListRefused).c_str(), 15, 14);
    EXPECT_STREQ(buffer, "Liste des modules refusée : 15 modules annoncés, 14 au plus.");
}
