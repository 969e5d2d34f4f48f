// The common-interface panel against the simulated CAM of a CI module, opened from the main
// window as an installer opens it, on virtual time. The CAM speaks EN 50221 through the
// simulated rack; the panel's packets are read back from what the module received.
#include "cam/COpenCam.h"
#include "cam/MmiCodec.h"
#include "link/CXmit.h"
#include "platform/Bytes.h"
#include "platform/EventLoop.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "sim/Engine.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kaptiv;
using cam::COpenCam;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint8_t kCiAddress = 11;
constexpr int kCiRow = 2;
constexpr uint8_t kWriteData = 0x50;
constexpr uint8_t kReadStatus = 0x40;
constexpr uint8_t kReadData = 0x60;

mulvane::ModuleConfig Module(uint8_t address, uint8_t type) {
    mulvane::ModuleConfig m;
    m.address = address;
    m.type = type;
    m.answerDelayMinMs = 1;
    m.answerDelayMaxMs = 1;
    return m;
}

struct Write {
    int64_t atMs;
    Bytes data;
};

struct CamPanel : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    std::unique_ptr<mulvane::RackEngine> engine;
    std::unique_ptr<mulvane::SerialLine> line;
    link::CXmit xmit{clock};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    COpenCam panel{windows, info, xmit};
    rack::CQuorvelDlg main{windows, info, status};

    // Controller, twin satellite tuner, CI module, modulator; the scan has run and the CAM
    // has had time to start.
    void Build(std::optional<Bytes> ciStatus = std::nullopt) {
        mulvane::RackConfig rack;
        mulvane::ModuleConfig ci = Module(kCiAddress, 3);
        ci.status = std::move(ciStatus);
        rack.modules = {Module(0, 0), Module(10, 7), ci, Module(12, 6)};
        engine = std::make_unique<mulvane::RackEngine>(std::move(rack), 3);
        line = std::make_unique<mulvane::SerialLine>(engine.get());
        xmit.SetPortOpener(std::make_unique<test::SimOpener>(clock, *line, 0));
        main.AttachLink(&xmit, nullptr);
        main.SetCommonInterfacePanel(&panel);
        main.Create();
        main.Show(true);
        for (int turns = 0; main.ScanCount() < 1 && turns < 10000; ++turns)
            loop.RunOnce(1000);
        ASSERT_EQ(main.Image().moduleCount, 4);
        loop.RunFor(3000);
    }
    mulvane::SimCam& Cam() { return *engine->Cam(kCiAddress); }

    void OpenPanel() { main.SelectModule(kCiRow); }
    bool RunUntil(const std::function<bool()>& done, int64_t maxMs = 20000) {
        const int64_t end = clock.NowMs() + maxMs;
        while (!done() && clock.NowMs() < end)
            loop.RunOnce(10);
        return done();
    }
    std::vector<std::string> Lines() const { return panel.Item(COpenCam::kMenuList).Items(); }
    void OpenOnMainMenu() {
        OpenPanel();
        ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; })) << "no main menu";
    }
    std::vector<Write> Writes() const {
        std::vector<Write> out;
        for (const auto& r : engine->RequestsTo(kCiAddress))
            if (r.command == kWriteData)
                out.push_back({r.atMs, r.data});
        return out;
    }
    ui::DeliverResult Key(int control, ui::Key key) {
        return windows.DeliverEvent(ui::MakeKeyEvent(COpenCam::kDialogId, control, key));
    }
    void DoubleClickLine(int lineIndex) {
        ui::UiEvent select =
            ui::MakeEvent(COpenCam::kDialogId, COpenCam::kMenuList, ui::EventKind::SelChange);
        select.value = lineIndex;
        ASSERT_EQ(windows.DeliverEvent(select), ui::DeliverResult::Delivered);
        ui::UiEvent dbl = ui::MakeEvent(COpenCam::kDialogId, COpenCam::kMenuList, ui::EventKind::DoubleClick);
        dbl.row = lineIndex;
        ASSERT_EQ(windows.DeliverEvent(dbl), ui::DeliverResult::Delivered);
    }
    void Type(const std::string& text) {
        ui::UiEvent edit =
            ui::MakeEvent(COpenCam::kDialogId, COpenCam::kAnswerField, ui::EventKind::EditChange);
        edit.text = text;
        ASSERT_EQ(windows.DeliverEvent(edit), ui::DeliverResult::Delivered);
    }
    int Light() const { return panel.Item(COpenCam::kStatusLight).Image().id; }
    // One link record holding one MMI packet on session 4 with the objects (short lengths).
    static Bytes MmiRecord(const Bytes& objects, bool more = false) {
        Bytes packet = {0xA0, static_cast<uint8_t>(5 + objects.size()), 0x01, 0x90, 0x02, 0x00, 0x04};
        packet.insert(packet.end(), objects.begin(), objects.end());
        Bytes record = {0x00, static_cast<uint8_t>(packet.size() + 2), 0x01,
                        static_cast<uint8_t>(more ? 0x80 : 0)};
        record.insert(record.end(), packet.begin(), packet.end());
        return record;
    }
    static Bytes Object(uint32_t tag, const std::string& body) {
        Bytes out = {static_cast<uint8_t>(tag >> 16), static_cast<uint8_t>(tag >> 8),
                     static_cast<uint8_t>(tag), static_cast<uint8_t>(body.size())};
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
    // An enquiry, not blind, taking at most maxLength characters (0: any).
    void InjectEnquiry(uint8_t maxLength) {
        Cam().InjectReadAnswer(
            MmiRecord(Object(cam::tag::kEnq, std::string{'\0', char(maxLength)} + "Code")));
    }
    // A menu of one item: title, subtitle, bottom text, item.
    void InjectMenu() {
        Bytes objects = Object(cam::tag::kMenuLast, std::string(1, '\x01'));
        objects[3] = 1 + 4 * 5; // the nested texts count in the menu's length
        for (const char* text : {"Menu", "Subt", "Bott", "Item"}) {
            const Bytes t = Object(cam::tag::kTextLast, text);
            objects.insert(objects.end(), t.begin(), t.end());
        }
        Cam().InjectReadAnswer(MmiRecord(objects));
    }
    bool AnswerQueued() const {
        const Bytes& p = panel.OutgoingPacket();
        return panel.IsSendPending() && p.size() >= 12 && p[9] == 0x9F && p[10] == 0x88 && p[11] == 0x08;
    }
    std::string Hex(const Bytes& b) const { return platform::HexDump(b, 512); }
};

} // namespace

