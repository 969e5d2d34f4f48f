#include "streaming/Schedule.h"

#include "settings/BlockText.h"
#include "ui/Controls.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kaptiv::streaming {

bool WindowValid(const Schedule& schedule, uint32_t s, uint32_t e) {
    if (e < s)
        return false;
    for (const settings::ScheduleEntry& entry : schedule) {
        const uint32_t f = entry.start;
        const uint32_t g = entry.end;
        if (f <= e && e <= g)
            return false; // the new end falls inside it
        if (e >= g && f >= s)
            return false; // the new window covers it
        if (f <= s && s < g)
            return false; // the new start falls inside it
    }
    return true;
}

std::u32string EntryName(const std::string& fileListText, int port) {
    std::string name = fileListText;
    if (name == kUdpEntry || name == kRtpEntry)
        name += std::to_string(port);
    return settings::FromUtf8(name).value_or(U"");
}

AddResult AddEntry(Schedule& schedule, uint32_t s, uint32_t e, std::u32string name) {
    if (schedule.size() >= settings::kMaxScheduleEntries)
        return {};
    const auto at = std::find_if(schedule.begin(), schedule.end(),
                                 [e](const settings::ScheduleEntry& entry) { return entry.start >= e; });
    const bool wasEmpty = schedule.empty();
    schedule.insert(at, settings::ScheduleEntry{s, e, std::move(name)});
    return {true, wasEmpty ? PassThroughChange::Add : PassThroughChange::None};
}

namespace {
RemoveResult Finish(const Schedule& schedule, int removed) {
    return {removed, removed > 0 && schedule.empty() ? PassThroughChange::Remove : PassThroughChange::None};
}
} // namespace

RemoveResult RemoveRows(Schedule& schedule, const std::vector<int>& rows) {
    int removed = 0;
    for (int row = int(schedule.size()) - 1; row >= 0; --row)
        if (std::find(rows.begin(), rows.end(), row) != rows.end()) {
            schedule.erase(schedule.begin() + row);
            ++removed;
        }
    return Finish(schedule, removed);
}

RemoveResult RemoveNamed(Schedule& schedule, const std::u32string& name) {
    const auto n =
        std::erase_if(schedule, [&](const settings::ScheduleEntry& e) { return e.fileName == name; });
    return Finish(schedule, int(n));
}

int RenameEntries(Schedule& schedule, const std::u32string& from, const std::u32string& to) {
    int n = 0;
    for (settings::ScheduleEntry& entry : schedule)
        if (entry.fileName == from) {
            entry.fileName = to;
            ++n;
        }
    return n;
}

std::string ShownName(const std::u32string& name) {
    std::u32string shown;
    for (char32_t c : name) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
            shown.append(hex, hex + std::strlen(hex));
        } else {
            shown.push_back(c);
        }
    }
    return settings::ToUtf8(shown);
}

std::string FormatMinutes(uint32_t minutes) {
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u", minutes / 60, minutes % 60);
    return text;
}

void SetUpScheduleColumns(ui::Control& list) {
    list.SetColumns({{"VOID", 1, ui::Align::Left},
                     {"De", 40, ui::Align::Center},
                     {"\xC3\xA0", 40, ui::Align::Center},
                     {"Fichier", 114, ui::Align::Left}});
}

void FillScheduleList(ui::Control& list, const Schedule& schedule) {
    std::vector<ui::ListRow> rows(schedule.size());
    for (size_t i = 0; i < schedule.size(); ++i) {
        const settings::ScheduleEntry& e = schedule[i];
        rows[i].cells = {{}, {FormatMinutes(e.start)}, {FormatMinutes(e.end)}, {ShownName(e.fileName)}};
        rows[i].selected = int(i) < list.RowCount() && list.Row(int(i)).selected;
    }
    list.SetRows(std::move(rows));
}

} // namespace kaptiv::streaming
