#include "app/PageTexts.h"

#include "text/ToolText.h"

namespace kaptiv::app {

namespace {
using text::ToolText;

// The page's keys (web/page/requests.js and app.js) and the catalogue rows behind them.
constexpr std::pair<const char*, ToolText> kPageKeys[] = {
    {"ok", ToolText::PageOk},
    {"cancel", ToolText::PageCancel},
    {"yes", ToolText::PageYes},
    {"no", ToolText::PageNo},
    {"retry", ToolText::PageRetry},
    {"saveAs", ToolText::PageSaveAs},
    {"openTitle", ToolText::PageOpenTitle},
    {"save", ToolText::PageSave},
    {"open", ToolText::PageOpen},
    {"fileName", ToolText::PageFileName},
    {"fileType", ToolText::PageFileType},
    {"parentFolder", ToolText::PageParentFolder},
    {"allFiles", ToolText::PageAllFiles},
    {"firstEntriesOnly", ToolText::PageFirstEntriesOnly},
    {"close", ToolText::PageClose},
    {"connectionLost", ToolText::PageConnectionLost},
    {"connecting", ToolText::PageConnecting},
    {"notAFolder", ToolText::PageNotAFolder},
};
} // namespace

ui::PageTexts PageTextsFor(int language) {
    ui::PageTexts texts;
    texts.language = std::string(text::LanguageCode(language));
    for (const auto& [key, row] : kPageKeys)
        texts.texts.emplace_back(key, text::LocalizedToolText(row, language));
    return texts;
}

void ApplyLanguage(int language) {
    ui::SetPageTexts(PageTextsFor(language));
    ui::SetReplaceQuestion(text::LocalizedToolText(ToolText::ReplaceQuestion, language));
}

} // namespace kaptiv::app
