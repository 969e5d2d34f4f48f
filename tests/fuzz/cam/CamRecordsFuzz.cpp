// Arbitrary read-data answers into the CAM panel's receiver: link records, reassembly,
// transport packets, the session layer and MMI objects. The first byte chooses how the rest
// is cut into consecutive read-data answers. Invariants: nothing is read outside the data
// (the sanitizers watch), the buffer never holds more than its size, every text handed on
// is valid UTF-8 with one character per byte, and a well-formed packet after the garbage
// (behind a record that ends any packet in progress) is still read correctly.
#include "cam/MmiCodec.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kaptiv::cam;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

size_t Utf8Characters(const std::string& s) {
    size_t count = 0;
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : 0;
        Check(length != 0 && i + length <= s.size());
        if (length == 2)
            Check((static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80 && lead <= 0xC3);
        i += length;
        ++count;
    }
    return count;
}

struct CheckingSink final : MmiSink {
    std::vector<std::string> texts;
    int unknown = 0;
    void OnMmiClosed() override {}
    void OnMmiData() override {}
    void OnText(const std::string& text) override {
        Check(Utf8Characters(text) <= CamReceiver::kBufferSize);
        texts.push_back(text);
    }
    void OnEnquiry(bool, int maxLength, const std::string& text) override {
        Check(maxLength >= 0 && maxLength <= 255);
        Check(Utf8Characters(text) <= CamReceiver::kBufferSize);
    }
    void OnMenu(bool) override {}
    void OnUnknownTag(uint32_t tag) override {
        Check(tag <= 0xFFFFFF);
        ++unknown;
    }
};

// One link record, last fragment, on transport connection 1.
std::vector<uint8_t> Record(const std::vector<uint8_t>& fragment) {
    std::vector<uint8_t> out = {static_cast<uint8_t>((fragment.size() + 2) >> 8),
                                static_cast<uint8_t>(fragment.size() + 2), 0x01, 0x00};
    out.insert(out.end(), fragment.begin(), fragment.end());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t chunk = 1 + data[0] % 64;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    CamReceiver receiver;
    CheckingSink sink;
    for (size_t at = 0; at < rest.size(); at += chunk) {
        receiver.Feed(rest.subspan(at, std::min(chunk, rest.size() - at)), sink);
        Check(receiver.Held() <= CamReceiver::kBufferSize);
    }
    // Whatever came before: a record that ends any packet in progress (the packet it closes
    // may parse to anything), then one well-formed text.
    const std::vector<uint8_t> end = {0x00, 0x02, 0x01, 0x00};
    receiver.Feed(end, sink);
    Check(receiver.Held() == 0);
    sink.texts.clear();
    // T_data_last, session_number 4, text_last "ok\xE9!", as one record.
    const std::vector<uint8_t> tpdu = {0xA0, 0x0D, 0x01, 0x90, 0x02, 0x00, 0x04, 0x9F,
                                       0x88, 0x03, 0x04, 'o',  'k',  0xE9, '!'};
    receiver.Feed(Record(tpdu), sink);
    Check(sink.texts.size() == 1 && sink.texts[0] == "ok\xC3\xA9!");
    // The panel's own packets, read back, are MMI data with a tag it does not act on.
    const int before = sink.unknown;
    const std::vector<uint8_t> own = MenuAnswer(rest.empty() ? 0 : rest[0]);
    receiver.Feed(Record({own.begin() + 2, own.end()}), sink);
    Check(sink.unknown == before + 1);
    return 0;
}
