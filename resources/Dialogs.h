#pragma once
// The dialog templates of the program's windows, by resource id. Layout only: the classes
// that give them behaviour live with their subsystem.
#include "ui/DialogTemplate.h"

namespace kaptiv::resources {

inline constexpr int kDialogMain = 102;
inline constexpr int kDialogInfo = 160;
inline constexpr int kDialogOpenCam = 161;
inline constexpr int kDialogDetachInfo = 241;
inline constexpr int kDialogStatus = 254;
inline constexpr int kDialogSettingsPage = 145;
inline constexpr int kDialogConfigValidate = 195;

extern const ui::DialogTemplate kMainTemplate;
extern const ui::DialogTemplate kInfoTemplate;
extern const ui::DialogTemplate kOpenCamTemplate;
extern const ui::DialogTemplate kDetachInfoTemplate;
extern const ui::DialogTemplate kStatusTemplate;
// Built on first use (its controls are generated in loops).
const ui::DialogTemplate& SettingsTemplate();
extern const ui::DialogTemplate kConfigValidateTemplate;

// Null for an id no template has.
const ui::DialogTemplate* FindDialogTemplate(int id);
// The template that must exist; a missing one stops the program with its id.
const ui::DialogTemplate& DialogTemplateById(int id);

} // namespace kaptiv::resources
