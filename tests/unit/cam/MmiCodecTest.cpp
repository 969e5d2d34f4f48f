// The EN 50221 codec of the CAM panel: the three packets it sends, byte for byte, and what it
// makes of link records, transport packets and MMI objects, including what it refuses.
#include "cam/MmiCodec.h"
#include "platform/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kaptiv::cam;
using Bytes = std::vector<uint8_t>;

namespace {

// What the sink heard, one line per call.
struct Recorder final : MmiSink {
    std::vector<std::string> calls;
    void OnMmiClosed() override { calls.push_back("closed"); }
    void OnMmiData() override { calls.push_back("data"); }
    void OnText(const std::string& text) override { calls.push_back("text " + text); }
    void OnEnquiry(bool blind, int maxLength, const std::string& text) override {
        calls.push_back("enq " + std::to_string(blind) + " " + std::to_string(maxLength) + " " + text);
    }
    void OnMenu(bool list) override { calls.push_back(list ? "list" : "menu"); }
    void OnUnknownTag(uint32_t tag) override {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%06X", tag);
        calls.push_back(std::string("tag ") + hex);
    }
};

std::string Hex(const Bytes& b) {
    return kaptiv::platform::HexDump(b, 1024);
}

Bytes Apdu(uint32_t tag, const Bytes& body) {
    Bytes out = {static_cast<uint8_t>(tag >> 16), static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag)};
    if (body.size() < 0x80) {
        out.push_back(static_cast<uint8_t>(body.size()));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(body.size() >> 8));
        out.push_back(static_cast<uint8_t>(body.size()));
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes TextLast(const std::string& text) {
    return Apdu(tag::kTextLast, Bytes(text.begin(), text.end()));
}

// T_data_last on connection 1 with session_number 4 and the objects.
Bytes MmiPacket(const Bytes& objects, uint16_t session = 4) {
    Bytes spdu = {0x90, 0x02, static_cast<uint8_t>(session >> 8), static_cast<uint8_t>(session)};
    spdu.insert(spdu.end(), objects.begin(), objects.end());
    Bytes out = {0xA0};
    const size_t length = spdu.size() + 1;
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
    }
    out.push_back(0x01);
    out.insert(out.end(), spdu.begin(), spdu.end());
    return out;
}

Bytes Record(const Bytes& fragment, bool more, bool skip = false) {
    const size_t length = fragment.size() + 2;
    Bytes out = {static_cast<uint8_t>((skip ? 0x80 : 0x00) | ((length >> 8) & 0x7F)),
                 static_cast<uint8_t>(length), 0x01, static_cast<uint8_t>(more ? 0x80 : 0x00)};
    out.insert(out.end(), fragment.begin(), fragment.end());
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(MmiPackets, TheThreeOutgoingPacketsByteForByte) {
    EXPECT_EQ(Hex(MainMenuRequest()), "01 00 A0 09 01 90 02 00 02 9F 80 22 00");
    EXPECT_EQ(Hex(MenuAnswer(3)), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 03");
    EXPECT_EQ(Hex(*EnquiryAnswer(Bytes{'1', '2', '3', '4'})),
              "01 00 A0 0E 01 90 02 00 04 9F 88 08 05 01 31 32 33 34");
    // Escape in an enquiry: answ_id 0 and no text, 14 bytes with transport length 10.
    EXPECT_EQ(Hex(*EnquiryAnswer(Bytes{})), "01 00 A0 0A 01 90 02 00 04 9F 88 08 01 00");
}

TEST(MmiPackets, AnEnquiryAnswerFromOneHundredEighteenCharactersIsRefused) {
    const Bytes longest(kMaxAnswerChars, 'x');
    const auto packet = EnquiryAnswer(longest);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->size(), 14 + kMaxAnswerChars);
    EXPECT_EQ((*packet)[3], 0x7F); // still a one-byte length field
    EXPECT_EQ((*packet)[12], kMaxAnswerChars + 1);
    EXPECT_FALSE(EnquiryAnswer(Bytes(118, 'x')));
    EXPECT_FALSE(EnquiryAnswer(Bytes(242, 'x')));
}

TEST(MmiTexts, BytesAreCharactersOfTheirCodeBothWays) {
    EXPECT_EQ(Utf8FromBytes(Bytes{'C', 'A', 'M', 0xE9, 0x00, 0x1F}),
              std::string("CAM\xC3\xA9") + '\0' + "\x1F");
    EXPECT_EQ(BytesFromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"), (Bytes{'C', 'a', 'f', 0xE9, ' ', 0xAC}));
    EXPECT_EQ(BytesFromUtf8("\xFF"
                            "a"),
              (Bytes{0xFF, 'a'})); // not UTF-8: the byte itself
}

TEST(MmiLengthField, ShortAndLongFormsAndWhatRunsPastTheData) {
    size_t pos = 0;
    EXPECT_EQ(ReadLengthField(Bytes{0x7F}, pos), 0x7Fu);
    EXPECT_EQ(pos, 1u);
    pos = 0;
    EXPECT_EQ(ReadLengthField(Bytes{0x82, 0x01, 0x00}, pos), 256u);
    EXPECT_EQ(pos, 3u);
    pos = 0;
    EXPECT_FALSE(ReadLengthField(Bytes{0x82, 0x01}, pos));
    pos = 0;
    EXPECT_FALSE(ReadLengthField(Bytes{0x80}, pos));
    pos = 0;
    EXPECT_FALSE(ReadLengthField(Bytes{0x85, 1, 2, 3, 4, 5}, pos));
    pos = 1;
    EXPECT_FALSE(ReadLengthField(Bytes{0x05}, pos));
}

TEST(CamReceiver, AMenuBuildsFromNestedTexts) {
    Bytes menuBody = {0x02};
    for (const char* t : {"Title", "Sub", "Bottom", "One", "Two"}) {
        const Bytes text = TextLast(t);
        menuBody.insert(menuBody.end(), text.begin(), text.end());
    }
    const Bytes packet = MmiPacket(Apdu(tag::kMenuLast, menuBody));
    CamReceiver receiver;
    Recorder sink;
    EXPECT_EQ(receiver.Feed(Record(packet, false), sink), FeedResult::Ok);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "menu", "text Title", "text Sub", "text Bottom",
                                                    "text One", "text Two"}));
    EXPECT_EQ(receiver.Held(), 0u);
}

