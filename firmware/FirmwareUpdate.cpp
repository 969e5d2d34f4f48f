#include "firmware/FirmwareUpdate.h"

#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/ModuleType.h"
#include "text/Language.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <system_error>

namespace kaptiv::firmware {

namespace fs = std::filesystem;

namespace {

// Rows of the localized text table.
constexpr int kTextUpdating = 23;
constexpr int kTextSending = 25;
constexpr int kTextWriting = 26;
constexpr int kTextError = 27;
constexpr int kTextChange = 92;
constexpr const char* kTextOk = "OK";

constexpr uint8_t kNoPersonality = 255;
constexpr uint8_t kPersonalityChanging = 0;
constexpr uint8_t kPersonalityKept = 255;
constexpr uint8_t kReleaseForChange = 10; // a module changing personality counts as release 1.0
constexpr uint8_t kNoSubRelease = 255;
constexpr uint8_t kHardwareRevisionOfEveryone = 0;
constexpr size_t kComponentHeaderRead = 8;

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The heading of an update message: "Updating module 3 (RkModT4) to release V2.5\r\n".
std::string Heading(int textNumber, size_t index, uint8_t reportedType, int release) {
    return Format(text::LocalizedText(textNumber).c_str(), static_cast<int>(index), ModuleName(reportedType),
                  release / 10, release % 10);
}

bool IsPersonalityType(uint8_t moduleType) {
    return moduleType == type::kModT2 || moduleType == type::kModT4 || moduleType == type::kModC4 ||
           moduleType == type::kModC2;
}

const char* FrontPanelPicture(uint8_t targetType) {
    switch (targetType) {
    case type::kModT2:
        return "FP_T2V%d.rle";
    case type::kModT4:
        return "FP_T4V%d.rle";
    case type::kModC4:
        return "FP_C4V%d.rle";
    case type::kModC2:
        return "FP_C2V%d.rle";
    default:
        return nullptr;
    }
}

bool AllErased(std::span<const uint8_t> block) {
    return std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xFF; });
}

} // namespace

struct FirmwareUpdate::Target {
    size_t index = 0;
    uint8_t type = 0;    // the firmware family the module is to run
    uint8_t release = 0; // the module's release as the decision sees it
    uint8_t changeFlag = kPersonalityKept;
    uint8_t releaseOffset = 0;
    const rack::FirmwareEntry* entry = nullptr;
};

FirmwareUpdate::FirmwareUpdate(link::CommandSet& commands, rack::CInfo& info)
    : m_commands(commands), m_info(info) {}

void FirmwareUpdate::Warn(const std::string& text) const {
    if (m_warn)
        m_warn(text);
}

void FirmwareUpdate::IndexFolder(rack::RackImage& image) {
    image.firmware.clear();
    const fs::path program =
        image.applicationFolder.empty() ? fs::path(".") : fs::path(image.applicationFolder);
    m_folder = FindInFolder(program, "firmware").value_or(program / "firmware");
    const FolderIndex index = IndexFirmwareFolder(m_folder);
    for (const IndexLine& line : index.lines)
        if (!line.added)
            Warn("firmware: " + line.name + " skipped: " + line.skipped);
    image.firmware = index.Entries();
}

bool FirmwareUpdate::CheckAndUpdate(rack::RackImage& image, size_t index, uint8_t releaseOffset) {
    rack::ModuleRecord& record = image.Live(index);
    Target target;
    target.index = index;
    target.type = record.type;
    target.release = record.release;
    target.releaseOffset = releaseOffset;
    // A modulator that is to run another personality gets that personality's firmware.
    if (IsPersonalityType(record.type) && record.wantedPersonality != kNoPersonality) {
        if (record.wantedPersonality != record.type) {
            target.type = record.wantedPersonality;
            target.release = kReleaseForChange;
            record.reportedType = record.wantedPersonality;
        }
        if (record.wantedPersonality != record.runningPersonality) {
            target.changeFlag = kPersonalityChanging;
            target.release = kReleaseForChange;
            record.reportedType = target.type;
        }
    }

    // The file for the module's hardware revision, else for the nearest lower one.
    for (int revision = record.hardwareRevision; revision >= kHardwareRevisionOfEveryone && !target.entry;
         --revision)
        for (const rack::FirmwareEntry& entry : image.firmware)
            if (entry.moduleType == target.type && entry.hardwareRevision == revision) {
                target.entry = &entry;
                break;
            }
    if (!target.entry)
        return false;

    // The file is read again: it may have changed or gone since the folder was indexed.
    const auto bytes = ReadWholeFile(target.entry->path);
    if (!bytes) {
        FileError(target.entry->path);
        return false;
    }
    const FirmwareFileCheck check = CheckFirmwareFile(*bytes);
    if (!check.valid || check.moduleType != target.entry->moduleType ||
        check.release != target.entry->release) {
        FileError(target.entry->path);
        return false;
    }
    const std::span<const uint8_t> fileImage = std::span(*bytes).subspan(kFileHeaderSize);
    if (IsCompositeType(target.type))
        return UpdateComposite(record, target, fileImage);
    return UpdatePlain(record, target, fileImage);
}