TEST_F(CamPanel, OpeningOnAReadyCamRequestsTheMainMenuInALaterSecondAndRepeatsIt) {
    Build();
    Cam().SetMute(true);
    const int64_t openedAt = clock.NowMs();
    OpenPanel();
    EXPECT_TRUE(panel.IsVisible());
    EXPECT_EQ(panel.Data().position, (ui::PointPx{136, 0}));
    EXPECT_EQ(info.Message(), "Connecting to common interface");
    loop.RunFor(12000);
    EXPECT_EQ(Light(), 190);
    const auto writes = Writes();
    ASSERT_GE(writes.size(), 4u);
    EXPECT_GT(writes[0].atMs / 1000, openedAt / 1000) << "the first request waits for a later second";
    for (const Write& w : writes)
        EXPECT_EQ(Hex(w.data), "01 00 A0 09 01 90 02 00 02 9F 80 22 00");
    for (size_t i = 1; i < writes.size(); ++i) {
        const int64_t gap = writes[i].atMs - writes[i - 1].atMs;
        EXPECT_GE(gap, 2000) << "request " << i;
        EXPECT_LT(gap, 4000) << "request " << i;
    }
    EXPECT_EQ(info.Message(), "Ask for main menu");
}

TEST_F(CamPanel, AMenuOfThreeItemsShowsEightLinesAndOnlyItemLinesChoose) {
    Build();
    OpenOnMainMenu();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Kestrel CA module", "Main menu", "", "Smart card status",
                                                 "Subscriptions", "Parental control", "",
                                                 "Select an item or press Escape to leave"}));
    EXPECT_EQ(Light(), 190);
    EXPECT_EQ(panel.MainMenuDeadline(), 0);
    EXPECT_FALSE(panel.IsListMode());
    EXPECT_EQ(info.Message(), "Doubleclick on list to select or Escape for previous menu");
    const auto& list = panel.Item(COpenCam::kMenuList).Data();
    EXPECT_EQ(list.textColor, (ui::Color{128, 128, 255}));
    EXPECT_EQ(list.backColor, (ui::Color{0, 0, 0}));

    for (int line : {0, 1, 2, 6, 7}) {
        DoubleClickLine(line);
        EXPECT_FALSE(panel.IsSendPending()) << "line " << line;
        EXPECT_EQ(Lines().size(), 8u) << "line " << line;
    }
    DoubleClickLine(3);
    EXPECT_EQ(Hex(panel.OutgoingPacket()), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 01");
    EXPECT_EQ(info.Message(), "Select menu 1");
    EXPECT_TRUE(Lines().empty());
    // The CAM has spoken, so the answer leaves at the next tick.
    loop.RunFor(20);
    EXPECT_FALSE(panel.IsSendPending());
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }));
    EXPECT_TRUE(panel.IsListMode());
    EXPECT_EQ(Lines()[1], "Card 0412 8876 3310");

    // A list answered by Enter sends 0; the CAM goes back to its main menu.
    Key(0, ui::Key::Enter);
    EXPECT_EQ(Hex(panel.OutgoingPacket()), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 00");
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8 && !panel.IsListMode(); }));
    DoubleClickLine(5);
    EXPECT_EQ(Hex(panel.OutgoingPacket()), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 03");
    loop.RunFor(100);
    EXPECT_EQ(Cam().LastChoices(), (Bytes{1, 0, 3}));
}

