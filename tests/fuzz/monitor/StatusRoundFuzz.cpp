// Arbitrary answers of a status round into the rack watch's decoder and alarms. The input is
// cut into module records: a byte of flags (bit 0 identification, 1 status, 2 output rates,
// 3 parameter block, 4 asked), the address, the listed type, then per part present its length (one
// byte; two for the rates) and its bytes. Invariants: nothing is read outside the answers
// (the sanitizers watch), one measure per module in slot order, no more inputs or channels
// than the type has, and every alarm names a module of the round.
#include "monitor/Alarms.h"
#include "monitor/Measures.h"
#include "platform/ModuleType.h"

#include <algorithm>
#include <cstdlib>

using namespace kaptiv;
using namespace kaptiv::monitor;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool Has(size_t n) const { return n <= size - at; }
    uint8_t U8() { return Has(1) ? data[at++] : 0; }
    Bytes Take(size_t n) {
        n = std::min(n, size - at);
        Bytes out(data + at, data + at + n);
        at += n;
        return out;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Cursor in{data, size};
    RoundAnswers round;
    int slot = 0;
    while (in.Has(3) && round.modules.size() < 16) {
        const uint8_t flags = in.U8();
        ModuleAnswers m;
        m.slot = slot++;
        m.address = in.U8();
        m.listedType = in.U8();
        m.asked = (flags & 16) != 0;
        if (flags & 1)
            m.identify = in.Take(in.U8());
        if (flags & 2)
            m.status = in.Take(in.U8());
        if (flags & 4) {
            const size_t n = size_t(in.U8()) << 8 | in.U8();
            m.readData = in.Take(n);
        }
        if (flags & 8)
            m.parameters = in.Take(in.U8());
        round.modules.push_back(std::move(m));
    }
    const RackMeasures rack = DecodeRound(round);
    Check(rack.modules.size() == round.modules.size());
    for (size_t i = 0; i < rack.modules.size(); ++i) {
        const ModuleMeasures& m = rack.modules[i];
        Check(m.slot == static_cast<int>(i) && m.address == round.modules[i].address);
        Check(m.inputs.size() <= 2);
        Check(m.channels.size() <= static_cast<size_t>(OutputChannelCount(m.Type())));
        Check(m.up || (m.inputs.empty() && m.channels.empty() && !m.camState));
    }
    for (const Alarm& alarm : EvaluateAlarms(rack))
        Check(alarm.slot >= 0 && static_cast<size_t>(alarm.slot) < rack.modules.size() &&
              rack.modules[static_cast<size_t>(alarm.slot)].address == alarm.address &&
              rack.modules[static_cast<size_t>(alarm.slot)].asked);
    return 0;
}
