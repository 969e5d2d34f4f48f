#include "sim/FirmwareLoader.h"

#include "sim/Protocol.h"

#include <algorithm>

namespace mulvane {

namespace {

constexpr uint8_t kFileSetOption = 0x06;
constexpr uint16_t kHdReleaseComponent = 0x3DE0;
constexpr uint16_t kPictureComponent = 0;
constexpr uint8_t kHdOption = 1;
constexpr uint8_t kSizeMark = 0x84;
constexpr uint32_t kMainFirmware = 0xFFFFFFFF;

bool IsTwinTunerFamily(uint8_t type) {
    return type == kTypeTwinSatTuner || type == kTypeTwinSatTunerB || type == kTypeTerrestrialTuner;
}
bool IsComposite(uint8_t type) {
    return type == kTypeAvEncoder || type == kTypeIpStreamer || type == kTypeHdEncoder;
}
bool IsModulator(uint8_t type) {
    return type == kTypeCofdm2 || type == kTypeCofdm4 || type == kTypeQam4 || type == kTypeQam2;
}
// The twin-input tuners 10 and 12 run the firmware of 7, numbered on from theirs.
uint8_t FirmwareFamily(uint8_t type) {
    return IsTwinTunerFamily(type) ? kTypeTwinSatTuner : type;
}
int ReleaseOffset(uint8_t type) {
    return type == kTypeTwinSatTunerB ? 38 : type == kTypeTerrestrialTuner ? 52 : 0;
}

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> all;
    for (const auto& c : chunks)
        all.insert(all.end(), c.begin(), c.end());
    return all;
}

bool WholePackets(std::span<const uint8_t> coded) {
    return DecodeRunPackets(coded).has_value();
}

} // namespace

std::optional<std::vector<uint8_t>> DecodeRunPackets(std::span<const uint8_t> coded) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < coded.size()) {
        const uint8_t control = coded[i++];
        const size_t run = control & 0x7F;
        if (control & 0x80) {
            if (coded.size() - i < run)
                return std::nullopt;
            out.insert(out.end(), coded.begin() + i, coded.begin() + i + run);
            i += run;
        } else {
            if (i >= coded.size())
                return std::nullopt;
            out.insert(out.end(), run, coded[i++]);
        }
    }
    return out;
}

std::optional<std::vector<SimSubRecord>> SplitSubRecords(std::span<const uint8_t> image) {
    std::vector<SimSubRecord> records;
    size_t i = 0;
    while (i < image.size()) {
        if (image.size() - i < 10)
            return std::nullopt;
        const uint8_t* h = image.data() + i;
        SimSubRecord r;
        r.release = h[0];
        r.identifier = uint32_t(h[2]) << 24 | uint32_t(h[3]) << 16 | uint32_t(h[4]) << 8 | h[5];
        const uint32_t length = uint32_t(h[6]) << 24 | uint32_t(h[7]) << 16 | uint32_t(h[8]) << 8 | h[9];
        i += 10;
        if (length > image.size() - i)
            return std::nullopt;
        r.data = image.subspan(i, length);
        i += length;
        records.push_back(r);
    }
    return records;
}

void FirmwareLoader::SetLibrary(FirmwareLibrary library) {
    std::lock_guard lock(m_mutex);
    m_library = std::move(library);
}

void FirmwareLoader::AddComponent(uint8_t address, uint16_t number, std::vector<uint8_t> header) {
    std::lock_guard lock(m_mutex);
    header.resize(kComponentHeaderSize, 0);
    At(address).components[number] = std::move(header);
}

LoaderAnswer FirmwareLoader::Flash(ModuleConfig& module, std::span<const uint8_t> data) {
    std::lock_guard lock(m_mutex);
    Module& m = At(module.address);
    if (data.empty())
        return LoaderAnswer::Negative;
    if (!Verifying()) {
        // No firmware files to compare with: the loader takes everything and changes nothing,
        // but a fault still strikes on its block.
        if (data[0] == kFlashBegin)
            m.blockWrites = 0;
        if (data[0] == kFlashWrite && m.failAt > 0 && ++m.blockWrites == m.failAt) {
            m.failAt = 0;
            return m.failHow;
        }
        return LoaderAnswer::Positive;
    }
    switch (data[0]) {
    case kFlashBegin:
        m.inLoader = true;
        m.flash.clear();
        m.lastOffset.reset();
        m.blockWrites = 0;
        return LoaderAnswer::Positive;
    case kFlashWrite:
        return BlockWrite(m, module, data);
    case kFlashEnd:
        return EndLoader(m, module);
    default:
        return LoaderAnswer::Negative;
    }
}

