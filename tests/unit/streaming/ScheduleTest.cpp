// The play-out schedule: the window rules, insertion by time, removal, the names of stream
// entries, the times shown and when the pass-through of the streaming service starts and ends.
#include "streaming/Schedule.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::streaming;

namespace {
constexpr uint32_t H(int hours, int minutes = 0) {
    return uint32_t(hours * 60 + minutes);
}

Schedule Morning() {
    Schedule s;
    AddEntry(s, H(8), H(10), U"a.ts");
    AddEntry(s, H(12), H(13), U"b.ts");
    return s;
}

std::vector<std::u32string> Names(const Schedule& s) {
    std::vector<std::u32string> names;
    for (const auto& e : s)
        names.push_back(e.fileName);
    return names;
}
} // namespace

TEST(Schedule, WindowsMayStartWhereAnotherEndsButNotEndWhereAnotherStarts) {
    const Schedule s = Morning();
    EXPECT_TRUE(WindowValid(s, H(10), H(11)));
    EXPECT_FALSE(WindowValid(s, H(11), H(12)));
    EXPECT_FALSE(WindowValid(s, H(9, 30), H(11)));
    EXPECT_FALSE(WindowValid(s, H(7), H(14)));
    EXPECT_TRUE(WindowValid(s, H(11), H(11))); // zero length
    EXPECT_FALSE(WindowValid(s, H(11), H(10, 59)));
    EXPECT_TRUE(WindowValid(s, H(13, 1), H(23, 59)));
    EXPECT_TRUE(WindowValid({}, 0, 0));
}

TEST(Schedule, EntriesAreInsertedByTime) {
    Schedule s = Morning();
    EXPECT_TRUE(AddEntry(s, H(11), H(11), U"c.ts").added);
    EXPECT_EQ(Names(s), (std::vector<std::u32string>{U"a.ts", U"c.ts", U"b.ts"}));
    AddEntry(s, H(6), H(7), U"d.ts");
    AddEntry(s, H(20), H(21), U"e.ts");
    EXPECT_EQ(Names(s), (std::vector<std::u32string>{U"d.ts", U"a.ts", U"c.ts", U"b.ts", U"e.ts"}));
}

TEST(Schedule, TenEntriesAtMost) {
    Schedule s;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(AddEntry(s, H(i), H(i, 30), U"x.ts").added);
    EXPECT_FALSE(AddEntry(s, H(20), H(21), U"y.ts").added);
    EXPECT_EQ(s.size(), 10u);
}

TEST(Schedule, FirstEntryAndLastRemovalMoveThePassThrough) {
    Schedule s;
    EXPECT_EQ(AddEntry(s, H(8), H(9), U"a.ts").passThrough, PassThroughChange::Add);
    EXPECT_EQ(AddEntry(s, H(10), H(11), U"b.ts").passThrough, PassThroughChange::None);
    EXPECT_EQ(RemoveRows(s, {0}).passThrough, PassThroughChange::None);
    EXPECT_EQ(RemoveRows(s, {}).passThrough, PassThroughChange::None);
    EXPECT_EQ(RemoveRows(s, {0}).passThrough, PassThroughChange::Remove);
    EXPECT_EQ(RemoveRows(s, {0}).removed, 0); // nothing left: nothing changes
    EXPECT_EQ(RemoveRows(s, {0}).passThrough, PassThroughChange::None);
}

TEST(Schedule, RemovingSeveralRowsAndByName) {
    Schedule s = Morning();
    AddEntry(s, H(14), H(15), U"a.ts");
    AddEntry(s, H(16), H(17), U"c.ts");
    const RemoveResult r = RemoveRows(s, {3, 0, 7, -1});
    EXPECT_EQ(r.removed, 2);
    EXPECT_EQ(Names(s), (std::vector<std::u32string>{U"b.ts", U"a.ts"}));
    EXPECT_EQ(RemoveNamed(s, U"a.ts").removed, 1);
    EXPECT_EQ(RemoveNamed(s, U"a.t").removed, 0); // exact names only
    EXPECT_EQ(RemoveNamed(s, U"b.ts").passThrough, PassThroughChange::Remove);
}

TEST(Schedule, StreamEntriesTakeThePortAndTimesShowAsHoursAndMinutes) {
    EXPECT_EQ(EntryName("udp://@:", 5004), U"udp://@:5004");
    EXPECT_EQ(EntryName("rtp://@:", 1234), U"rtp://@:1234");
    EXPECT_EQ(EntryName("clip.ts", 5004), U"clip.ts");
    EXPECT_EQ(FormatMinutes(65), "1:05");
    EXPECT_EQ(FormatMinutes(1439), "23:59");
    EXPECT_EQ(FormatMinutes(0), "0:00");
    Schedule s = Morning();
    EXPECT_EQ(RenameEntries(s, U"a.ts", U"a.ts.upt"), 1);
    EXPECT_EQ(s[0].fileName, U"a.ts.upt");
}

TEST(Schedule, ListHasFourColumnsAndFollowsTheEntries) {
    ui::ControlData data;
    data.kind = ui::ControlKind::ListView;
    ui::Control list(data);
    SetUpScheduleColumns(list);
    ASSERT_EQ(list.Data().columns.size(), 4u);
    EXPECT_EQ(list.Data().columns[0].header, "VOID");
    EXPECT_EQ(list.Data().columns[0].widthPx, 1);
    EXPECT_EQ(list.Data().columns[2].header, "\xC3\xA0");
    EXPECT_EQ(list.Data().columns[2].align, ui::Align::Center);
    EXPECT_EQ(list.Data().columns[3].widthPx, 114);
    Schedule s = Morning();
    s[0].start = 65;
    s[1].end = 1439;
    FillScheduleList(list, s);
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Cell(0, 1).text, "1:05");
    EXPECT_EQ(list.Cell(1, 2).text, "23:59");
    EXPECT_EQ(list.Cell(1, 3).text, "b.ts");
    list.SelectRow(1, true);
    s.pop_back();
    FillScheduleList(list, s);
    EXPECT_EQ(list.RowCount(), 1);
}
