#include "sim/Cam.h"

#include <algorithm>

namespace mulvane {

namespace {

// EN 50221 transport layer (annex A.4): T_SB, T_data_last; link-record flags of the CI
// module's framing.
constexpr uint8_t kTSb = 0x80;
constexpr uint8_t kTDataLast = 0xA0;
constexpr uint8_t kTransportConnection = 0x01;
constexpr uint8_t kNoDataAvailable = 0x00; // T_SB status: nothing more to send
constexpr uint8_t kMoreFragments = 0x80;
constexpr uint8_t kLastFragment = 0x00;

// Session layer (8.4): session_number and close_session_request.
constexpr uint8_t kSessionNumber = 0x90;
constexpr uint16_t kApplicationInfoSession = 2;
constexpr uint16_t kMmiSession = 4;

// Application objects (8.4.1 application information, 8.6 MMI).
constexpr uint32_t kEnterMenu = 0x9F8022;
constexpr uint32_t kCloseMmi = 0x9F8800;
constexpr uint32_t kTextLast = 0x9F8803;
constexpr uint32_t kTextMore = 0x9F8804;
constexpr uint32_t kEnq = 0x9F8807;
constexpr uint32_t kAnsw = 0x9F8808;
constexpr uint32_t kMenuLast = 0x9F8809;
constexpr uint32_t kMenuAnsw = 0x9F880B;
constexpr uint32_t kListLast = 0x9F880C;
constexpr uint8_t kCloseMmiImmediate = 0x00;
constexpr uint8_t kAnswIdAnswer = 0x01;
constexpr uint8_t kBlindAnswer = 0x01;
constexpr uint8_t kPinLength = 4;

constexpr uint8_t kStatusNoCam = 0;
constexpr uint8_t kStatusInitialising = 1;
constexpr uint8_t kStatusReady = 2;
constexpr size_t kMaxHistory = 1000;
constexpr size_t kMaxQueuedRecords = 4096;

// length_field() of EN 50221 8.3.1: short form below 128, else 0x80 | count, then the bytes.
void PutLength(std::vector<uint8_t>& out, size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else if (length <= 0xFF) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(length)});
    } else {
        out.insert(out.end(), {0x82, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    }
}

bool GetLength(std::span<const uint8_t> data, size_t& pos, size_t& length) {
    if (pos >= data.size())
        return false;
    const uint8_t first = data[pos++];
    if (first < 0x80) {
        length = first;
        return true;
    }
    const size_t count = first & 0x7F;
    if (count == 0 || count > 2 || count > data.size() - pos)
        return false;
    length = 0;
    for (size_t i = 0; i < count; ++i)
        length = length << 8 | data[pos++];
    return true;
}

void PutApdu(std::vector<uint8_t>& out, uint32_t tag, std::span<const uint8_t> body) {
    out.insert(out.end(),
               {static_cast<uint8_t>(tag >> 16), static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag)});
    PutLength(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> Text(uint32_t tag, const std::string& text) {
    std::vector<uint8_t> out;
    PutApdu(out, tag, std::vector<uint8_t>(text.begin(), text.end()));
    return out;
}

// menu_last / list_last: choice_nb, then title, sub-title, bottom and the items as
// text_last objects (8.6.5.4).
std::vector<uint8_t> Menu(uint32_t tag, const std::string& title, const std::string& subtitle,
                          const std::string& bottom, const std::vector<std::string>& items) {
    std::vector<uint8_t> body = {static_cast<uint8_t>(tag == kListLast ? 0xFF : items.size())};
    for (const std::string* text : {&title, &subtitle, &bottom}) {
        const auto t = Text(kTextLast, *text);
        body.insert(body.end(), t.begin(), t.end());
    }
    for (const std::string& item : items) {
        const auto t = Text(kTextLast, item);
        body.insert(body.end(), t.begin(), t.end());
    }
    std::vector<uint8_t> out;
    PutApdu(out, tag, body);
    return out;
}

} // namespace

SimCam::SimCam(CamSettings settings) : m_settings(std::move(settings)), m_present(m_settings.present) {
    m_settings.fragmentBytes = std::max<size_t>(m_settings.fragmentBytes, 1);
    m_settings.recordsPerRead = std::max<size_t>(m_settings.recordsPerRead, 1);
}

void SimCam::Touch(int64_t nowMs) {
    if (m_present && m_insertedAtMs < 0)
        m_insertedAtMs = nowMs;
}

void SimCam::PowerOn(int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    Touch(nowMs);
}

uint8_t SimCam::Status(int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    Touch(nowMs);
    if (!m_present)
        return kStatusNoCam;
    return nowMs < m_insertedAtMs + m_settings.startupDelayMs ? kStatusInitialising : kStatusReady;
}

void SimCam::Insert(int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    m_present = true;
    m_insertedAtMs = nowMs;
    m_screen = Screen::None;
    m_records.clear();
}

void SimCam::Remove() {
    std::lock_guard lock(m_mutex);
    m_present = false;
    m_insertedAtMs = -1;
    m_screen = Screen::None;
    m_records.clear();
    m_incoming.clear();
}

void SimCam::SendUnknownTagNext() {
    std::lock_guard lock(m_mutex);
    m_unknownTagNext = true;
}

void SimCam::SetMute(bool mute) {
    std::lock_guard lock(m_mutex);
    m_mute = mute;
}

void SimCam::InjectReadAnswer(std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_records.push_back(std::move(bytes));
}

void SimCam::Receive(std::span<const uint8_t> data, int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    Touch(nowMs);
    if (m_received.size() == kMaxHistory)
        m_received.erase(m_received.begin());
    m_received.emplace_back(data.begin(), data.end());
    // A CAM that is absent or still starting hears nothing.
    if (m_mute || !m_present || nowMs < m_insertedAtMs + m_settings.startupDelayMs || data.size() < 2)
        return;
    m_incoming.insert(m_incoming.end(), data.begin() + 2, data.end());
    if ((data[1] & kMoreFragments) != 0 && m_incoming.size() < 65536)
        return;
    std::vector<uint8_t> tpdu;
    tpdu.swap(m_incoming);
    m_nowMs = nowMs;
    HandlePacket(tpdu);
}

void SimCam::HandlePacket(std::span<const uint8_t> tpdu) {
    // T_data_last: tag, length_field, t_c_id, then the SPDU.
    size_t pos = 1;
    size_t length = 0;
    if (tpdu.empty() || tpdu[0] != kTDataLast || !GetLength(tpdu, pos, length) || length < 1 ||
        length > tpdu.size() - pos)
        return;
    const auto spdu = tpdu.subspan(pos + 1, length - 1);
    // session_number (0x90, length 2, session): one APDU follows.
    if (spdu.size() < 4 || spdu[0] != kSessionNumber || spdu[1] != 2)
        return;
    const uint16_t session = static_cast<uint16_t>(spdu[2] << 8 | spdu[3]);
    const auto apdu = spdu.subspan(4);
    if (apdu.size() < 4)
        return;
    const uint32_t tag = static_cast<uint32_t>(apdu[0]) << 16 | static_cast<uint32_t>(apdu[1]) << 8 | apdu[2];
    size_t bodyPos = 3;
    size_t bodyLength = 0;
    if (!GetLength(apdu, bodyPos, bodyLength) || bodyLength > apdu.size() - bodyPos)
        return;
    HandleApdu(session, tag, apdu.subspan(bodyPos, bodyLength));
}

void SimCam::HandleApdu(uint16_t session, uint32_t tag, std::span<const uint8_t> body) {
    if (session == kApplicationInfoSession && tag == kEnterMenu) {
        Show(Screen::MainMenu);
        return;
    }
    if (session != kMmiSession)
        return;
    if (tag == kMenuAnsw && !body.empty()) {
        const uint8_t choice = body[0];
        if (m_choices.size() == kMaxHistory)
            m_choices.erase(m_choices.begin());
        m_choices.push_back(choice);
        switch (m_screen) {
        case Screen::MainMenu:
            if (choice == 0)
                Show(Screen::None); // leaving the top menu closes the MMI
            else if (choice == 1)
                Show(Screen::CardStatus);
            else if (choice == 2)
                Show(Screen::Subscriptions);
            else if (choice == 3)
                Show(Screen::PinEnquiry);
            else
                Show(Screen::MainMenu);
            break;
        case Screen::Subscriptions:
            if (choice >= 1 && choice <= 3) {
                m_package = choice;
                Show(Screen::Package);
            } else {
                Show(Screen::MainMenu);
            }
            break;
        case Screen::Package:
            Show(Screen::Subscriptions);
            break;
        case Screen::Parental:
            Show(choice == 0 ? Screen::MainMenu : Screen::Rating);
            break;
        case Screen::Rating:
            Show(Screen::Parental);
            break;
        default:
            Show(Screen::MainMenu);
            break;
        }
        return;
    }
    if (tag == kAnsw && m_screen == Screen::PinEnquiry) {
        if (body.empty() || body[0] != kAnswIdAnswer) {
            Show(Screen::MainMenu); // cancelled
            return;
        }
        const std::string typed(body.begin() + 1, body.end());
        if (typed == m_settings.pin) {
            m_pinAccepted = true;
            Show(Screen::Parental);
        } else {
            ++m_wrongPins;
            Show(Screen::WrongPin);
        }
    }
}

void SimCam::Show(Screen screen) {
    m_screen = screen;
    if (screen == Screen::PinEnquiry)
        m_enquiryShownAtMs = m_nowMs;
    std::vector<uint8_t> apdus;
    switch (screen) {
    case Screen::None: {
        const uint8_t cmd = kCloseMmiImmediate;
        PutApdu(apdus, kCloseMmi, std::span<const uint8_t>(&cmd, 1));
        break;
    }
    case Screen::MainMenu:
        apdus = Menu(kMenuLast, "Kestrel CA module", "Main menu", "Select an item or press Escape to leave",
                     {"Smart card status", "Subscriptions", "Parental control"});
        break;
    case Screen::CardStatus:
        apdus = Menu(kListLast, "Smart card status", "Card 0412 8876 3310", "Press OK for the main menu",
                     {"Card inserted and valid", "Operator: Fenwix Broadcast", "Valid until 2027-06-30"});
        break;
    case Screen::Subscriptions:
        apdus = Menu(kMenuLast, "Subscriptions", "Choose a package", "Press Escape for the main menu",
                     {"Basic package", "Sports package", "Cinema package"});
        break;
    case Screen::Package: {
        static const char* const kNames[] = {"", "Basic package", "Sports package", "Cinema package"};
        static const char* const kServices[] = {"", "24 services", "6 services", "9 services"};
        apdus = Menu(kListLast, kNames[m_package], "Entitlement", "Press OK to go back",
                     {"Status: active", kServices[m_package], "Renewal: monthly"});
        break;
    }
    case Screen::PinEnquiry: {
        const std::string prompt = "Enter your parental PIN (4 digits)";
        std::vector<uint8_t> body = {kBlindAnswer, kPinLength};
        body.insert(body.end(), prompt.begin(), prompt.end());
        PutApdu(apdus, kEnq, body);
        break;
    }
    case Screen::WrongPin:
        apdus = Menu(kListLast, "Parental control", "Wrong PIN", "Press OK for the main menu",
                     {"The PIN code entered is not correct"});
        break;
    case Screen::Parental:
        apdus = Menu(kMenuLast, "Parental control", "PIN accepted", "Press Escape for the main menu",
                     {"Maturity rating: 16", "Unlock all services"});
        break;
    case Screen::Rating:
        apdus = Menu(kListLast, "Parental control", "Setting saved", "Press OK to go back",
                     {"Maturity rating: 16 years"});
        break;
    }
    if (m_unknownTagNext) {
        m_unknownTagNext = false;
        const auto more = Text(kTextMore, "(continued)");
        apdus.insert(apdus.end(), more.begin(), more.end());
    }
    SendMmi(std::move(apdus));
}

void SimCam::SendMmi(std::vector<uint8_t> apdus) {
    // T_data_last on connection 1 carrying session_number 4 and the objects, then a T_SB
    // saying nothing more is waiting.
    std::vector<uint8_t> spdu = {kSessionNumber, 2, 0, kMmiSession};
    spdu.insert(spdu.end(), apdus.begin(), apdus.end());
    std::vector<uint8_t> packets = {kTDataLast};
    PutLength(packets, spdu.size() + 1);
    packets.push_back(kTransportConnection);
    packets.insert(packets.end(), spdu.begin(), spdu.end());
    packets.insert(packets.end(), {kTSb, 2, kTransportConnection, kNoDataAvailable});

    for (size_t at = 0; at < packets.size() && m_records.size() < kMaxQueuedRecords;) {
        const size_t n = std::min(m_settings.fragmentBytes, packets.size() - at);
        const bool last = at + n == packets.size();
        const size_t recordLength = n + 2;
        std::vector<uint8_t> record = {static_cast<uint8_t>((recordLength >> 8) & 0x7F),
                                       static_cast<uint8_t>(recordLength), kTransportConnection,
                                       last ? kLastFragment : kMoreFragments};
        record.insert(record.end(), packets.begin() + static_cast<ptrdiff_t>(at),
                      packets.begin() + static_cast<ptrdiff_t>(at + n));
        m_records.push_back(std::move(record));
        at += n;
    }
}

std::vector<uint8_t> SimCam::TakeRecords(int64_t nowMs) {
    std::lock_guard lock(m_mutex);
    Touch(nowMs);
    if (m_screen == Screen::PinEnquiry && m_settings.enquiryTimeoutMs > 0 && m_present &&
        nowMs >= m_enquiryShownAtMs + m_settings.enquiryTimeoutMs) {
        m_nowMs = nowMs;
        Show(Screen::MainMenu); // nobody answered: the CAM speaks first
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < m_settings.recordsPerRead && !m_records.empty(); ++i) {
        out.insert(out.end(), m_records.front().begin(), m_records.front().end());
        m_records.pop_front();
    }
    return out;
}

std::vector<std::vector<uint8_t>> SimCam::PacketsReceived() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

SimCam::Screen SimCam::CurrentScreen() const {
    std::lock_guard lock(m_mutex);
    return m_screen;
}

int SimCam::WrongPinCount() const {
    std::lock_guard lock(m_mutex);
    return m_wrongPins;
}

bool SimCam::PinAccepted() const {
    std::lock_guard lock(m_mutex);
    return m_pinAccepted;
}

std::vector<uint8_t> SimCam::LastChoices() const {
    std::lock_guard lock(m_mutex);
    return m_choices;
}

size_t SimCam::QueuedBytes() const {
    std::lock_guard lock(m_mutex);
    size_t n = 0;
    for (const auto& r : m_records)
        n += r.size();
    return n;
}

} // namespace mulvane