LoaderAnswer FirmwareLoader::BlockWrite(Module& m, const ModuleConfig& module,
                                        std::span<const uint8_t> data) {
    ++m.blockWrites;
    if (m.failAt > 0 && m.blockWrites == m.failAt) {
        m.failAt = 0;
        return m.failHow;
    }
    if (!m.inLoader) {
        m.errors.push_back("block write outside the loader");
        return LoaderAnswer::Negative;
    }
    if (data.size() < 5 || data.size() > 4 + kBlockSize) {
        m.errors.push_back("block write of " + std::to_string(data.size()) + " bytes");
        return LoaderAnswer::Negative;
    }
    const uint32_t offset = uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
    const auto bytes = data.subspan(4);
    m.offsets.push_back(offset);
    if (offset % kBlockSize != 0 || offset + bytes.size() > kFlashSize) {
        m.errors.push_back("offset " + std::to_string(offset) + " out of range or off a block boundary");
        return LoaderAnswer::Negative;
    }
    // The twin-input tuners take their image from the start, block after block; every other
    // loader from the end down, so that an interrupted transfer never leaves a valid start.
    if (IsTwinTunerFamily(module.type)) {
        const uint32_t expected = m.lastOffset ? *m.lastOffset + kBlockSize : 0;
        if (offset != expected) {
            m.errors.push_back("offset " + std::to_string(offset) + " where " + std::to_string(expected) +
                               " was due");
            return LoaderAnswer::Negative;
        }
    } else if (m.lastOffset && offset >= *m.lastOffset) {
        m.errors.push_back("offset " + std::to_string(offset) + " after " + std::to_string(*m.lastOffset) +
                           ": blocks must come last to first");
        return LoaderAnswer::Negative;
    } else if (bytes.size() != kBlockSize) {
        m.errors.push_back("short block at " + std::to_string(offset));
        return LoaderAnswer::Negative;
    }
    m.lastOffset = offset;
    m.flash[offset].assign(bytes.begin(), bytes.end());
    return LoaderAnswer::Positive;
}

const SimFirmwareFile* FirmwareLoader::MatchFlash(const Module& m, uint8_t type, uint8_t hwRevision) const {
    for (const SimFirmwareFile& file : m_library.files) {
        if (file.type != type || file.hwRevision > hwRevision)
            continue;
        const size_t rounded = (file.image.size() + kBlockSize - 1) / kBlockSize * kBlockSize;
        std::vector<uint8_t> expected = file.image;
        expected.resize(rounded, 0xFF); // the last block is padded with erased bytes
        std::vector<uint8_t> held(rounded, 0xFF);
        bool fits = true;
        for (const auto& [offset, bytes] : m.flash) {
            if (offset + bytes.size() > rounded) {
                fits = false;
                break;
            }
            for (size_t k = 0; k < bytes.size(); ++k)
                held[offset + k] = bytes[k];
        }
        if (fits && held == expected)
            return &file;
    }
    return nullptr;
}

LoaderAnswer FirmwareLoader::EndLoader(Module& m, const ModuleConfig& module) {
    if (!m.inLoader) {
        m.errors.push_back("leave loader outside the loader");
        return LoaderAnswer::Negative;
    }
    m.inLoader = false;
    const uint8_t type = m.personalityTarget.value_or(FirmwareFamily(module.type));
    const SimFirmwareFile* file = MatchFlash(m, type, module.hwRevision);
    m.flash.clear();
    m.lastOffset.reset();
    if (!file) {
        m.errors.push_back("flash holds no image of a type " + std::to_string(type) + " file");
        return LoaderAnswer::Negative;
    }
    m.pendingRelease = static_cast<uint8_t>(file->release - ReleaseOffset(module.type));
    if (m.personalityTarget && *m.personalityTarget != module.type)
        m.pendingType = *m.personalityTarget;
    return LoaderAnswer::Positive;
}

bool FirmwareLoader::MainFirmwareMatch(const Module& m, const ModuleConfig& module, uint8_t& release) const {
    for (const SimFirmwareFile& file : m_library.files) {
        if (file.type != module.type || file.hwRevision > module.hwRevision)
            continue;
        const auto subs = SplitSubRecords(file.image);
        if (!subs)
            continue;
        for (const SimSubRecord& sub : *subs) {
            if (sub.identifier != kMainFirmware)
                continue;
            Module probe;
            probe.flash = m.flash;
            SimFirmwareFile asFile;
            asFile.type = file.type;
            asFile.image.assign(sub.data.begin(), sub.data.end());
            FirmwareLoader one;
            one.m_library.files = {asFile};
            if (one.MatchFlash(probe, file.type, module.hwRevision)) {
                release = sub.release;
                return true;
            }
        }
    }
    return false;
}

