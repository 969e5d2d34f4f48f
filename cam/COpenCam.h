#pragma once
// The common-interface panel: the CAM menus of the selected common-interface module, read
// and operated from the PC. It shows the CAM's menus, lists and enquiries as lines of a list
// box, sends the installer's choices and typed answers back, and shows the CAM's state as a
// three-colour light. It speaks EN 50221 at the level of transport packets through the CI
// module (read status, read data, write data); the module itself sets up the transport
// connection and the sessions (1; 2 application information, 4 MMI).
//
// Polling runs on timer 1, one-shot in effect: each tick stops it, does its work (at most one
// status read, one data read and one packet sent) and starts it again. Times that decide
// when the main menu is asked for and when the next packet may leave are whole seconds of
// the clock, always compared strictly (the current second must be later).
#include "cam/MmiCodec.h"
#include "link/CommandSet.h"
#include "rack/CommonInterfacePanel.h"
#include "ui/Dialog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaptiv::link {
class CXmit;
}

namespace kaptiv::rack {
class CInfo;
}

namespace kaptiv::cam {

class COpenCam final : public ui::Dialog, public rack::CommonInterfacePanel, private MmiSink {
public:
    static constexpr int kDialogId = 161;
    static constexpr int kMenuList = 1020;
    static constexpr int kModulePicture = -1;
    static constexpr int kStatusLight = 1028;
    static constexpr int kAnswerField = 1035;
    static constexpr int kPollTimer = 1;
    static constexpr int64_t kPollMs = 10;
    // One lost status answer is not a silent module: the poll tries again this many times,
    // kRetryMs apart, before the panel stays inert until opened again.
    static constexpr int kStatusRetries = 3;
    static constexpr int64_t kRetryMs = 1000;
    // Bitmaps of the light by CAM status: red (no CAM), amber (initialising), green (ready).
    static constexpr int kLightBitmaps[] = {187, 188, 190};
    static constexpr int kNoStatus = -1;

    COpenCam(ui::WindowSystem& windows, rack::CInfo& info, link::CXmit& xmit);

    // CommonInterfacePanel.
    void CreatePanel(ui::Dialog& mainWindow) override { Create(&mainWindow); }
    ui::Dialog& PanelWindow() override { return *this; }
    void Open(const rack::ModuleRecord& module) override;
    void Close() override;

    // What the installer does.
    void RequestMainMenu();
    void AnswerMenu(int choice);
    void AnswerEnquiry(const std::string& text);

    // State, for the window's own checks and for tests.
    uint8_t ModuleAddress() const { return m_address; }
    int PreviousStatus() const { return m_previousStatus; }
    int64_t MainMenuDeadline() const { return m_mainMenuDeadline; }
    int64_t HoldUntil() const { return m_holdUntil; }
    bool IsMmiOpen() const { return m_mmiOpen; }
    bool IsSendPending() const { return m_sendPending; }
    // A packet went to the CAM and nothing has come back from it since.
    bool IsAwaitingReply() const { return m_awaitingReply; }
    const std::vector<uint8_t>& OutgoingPacket() const { return m_outgoing; }
    bool IsListMode() const { return m_listMode; }
    bool IsEnquiryOpen() const { return m_enquiryOpen; }
    // The most characters the open enquiry takes: the CAM's answer_text_length, never more
    // than one transport length byte can carry (kMaxAnswerChars).
    int AnswerLimit() const { return m_answerLimit; }
    size_t ReassemblyLength() const { return m_receiver.Held(); }
    // The current second of the clock, as every deadline of the panel counts it.
    int64_t NowSeconds() const;

    void OnInitDialog() override;
    void OnTimer(int timerId) override;
    void OnDoubleClick(int controlId, ui::ListHit hit) override;
    void OnFocusLost(int controlId) override;
    void OnEditChange(int controlId) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // MmiSink.
    void OnMmiClosed() override { m_mmiOpen = false; }
    void OnMmiData() override;
    void OnText(const std::string& text) override;
    void OnEnquiry(bool blind, int maxLength, const std::string& text) override;
    void OnMenu(bool list) override;
    void OnUnknownTag(uint32_t tag) override;

    void PollCam();
    void ReceiveAndSend();
    void Queue(std::vector<uint8_t> packet);
    // A read or write of the CAM's data that got no answer: what the CAM said or was told
    // may be lost.
    void RecoverFromLostExchange();
    void ShowLight(int status);
    void EmptyList();
    void HideAnswerField();
    void RefuseLongAnswer();
    bool AnswerFieldHasFocus() const;
    void Message(const std::string& text, int64_t displayMs);

    rack::CInfo& m_info;
    link::CommandSet m_commands;
    CamReceiver m_receiver;

    uint8_t m_address = 0;
    bool m_opened = false;
    int m_previousStatus = kNoStatus;
    int64_t m_mainMenuDeadline = 0; // seconds; 0 = none
    std::vector<uint8_t> m_outgoing;
    bool m_sendPending = false;
    bool m_awaitingReply = false;
    bool m_recoveryArmed = false; // the main-menu deadline was set by RecoverFromLostExchange
    int m_failedStatusReads = 0;  // in a row
    bool m_mmiOpen = false;
    int64_t m_holdUntil = 0; // seconds; 0 = no hold
    bool m_listMode = false;
    // An enquiry waits for its answer in the answer field. Cleared before the field is
    // hidden, so the focus the hiding takes away is not read as the installer leaving it.
    bool m_enquiryOpen = false;
    // The answer field cuts nothing itself (a browser would cut a pasted text silently, and a
    // PIN cut short is a wrong PIN): the panel refuses a text over the limit and keeps the
    // last one it accepted.
    int m_answerLimit = 0;
    std::string m_answerText;
};

} // namespace kaptiv::cam
