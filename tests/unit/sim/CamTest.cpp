// The simulated CAM: its status over time, and its EN 50221 conversation (menus, lists, the
// PIN enquiry, close_mmi), checked with packets built here by hand.
#include "sim/Cam.h"
#include "sim/Engine.h"
#include "sim/Protocol.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mulvane;
using Bytes = std::vector<uint8_t>;

namespace {

// Link header (connection 1, last fragment), T_data_last on connection 1, session_number.
Bytes ToCam(uint16_t session, Bytes apdu) {
    Bytes out = {0x01, 0x00, 0xA0, static_cast<uint8_t>(5 + apdu.size()), 0x01,
                 0x90, 0x02, 0x00, static_cast<uint8_t>(session)};
    out.insert(out.end(), apdu.begin(), apdu.end());
    return out;
}
const Bytes kEnterMenu = ToCam(2, {0x9F, 0x80, 0x22, 0x00});
Bytes MenuAnsw(uint8_t choice) {
    return ToCam(4, {0x9F, 0x88, 0x0B, 0x01, choice});
}
Bytes Answ(const std::string& text) {
    Bytes apdu = {0x9F, 0x88, 0x08, static_cast<uint8_t>(text.size() + 1), uint8_t(text.empty() ? 0 : 1)};
    apdu.insert(apdu.end(), text.begin(), text.end());
    return ToCam(4, apdu);
}

// Reads every queued record, checks the framing and returns the joined fragments.
Bytes Drain(SimCam& cam, int64_t now, int* records = nullptr, size_t maxFragment = 40) {
    Bytes joined;
    int count = 0;
    bool lastSeen = false;
    for (Bytes answer = cam.TakeRecords(now); !answer.empty(); answer = cam.TakeRecords(now)) {
        for (size_t at = 0; at < answer.size();) {
            EXPECT_GE(answer.size() - at, 4u);
            const size_t length = static_cast<size_t>(answer[at] & 0x7F) << 8 | answer[at + 1];
            EXPECT_LE(at + 2 + length, answer.size());
            EXPECT_LE(length - 2, maxFragment);
            EXPECT_EQ(answer[at + 2], 0x01);
            lastSeen = (answer[at + 3] & 0x80) == 0;
            joined.insert(joined.end(), answer.begin() + static_cast<long>(at + 4),
                          answer.begin() + static_cast<long>(at + 2 + length));
            at += 2 + length;
            ++count;
        }
    }
    EXPECT_TRUE(joined.empty() || lastSeen);
    if (records)
        *records = count;
    return joined;
}

bool Holds(const Bytes& data, const Bytes& part) {
    return std::search(data.begin(), data.end(), part.begin(), part.end()) != data.end();
}
Bytes Str(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct CamFixture : ::testing::Test {
    SimCam cam;
    int64_t now = 10'000;
    void SetUp() override {
        EXPECT_EQ(cam.Status(now), 1); // the first request starts the clock of its start-up
        now += 2000;
    }
};

} // namespace

TEST(SimCamStatus, StartsUpThenReadyAndFollowsRemovalAndInsertion) {
    SimCam cam(CamSettings{true, 3000, "1234", 40, 2});
    EXPECT_EQ(cam.Status(1000), 1);
    EXPECT_EQ(cam.Status(3999), 1);
    EXPECT_EQ(cam.Status(4000), 2);
    cam.Remove();
    EXPECT_EQ(cam.Status(5000), 0);
    cam.Insert(6000);
    EXPECT_EQ(cam.Status(6000), 1);
    EXPECT_EQ(cam.Status(9000), 2);
    SimCam absent(CamSettings{false, 0, "1234", 40, 2});
    EXPECT_EQ(absent.Status(1000), 0);
}

TEST_F(CamFixture, SpeaksOnlyWhenSpokenToAndSplitsItsAnswerIntoRecords) {
    EXPECT_TRUE(cam.TakeRecords(now).empty());
    cam.Receive(kEnterMenu, now);
    // Two records per read, and the first read does not hold the whole answer.
    const Bytes first = cam.TakeRecords(now);
    ASSERT_GT(first.size(), 4u);
    EXPECT_EQ(first[3] & 0x80, 0x80);
    cam.Receive(kEnterMenu, now);
    int records = 0;
    Drain(cam, now, &records);
    EXPECT_GT(records, 2);

    SimCam fresh;
    fresh.Status(now - 5000);
    fresh.Receive(kEnterMenu, now);
    const Bytes all = Drain(fresh, now);
    // T_data_last with a long-form length (the menu is longer than 127 bytes) on connection
    // 1, session_number 4, menu_last with three choices ...
    ASSERT_GT(all.size(), 12u);
    EXPECT_EQ(all[0], 0xA0);
    EXPECT_EQ(all[1], 0x81);
    const size_t length = all[2];
    EXPECT_EQ(all[3], 0x01);
    EXPECT_EQ(Bytes(all.begin() + 4, all.begin() + 8), (Bytes{0x90, 0x02, 0x00, 0x04}));
    EXPECT_EQ(Bytes(all.begin() + 8, all.begin() + 11), (Bytes{0x9F, 0x88, 0x09}));
    EXPECT_TRUE(Holds(all, Str("Smart card status")));
    // ... then a T_SB saying nothing more waits.
    ASSERT_EQ(all.size(), 3 + length + 4);
    EXPECT_EQ(Bytes(all.end() - 4, all.end()), (Bytes{0x80, 0x02, 0x01, 0x00}));
    EXPECT_EQ(fresh.CurrentScreen(), SimCam::Screen::MainMenu);
}

TEST_F(CamFixture, WalksItsMenusAndChecksThePin) {
    cam.Receive(kEnterMenu, now);
    Drain(cam, now);
    cam.Receive(MenuAnsw(2), now);
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::Subscriptions);
    EXPECT_TRUE(Holds(Drain(cam, now), Str("Sports package")));
    cam.Receive(MenuAnsw(0), now); // back
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::MainMenu);
    Drain(cam, now);

    cam.Receive(MenuAnsw(3), now);
    const Bytes enq = Drain(cam, now);
    // enq: blind answer, at most 4 characters.
    EXPECT_TRUE(Holds(enq, Bytes{0x9F, 0x88, 0x07}));
    EXPECT_TRUE(Holds(enq, Bytes{0x01, 0x04, 'E', 'n', 't', 'e', 'r'}));
    cam.Receive(Answ("9999"), now);
    EXPECT_EQ(cam.WrongPinCount(), 1);
    EXPECT_TRUE(Holds(Drain(cam, now), Str("Wrong PIN")));
    cam.Receive(MenuAnsw(0), now);
    Drain(cam, now);
    cam.Receive(MenuAnsw(3), now);
    Drain(cam, now);
    cam.Receive(Answ("1234"), now);
    EXPECT_TRUE(cam.PinAccepted());
    EXPECT_TRUE(Holds(Drain(cam, now), Str("PIN accepted")));
    EXPECT_EQ(cam.LastChoices(), (Bytes{2, 0, 3, 0, 3}));

    // Leaving the main menu closes the MMI.
    cam.Receive(MenuAnsw(0), now);
    cam.Receive(MenuAnsw(0), now);
    EXPECT_TRUE(Holds(Drain(cam, now), Bytes{0x9F, 0x88, 0x00, 0x01, 0x00}));
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::None);
}