bool FirmwareUpdate::UpdatePlain(rack::ModuleRecord& record, const Target& target,
                                 std::span<const uint8_t> image) {
    const rack::FirmwareEntry& entry = *target.entry;
    const bool newer = target.release < entry.release ||
                       (target.type == type::kSat1 && target.release == 29); // 2.9 is always replaced
    const bool allowed = target.release >= entry.minimumRelease || target.release < 10;
    if (!newer || !allowed)
        return false;

    const int shownRelease = entry.release - target.releaseOffset;
    std::string heading = Heading(kTextUpdating, target.index, record.reportedType, shownRelease);
    bool ok = true;
    if (target.type == type::kSat2_0) {
        Show(heading + text::LocalizedText(kTextSending), kSendingMs);
        ok = SendAscending(record.address, image);
    } else {
        if (target.changeFlag == kPersonalityChanging) {
            heading = Heading(kTextChange, target.index, record.reportedType, shownRelease);
            Show(heading, kSendingMs);
            ok = SendFrontPanelPicture(record.address, target.type, target.changeFlag) &&
                 WritePersonalityRecord(record.address, record.wantedPersonality, target.type,
                                        target.changeFlag);
        }
        if (ok) {
            Show(heading + text::LocalizedText(kTextSending), kSendingMs);
            ok = SendBlocks(record.address, image, 0, image.size());
        }
    }
    if (ok) {
        Show(heading + text::LocalizedText(kTextWriting), kWritingMs);
        ok = m_commands.FlashEnd(record.address);
    }
    Finish(heading, ok);
    // Started transfers always end in a restart of the rack, failed ones too: a module left
    // in its loader runs again only after a restart.
    return true;
}

bool FirmwareUpdate::UpdateComposite(rack::ModuleRecord& record, const Target& target,
                                     std::span<const uint8_t> image) {
    bool changed = false;
    if (target.type == type::kHdEncoder)
        changed = UpdateHdComponent(record);

    const auto subs = ParseSubRecords(image);
    if (!subs) {
        FileError(target.entry->path);
        return changed;
    }
    std::vector<bool> asks(subs->size(), false);
    for (size_t k = 0; k < subs->size(); ++k) {
        const SubRecord& sub = (*subs)[k];
        if (sub.IsMainFirmware())
            asks[k] = target.release < sub.release;
        else if (target.release >= target.entry->minimumRelease)
            asks[k] = ComponentAsksForUpdate(record, sub, image);
    }
    if (std::none_of(asks.begin(), asks.end(), [](bool b) { return b; }))
        return changed;

    const std::string heading = Heading(kTextUpdating, target.index, record.reportedType,
                                        target.entry->release - target.releaseOffset);
    Show(heading + text::LocalizedText(kTextSending), kSendingMs);
    bool ok = true;
    for (size_t k = 0; k < subs->size() && ok; ++k) {
        if (!asks[k])
            continue;
        const SubRecord& sub = (*subs)[k];
        const auto data = image.subspan(sub.dataOffset, sub.dataLength);
        // Whatever was sent needs the restart that the scan makes after an update.
        changed = true;
        if (sub.IsMainFirmware())
            ok = SendBlocks(record.address, data, sub.dataOffset, image.size());
        else
            ok = WriteComponent(record.address, sub.ComponentNumber(), data, sub.dataOffset, image.size());
    }
    if (ok)
        Show(heading + text::LocalizedText(kTextWriting), kWritingMs);
    Finish(heading, ok);
    return changed;
}

bool FirmwareUpdate::ComponentAsksForUpdate(const rack::ModuleRecord& record, const SubRecord& sub,
                                            std::span<const uint8_t> image) {
    platform::ByteReader offered(image.subspan(sub.dataOffset, sub.dataLength));
    offered.U8(); // the control byte of the first packet
    const uint8_t major = offered.U8(), minor = offered.U8(), patch = offered.U8();

    if (record.type == type::kHdEncoder && !m_commands.SetOption(record.address, kReadHeaderOption))
        return true;
    std::array<uint8_t, kComponentHeaderRead> header{};
    bool read = m_commands.OpenByNumber(record.address, sub.ComponentNumber());
    int length = 0;
    if (read) {
        read = m_commands.ReadBlock8(record.address, header);
        length = m_commands.Xmit().AnswerLength();
        m_commands.Close(record.address);
    }
    // A module that cannot show the component's header does not have it yet.
    if (!read || length < 4)
        return true;
    return VersionNumber(major, minor, patch) != VersionNumber(header[0], header[1], header[2]) ||
           header[3] < sub.release;
}

