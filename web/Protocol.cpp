// The model-to-page half of the protocol: display updates and folder listings as JSON.
#include "web/Protocol.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace kaptiv::web {

namespace {

using nlohmann::json;

const char* KindName(ui::ControlKind kind) {
    switch (kind) {
    case ui::ControlKind::StaticText:
        return "static";
    case ui::ControlKind::Picture:
        return "picture";
    case ui::ControlKind::Button:
        return "button";
    case ui::ControlKind::CheckBox:
        return "check";
    case ui::ControlKind::Edit:
        return "edit";
    case ui::ControlKind::ComboBox:
        return "combo";
    case ui::ControlKind::ListBox:
        return "listbox";
    case ui::ControlKind::ListView:
        return "listview";
    case ui::ControlKind::ProgressBar:
        return "progress";
    case ui::ControlKind::Slider:
        return "slider";
    case ui::ControlKind::UpDown:
        return "updown";
    case ui::ControlKind::TimePicker:
        return "time";
    case ui::ControlKind::GroupBox:
        return "group";
    case ui::ControlKind::OwnerDrawn:
        return "drawn";
    case ui::ControlKind::Plot:
        return "plot";
    }
    return "static";
}

std::string ColorText(const ui::Color& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
    return text;
}

// "bitmap/257" or "icon/139": the page fetches /image/<this>.svg.
json ImageName(const ui::ImageRef& image) {
    switch (image.kind) {
    case ui::ImageKind::Bitmap:
        return "bitmap/" + std::to_string(image.id);
    case ui::ImageKind::Icon:
        return "icon/" + std::to_string(image.id);
    case ui::ImageKind::None:
        break;
    }
    return nullptr;
}

const char* AlignName(ui::Align align) {
    switch (align) {
    case ui::Align::Center:
        return "center";
    case ui::Align::Right:
        return "right";
    case ui::Align::Left:
        break;
    }
    return "left";
}

json EncodeListView(const ui::ControlData& c) {
    json columns = json::array();
    for (const auto& column : c.columns)
        columns.push_back(
            {{"header", column.header}, {"width", column.widthPx}, {"align", AlignName(column.align)}});
    json rows = json::array();
    for (const auto& row : c.rows) {
        json cells = json::array();
        for (const auto& cell : row.cells) {
            if (cell.image >= 0)
                cells.push_back({{"text", cell.text}, {"image", cell.image}});
            else
                cells.push_back(cell.text);
        }
        json r = {{"cells", std::move(cells)}};
        if (row.textColor)
            r["color"] = ColorText(*row.textColor);
        if (row.selected)
            r["selected"] = true;
        rows.push_back(std::move(r));
    }
    json images = json::array();
    for (const auto& image : c.imageList)
        images.push_back(ImageName(image));
    json result = {{"mode", c.mode == ui::ListViewMode::Icon ? "icon" : "report"},
                   {"columns", std::move(columns)},
                   {"rows", std::move(rows)},
                   {"images", std::move(images)}};
    if (!c.columnColors.empty()) {
        json colors = json::object();
        for (const auto& column : c.columnColors) {
            json entry = json::object();
            if (column.textColor)
                entry["color"] = ColorText(*column.textColor);
            if (column.backColor)
                entry["back"] = ColorText(*column.backColor);
            colors[std::to_string(column.column)] = std::move(entry);
        }
        result["columnColors"] = std::move(colors);
    }
    // The in-place cell editor open on the list (absent: none).
    if (c.cellEdit)
        result["edit"] = {{"row", c.cellEdit->row},
                          {"col", c.cellEdit->column},
                          {"text", c.cellEdit->text},
                          {"serial", c.cellEdit->serial}};
    return result;
}

// Times and values as the plotting library takes them: one array of x, one array per series
// with null for a gap.
json EncodePlot(const ui::PlotData& plot) {
    json series = json::array();
    for (const ui::PlotSeries& s : plot.series) {
        json values = json::array();
        for (const std::optional<double>& v : s.values)
            values.push_back(v && std::isfinite(*v) ? json(*v) : json(nullptr));
        series.push_back(
            {{"label", s.label}, {"unit", s.unit}, {"color", ColorText(s.color)}, {"values", values}});
    }
    json j = {{"times", plot.times}, {"series", std::move(series)}, {"axes", plot.axes}};
    if (plot.yMin)
        j["yMin"] = *plot.yMin;
    if (plot.yMax)
        j["yMax"] = *plot.yMax;
    return j;
}

// Only the fields of the control's kind travel (see ui/Controls.h); a delta carries the
// whole state of each changed control so the page never has to merge fields.
json EncodeControl(const ui::ControlData& c) {
    json j = {{"id", c.id},           {"kind", KindName(c.kind)}, {"x", c.rect.x},    {"y", c.rect.y},
              {"w", c.rect.width},    {"h", c.rect.height},       {"style", c.style}, {"text", c.text},
              {"enabled", c.enabled}, {"visible", c.visible}};
    if (c.textColor)
        j["color"] = ColorText(*c.textColor);
    if (c.backColor)
        j["back"] = ColorText(*c.backColor);
    if (c.font)
        j["font"] = {{"family", c.font->family}, {"px", c.font->heightPx}, {"bold", c.font->bold}};
    switch (c.kind) {
    case ui::ControlKind::Picture:
    case ui::ControlKind::Button:
        j["image"] = ImageName(c.image);
        break;
    case ui::ControlKind::CheckBox:
        j["checked"] = c.checked;
        break;
    case ui::ControlKind::Edit:
        j["readOnly"] = c.readOnly;
        j["password"] = c.passwordChar != 0;
        j["maxLength"] = c.maxLength;
        j["multiLine"] = c.multiLine;
        break;
    case ui::ControlKind::ComboBox:
    case ui::ControlKind::ListBox:
        j["items"] = c.items;
        j["selected"] = c.selectedItem;
        break;
    case ui::ControlKind::ListView:
        j.update(EncodeListView(c));
        break;
    case ui::ControlKind::ProgressBar:
    case ui::ControlKind::Slider:
    case ui::ControlKind::UpDown:
        j["min"] = c.rangeMin;
        j["max"] = c.rangeMax;
        j["pos"] = c.position;
        if (c.kind == ui::ControlKind::Slider)
            j["ticks"] = c.tickFrequency;
        break;
    case ui::ControlKind::TimePicker:
        j["minutes"] = c.minutesOfDay;
        break;
    case ui::ControlKind::OwnerDrawn: {
        json shapes = json::array();
        for (const auto& s : c.shapes)
            shapes.push_back({{"x", s.rect.x},
                              {"y", s.rect.y},
                              {"w", s.rect.width},
                              {"h", s.rect.height},
                              {"color", ColorText(s.color)},
                              {"filled", s.filled}});
        j["shapes"] = std::move(shapes);
        break;
    }
    case ui::ControlKind::Plot:
        j["plot"] = EncodePlot(c.plot);
        break;
    case ui::ControlKind::StaticText:
    case ui::ControlKind::GroupBox:
        break;
    }
    return j;
}

json EncodeDialog(const ui::DialogData& d) {
    return {{"id", d.id},           {"kind", d.kind == ui::DialogKind::Popup ? "popup" : "child"},
            {"title", d.title},     {"caption", d.hasCaption},
            {"w", d.size.width},    {"h", d.size.height},
            {"x", d.position.x},    {"y", d.position.y},
            {"parent", d.parentId}, {"visible", d.visible},
            {"modal", d.modal},     {"z", d.zOrder}};
}

const char* ButtonsName(ui::MessageBoxButtons buttons) {
    switch (buttons) {
    case ui::MessageBoxButtons::OkCancel:
        return "okcancel";
    case ui::MessageBoxButtons::YesNo:
        return "yesno";
    case ui::MessageBoxButtons::YesNoCancel:
        return "yesnocancel";
    case ui::MessageBoxButtons::RetryCancel:
        return "retrycancel";
    case ui::MessageBoxButtons::Ok:
        break;
    }
    return "ok";
}

const char* IconName(ui::MessageBoxIcon icon) {
    switch (icon) {
    case ui::MessageBoxIcon::Information:
        return "information";
    case ui::MessageBoxIcon::Warning:
        return "warning";
    case ui::MessageBoxIcon::Error:
        return "error";
    case ui::MessageBoxIcon::Question:
        return "question";
    case ui::MessageBoxIcon::None:
        break;
    }
    return "none";
}

json EncodeRequest(const ui::Request& r) {
    json j = {{"id", r.id}, {"owner", r.ownerDialogId}};
    if (r.kind == ui::RequestKind::MessageBox) {
        j["kind"] = "messagebox";
        j["text"] = r.text;
        j["caption"] = r.caption;
        j["buttons"] = ButtonsName(r.buttons);
        j["icon"] = IconName(r.icon);
        return j;
    }
    const ui::FileDialogOptions& f = r.file;
    json filters = json::array();
    for (const auto& filter : f.filters)
        filters.push_back({{"label", filter.label}, {"patterns", filter.patterns}});
    j["kind"] = "file";
    j["save"] = f.save;
    j["title"] = f.title;
    j["folder"] = f.initialFolder;
    j["name"] = f.fileName;
    j["ext"] = f.defaultExtension;
    j["filters"] = std::move(filters);
    j["multi"] = f.multiSelect;
    j["overwrite"] = f.overwritePrompt;
    return j;
}

// Texts from modules or files may hold bytes that are not UTF-8; they are replaced rather
// than making the whole update fail.
std::string Dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace

std::string EncodeUpdate(const ui::DisplayUpdate& u, const ui::PageTexts* pageTexts) {
    json j = {{"type", "update"}, {"full", u.full}};
    if (!u.destroyedDialogs.empty())
        j["destroyed"] = u.destroyedDialogs;
    if (!u.dialogs.empty()) {
        json dialogs = json::array();
        for (const auto& d : u.dialogs)
            dialogs.push_back(EncodeDialog(d));
        j["dialogs"] = std::move(dialogs);
    }
    if (!u.controls.empty()) {
        json controls = json::array();
        for (const auto& c : u.controls)
            controls.push_back({{"dialog", c.dialogId}, {"control", EncodeControl(c.control)}});
        j["controls"] = std::move(controls);
    }
    if (u.modalStack)
        j["modal"] = *u.modalStack;
    if (u.focus)
        j["focus"] = {{"dialog", u.focus->dialogId}, {"control", u.focus->controlId}};
    if (!u.requests.empty()) {
        json requests = json::array();
        for (const auto& r : u.requests)
            requests.push_back(EncodeRequest(r));
        j["requests"] = std::move(requests);
    }
    if (!u.closedRequests.empty())
        j["closed"] = u.closedRequests;
    if (pageTexts) {
        json texts = json::object();
        for (const auto& [key, text] : pageTexts->texts)
            texts[key] = text;
        j["texts"] = {{"language", pageTexts->language}, {"texts", std::move(texts)}};
    }
    if (!u.beeps.empty()) {
        json beeps = json::array();
        for (const auto& b : u.beeps)
            beeps.push_back({{"freq", b.frequencyHz}, {"ms", b.durationMs}});
        j["beeps"] = std::move(beeps);
    }
    return Dump(j);
}

namespace {
void AddRef(json& j, const char* key, const std::string& bytes) {
    if (!IsValidUtf8(bytes))
        j[key] = EncodePathRef(bytes);
}
} // namespace

std::string EncodeFolderListing(uint64_t request, const ui::FolderListing& listing) {
    json entries = json::array();
    for (const auto& e : listing.entries) {
        json entry = {{"name", e.name}, {"dir", e.isFolder}, {"size", e.sizeBytes}};
        AddRef(entry, "ref", e.name);
        entries.push_back(std::move(entry));
    }
    json j = {{"type", "folder"},
              {"request", request},
              {"ok", listing.ok},
              {"path", listing.folder},
              {"parent", listing.parent},
              {"entries", std::move(entries)},
              {"truncated", listing.truncated}};
    AddRef(j, "pathRef", listing.folder);
    AddRef(j, "parentRef", listing.parent);
    if (!listing.error.empty())
        j["error"] = listing.error;
    if (listing.notAFolder)
        j["notFolder"] = true;
    return Dump(j);
}

} // namespace kaptiv::web
