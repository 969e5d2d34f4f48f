#pragma once
// A conditional-access module (CAM) in a common-interface module, as the CI module relays it
// to the PC: its status (0 no CAM, 1 initialising, 2 ready) in the read-status answer, the
// PC's packets through write-data, and its own packets as link records in read-data answers.
//
// Written from EN 50221: transport packets (T_data_last, T_SB), the session layer
// (session_number, close_session_request) and the MMI resource (enter_menu of application
// information, menu_last, list_last, text_last, enq, answ, menu_answ, close_mmi). The CAM
// speaks only when spoken to: every answer is queued by a packet the PC sent, and leaves split
// into link-record fragments, a few records per read.
//
// Its menus: a main menu with a smart-card status list, a subscription sub-menu with package
// lists, and a parental-control entry that asks for a 4-digit PIN (blind); the right PIN opens
// the parental-control menu, a wrong one shows a "wrong PIN" list. Leaving the main menu closes
// the MMI (close_mmi).
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace mulvane {

struct CamSettings {
    bool present = true;
    int64_t startupDelayMs = 1500; // status 1 for this long after insertion, then 2
    std::string pin = "1234";
    size_t fragmentBytes = 40; // transport-packet bytes per link record
    size_t recordsPerRead = 2; // link records per read-data answer
    // Like a real CAM, it stops waiting for the PIN after this long and shows its main menu
    // again on its own (0: it waits for ever).
    int64_t enquiryTimeoutMs = 15000;
};

class SimCam {
public:
    enum class Screen : uint8_t {
        None,
        MainMenu,
        CardStatus,    // list
        Subscriptions, // menu
        Package,       // list
        PinEnquiry,
        WrongPin, // list
        Parental, // menu
        Rating,   // list
    };

    explicit SimCam(CamSettings settings = {});

    // The CI module has seen a request: a CAM present from the start begins its start-up.
    void PowerOn(int64_t nowMs);
    uint8_t Status(int64_t nowMs);
    // A write-data payload from the PC: link header, then a transport packet.
    void Receive(std::span<const uint8_t> data, int64_t nowMs);
    // The next read-data answer: up to recordsPerRead link records, or nothing.
    std::vector<uint8_t> TakeRecords(int64_t nowMs);

    // The module's own side, for tests and the demo.
    void Insert(int64_t nowMs);
    void Remove();
    // The next answer also carries an object of a tag the PC does not handle (text_more).
    void SendUnknownTagNext();
    // A CAM that hears the PC's packets but never answers them.
    void SetMute(bool mute);
    // Bytes handed out as they are by the next read (test scripts of records).
    void InjectReadAnswer(std::vector<uint8_t> bytes);

    // Inspection.
    std::vector<std::vector<uint8_t>> PacketsReceived() const;
    Screen CurrentScreen() const;
    int WrongPinCount() const;
    bool PinAccepted() const;
    std::vector<uint8_t> LastChoices() const; // menu_answ choices in order
    size_t QueuedBytes() const;

private:
    void HandlePacket(std::span<const uint8_t> tpdu);
    void HandleApdu(uint16_t session, uint32_t tag, std::span<const uint8_t> body);
    void Show(Screen screen);
    void SendMmi(std::vector<uint8_t> apdus);
    void Touch(int64_t nowMs);

    mutable std::mutex m_mutex;
    CamSettings m_settings;
    bool m_present;
    int64_t m_insertedAtMs = -1; // set by the first request after start or insertion
    Screen m_screen = Screen::None;
    int m_package = 0;
    std::vector<uint8_t> m_incoming; // fragments of a packet from the PC
    std::deque<std::vector<uint8_t>> m_records;
    std::vector<std::vector<uint8_t>> m_received;
    std::vector<uint8_t> m_choices;
    int m_wrongPins = 0;
    bool m_pinAccepted = false;
    bool m_unknownTagNext = false;
    bool m_mute = false;
    int64_t m_nowMs = 0;
    int64_t m_enquiryShownAtMs = 0;
};

} // namespace mulvane