bool FirmwareUpdate::UpdateHdComponent(const rack::ModuleRecord& record) {
    const auto file = NewestHdComponentFile(m_folder);
    if (!file)
        return false;
    const uint8_t release = file->name.release;
    const auto matches = HdComponentDigestMatches(*file);
    if (!matches) {
        Warn("firmware: " + file->path.string() + " unreadable");
        return false;
    }
    if (!*matches && release != kAlwaysReplaced) {
        m_info.Windows().MessageBox("MD5 Error\r\n" + file->path.string(), kHdComponentName);
        return false;
    }
    const uint8_t sub = record.subRelease;
    const bool needed = release != 0 && (sub == kNoSubRelease || sub < release || sub == kAlwaysReplaced ||
                                         release == kAlwaysReplaced);
    if (!needed)
        return false;
    const auto bytes = ReadWholeFile(file->path);
    if (!bytes || bytes->size() < kHdComponentHeaderSize) {
        FileError(file->path.string());
        return false;
    }

    const std::string heading = Format("%s(HW[%d.%d])", kHdComponentName, release / 10, release % 10);
    const auto payload = std::span(*bytes).subspan(kHdComponentHeaderSize);
    if (!m_commands.SetOption(record.address, kHdComponentOption) ||
        !m_commands.CreateByNumber(record.address, kHdComponent)) {
        Finish(heading + "\r\n", false);
        return false;
    }
    Show(heading, kHdComponentMs);
    bool ok = true;
    for (size_t at = 0; at < payload.size() && ok; at += kHdWriteMax) {
        ok = m_commands.WriteForm4(record.address,
                                   payload.subspan(at, std::min(kHdWriteMax, payload.size() - at)));
        m_info.SetProgress(static_cast<int64_t>(std::min(at + kHdWriteMax, payload.size())),
                           static_cast<int64_t>(payload.size()));
    }
    ok = m_commands.Close(record.address) && ok;
    const uint8_t releaseByte[1] = {release};
    ok = ok && m_commands.CreateByNumber(record.address, kHdReleaseComponent);
    ok = ok && m_commands.WriteForm4(record.address, releaseByte);
    ok = m_commands.Close(record.address) && ok;
    if (!ok) {
        Finish(heading + "\r\n", false);
        return true;
    }
    m_info.EndProgress();
    // A release-99 file is a one-off: it goes once it has been delivered, never before.
    if (release == kAlwaysReplaced) {
        std::error_code ec;
        fs::remove(file->path, ec);
        if (ec)
            Warn("firmware: cannot delete " + file->path.string() + ": " + ec.message());
    }
    return true;
}

bool FirmwareUpdate::SendAscending(uint8_t address, std::span<const uint8_t> image) {
    if (!m_commands.FlashBegin(address))
        return false;
    for (size_t at = 0; at < image.size(); at += kFlashBlockSize) {
        const auto block = image.subspan(at, std::min(kFlashBlockSize, image.size() - at));
        // Every block goes out, erased ones too: this family's loader writes what it is sent.
        if (!m_commands.FlashWrite(block, static_cast<uint32_t>(at), address, true))
            return false;
        m_info.SetProgress(static_cast<int64_t>(at + block.size()), static_cast<int64_t>(image.size()));
    }
    return true;
}

bool FirmwareUpdate::SendBlocks(uint8_t address, std::span<const uint8_t> data, size_t progressBase,
                                size_t progressTotal) {
    if (!m_commands.FlashBegin(address))
        return false;
    const size_t rounded = (data.size() + kFlashBlockSize - 1) / kFlashBlockSize * kFlashBlockSize;
    std::array<uint8_t, kFlashBlockSize> block;
    for (size_t at = rounded; at > 0;) {
        at -= kFlashBlockSize;
        // The last block is filled up with erased bytes.
        block.fill(0xFF);
        const size_t n = std::min(kFlashBlockSize, data.size() - at);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, block.begin());
        if (!AllErased(block) && !m_commands.FlashWrite(block, static_cast<uint32_t>(at), address, true))
            return false;
        m_info.SetProgress(static_cast<int64_t>(progressBase + std::min(data.size(), rounded - at)),
                           static_cast<int64_t>(progressTotal));
    }
    return true;
}

