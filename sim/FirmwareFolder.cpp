#include "sim/FirmwareFolder.h"

#include "sim/Engine.h"
#include "sim/Md5.h"
#include "sim/Protocol.h"

#include "platform/FileAccess.h"

#include <cstdio>
#include <filesystem>

namespace mulvane {

namespace {

constexpr uint16_t kAvComponent = 0x0010;

bool IsModulator(uint8_t type) {
    return type == kTypeCofdm2 || type == kTypeCofdm4 || type == kTypeQam4 || type == kTypeQam2;
}

// The other personality of a modulator: the one its switch button offers.
uint8_t OtherPersonality(uint8_t type) {
    switch (type) {
    case kTypeCofdm2:
        return kTypeQam2;
    case kTypeCofdm4:
        return kTypeQam4;
    case kTypeQam4:
        return kTypeCofdm4;
    default:
        return kTypeCofdm2;
    }
}

const char* PictureName(uint8_t type) {
    switch (type) {
    case kTypeCofdm2:
        return "FP_T2V0.rle";
    case kTypeCofdm4:
        return "FP_T4V0.rle";
    case kTypeQam4:
        return "FP_C4V0.rle";
    default:
        return "FP_C2V0.rle";
    }
}

std::string FileName(const char* family, uint8_t release) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_0_V%d.bin", family, release);
    return name;
}

void AppendSubRecord(std::vector<uint8_t>& image, uint8_t release, uint32_t id,
                     const std::vector<uint8_t>& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    const uint8_t header[10] = {release,          0,           uint8_t(id >> 24), uint8_t(id >> 16),
                                uint8_t(id >> 8), uint8_t(id), uint8_t(n >> 24),  uint8_t(n >> 16),
                                uint8_t(n >> 8),  uint8_t(n)};
    image.insert(image.end(), header, header + 10);
    image.insert(image.end(), data.begin(), data.end());
}

std::vector<uint8_t> ComponentHeader(uint8_t major, uint8_t minor, uint8_t patch, uint8_t release) {
    std::vector<uint8_t> header = {major, minor, patch, release};
    header.resize(FirmwareLoader::kComponentHeaderSize, 0);
    return header;
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const kaptiv::platform::FileResult written = kaptiv::platform::WriteFileAtomic(path.string(), bytes);
    if (!written)
        error = written.error;
    return written.ok;
}

} // namespace

std::vector<uint8_t> PatternImage(size_t size, uint32_t seed, int erasedEvery) {
    std::vector<uint8_t> image(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<uint8_t>(x >> 24);
    }
    if (erasedEvery > 0)
        for (size_t block = 0; block * 256 < size; block += size_t(erasedEvery))
            for (size_t i = block * 256; i < std::min(size, block * 256 + 256); ++i)
                image[i] = 0xFF;
    return image;
}

std::vector<uint8_t> LiteralPackets(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> coded;
    for (size_t i = 0; i < bytes.size(); i += 127) {
        const size_t n = std::min<size_t>(127, bytes.size() - i);
        coded.push_back(static_cast<uint8_t>(0x80 | n));
        coded.insert(coded.end(), bytes.begin() + i, bytes.begin() + i + n);
    }
    return coded;
}

std::vector<uint8_t> FirmwareFileBytes(const SimFirmwareFile& file) {
    std::vector<uint8_t> bytes = {0, 0, 0, 0, file.type, file.release};
    bytes.insert(bytes.end(), file.image.begin(), file.image.end());
    uint32_t sum = 0;
    for (size_t i = 4; i < bytes.size(); ++i)
        sum += bytes[i];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(sum >> (8 * i));
    return bytes;
}