TEST_F(CamPanel, ADoubleClickOnAListItemSendsZero) {
    Build();
    OpenOnMainMenu();
    DoubleClickLine(4); // Subscriptions
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8 && Lines()[0] == "Subscriptions"; }));
    DoubleClickLine(4); // Sports package: a list
    ASSERT_TRUE(RunUntil([&] { return panel.IsListMode() && Lines().size() == 8; }));
    EXPECT_EQ(Lines()[0], "Sports package");
    DoubleClickLine(3);
    EXPECT_EQ(panel.OutgoingPacket().back(), 0);
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8 && Lines()[0] == "Subscriptions"; }));
    EXPECT_EQ(Cam().LastChoices(), (Bytes{2, 2, 0}));
}

TEST_F(CamPanel, EscapeOnAMenuReRequestsTheMainMenuWhenTheCamStaysSilent) {
    Build();
    OpenOnMainMenu();
    Cam().SetMute(true);
    const size_t before = Writes().size();
    const int64_t escapedAt = clock.NowMs();
    ASSERT_EQ(Key(0, ui::Key::Escape), ui::DeliverResult::Delivered);
    EXPECT_EQ(info.Message(), "Select menu 0");
    loop.RunFor(6000);
    const auto writes = Writes();
    ASSERT_GE(writes.size(), before + 2);
    EXPECT_EQ(Hex(writes[before].data), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 00");
    EXPECT_EQ(Hex(writes[before + 1].data), "01 00 A0 09 01 90 02 00 02 9F 80 22 00");
    const int64_t after = writes[before + 1].atMs - escapedAt;
    EXPECT_GE(after, 2000);
    EXPECT_LT(after, 4000);
}

TEST_F(CamPanel, ABlindEnquiryShowsStarsAndSendsTheTypedPin) {
    Build();
    OpenOnMainMenu();
    DoubleClickLine(5);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    const ui::Control& field = panel.Item(COpenCam::kAnswerField);
    EXPECT_TRUE(field.IsVisible());
    EXPECT_EQ(field.Data().passwordChar, '*');
    EXPECT_EQ(panel.AnswerLimit(), 4);
    EXPECT_EQ(field.Data().maxLength, 0); // the field cuts nothing: the panel refuses
    EXPECT_EQ(windows.Focus(), (ui::ControlRef{COpenCam::kDialogId, COpenCam::kAnswerField}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Enter your parental PIN (4 digits)"}));
    EXPECT_EQ(info.Message(), "Enter value and press OK or CANCEL");

    Type("1234");
    ASSERT_EQ(Key(COpenCam::kAnswerField, ui::Key::Enter), ui::DeliverResult::Delivered);
    EXPECT_FALSE(field.IsVisible());
    EXPECT_EQ(info.Message(), "Answer : ****");
    // The field lost the focus by being hidden: that is not the installer leaving it, and the
    // typed answer stays the packet that goes.
    panel.OnFocusLost(COpenCam::kAnswerField);
    EXPECT_EQ(windows.DeliverEvent(
                  ui::MakeEvent(COpenCam::kDialogId, COpenCam::kAnswerField, ui::EventKind::FocusLost)),
              ui::DeliverResult::Disabled);
    EXPECT_EQ(Hex(panel.OutgoingPacket()), "01 00 A0 0E 01 90 02 00 04 9F 88 08 05 01 31 32 33 34");
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 7; }));
    EXPECT_TRUE(Cam().PinAccepted());
    EXPECT_EQ(Lines()[1], "PIN accepted");
}