LoaderAnswer FirmwareLoader::File(ModuleConfig& module, std::span<const uint8_t> data,
                                  std::vector<uint8_t>& answer) {
    std::lock_guard lock(m_mutex);
    Module& m = At(module.address);
    if (data.empty())
        return LoaderAnswer::Positive;
    const bool byNumber = data.size() == 3;
    const uint16_t number = byNumber ? static_cast<uint16_t>(data[1] << 8 | data[2]) : 0;
    switch (data[0]) {
    case kFileSetOption:
        if (data.size() >= 2)
            m.option = data[1];
        return LoaderAnswer::Positive;
    case kFileOpen:
        // Opening by number is what the components of the encoders and the IP streamer know.
        if (!byNumber || !IsComposite(module.type))
            return LoaderAnswer::Positive;
        if (!m.components.count(number) || m.headersHidden)
            return LoaderAnswer::Negative;
        m.openRead = number;
        return LoaderAnswer::Positive;
    case kFileReadBlock:
        if (m.openRead >= 0 && data.size() == 3) {
            const auto& header = m.components[static_cast<uint16_t>(m.openRead)];
            const size_t want = std::min<size_t>(size_t(data[1]) << 8 | data[2], header.size());
            answer.assign(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(want));
        }
        return LoaderAnswer::Positive;
    case kFileCreate:
        if (byNumber) {
            m.openWrite = number;
            m.chunks.clear();
        }
        return LoaderAnswer::Positive;
    case kFileWriteForm4:
    case kFileWriteForm5:
        if (m.openWrite >= 0 && m.componentFailAt > 0 &&
            static_cast<int>(m.chunks.size()) + 1 == m.componentFailAt) {
            m.componentFailAt = 0;
            return m.componentFailHow;
        }
        if (m.openWrite >= 0) {
            m.chunks.emplace_back(data.begin() + 1, data.end());
            m.componentWrites[static_cast<uint16_t>(m.openWrite)].emplace_back(data.begin() + 1, data.end());
        }
        return LoaderAnswer::Positive;
    case kFileClose: {
        m.openRead = -1;
        const LoaderAnswer result = m.openWrite >= 0 ? CloseComponent(m, module) : LoaderAnswer::Positive;
        m.openWrite = -1;
        m.chunks.clear();
        return result;
    }
    default:
        return LoaderAnswer::Positive;
    }
}

LoaderAnswer FirmwareLoader::CloseComponent(Module& m, const ModuleConfig& module) {
    const uint16_t number = static_cast<uint16_t>(m.openWrite);
    const std::vector<uint8_t> all = Concat(m.chunks);
    auto fail = [&](const std::string& why) {
        m.errors.push_back("component " + std::to_string(number) + ": " + why);
        return LoaderAnswer::Negative;
    };
    if (number == kPersonalityComponent) {
        if (all.size() >= 4 && all[0] == kPersonalityRecordMark && all[3] == 0)
            m.personalityTarget = all[2];
        return LoaderAnswer::Positive;
    }
    if (!Verifying())
        return LoaderAnswer::Positive;
    if (module.type == kTypeHdEncoder && number == kHdReleaseComponent) {
        if (all.size() != 1 || !m.hdReceived || *m.hdReceived != all[0])
            return fail("release byte without the matching HD component");
        m.pendingSubRelease = all[0];
        return LoaderAnswer::Positive;
    }
    if (module.type == kTypeHdEncoder && number == 0 && m.option == kHdOption) {
        for (const SimHdComponentFile& hd : m_library.hdComponents)
            if (hd.bytes.size() >= kComponentHeaderSize &&
                std::equal(all.begin(), all.end(), hd.bytes.begin() + kComponentHeaderSize, hd.bytes.end())) {
                m.hdReceived = hd.release;
                return LoaderAnswer::Positive;
            }
        return fail("HD component matches no HD component file");
    }
    if (IsModulator(module.type) && number == kPictureComponent) {
        for (const auto& chunk : m.chunks)
            if (chunk.size() > 128 || !WholePackets(chunk))
                return fail("picture write not whole packets of at most 128 bytes");
        for (const SimPictureFile& picture : m_library.pictures)
            if (picture.bytes == all) {
                m.pictureReceived = true;
                return LoaderAnswer::Positive;
            }
        return fail("front-panel picture matches no picture file");
    }
    if (!IsComposite(module.type))
        return LoaderAnswer::Positive;
    // A component: 0x84 and the decoded size, then the packets as the file holds them.
    if (all.size() < 5 || all[0] != kSizeMark)
        return fail("first write does not start with 0x84 and the size");
    for (size_t k = 0; k < m.chunks.size(); ++k) {
        std::span<const uint8_t> chunk = m.chunks[k];
        if (k == 0)
            chunk = chunk.subspan(std::min<size_t>(5, chunk.size()));
        if (!WholePackets(chunk))
            return fail("write " + std::to_string(k) + " does not carry whole packets");
    }
    const std::span<const uint8_t> coded = std::span(all).subspan(5);
    const uint32_t size = uint32_t(all[1]) << 24 | uint32_t(all[2]) << 16 | uint32_t(all[3]) << 8 | all[4];
    const auto decoded = DecodeRunPackets(coded);
    if (!decoded || decoded->size() != size)
        return fail("announced size " + std::to_string(size) + " is not the decoded size");
    for (const SimFirmwareFile& file : m_library.files) {
        if (file.type != module.type)
            continue;
        const auto subs = SplitSubRecords(file.image);
        for (const SimSubRecord& sub : subs.value_or(std::vector<SimSubRecord>{}))
            if ((sub.identifier & 0xFFFF) == number && sub.identifier != kMainFirmware &&
                std::equal(coded.begin(), coded.end(), sub.data.begin(), sub.data.end())) {
                std::vector<uint8_t> header(
                    decoded->begin(), decoded->begin() + std::min(decoded->size(), kComponentHeaderSize));
                header.resize(kComponentHeaderSize, 0);
                m.components[number] = header;
                return LoaderAnswer::Positive;
            }
    }
    return fail("contents match no component of a type " + std::to_string(module.type) + " file");
}