FirmwarePlan PlanFirmware(RackConfig& rack) {
    FirmwarePlan plan;
    bool personalityPlanned = false;
    bool seen[kMaxModuleType + 1] = {};
    for (ModuleConfig& m : rack.modules) {
        if (IsModulator(m.type)) {
            // Modulators run the personality of their type; the first one is to change.
            m.wantedPersonality = m.runningPersonality = m.type;
            if (!personalityPlanned) {
                personalityPlanned = true;
                const uint8_t target = OtherPersonality(m.type);
                m.wantedPersonality = target;
                const char* family = target == kTypeCofdm2 ? "RKMODT2"
                                     : target == kTypeQam2 ? "RKMODC2"
                                     : target == kTypeQam4 ? "RKMODC4"
                                                           : "RKMODT4";
                SimFirmwareFile file{FileName(family, 22), target, 0, 22,
                                     PatternImage(8 * 1024 + 100, target, 5)};
                plan.library.files.push_back(file);
                plan.library.pictures.push_back(
                    {PictureName(target), target, LiteralPackets(PatternImage(600, 99 + target))});
                plan.notes.push_back("module " + std::to_string(m.address) + ": personality " +
                                     std::to_string(m.type) + " -> " + std::to_string(target) +
                                     ", release 2.2");
            }
            continue;
        }
        if (seen[m.type])
            continue;
        seen[m.type] = true;
        if (m.type == kTypeTwinSatTuner) {
            const uint8_t release = static_cast<uint8_t>(m.release + 2);
            plan.library.files.push_back(
                {FileName("RKSAT2", release), m.type, 0, release, PatternImage(16 * 1024, m.type, 7)});
            plan.notes.push_back("type 7 modules: release " + std::to_string(release));
        } else if (m.type == kTypeSatTunerB) {
            const uint8_t release = static_cast<uint8_t>(m.release + 1);
            plan.library.files.push_back(
                {FileName("RKSAT1", release), m.type, 0, release, PatternImage(12 * 1024 + 37, m.type, 4)});
            plan.notes.push_back("type 4 modules: release " + std::to_string(release));
        } else if (m.type == kTypeAvEncoder) {
            // The main firmware is current; only the component asks for an update.
            SimFirmwareFile file{FileName("RKAV", m.release), m.type, 0, m.release, {}};
            AppendSubRecord(file.image, m.release, 0xFFFFFFFF, PatternImage(4 * 1024, m.type));
            std::vector<uint8_t> component = ComponentHeader(1, 2, 0, m.release);
            const std::vector<uint8_t> body = PatternImage(700, 77);
            component.insert(component.end(), body.begin(), body.end());
            std::vector<uint8_t> coded = LiteralPackets(component);
            coded.push_back(40); // a repeat packet: 40 zero bytes
            coded.push_back(0);
            AppendSubRecord(file.image, m.release, kAvComponent, coded);
            plan.library.files.push_back(file);
            plan.components.push_back({m.address, kAvComponent, ComponentHeader(1, 1, 0, m.release)});
            plan.notes.push_back("type 9 modules: component 16 to version 1.2.0");
        } else if (m.type == kTypeHdEncoder) {
            const uint8_t release = static_cast<uint8_t>(m.release + 1);
            SimFirmwareFile file{FileName("RKHD", release), m.type, 0, release, {}};
            AppendSubRecord(file.image, release, 0xFFFFFFFF, PatternImage(6 * 1024 + 10, m.type, 3));
            plan.library.files.push_back(file);
            SimHdComponentFile hd;
            hd.release = 12;
            hd.bytes = PatternImage(2 * 1024 + 16 + 5, 1414);
            hd.name = "QVXHD4ENC_12_" + Md5Hex(hd.bytes) + ".bin";
            plan.library.hdComponents.push_back(hd);
            plan.notes.push_back("type 14 modules: release " + std::to_string(release) +
                                 ", HD component 1.2");
        }
    }
    return plan;
}

bool WriteFirmwareFolder(const FirmwarePlan& plan, const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    std::string index;
    for (size_t k = 0; k < plan.library.files.size(); ++k) {
        const SimFirmwareFile& file = plan.library.files[k];
        if (!WriteBytes(fs::path(dir) / file.name, FirmwareFileBytes(file), error))
            return false;
        // Written as on Windows: CR-LF, and the first name in lower case (looked up blind to case).
        std::string listed = file.name;
        if (k == 0)
            for (char& c : listed)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        index += listed + "\r\n";
    }
    index += "\r\n";
    for (const SimPictureFile& picture : plan.library.pictures)
        if (!WriteBytes(fs::path(dir) / picture.name, picture.bytes, error))
            return false;
    for (const SimHdComponentFile& hd : plan.library.hdComponents)
        if (!WriteBytes(fs::path(dir) / hd.name, hd.bytes, error))
            return false;
    return WriteBytes(fs::path(dir) / "QVX.FRM", std::vector<uint8_t>(index.begin(), index.end()), error);
}

void InstallFirmware(RackEngine& engine, const FirmwarePlan& plan) {
    engine.Firmware().SetLibrary(plan.library);
    for (const InitialComponent& c : plan.components)
        engine.Firmware().AddComponent(c.address, c.number, c.header);
}

} // namespace mulvane