TEST_F(CamPanel, AWrongPinAndEscapeInAnEnquirySendsTheCancel) {
    Build();
    OpenOnMainMenu();
    DoubleClickLine(5);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    Type("9999");
    Key(COpenCam::kAnswerField, ui::Key::Enter);
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 6; }));
    EXPECT_EQ(Lines()[1], "Wrong PIN");
    EXPECT_EQ(Cam().WrongPinCount(), 1);
    Key(0, ui::Key::Enter); // the list: back to the main menu
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }));
    DoubleClickLine(5);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    Type("12");
    Key(COpenCam::kAnswerField, ui::Key::Escape);
    EXPECT_EQ(Hex(panel.OutgoingPacket()), "01 00 A0 0A 01 90 02 00 04 9F 88 08 01 00");
    EXPECT_EQ(panel.OutgoingPacket().size(), 14u);
    EXPECT_FALSE(panel.IsEnquiryOpen());
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }));
    EXPECT_EQ(Cam().CurrentScreen(), mulvane::SimCam::Screen::MainMenu);
}

TEST_F(CamPanel, AnAnswerOfOneHundredEighteenCharactersIsRefusedAndNothingSent) {
    Build();
    OpenOnMainMenu();
    // An enquiry that sets no limit of its own (answer_text_length 0), not blind.
    const std::string prompt = "Installer code";
    Bytes enq = {0x9F, 0x88, 0x07, static_cast<uint8_t>(2 + prompt.size()), 0x00, 0x00};
    for (const char c : prompt)
        enq.push_back(static_cast<uint8_t>(c));
    Bytes packet = {0xA0, static_cast<uint8_t>(5 + enq.size()), 0x01, 0x90, 0x02, 0x00, 0x04};
    packet.insert(packet.end(), enq.begin(), enq.end());
    Bytes record = {0x00, static_cast<uint8_t>(packet.size() + 2), 0x01, 0x00};
    record.insert(record.end(), packet.begin(), packet.end());
    Cam().InjectReadAnswer(record);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    const ui::Control& field = panel.Item(COpenCam::kAnswerField);
    EXPECT_EQ(field.Data().passwordChar, 0);
    // The field takes what one transport length byte can carry.
    EXPECT_EQ(panel.AnswerLimit(), 117);
    Type(std::string(117, '7'));
    EXPECT_EQ(field.Text().size(), 117u);

    loop.RunFor(3000);
    const size_t before = Writes().size();
    panel.AnswerEnquiry(std::string(118, '7'));
    EXPECT_FALSE(panel.IsSendPending());
    EXPECT_TRUE(panel.IsEnquiryOpen());
    EXPECT_TRUE(field.IsVisible());
    EXPECT_EQ(info.Message(), "Answer too long: at most 117 characters");
    ASSERT_FALSE(windows.Beeps().empty());
    EXPECT_EQ(windows.Beeps().back().frequencyHz, 440);
    loop.RunFor(5000);
    EXPECT_EQ(Writes().size(), before);

    // 117 characters go, in clear since the enquiry is not blind.
    Key(COpenCam::kAnswerField, ui::Key::Enter);
    EXPECT_EQ(info.Message(), "Answer : " + std::string(117, '7'));
    EXPECT_EQ(panel.OutgoingPacket().size(), 14u + 117u);
    EXPECT_EQ(panel.OutgoingPacket()[3], 0x7F);
}

