#pragma once
// The texts the window system shows on its own, in the program's language: those of the
// page itself (its dialogs' buttons and captions, its banners: key -> text, the page keeps
// English for a key it does not find) and the question a save dialog asks before replacing
// a file (one %s: the file name). Process-wide, like the language index: set once at
// start-up, when the language is known, on the user-interface thread; English until then.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kaptiv::ui {

struct PageTexts {
    std::string language = "en"; // two-letter code
    std::vector<std::pair<std::string, std::string>> texts;
    bool operator==(const PageTexts&) const = default;
};

void SetPageTexts(PageTexts texts);
const PageTexts& GetPageTexts();
// Counts the changes, so that a display sends the texts again only when they changed.
uint64_t PageTextsVersion();

void SetReplaceQuestion(std::string format);
// The question for this file name.
std::string ReplaceQuestion(const std::string& fileName);

} // namespace kaptiv::ui
