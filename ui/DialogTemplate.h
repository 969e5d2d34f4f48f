#pragma once
// Layout data of a window, kept apart from its behaviour: the tables themselves live in
// resources/ (one file per dialog), the classes that give them behaviour elsewhere.
#include "ui/Types.h"

#include <span>
#include <string_view>

namespace kaptiv::ui {

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::StaticText;
    RectDu rect;
    std::string_view text;
    uint32_t style = 0;
    ImageRef image; // picture or icon button
};

struct DialogTemplate {
    int id = 0;
    DialogKind kind = DialogKind::Child;
    SizeDu size;
    std::string_view title;
    std::span<const ControlTemplate> controls;
    bool hasCaption = false; // pop-ups with a title bar
};

} // namespace kaptiv::ui