bool FirmwareUpdate::WriteComponent(uint8_t address, uint16_t number, std::span<const uint8_t> data,
                                    size_t progressBase, size_t progressTotal) {
    const auto packets = SplitPackets(data);
    if (!packets || !m_commands.CreateByNumber(address, number))
        return false;
    uint32_t decodedSize = 0;
    for (const Packet& p : *packets)
        decodedSize += static_cast<uint32_t>(p.decodedSize);

    // The first write announces the decoded size; each write carries whole packets and goes
    // out once it holds more than 128 bytes.
    std::vector<uint8_t> write;
    write.push_back(kComponentSizeMark);
    write.push_back(static_cast<uint8_t>(decodedSize >> 24));
    write.push_back(static_cast<uint8_t>(decodedSize >> 16));
    write.push_back(static_cast<uint8_t>(decodedSize >> 8));
    write.push_back(static_cast<uint8_t>(decodedSize));
    bool ok = true;
    for (size_t k = 0; k < packets->size() && ok; ++k) {
        const Packet& p = (*packets)[k];
        write.insert(write.end(), data.begin() + static_cast<std::ptrdiff_t>(p.offset),
                     data.begin() + static_cast<std::ptrdiff_t>(p.offset + p.size));
        if (write.size() <= kComponentWriteThreshold && k + 1 < packets->size())
            continue;
        ok = m_commands.WriteForm5(address, write);
        if (!ok)
            m_info.Windows().Beep(kFailedWriteBeepHz, kFailedWriteBeepMs);
        write.clear();
        m_info.SetProgress(static_cast<int64_t>(progressBase + p.offset + p.size),
                           static_cast<int64_t>(progressTotal));
    }
    if (ok && !write.empty()) { // a component without packets: the size alone
        ok = m_commands.WriteForm5(address, write);
        if (!ok)
            m_info.Windows().Beep(kFailedWriteBeepHz, kFailedWriteBeepMs);
    }
    return m_commands.Close(address) && ok;
}

bool FirmwareUpdate::SendFrontPanelPicture(uint8_t address, uint8_t targetType, uint8_t changeFlag) {
    const char* pattern = FrontPanelPicture(targetType);
    if (!pattern)
        return true;
    const std::string name = Format(pattern, changeFlag);
    const auto path = FindInFolder(m_folder, name);
    const auto bytes = path ? ReadWholeFile(*path) : std::nullopt;
    const auto packets = bytes ? SplitPackets(*bytes) : std::nullopt;
    if (!packets) {
        Warn("firmware: front-panel picture " + (m_folder / name).string() + " missing or not packet coded");
        return false;
    }
    if (!m_commands.CreateByNumber(address, kPictureComponent))
        return false;
    const std::span<const uint8_t> data(*bytes);
    bool ok = true;
    size_t groupStart = 0, groupEnd = 0;
    for (size_t k = 0; k <= packets->size() && ok; ++k) {
        const bool last = k == packets->size();
        if (!last && (*packets)[k].offset + (*packets)[k].size - groupStart <= kPictureGroupMax) {
            groupEnd = (*packets)[k].offset + (*packets)[k].size;
            continue;
        }
        if (groupEnd > groupStart)
            ok = m_commands.WriteForm5(address, data.subspan(groupStart, groupEnd - groupStart));
        if (!last) {
            groupStart = (*packets)[k].offset;
            groupEnd = groupStart + (*packets)[k].size;
        }
    }
    return m_commands.Close(address) && ok;
}

bool FirmwareUpdate::WritePersonalityRecord(uint8_t address, uint8_t wanted, uint8_t targetType,
                                            uint8_t changeFlag) {
    const uint8_t record[4] = {kPersonalityRecordMark, wanted, targetType, changeFlag};
    if (!m_commands.CreateByNumber(address, kPersonalityComponent))
        return false;
    const bool written = m_commands.WriteForm5(address, record);
    return m_commands.Close(address) && written;
}

void FirmwareUpdate::Show(const std::string& text, int64_t ms, bool wait) {
    m_info.ShowMessage(text, ms, wait);
}

void FirmwareUpdate::Finish(const std::string& heading, bool ok) {
    if (ok) {
        Show(heading + kTextOk, kOutcomeMs);
        m_info.Windows().GetClock().SleepMs(kAfterSuccessPauseMs);
    } else {
        m_info.Windows().Beep(kFailedTransferBeepHz, kFailedTransferBeepMs);
        // Held for its whole time so that the installer sees it before the scan goes on.
        Show(heading + text::LocalizedText(kTextError), kOutcomeMs, true);
        Warn("firmware: " + heading.substr(0, heading.find('\r')) + ": failed");
    }
    m_info.EndProgress();
}

void FirmwareUpdate::FileError(const std::string& path) {
    Warn("firmware: " + path + " missing or changed since the folder was read");
    m_info.Windows().Beep(kFailedTransferBeepHz, kFailedTransferBeepMs);
    Show(fs::path(path).filename().string() + "\r\n" + text::LocalizedText(kTextError), kOutcomeMs, true);
    m_info.EndProgress();
}

} // namespace kaptiv::firmware
