#pragma once
// The play-out schedule of a streaming tuner: at most 10 windows [start, end] in minutes after
// midnight, kept in the order of their times, each naming a file of the USB key or a stream
// ("udp://@:" or "rtp://@:" followed by the port).
#include "settings/TunerBlock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::ui {
class Control;
}

namespace kaptiv::streaming {

using Schedule = std::vector<settings::ScheduleEntry>;

inline constexpr const char* kUdpEntry = "udp://@:";
inline constexpr const char* kRtpEntry = "rtp://@:";
inline constexpr const char* kReplacingSuffix = ".upt";
inline constexpr int kDefaultStreamPort = 5004;

// Whether [s, e] may join the schedule: it does not run backwards, and against every entry
// [f, g] its end does not fall inside it, it does not cover it, and its start does not fall
// inside it (a window may start where another ends, not end where another starts).
bool WindowValid(const Schedule& schedule, uint32_t s, uint32_t e);

// The name of a new entry: a stream entry takes the port.
std::u32string EntryName(const std::string& fileListText, int port);

// What adding or removing did to the schedule as a whole: the first entry starts, and the
// last one ends, the pass-through of the streaming service.
enum class PassThroughChange { None, Add, Remove };

struct AddResult {
    bool added = false;
    PassThroughChange passThrough = PassThroughChange::None;
};
// Placed before the first entry whose start is not below e. Nothing when the schedule is full.
AddResult AddEntry(Schedule& schedule, uint32_t s, uint32_t e, std::u32string name);

struct RemoveResult {
    int removed = 0;
    PassThroughChange passThrough = PassThroughChange::None;
};
// Removes the entries at the given rows (any order, out-of-range rows ignored).
RemoveResult RemoveRows(Schedule& schedule, const std::vector<int>& rows);
// Removes every entry whose file name is exactly `name`, keeping the rest in order.
RemoveResult RemoveNamed(Schedule& schedule, const std::u32string& name);
// Renames every entry named exactly `from`; returns how many.
int RenameEntries(Schedule& schedule, const std::u32string& from, const std::u32string& to);

// A name as the page shows it: UTF-8, with every control character (C0, DEL, C1) written as
// "\xNN" so that a name from the module cannot move the cursor or clear a line where it is shown.
std::string ShownName(const std::u32string& name);

// "%d:%02d" of minutes / 60 and minutes % 60.
std::string FormatMinutes(uint32_t minutes);

// The schedule list: columns "VOID" (1 px), "De", "à" (40 px, centred), "Fichier" (114 px).
void SetUpScheduleColumns(ui::Control& list);
// Grows or shrinks the list to the entries and fills each row; selections of kept rows stay.
void FillScheduleList(ui::Control& list, const Schedule& schedule);

} // namespace kaptiv::streaming