TEST_F(CamPanel, TextMoreGivesTagNotTreated) {
    Build();
    Cam().SendUnknownTagNext();
    OpenOnMainMenu();
    EXPECT_EQ(info.Message(), "TAG 9F8804 not treated");
    EXPECT_EQ(Lines().size(), 8u); // the walk went on past it
}

TEST_F(CamPanel, OfTwoQueuedPacketsOnlyTheLaterGoes) {
    Build();
    OpenOnMainMenu();
    loop.RunFor(100);
    const size_t before = Writes().size();
    panel.RequestMainMenu();
    panel.AnswerMenu(2);
    loop.RunFor(5000);
    const auto writes = Writes();
    ASSERT_GE(writes.size(), before + 1);
    EXPECT_EQ(Hex(writes[before].data), "01 00 A0 0A 01 90 02 00 04 9F 88 0B 01 02");
    for (size_t i = before; i < writes.size(); ++i)
        EXPECT_NE(writes[i].data.size(), 13u) << "the main-menu request was replaced";
}

TEST_F(CamPanel, RemovingAndInsertingTheCamWhileOpen) {
    Build();
    OpenOnMainMenu();
    Cam().Remove();
    loop.RunFor(100);
    EXPECT_EQ(Light(), 187);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(panel.MainMenuDeadline(), 0);

    const size_t before = Writes().size();
    Cam().Insert(clock.NowMs());
    loop.RunFor(100);
    EXPECT_EQ(Light(), 188);
    EXPECT_EQ(info.Message(), "CAM initing. Wait...");
    ASSERT_TRUE(RunUntil([&] { return Light() == 190; }));
    const int64_t readyAt = clock.NowMs();
    EXPECT_EQ(panel.MainMenuDeadline(), readyAt / 1000 + 15);
    ASSERT_TRUE(RunUntil([&] { return Writes().size() > before; }));
    EXPECT_GT(Writes()[before].atMs - readyAt, 15000);
    EXPECT_EQ(Writes()[before].data.size(), 13u);
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }));
}

TEST_F(CamPanel, AStatusAboveTwoIsRedAndNoCam) {
    Build(Bytes{0x05});
    OpenPanel();
    loop.RunFor(5000);
    EXPECT_EQ(Light(), 187);
    EXPECT_EQ(panel.PreviousStatus(), 0);
    EXPECT_TRUE(Writes().empty());
}

