#include "cam/COpenCam.h"

#include "platform/Clock.h"
#include "rack/CInfo.h"
#include "resources/Dialogs.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <array>
#include <cstdio>

namespace kaptiv::cam {

namespace {

// Rows of the localized text table and how long each message stays.
constexpr int kTextConnecting = 41;
constexpr int kTextCamIniting = 42;
constexpr int kTextAskMainMenu = 43;
constexpr int kTextSelectMenu = 44;
constexpr int kTextAnswer = 45;
constexpr int kTextChooseInList = 46;
constexpr int kTextEnterValue = 47;
constexpr int kTextTagNotTreated = 48;
constexpr int64_t kConnectingMs = 10000;
constexpr int64_t kCamInitingMs = 15000;
constexpr int64_t kShortMessageMs = 2000;
constexpr int64_t kChooseInListMs = 10000;
constexpr int64_t kTagNotTreatedMs = 10000;
constexpr int64_t kAnswerTooLongMs = 5000;
constexpr int kWarningBeepHz = 440;
constexpr int kWarningBeepMs = 200;

// Main-menu deadlines, in seconds from the current one.
constexpr int64_t kInitialisingDelayS = 15;
constexpr int64_t kRepeatDelayS = 1;
constexpr int64_t kEscapeDelayS = 2;
constexpr int64_t kHoldS = 2;

constexpr int kCamAbsent = 0;
constexpr int kCamReady = 2;
constexpr ui::Color kMenuText{128, 128, 255};
constexpr ui::Color kMenuBack{0, 0, 0};
constexpr int kMenuFontHeightPx = 18;
// A CAM that sends texts without end must not grow the list without end.
constexpr int kMaxLines = 1024;
// The choice goes out as one byte (EN 50221 choice_ref).
constexpr int kMaxChoice = 255;
// Lines of a menu before its items and after them: title, subtitle, empty; empty, bottom.
constexpr int kLinesBeforeItems = 3;
constexpr int kLinesAfterItems = 2;

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

} // namespace

COpenCam::COpenCam(ui::WindowSystem& windows, rack::CInfo& info, link::CXmit& xmit)
    : ui::Dialog(windows, resources::DialogTemplateById(resources::kDialogOpenCam)), m_info(info),
      m_commands(xmit) {}

int64_t COpenCam::NowSeconds() const {
    return Windows().GetClock().NowMs() / 1000;
}

void COpenCam::OnInitDialog() {
    const ui::Font font{"Arial", kMenuFontHeightPx, false};
    for (int id : {kMenuList, kAnswerField}) {
        ui::Control& control = Item(id);
        control.SetFont(font);
        control.SetTextColor(kMenuText);
        control.SetBackColor(kMenuBack);
    }
    ShowLight(kCamAbsent);
}

void COpenCam::Message(const std::string& text, int64_t displayMs) {
    m_info.ShowMessage(text, displayMs);
}

void COpenCam::Open(const rack::ModuleRecord& module) {
    Message(text::LocalizedText(kTextConnecting), kConnectingMs);
    m_sendPending = false;
    m_awaitingReply = false;
    m_recoveryArmed = false;
    m_failedStatusReads = 0;
    m_mmiOpen = false;
    m_holdUntil = 0;
    m_address = module.address;
    m_previousStatus = kNoStatus;
    m_receiver.Reset(); // nothing half-received from before survives a new opening
    m_mainMenuDeadline = 0;
    m_opened = true;
    SetTimer(kPollTimer, kPollMs);
    Show(true);
}

void COpenCam::Close() {
    EmptyList();
    HideAnswerField();
    m_receiver.Reset();
    KillTimer(kPollTimer);
    m_opened = false;
    Show(false);
}

void COpenCam::OnTimer(int timerId) {
    if (timerId == kPollTimer)
        PollCam();
}

void COpenCam::ShowLight(int status) {
    Item(kStatusLight).SetImage(ui::Bitmap(kLightBitmaps[status]));
}

void COpenCam::EmptyList() {
    Item(kMenuList).ClearItems();
}

void COpenCam::PollCam() {
    KillTimer(kPollTimer);
    if (!m_opened)
        return;
    int length = 0;
    const uint8_t* answer = m_commands.ReadStatus(m_address, length);
    if (answer == nullptr || length < 1) {
        // A module that does not answer leaves the panel inert until it is opened again; a
        // lost answer only delays the next tick.
        if (++m_failedStatusReads <= kStatusRetries)
            SetTimer(kPollTimer, kRetryMs);
        return;
    }
    m_failedStatusReads = 0;

    // A status above 2 has no light of its own: it is shown, and treated, as no CAM.
    const int status = answer[0] <= kCamReady ? answer[0] : kCamAbsent;
    if (status != m_previousStatus) {
        if (status == kCamAbsent) {
            m_mainMenuDeadline = 0;
            EmptyList();
            // The CAM has gone: no answer can reach it, and a packet it left half-sent must
            // not be glued to the first one of the next CAM.
            HideAnswerField();
            m_receiver.Reset();
        } else if (m_previousStatus == kNoStatus) {
            m_mainMenuDeadline = NowSeconds();
        } else {
            m_mainMenuDeadline = NowSeconds() + kInitialisingDelayS;
            Message(text::LocalizedText(kTextCamIniting), kCamInitingMs);
        }
        m_previousStatus = status;
        m_recoveryArmed = false;
        ShowLight(status);
    }

    ReceiveAndSend();

    if (m_mainMenuDeadline != 0 && NowSeconds() > m_mainMenuDeadline) {
        m_mainMenuDeadline = NowSeconds() + kRepeatDelayS;
        m_recoveryArmed = false;
        RequestMainMenu();
    }
    if (m_opened)
        SetTimer(kPollTimer, kPollMs);
}

void COpenCam::ReceiveAndSend() {
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t received = m_commands.ReadData(m_address, data, length);
    if (received > 0 && data != nullptr)
        m_receiver.Feed({data, received}, *this);
    else if (m_commands.Xmit().LastResult() != link::LinkResult::Ok)
        RecoverFromLostExchange();

    if (m_sendPending && (m_holdUntil == 0 || NowSeconds() > m_holdUntil)) {
        m_sendPending = false;
        m_awaitingReply = true;
        if (!m_commands.WriteData(m_address, m_outgoing))
            RecoverFromLostExchange();
        m_holdUntil = NowSeconds() + kHoldS;
    }
}

void COpenCam::RecoverFromLostExchange() {
    // A packet half received cannot be finished: its rest may be what was lost, and the next
    // packet must not be glued to it.
    const bool halfReceived = m_receiver.Held() > 0;
    m_receiver.Reset();
    // The CAM's reply to what the panel sent, or the rest of a packet, may be gone: unless
    // something comes meanwhile, the main menu is asked for again, as after Escape.
    if ((m_awaitingReply || halfReceived) && m_mainMenuDeadline == 0 && m_previousStatus != kCamAbsent) {
        m_mainMenuDeadline = NowSeconds() + kEscapeDelayS;
        m_recoveryArmed = true;
    }
}

void COpenCam::Queue(std::vector<uint8_t> packet) {
    // One outgoing slot: a newer packet replaces the one still waiting.
    m_outgoing = std::move(packet);
    m_sendPending = true;
}

void COpenCam::RequestMainMenu() {
    Message(text::LocalizedText(kTextAskMainMenu), kShortMessageMs);
    Queue(MainMenuRequest());
}

void COpenCam::AnswerMenu(int choice) {
    m_listMode = false;
    EmptyList();
    char text[128];
    std::snprintf(text, sizeof text, text::LocalizedText(kTextSelectMenu).c_str(), choice);
    Message(text, kShortMessageMs);
    if (m_mmiOpen)
        Queue(MenuAnswer(static_cast<uint8_t>(choice)));
}

void COpenCam::RefuseLongAnswer() {
    // Nothing is sent or cut; the enquiry stays open so that the installer can shorten it.
    const int limit = m_answerLimit > 0 ? m_answerLimit : static_cast<int>(kMaxAnswerChars);
    char refusal[160];
    std::snprintf(refusal, sizeof refusal, text::LocalizedToolText(text::ToolText::CamAnswerTooLong).c_str(),
                  limit);
    Message(refusal, kAnswerTooLongMs);
    Windows().Beep(kWarningBeepHz, kWarningBeepMs);
}

void COpenCam::AnswerEnquiry(const std::string& text) {
    const std::vector<uint8_t> bytes = BytesFromUtf8(text);
    auto packet = EnquiryAnswer(bytes);
    if (!packet || (m_answerLimit > 0 && CharacterCount(text) > static_cast<size_t>(m_answerLimit))) {
        RefuseLongAnswer();
        return;
    }
    // A blind answer (a PIN) is not shown in clear in the message panel either.
    const bool blind = Item(kAnswerField).Data().passwordChar != 0;
    const std::string shown = blind ? std::string(CharacterCount(text), '*') : text;
    Message(text::LocalizedText(kTextAnswer) + shown, kShortMessageMs);
    if (m_mmiOpen)
        Queue(std::move(*packet));
    HideAnswerField();
}

void COpenCam::HideAnswerField() {
    const bool hadFocus = AnswerFieldHasFocus();
    m_enquiryOpen = false;
    Item(kAnswerField).Show(false);
    if (hadFocus)
        SetFocus(kMenuList);
}

bool COpenCam::AnswerFieldHasFocus() const {
    return Windows().Focus() == ui::ControlRef{kDialogId, kAnswerField} && Item(kAnswerField).IsVisible();
}

void COpenCam::OnMmiData() {
    m_mmiOpen = true;
    m_awaitingReply = false;
    m_holdUntil = 0;
    // The CAM has spoken after all: what it says is shown, not replaced by the main menu.
    if (m_recoveryArmed)
        m_mainMenuDeadline = 0;
    m_recoveryArmed = false;
}

void COpenCam::OnText(const std::string& text) {
    ui::Control& list = Item(kMenuList);
    const int lines = static_cast<int>(list.Items().size());
    if (lines >= kMaxLines)
        return;
    if (lines < 2) {
        list.AddItem(text);
    } else if (lines == 2) {
        list.AddItem("");
        list.AddItem("");
        list.AddItem(text);
    } else {
        std::vector<std::string> items = list.Items();
        items.insert(items.begin() + (lines - kLinesAfterItems), text);
        list.SetItems(std::move(items));
    }
}

void COpenCam::OnEnquiry(bool blind, int maxLength, const std::string& text) {
    Message(text::LocalizedText(kTextEnterValue), kShortMessageMs);
    EmptyList();
    Item(kMenuList).AddItem(text);
    ui::Control& field = Item(kAnswerField);
    field.SetPasswordChar(blind ? '*' : 0);
    // The CAM's limit, and never more than one transport length byte can carry. The field
    // itself has no limit: what passes this one is refused, not cut.
    const int limit = static_cast<int>(kMaxAnswerChars);
    m_answerLimit = maxLength == 0 || maxLength > limit ? limit : maxLength;
    field.SetMaxLength(0);
    field.SetText("");
    m_answerText.clear();
    m_enquiryOpen = true;
    field.Show(true);
    SetFocus(kAnswerField);
}

void COpenCam::OnMenu(bool list) {
    // The enquiry is over: Enter must not send an answer to a CAM that now shows a menu.
    HideAnswerField();
    m_listMode = list;
    Message(text::LocalizedText(kTextChooseInList), kChooseInListMs);
    ShowLight(kCamReady);
    m_mainMenuDeadline = 0;
    EmptyList();
}

void COpenCam::OnUnknownTag(uint32_t tag) {
    char text[128];
    std::snprintf(text, sizeof text, text::LocalizedText(kTextTagNotTreated).c_str(),
                  static_cast<unsigned>(tag));
    Message(text, kTagNotTreatedMs);
}

void COpenCam::OnDoubleClick(int controlId, ui::ListHit) {
    if (controlId != kMenuList)
        return;
    const ui::Control& list = Item(kMenuList);
    const int line = list.SelectedItem();
    const int lines = static_cast<int>(list.Items().size());
    // Only item lines count: not the title, subtitle, the empty lines or the bottom text.
    if (line < kLinesBeforeItems || line > lines - 1 - kLinesAfterItems)
        return;
    const int choice = m_listMode ? 0 : line - (kLinesBeforeItems - 1);
    if (choice > kMaxChoice)
        return;
    AnswerMenu(choice);
}

void COpenCam::OnFocusLost(int controlId) {
    if (controlId == kAnswerField && m_enquiryOpen)
        AnswerEnquiry("");
}

void COpenCam::OnEditChange(int controlId) {
    if (controlId != kAnswerField || !m_enquiryOpen)
        return;
    ui::Control& field = Item(kAnswerField);
    if (CharacterCount(field.Text()) > static_cast<size_t>(m_answerLimit)) {
        field.SetText(m_answerText);
        RefuseLongAnswer();
        return;
    }
    m_answerText = field.Text();
}

void COpenCam::OnOK() {
    if (AnswerFieldHasFocus())
        AnswerEnquiry(Item(kAnswerField).Text());
    else if (m_listMode)
        AnswerMenu(0);
}

void COpenCam::OnCancel() {
    if (AnswerFieldHasFocus()) {
        AnswerEnquiry("");
        return;
    }
    m_mainMenuDeadline = NowSeconds() + kEscapeDelayS;
    m_recoveryArmed = false;
    AnswerMenu(0);
}

} // namespace kaptiv::cam