TEST(CamReceiver, APacketInThreeRecordsIsParsedOnceWhenTheLastArrives) {
    const Bytes packet = MmiPacket(Cat({TextLast("first"), TextLast("second")}));
    const size_t third = packet.size() / 3;
    const Bytes a(packet.begin(), packet.begin() + static_cast<long>(third));
    const Bytes b(packet.begin() + static_cast<long>(third), packet.begin() + static_cast<long>(2 * third));
    const Bytes c(packet.begin() + static_cast<long>(2 * third), packet.end());
    CamReceiver receiver;
    Recorder sink;
    // The first two in one read-data answer, the third in the next one.
    receiver.Feed(Cat({Record(a, true), Record(b, true)}), sink);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(receiver.Held(), 2 * third);
    receiver.Feed(Record(c, false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text first", "text second"}));
    EXPECT_EQ(receiver.Held(), 0u);
}

TEST(CamReceiver, TextMoreIsReportedAndTheWalkGoesOn) {
    const Bytes packet = MmiPacket(Cat({Apdu(tag::kTextMore, Bytes{'a', 'b'}), TextLast("after")}));
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(packet, false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "tag 9F8804", "text after"}));
}

TEST(CamReceiver, EnquiryCloseMmiDisplayControlAndListObjects) {
    Bytes enq = {0x01, 0x04};
    const std::string prompt = "PIN?";
    enq.insert(enq.end(), prompt.begin(), prompt.end());
    const Bytes packet =
        MmiPacket(Cat({Apdu(tag::kDisplayControl, Bytes{0x01, 0x01}), Apdu(tag::kEnq, enq),
                       Apdu(tag::kListLast, Bytes{0xFF}), Apdu(tag::kCloseMmi, Bytes{0x00})}));
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(packet, false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "enq 1 4 PIN?", "list"}));
}

TEST(CamReceiver, SessionBeginningsAndPacketsTheBufferHoldsBackToBack) {
    // close_session_request for session 4, a T_SB status packet, MMI data on another session,
    // then MMI data on session 4: only the first and the last mean anything to the panel.
    const Bytes close = {0xA0, 0x05, 0x01, 0x95, 0x02, 0x00, 0x04};
    const Bytes status = {0x80, 0x02, 0x01, 0x00};
    const Bytes otherSession = MmiPacket(TextLast("elsewhere"), 3);
    const Bytes mmi = MmiPacket(TextLast("here"));
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(Cat({close, status, otherSession, mmi}), false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"closed", "data", "text here"}));
}

TEST(CamReceiver, SkippedRecordsArePassedOver) {
    const Bytes packet = MmiPacket(TextLast("kept"));
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Cat({Record(MmiPacket(TextLast("skipped")), false, true), Record(packet, false)}), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text kept"}));
}