TEST_F(CamPanel, SilentModuleLeavesThePanelInertAfterItsRetries) {
    Build();
    // The watchdog would take a lost link as the rack gone; here only the panel is looked at.
    main.KillTimer(rack::CQuorvelDlg::kWatchdogTimer);
    engine->GetFaults().DropAllAnswersOf(kCiAddress);
    OpenPanel();
    // Each status read waits its 1 s time-out; the retries come kRetryMs apart.
    loop.RunFor(20000);
    EXPECT_FALSE(panel.IsTimerSet(COpenCam::kPollTimer));
    size_t statusReads = 0;
    for (const auto& r : engine->RequestsTo(kCiAddress))
        statusReads += r.command == kReadStatus;
    EXPECT_EQ(statusReads, static_cast<size_t>(COpenCam::kStatusRetries) + 1);
}

TEST_F(CamPanel, ALostStatusAnswerOnlyDelaysThePoll) {
    Build();
    main.KillTimer(rack::CQuorvelDlg::kWatchdogTimer);
    engine->GetFaults().DropNextAnswersTo(kCiAddress, kReadStatus, COpenCam::kStatusRetries);
    OpenOnMainMenu();
    EXPECT_TRUE(panel.IsTimerSet(COpenCam::kPollTimer));
}

TEST_F(CamPanel, AReplyLostWithItsReadAsksForTheMainMenuAgain) {
    Build();
    main.KillTimer(rack::CQuorvelDlg::kWatchdogTimer);
    OpenOnMainMenu();
    const size_t before = Writes().size();
    DoubleClickLine(4); // Subscriptions
    ASSERT_TRUE(RunUntil([&] { return Writes().size() == before + 1; }));
    // The read that carries the start of the CAM's reply gets no answer: the reply is gone.
    engine->GetFaults().DropNextAnswersTo(kCiAddress, kReadData, 1);
    ASSERT_TRUE(RunUntil([&] { return Writes().size() == before + 2; }, 10000)) << "nothing asked again";
    EXPECT_EQ(Hex(Writes().back().data), Hex(cam::MainMenuRequest()));
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8 && Lines()[1] == "Main menu"; }));
}

TEST_F(CamPanel, AWriteWhoseAnswerIsLostStillShowsTheCamsReply) {
    Build();
    main.KillTimer(rack::CQuorvelDlg::kWatchdogTimer);
    OpenOnMainMenu();
    const size_t before = Writes().size();
    // The CAM gets the choice; only the module's answer to the write is lost.
    engine->GetFaults().DropNextAnswersTo(kCiAddress, kWriteData, 1);
    DoubleClickLine(5); // Parental control: the CAM asks for the PIN
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    // What the CAM asked stays open for the installer: the main menu is not asked for over it.
    loop.RunFor(6000);
    EXPECT_EQ(Writes().size(), before + 1);
    EXPECT_TRUE(panel.IsEnquiryOpen());
    EXPECT_EQ(panel.MainMenuDeadline(), 0);
}

TEST_F(CamPanel, SelectingAnotherModuleClosesThePanel) {
    Build();
    OpenOnMainMenu();
    main.SelectModule(0);
    EXPECT_FALSE(panel.IsVisible());
    EXPECT_FALSE(panel.IsTimerSet(COpenCam::kPollTimer));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(info.Message(), "");
    const size_t requests = engine->RequestsTo(kCiAddress).size();
    loop.RunFor(2000);
    EXPECT_EQ(engine->RequestsTo(kCiAddress).size(), requests);
    // Opened again: polling starts afresh.
    main.SelectModule(kCiRow);
    EXPECT_TRUE(panel.IsVisible());
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }));
}

TEST_F(CamPanel, AMenuArrivingWhileTheAnswerFieldIsOpenClosesIt) {
    Build();
    OpenOnMainMenu();
    InjectEnquiry(0);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    Type("12");
    InjectMenu();
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 6; }));
    const ui::Control& field = panel.Item(COpenCam::kAnswerField);
    EXPECT_FALSE(panel.IsEnquiryOpen());
    EXPECT_FALSE(field.IsVisible());
    EXPECT_NE(windows.Focus(), (ui::ControlRef{COpenCam::kDialogId, COpenCam::kAnswerField}));
    EXPECT_EQ(Lines()[3], "Item");
    // Enter now answers no enquiry: the CAM shows a menu.
    Key(COpenCam::kAnswerField, ui::Key::Enter);
    Key(0, ui::Key::Enter);
    EXPECT_FALSE(AnswerQueued());

    // The CAM goes away while an enquiry waits: the field closes as well.
    InjectEnquiry(0);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    Cam().Remove();
    ASSERT_TRUE(RunUntil([&] { return Light() == 187; }));
    EXPECT_FALSE(panel.IsEnquiryOpen());
    EXPECT_FALSE(field.IsVisible());
    Key(COpenCam::kAnswerField, ui::Key::Enter);
    EXPECT_FALSE(AnswerQueued());
}

