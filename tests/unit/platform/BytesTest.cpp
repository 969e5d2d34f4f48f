#include "platform/Bytes.h"

#include <gtest/gtest.h>

using namespace kaptiv::platform;

TEST(ByteReader, ReadsBigEndianAndStopsAtTheEnd) {
    const uint8_t data[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U24(), 0x56789Au);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.U8(), 0); // past the end: zero and a sticky error
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Position(), 5u);
}

TEST(ByteReader, ShortCopyAndSeekRaiseTheFlag) {
    const uint8_t data[] = {1, 2, 3};
    ByteReader r(data, sizeof data);
    EXPECT_TRUE(r.Bytes(4).empty());
    EXPECT_FALSE(r.Ok());
    ByteReader s(data, sizeof data);
    s.Seek(4);
    EXPECT_FALSE(s.Ok());
    EXPECT_TRUE(s.Has(2, 1));
    EXPECT_FALSE(s.Has(2, 2));
    EXPECT_FALSE(s.Has(SIZE_MAX, 2));
}

TEST(ByteWriter, NeverWritesPastItsCapacity) {
    ByteWriter w(3);
    w.U16(0xABCD);
    w.U16(0x1234);
    EXPECT_FALSE(w.Ok());
    EXPECT_EQ(w.Size(), 3u);
    EXPECT_EQ(HexDump(w.Data()), "AB CD 12");
    const uint8_t many[4] = {};
    ByteWriter v(3);
    v.Bytes(many);
    EXPECT_FALSE(v.Ok());
    EXPECT_EQ(v.Size(), 0u);
}
