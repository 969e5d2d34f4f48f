// Arbitrary bytes as a firmware file: the check, the composite sub-records and the packet
// coding of their components must stay inside the bytes and agree with each other.
#include "firmware/FirmwareFile.h"

#include <cstdint>
#include <cstdlib>

using namespace kaptiv::firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const FirmwareFileCheck check = CheckFirmwareFile(file);
    if (check.valid && (size <= kFileHeaderSize || check.storedChecksum != check.computedChecksum))
        std::abort();
    const auto image = size > kFileHeaderSize ? file.subspan(kFileHeaderSize) : file;
    if (const auto subs = ParseSubRecords(image)) {
        size_t end = 0;
        for (const SubRecord& sub : *subs) {
            if (sub.dataOffset < end + kSubRecordHeaderSize || sub.dataOffset + sub.dataLength > image.size())
                std::abort();
            end = sub.dataOffset + sub.dataLength;
            if (!sub.IsMainFirmware() && !SplitPackets(image.subspan(sub.dataOffset, sub.dataLength)))
                std::abort();
        }
        if (end != image.size())
            std::abort();
    }
    if (const auto packets = SplitPackets(file)) {
        size_t at = 0, decoded = 0;
        for (const Packet& p : *packets) {
            if (p.offset != at || p.size == 0)
                std::abort();
            at += p.size;
            decoded += p.decodedSize;
        }
        if (at != size || DecodePackets(file, decoded + 1).size() != decoded)
            std::abort();
    }
    return 0;
}
