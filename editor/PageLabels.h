#pragma once
// The labels of the settings page that come from the language tables.
#include "ui/Dialog.h"

namespace kaptiv::editor {

// Sets each such label to its text in the current language.
void SetPageLabels(ui::Dialog& page);

} // namespace kaptiv::editor
