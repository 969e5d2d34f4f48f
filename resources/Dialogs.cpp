#include "resources/Dialogs.h"

#include <cstdio>
#include <cstdlib>

namespace kaptiv::resources {

const ui::DialogTemplate* FindDialogTemplate(int id) {
    static const ui::DialogTemplate* const kAll[] = {
        &kMainTemplate,           &kInfoTemplate,    &kDetachInfoTemplate, &kStatusTemplate,
        &kConfigValidateTemplate, &kOpenCamTemplate, &kHealthPlotTemplate};
    for (const ui::DialogTemplate* tmpl : kAll)
        if (tmpl->id == id)
            return tmpl;
    if (id == kDialogSettingsPage)
        return &SettingsTemplate();
    if (id == kDialogHealth)
        return &HealthTemplate();
    return nullptr;
}

const ui::DialogTemplate& DialogTemplateById(int id) {
    const ui::DialogTemplate* tmpl = FindDialogTemplate(id);
    if (tmpl == nullptr) {
        std::fprintf(stderr, "kaptiv: no dialog template %d\n", id);
        std::abort();
    }
    return *tmpl;
}

} // namespace kaptiv::resources
