#pragma once
// The host side of the EN 50221 common interface as the CI module relays it: link records in
// the answers of the read-data command, transport packets (TPDUs) put together from them,
// the two session-layer beginnings the panel acts on, and the man-machine-interface objects
// (APDUs) inside MMI data. Also the three packets the panel sends. Pure code: no link, no
// window; the panel feeds it the bytes and hears about what they hold through MmiSink.
//
// Everything read here comes from the CAM and is untrusted: every length is checked against
// the bytes present, nothing is read past the data, and a packet that does not fit the
// reassembly buffer is dropped whole.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::cam {

// APDU tags of the MMI resource (EN 50221, 8.6) and of the application information resource.
namespace tag {
constexpr uint32_t kEnterMenu = 0x9F8022; // application information: show the main menu
constexpr uint32_t kCloseMmi = 0x9F8800;
constexpr uint32_t kDisplayControl = 0x9F8801;
constexpr uint32_t kTextLast = 0x9F8803;
constexpr uint32_t kTextMore = 0x9F8804;
constexpr uint32_t kEnq = 0x9F8807;
constexpr uint32_t kAnsw = 0x9F8808;
constexpr uint32_t kMenuLast = 0x9F8809;
constexpr uint32_t kMenuAnsw = 0x9F880B;
constexpr uint32_t kListLast = 0x9F880C;
} // namespace tag

// What the received bytes hold, in the order they hold it.
class MmiSink {
public:
    virtual ~MmiSink() = default;
    // close_session_request for the MMI session: the CAM has closed it.
    virtual void OnMmiClosed() = 0;
    // A session_number header for the MMI session: MMI objects follow.
    virtual void OnMmiData() = 0;
    // text_last, as UTF-8 (each byte is the character of that code; nothing interpreted).
    virtual void OnText(const std::string& text) = 0;
    // enq: blind answer wanted, the longest answer the CAM takes (0: any), the prompt.
    virtual void OnEnquiry(bool blind, int maxLength, const std::string& text) = 0;
    // menu_last (list == false) or list_last: the texts that follow build it.
    virtual void OnMenu(bool list) = 0;
    // An object the panel does not handle; the walk goes on with the next one.
    virtual void OnUnknownTag(uint32_t tag) = 0;
};

// Why a read-data answer was not taken whole.
enum class FeedResult : uint8_t {
    Ok,
    RecordOverrun,  // a record's length runs past the data: the buffer was dropped
    BufferOverflow, // a packet would not fit the reassembly buffer: it was dropped whole
};

// Puts transport packets together from link records and parses each one once its last
// fragment has arrived.
//
// Link record: bit 7 of byte 0 skip flag, bits 14..0 of bytes 0-1 the length L of what
// follows; byte 2 transport connection (not examined); bit 7 of byte 3 more fragments
// follow; bytes 4.. (L - 2 bytes) the fragment.
class CamReceiver {
public:
    static constexpr size_t kBufferSize = 4096;

    FeedResult Feed(std::span<const uint8_t> records, MmiSink& sink);
    void Reset();
    size_t Held() const { return m_length; }

private:
    void ParseBuffer(MmiSink& sink);

    std::array<uint8_t, kBufferSize> m_buffer{};
    size_t m_length = 0;
    // After an overflow the rest of that packet's fragments are passed over as well, so
    // that its tail is never parsed as the start of a packet.
    bool m_discarding = false;
};

// An EN 50221 length field (8.3.1): below 0x80 the length itself, otherwise the low 7 bits
// count the length bytes that follow, most significant first. Nothing when the field runs
// past the data or counts more than 4 bytes. pos moves past the field.
std::optional<size_t> ReadLengthField(std::span<const uint8_t> data, size_t& pos);

// The three packets the panel sends, each behind its 2-byte link header (transport
// connection 1, last fragment), as a T_data_last on transport connection 1 with one
// session_number header and one object, every length a single byte.
inline constexpr size_t kMaxPacket = 256;
// enter_menu on session 2 (application information), 13 bytes.
std::vector<uint8_t> MainMenuRequest();
// menu_answ with the choice on session 4 (MMI), 14 bytes.
std::vector<uint8_t> MenuAnswer(uint8_t choice);
// The longest typed answer whose transport length still fits one length byte below 0x80
// (10 + n); from 118 characters a CAM would read the length byte as the start of a longer
// length field.
inline constexpr size_t kMaxAnswerChars = 117;
// answ on session 4: answ_id 1 and the text, or answ_id 0 (cancel) for an empty text;
// 14 + n bytes. Nothing for an answer longer than kMaxAnswerChars characters.
std::optional<std::vector<uint8_t>> EnquiryAnswer(std::span<const uint8_t> text);

// Texts between the CAM's bytes and the page's UTF-8: a byte is the character of that
// code; a character goes out as the low 8 bits of its code.
std::string Utf8FromBytes(std::span<const uint8_t> bytes);
std::vector<uint8_t> BytesFromUtf8(std::string_view text);

} // namespace kaptiv::cam