void FirmwareLoader::Restart(ModuleConfig& module) {
    std::lock_guard lock(m_mutex);
    Module& m = At(module.address);
    if (IsComposite(module.type) && !m.flash.empty()) {
        uint8_t release = 0;
        if (MainFirmwareMatch(m, module, release))
            m.pendingRelease = release;
        else
            m.errors.push_back("main firmware in flash matches no file");
    }
    if (m.pendingType) {
        module.type = *m.pendingType;
        module.runningPersonality = *m.pendingType;
        module.wantedPersonality = *m.pendingType;
    }
    if (m.pendingRelease)
        module.release = *m.pendingRelease;
    if (m.pendingSubRelease)
        module.wantedPersonality = *m.pendingSubRelease;
    m.pendingType.reset();
    m.pendingRelease.reset();
    m.pendingSubRelease.reset();
    m.personalityTarget.reset();
    m.pictureReceived = false;
    m.hdReceived.reset();
    m.inLoader = false;
    m.flash.clear();
    m.lastOffset.reset();
    m.option = 0;
    m.openRead = m.openWrite = -1;
}

void FirmwareLoader::FailBlockWrite(uint8_t address, int nth, LoaderAnswer how) {
    std::lock_guard lock(m_mutex);
    Module& m = At(address);
    m.failAt = nth;
    m.failHow = how;
    m.blockWrites = 0;
}

void FirmwareLoader::FailComponentWrite(uint8_t address, int nth, LoaderAnswer how) {
    std::lock_guard lock(m_mutex);
    Module& m = At(address);
    m.componentFailAt = nth;
    m.componentFailHow = how;
}

void FirmwareLoader::HideComponentHeaders(uint8_t address, bool hidden) {
    std::lock_guard lock(m_mutex);
    At(address).headersHidden = hidden;
}

std::vector<std::string> FirmwareLoader::Errors(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    return it == m_modules.end() ? std::vector<std::string>{} : it->second.errors;
}

std::vector<uint32_t> FirmwareLoader::BlockOffsets(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    return it == m_modules.end() ? std::vector<uint32_t>{} : it->second.offsets;
}

std::vector<std::vector<uint8_t>> FirmwareLoader::ComponentWrites(uint8_t address, uint16_t number) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    if (it == m_modules.end())
        return {};
    auto w = it->second.componentWrites.find(number);
    return w == it->second.componentWrites.end() ? std::vector<std::vector<uint8_t>>{} : w->second;
}

std::optional<std::vector<uint8_t>> FirmwareLoader::ComponentHeader(uint8_t address, uint16_t number) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    if (it == m_modules.end())
        return std::nullopt;
    auto c = it->second.components.find(number);
    if (c == it->second.components.end())
        return std::nullopt;
    return c->second;
}

bool FirmwareLoader::RestartPending(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    if (it == m_modules.end())
        return false;
    const Module& m = it->second;
    return m.pendingRelease || m.pendingType || m.pendingSubRelease || !m.flash.empty();
}

bool FirmwareLoader::LoaderActive(uint8_t address) const {
    std::lock_guard lock(m_mutex);
    auto it = m_modules.find(address);
    return it != m_modules.end() && it->second.inLoader;
}

} // namespace mulvane