TEST(CamReceiver, ARecordRunningPastTheDataDropsTheBuffer) {
    const Bytes packet = MmiPacket(TextLast("lost"));
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(Bytes(packet.begin(), packet.begin() + 5), true), sink);
    EXPECT_EQ(receiver.Held(), 5u);
    Bytes cut = Record(Bytes(packet.begin() + 5, packet.end()), false);
    cut.resize(cut.size() - 1); // one byte short of what its length says
    EXPECT_EQ(receiver.Feed(cut, sink), FeedResult::RecordOverrun);
    EXPECT_EQ(receiver.Held(), 0u);
    EXPECT_TRUE(sink.calls.empty());
    // A lone length byte, and a record too short for its own header.
    EXPECT_EQ(receiver.Feed(Bytes{0x00}, sink), FeedResult::RecordOverrun);
    EXPECT_EQ(receiver.Feed(Bytes{0x00, 0x01, 0x01}, sink), FeedResult::RecordOverrun);
    // The next well-formed packet is read normally.
    EXPECT_EQ(receiver.Feed(Record(packet, false), sink), FeedResult::Ok);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text lost"}));
}

TEST(CamReceiver, APacketOverflowingTheBufferIsDroppedWhole) {
    const Bytes big(3000, 0x20);
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(big, true), sink);
    EXPECT_EQ(receiver.Feed(Record(big, true), sink), FeedResult::BufferOverflow);
    EXPECT_EQ(receiver.Held(), 0u);
    // Its tail is not mistaken for the start of a packet: a crafted tail that would parse as
    // MMI data is passed over up to the last fragment.
    receiver.Feed(Record(MmiPacket(TextLast("tail")), false), sink);
    EXPECT_TRUE(sink.calls.empty());
    receiver.Feed(Record(MmiPacket(TextLast("next")), false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text next"}));
}

TEST(CamReceiver, LengthsRunningPastThePacketStopTheWalk) {
    // An object whose length runs past its packet, and a packet whose length runs past the
    // buffer: nothing is read beyond the data.
    Bytes objects = TextLast("ok");
    objects.insert(objects.end(), {0x9F, 0x88, 0x03, 0x40, 'x'});
    CamReceiver receiver;
    Recorder sink;
    receiver.Feed(Record(MmiPacket(objects), false), sink);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text ok"}));
    sink.calls.clear();
    receiver.Feed(Record(Bytes{0xA0, 0x82, 0x10, 0x00, 0x01, 0x90, 0x02, 0x00, 0x04}, false), sink);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(receiver.Held(), 0u);
}

TEST(CamReceiver, FragmentsOfExactly4096BytesAreTakenAnd4097Refused) {
    // MmiPacket adds 9 bytes and a long text_last 6: a text of 4081 makes a 4096-byte packet.
    for (const size_t textLength : {size_t{4081}, size_t{4082}}) {
        const Bytes packet = MmiPacket(TextLast(std::string(textLength, 'x')));
        ASSERT_EQ(packet.size(), textLength + 15);
        const Bytes a(packet.begin(), packet.begin() + 2000);
        const Bytes b(packet.begin() + 2000, packet.begin() + 4000);
        const Bytes c(packet.begin() + 4000, packet.end());
        CamReceiver receiver;
        Recorder sink;
        const FeedResult result =
            receiver.Feed(Cat({Record(a, true), Record(b, true), Record(c, false)}), sink);
        if (packet.size() == CamReceiver::kBufferSize) {
            EXPECT_EQ(result, FeedResult::Ok);
            ASSERT_EQ(sink.calls.size(), 2u);
            EXPECT_EQ(sink.calls[1], "text " + std::string(textLength, 'x'));
        } else {
            EXPECT_EQ(result, FeedResult::BufferOverflow);
            EXPECT_TRUE(sink.calls.empty());
        }
        EXPECT_EQ(receiver.Held(), 0u);
    }
}

TEST(MmiLengthField, AFourByteLengthFieldReadsAs256) {
    size_t pos = 0;
    EXPECT_EQ(ReadLengthField(Bytes{0x84, 0x00, 0x00, 0x01, 0x00}, pos), 256u);
    EXPECT_EQ(pos, 5u);
    // A transport packet whose length is written that way is read like any other.
    Bytes spdu = {0x01, 0x90, 0x02, 0x00, 0x04};
    const Bytes text = TextLast("four");
    spdu.insert(spdu.end(), text.begin(), text.end());
    Bytes packet = {0xA0, 0x84, 0x00, 0x00, 0x00, static_cast<uint8_t>(spdu.size())};
    packet.insert(packet.end(), spdu.begin(), spdu.end());
    CamReceiver receiver;
    Recorder sink;
    EXPECT_EQ(receiver.Feed(Record(packet, false), sink), FeedResult::Ok);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"data", "text four"}));
}