TEST_F(CamPanel, AnAnswerOverTheLimitIsRefusedNotCut) {
    Build();
    OpenOnMainMenu();
    InjectEnquiry(0);
    ASSERT_TRUE(RunUntil([&] { return panel.IsEnquiryOpen(); }));
    const ui::Control& field = panel.Item(COpenCam::kAnswerField);
    Type("12");
    const size_t beeps = windows.Beeps().size();
    Type(std::string(130, '7')); // pasted
    EXPECT_EQ(field.Text(), "12") << "the paste is refused whole, the field keeps what it held";
    EXPECT_EQ(info.Message(), "Answer too long: at most 117 characters");
    ASSERT_EQ(windows.Beeps().size(), beeps + 1);
    EXPECT_EQ(windows.Beeps().back().frequencyHz, 440);
    EXPECT_TRUE(panel.IsEnquiryOpen());
    EXPECT_FALSE(AnswerQueued());

    // A CAM asking for 200 characters still gets at most 117: one length byte carries no more.
    InjectEnquiry(200);
    ASSERT_TRUE(RunUntil([&] { return field.Text().empty(); }));
    EXPECT_EQ(panel.AnswerLimit(), 117);
    Type(std::string(117, '1'));
    EXPECT_EQ(field.Text(), std::string(117, '1'));
    Type(std::string(118, '1'));
    EXPECT_EQ(field.Text(), std::string(117, '1'));
    // A CAM's own smaller limit is refused the same way: a PIN cut short would be a wrong PIN.
    InjectEnquiry(4);
    ASSERT_TRUE(RunUntil([&] { return panel.AnswerLimit() == 4; }));
    Type("1234");
    Type("12345");
    EXPECT_EQ(field.Text(), "1234");
    EXPECT_EQ(info.Message(), "Answer too long: at most 4 characters");
    panel.AnswerEnquiry("12345");
    EXPECT_FALSE(AnswerQueued());
    Key(COpenCam::kAnswerField, ui::Key::Enter);
    EXPECT_EQ(panel.OutgoingPacket().size(), 14u + 4u);
}

TEST_F(CamPanel, APacketHalfReceivedFromARemovedCamIsDropped) {
    Build();
    OpenOnMainMenu();
    Bytes half = MmiRecord(Object(cam::tag::kTextLast, "lost"), true);
    half.resize(half.size() - 2); // its last fragment never comes
    half[1] = static_cast<uint8_t>(half.size() - 2);
    Cam().InjectReadAnswer(half);
    ASSERT_TRUE(RunUntil([&] { return panel.ReassemblyLength() > 0; }));
    Cam().Remove();
    ASSERT_TRUE(RunUntil([&] { return Light() == 187; }));
    EXPECT_EQ(panel.ReassemblyLength(), 0u);
    // The next CAM's first menu is read whole.
    Cam().Insert(clock.NowMs());
    ASSERT_TRUE(RunUntil([&] { return Lines().size() == 8; }, 30000));

    // Closing and opening the panel drops a half packet as well.
    Cam().InjectReadAnswer(half);
    ASSERT_TRUE(RunUntil([&] { return panel.ReassemblyLength() > 0; }));
    main.SelectModule(0);
    EXPECT_EQ(panel.ReassemblyLength(), 0u);
}
