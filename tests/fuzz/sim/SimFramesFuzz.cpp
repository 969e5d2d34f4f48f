// Arbitrary bytes into the simulated rack's two parsers of outside bytes: the serial line
// (request frames from the PC) and the gateway's message reader. Invariants: the PC hears
// its own bytes back first and unchanged; every frame the rack sends back is a well-formed
// answer to the PC; a parsed request re-encodes to a frame that parses to the same request;
// gateway messages re-encode to exactly the bytes they were read from.
#include "sim/Engine.h"
#include "sim/Frame.h"
#include "sim/GatewayMessage.h"
#include "sim/Protocol.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"

#include <cstdlib>
#include <vector>

using namespace mulvane;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void FuzzSerial(const uint8_t* data, size_t size) {
    RackConfig rack = DemoRack();
    rack.restartSilenceMs = 50;
    RackEngine engine(rack, size);
    if (size > 0 && (data[0] & 1))
        engine.GetFaults().ThrottleSerial(true);
    SerialLine line(&engine);
    int64_t now = 1000;
    line.SerialWrite(std::span<const uint8_t>(data, size), now);
    std::vector<uint8_t> out;
    while (auto next = line.SerialNextOutputMs()) {
        now = std::max(now, *next);
        uint8_t buffer[1024];
        const size_t n = line.SerialRead(buffer, sizeof buffer, now);
        out.insert(out.end(), buffer, buffer + n);
    }
    Check(out.size() >= size);
    Check(std::equal(data, data + size, out.begin()));
    FrameParser answers;
    for (size_t i = size; i < out.size(); ++i)
        if (auto f = answers.Push(out[i]))
            Check(f->destination == kAddrPc &&
                  (f->Command() == kAnswerPositive || f->Command() == kAnswerNegative));
    Check(answers.BadChecksums() == 0);

    // Round trip of whatever requests the bytes hold.
    FrameParser parser;
    for (size_t i = 0; i < size; ++i) {
        auto frame = parser.Push(data[i]);
        if (!frame)
            continue;
        auto again = EncodeFrame(frame->destination, frame->source, frame->Command(), frame->data);
        Check(again.has_value());
        FrameParser second;
        std::optional<Frame> reparsed;
        for (uint8_t b : *again)
            if (auto f = second.Push(b))
                reparsed = f;
        Check(reparsed && reparsed->destination == frame->destination && reparsed->source == frame->source &&
              reparsed->data == frame->data && reparsed->Command() == frame->Command());
    }
}

void FuzzGateway(const uint8_t* data, size_t size) {
    GatewayReader reader;
    std::vector<GatewayMessage> messages;
    size_t chunk = size > 0 ? 1 + data[0] % 7 : 1;
    GatewayReader::Status status = GatewayReader::Status::Ok;
    for (size_t at = 0; at < size && status == GatewayReader::Status::Ok; at += chunk)
        status = reader.Feed(std::span<const uint8_t>(data + at, std::min(chunk, size - at)), messages);
    size_t at = 0;
    for (const GatewayMessage& m : messages) {
        auto bytes = EncodeGatewayMessage(m.type, m.id, m.payload);
        Check(bytes.has_value() && at + bytes->size() <= size);
        Check(std::equal(bytes->begin(), bytes->end(), data + at));
        at += bytes->size();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSerial(data, size);
    FuzzGateway(data, size);
    return 0;
}
