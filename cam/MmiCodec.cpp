#include "cam/MmiCodec.h"

#include <algorithm>

namespace kaptiv::cam {

namespace {

// Link record header (the CI module's framing of what the CAM sent).
constexpr size_t kRecordLengthBytes = 2;
constexpr size_t kRecordHeaderAfterLength = 2; // transport connection, flags
constexpr uint8_t kRecordSkipFlag = 0x80;
constexpr uint8_t kRecordLengthHighMask = 0x7F;
constexpr uint8_t kRecordMoreFragments = 0x80;

// EN 50221 transport and session layer.
constexpr uint8_t kTDataLast = 0xA0;
constexpr uint8_t kTransportConnection = 0x01;
constexpr uint8_t kLinkLastFragment = 0x00;
constexpr uint8_t kSessionNumberTag = 0x90;
constexpr uint8_t kCloseSessionRequestTag = 0x95;
constexpr uint8_t kSessionHeaderLength = 0x02;
constexpr uint16_t kApplicationInfoSession = 2;
constexpr uint16_t kMmiSession = 4;
constexpr uint8_t kLengthFieldLong = 0x80;
constexpr size_t kMaxLengthBytes = 4;

constexpr uint8_t kAnswIdAnswer = 0x01;
constexpr uint8_t kAnswIdCancel = 0x00;
constexpr uint8_t kBlindAnswerBit = 0x01;

constexpr std::array<uint8_t, 4> kMmiCloseBeginning = {kCloseSessionRequestTag, kSessionHeaderLength, 0x00,
                                                       kMmiSession};
constexpr std::array<uint8_t, 4> kMmiDataBeginning = {kSessionNumberTag, kSessionHeaderLength, 0x00,
                                                      kMmiSession};

bool Begins(std::span<const uint8_t> data, const std::array<uint8_t, 4>& beginning) {
    return data.size() >= beginning.size() && std::equal(beginning.begin(), beginning.end(), data.begin());
}

// Walks the MMI objects of one packet's MMI data.
void WalkObjects(std::span<const uint8_t> objects, MmiSink& sink) {
    size_t pos = 0;
    while (objects.size() - pos > 3) {
        const uint32_t tag = static_cast<uint32_t>(objects[pos]) << 16 |
                             static_cast<uint32_t>(objects[pos + 1]) << 8 | objects[pos + 2];
        pos += 3;
        const auto length = ReadLengthField(objects, pos);
        if (!length || *length > objects.size() - pos)
            return; // a body running past the packet: nothing more to trust in it
        const std::span<const uint8_t> body = objects.subspan(pos, *length);
        size_t next = pos + *length;
        switch (tag) {
        case tag::kCloseMmi:
        case tag::kDisplayControl:
            break;
        case tag::kTextLast:
            sink.OnText(Utf8FromBytes(body));
            break;
        case tag::kEnq: {
            const bool blind = !body.empty() && (body[0] & kBlindAnswerBit) != 0;
            const int maxLength = body.size() >= 2 ? body[1] : 0;
            sink.OnEnquiry(blind, maxLength,
                           Utf8FromBytes(body.size() > 2 ? body.subspan(2) : body.subspan(0, 0)));
            break;
        }
        case tag::kMenuLast:
        case tag::kListLast:
            sink.OnMenu(tag == tag::kListLast);
            // Only the choice count is passed: the menu's texts follow as objects of their own.
            next = pos + std::min<size_t>(*length, 1);
            break;
        default:
            sink.OnUnknownTag(tag);
            break;
        }
        pos = next;
    }
}

void PutLinkAndTransportHeader(std::vector<uint8_t>& out, uint8_t transportLength) {
    out = {kTransportConnection, kLinkLastFragment, kTDataLast, transportLength, kTransportConnection};
}

void PutSessionNumber(std::vector<uint8_t>& out, uint16_t session) {
    out.insert(out.end(), {kSessionNumberTag, kSessionHeaderLength, static_cast<uint8_t>(session >> 8),
                           static_cast<uint8_t>(session)});
}

void PutTag(std::vector<uint8_t>& out, uint32_t tag) {
    out.insert(out.end(),
               {static_cast<uint8_t>(tag >> 16), static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag)});
}

// Transport length of a packet whose object body holds bodyLength bytes: transport
// connection (1), session_number header (4), tag (3), one length byte (1) and the body.
constexpr size_t TransportLength(size_t bodyLength) {
    return 1 + 4 + 3 + 1 + bodyLength;
}

} // namespace