TEST_F(CamFixture, CancelledEnquiryUnknownTagOnRequestAndMute) {
    cam.Receive(kEnterMenu, now);
    cam.Receive(MenuAnsw(3), now);
    Drain(cam, now);
    cam.Receive(Answ(""), now); // answ_id 0: back to the main menu
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::MainMenu);
    Drain(cam, now);
    cam.SendUnknownTagNext();
    cam.Receive(kEnterMenu, now);
    EXPECT_TRUE(Holds(Drain(cam, now), Bytes{0x9F, 0x88, 0x04}));
    cam.SetMute(true);
    cam.Receive(kEnterMenu, now);
    EXPECT_TRUE(cam.TakeRecords(now).empty());
    EXPECT_EQ(cam.PacketsReceived().size(), 5u);
}

TEST(SimCamInEngine, TheCiModuleAnswersWithItsCam) {
    RackConfig rack;
    ModuleConfig controller;
    ModuleConfig ci;
    ci.address = 11;
    ci.type = kTypeCommonInterface;
    rack.modules = {controller, ci};
    RackEngine engine(rack, 1);
    ASSERT_NE(engine.Cam(11), nullptr);
    EXPECT_EQ(engine.Cam(0), nullptr);
    EXPECT_EQ(engine.Handle(11, kCmdReadStatus, {}, 1000)->data, (Bytes{1}));
    EXPECT_EQ(engine.Handle(11, kCmdReadStatus, {}, 5000)->data, (Bytes{2}));
    EXPECT_TRUE(engine.Handle(11, kCmdReadData, {}, 5000)->data.empty());
    engine.Handle(11, kCmdWriteData, kEnterMenu, 5000);
    EXPECT_EQ(engine.Cam(11)->PacketsReceived().size(), 1u);
    EXPECT_FALSE(engine.Handle(11, kCmdReadData, {}, 5000)->data.empty());
    engine.Cam(11)->Remove();
    EXPECT_EQ(engine.Handle(11, kCmdReadStatus, {}, 6000)->data, (Bytes{0}));
}

TEST_F(CamFixture, AnUnansweredEnquiryGivesWayToTheMainMenuAfterItsTimeOut) {
    cam.Receive(kEnterMenu, now);
    cam.Receive(MenuAnsw(3), now);
    Drain(cam, now);
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::PinEnquiry);
    EXPECT_TRUE(cam.TakeRecords(now + 14999).empty());
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::PinEnquiry);
    // Nobody answered: the CAM speaks first, with its main menu.
    EXPECT_TRUE(Holds(Drain(cam, now + 15000), Bytes{0x9F, 0x88, 0x09}));
    EXPECT_EQ(cam.CurrentScreen(), SimCam::Screen::MainMenu);
    EXPECT_TRUE(cam.TakeRecords(now + 60000).empty()) << "once";
}
