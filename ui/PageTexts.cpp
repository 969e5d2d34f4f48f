#include "ui/PageTexts.h"

namespace kaptiv::ui {

namespace {
struct State {
    PageTexts texts;
    uint64_t version = 0;
    std::string replaceQuestion = "%s already exists.\nDo you want to replace it?";
};
State& Shared() {
    static State state;
    return state;
}
} // namespace

void SetPageTexts(PageTexts texts) {
    State& state = Shared();
    if (texts == state.texts)
        return;
    state.texts = std::move(texts);
    ++state.version;
}

const PageTexts& GetPageTexts() {
    return Shared().texts;
}

uint64_t PageTextsVersion() {
    return Shared().version;
}

void SetReplaceQuestion(std::string format) {
    Shared().replaceQuestion = std::move(format);
}

std::string ReplaceQuestion(const std::string& fileName) {
    std::string question = Shared().replaceQuestion;
    if (const size_t at = question.find("%s"); at != std::string::npos)
        question.replace(at, 2, fileName);
    return question;
}

} // namespace kaptiv::ui
