#pragma once
// The program's language given to the window system: the texts of the page itself (its
// dialogs' buttons and captions, its banners) and the question asked before a file is
// replaced, all from the tool-text catalogue.
#include "ui/PageTexts.h"

namespace kaptiv::app {

ui::PageTexts PageTextsFor(int language);
void ApplyLanguage(int language);

} // namespace kaptiv::app