std::optional<size_t> ReadLengthField(std::span<const uint8_t> data, size_t& pos) {
    if (pos >= data.size())
        return std::nullopt;
    const uint8_t first = data[pos];
    if ((first & kLengthFieldLong) == 0) {
        ++pos;
        return first;
    }
    const size_t count = first & ~kLengthFieldLong;
    if (count == 0 || count > kMaxLengthBytes || count > data.size() - pos - 1)
        return std::nullopt;
    size_t length = 0;
    for (size_t i = 1; i <= count; ++i)
        length = length << 8 | data[pos + i];
    pos += 1 + count;
    return length;
}

FeedResult CamReceiver::Feed(std::span<const uint8_t> records, MmiSink& sink) {
    FeedResult result = FeedResult::Ok;
    size_t offset = 0;
    while (offset < records.size()) {
        if (records.size() - offset < kRecordLengthBytes) {
            Reset();
            return FeedResult::RecordOverrun;
        }
        const size_t length =
            static_cast<size_t>(records[offset] & kRecordLengthHighMask) << 8 | records[offset + 1];
        const bool skip = (records[offset] & kRecordSkipFlag) != 0;
        if (length > records.size() - offset - kRecordLengthBytes ||
            (!skip && length < kRecordHeaderAfterLength)) {
            Reset();
            return FeedResult::RecordOverrun;
        }
        if (!skip) {
            const bool more = (records[offset + 3] & kRecordMoreFragments) != 0;
            const auto fragment = records.subspan(offset + 4, length - kRecordHeaderAfterLength);
            if (!m_discarding && fragment.size() > kBufferSize - m_length) {
                m_length = 0;
                m_discarding = true;
                result = FeedResult::BufferOverflow;
            }
            if (m_discarding) {
                if (!more)
                    m_discarding = false;
            } else {
                std::copy(fragment.begin(), fragment.end(),
                          m_buffer.begin() + static_cast<ptrdiff_t>(m_length));
                m_length += fragment.size();
                if (!more)
                    ParseBuffer(sink);
            }
        }
        offset += kRecordLengthBytes + length;
    }
    return result;
}

void CamReceiver::Reset() {
    m_length = 0;
    m_discarding = false;
}

void CamReceiver::ParseBuffer(MmiSink& sink) {
    const std::span<const uint8_t> data(m_buffer.data(), m_length);
    size_t pos = 0;
    while (pos < data.size()) {
        ++pos; // the transport tag is not examined
        const auto length = ReadLengthField(data, pos);
        if (!length || *length > data.size() - pos)
            break; // a packet running past the buffer: the rest is dropped
        const std::span<const uint8_t> packet = data.subspan(pos, *length);
        pos += *length;
        if (packet.empty())
            continue;
        const std::span<const uint8_t> session = packet.subspan(1); // after the transport connection
        if (Begins(session, kMmiCloseBeginning)) {
            sink.OnMmiClosed();
        } else if (Begins(session, kMmiDataBeginning)) {
            sink.OnMmiData();
            WalkObjects(session.subspan(kMmiDataBeginning.size()), sink);
        }
    }
    m_length = 0;
}

std::vector<uint8_t> MainMenuRequest() {
    std::vector<uint8_t> out;
    PutLinkAndTransportHeader(out, static_cast<uint8_t>(TransportLength(0)));
    PutSessionNumber(out, kApplicationInfoSession);
    PutTag(out, tag::kEnterMenu);
    out.push_back(0x00);
    return out;
}

std::vector<uint8_t> MenuAnswer(uint8_t choice) {
    std::vector<uint8_t> out;
    PutLinkAndTransportHeader(out, static_cast<uint8_t>(TransportLength(1)));
    PutSessionNumber(out, kMmiSession);
    PutTag(out, tag::kMenuAnsw);
    out.push_back(0x01);
    out.push_back(choice);
    return out;
}

std::optional<std::vector<uint8_t>> EnquiryAnswer(std::span<const uint8_t> text) {
    if (text.size() > kMaxAnswerChars)
        return std::nullopt;
    std::vector<uint8_t> out;
    PutLinkAndTransportHeader(out, static_cast<uint8_t>(TransportLength(1 + text.size())));
    PutSessionNumber(out, kMmiSession);
    PutTag(out, tag::kAnsw);
    out.push_back(static_cast<uint8_t>(text.size() + 1));
    out.push_back(text.empty() ? kAnswIdCancel : kAnswIdAnswer);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

std::string Utf8FromBytes(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const uint8_t b : bytes) {
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back(static_cast<char>(0xC0 | b >> 6));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::vector<uint8_t> BytesFromUtf8(std::string_view text) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        bool valid = length != 0 && length <= text.size() - i;
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            out.push_back(lead); // not UTF-8: the byte stands for itself
            ++i;
            continue;
        }
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            code = code << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        out.push_back(static_cast<uint8_t>(code));
        i += length;
    }
    return out;
}

} // namespace kaptiv::cam
