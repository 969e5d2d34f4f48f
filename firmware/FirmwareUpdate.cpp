#include "firmware/FirmwareUpdate.h"

#include "platform/Bytes.h"
#include "platform/Clock.h"
#include "platform/ModuleType.h"
#include "text/Language.h"
#include "text/ToolText.h"
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

// A module as the memory of attempted updates knows it: the file's fingerprint is added.
std::string ModuleKey(const rack::ModuleRecord& record, uint8_t targetType) {
    return Format("%02X/%d/%d>%d|", record.address, record.type, record.hardwareRevision, targetType);
}

// "module 3 (address 0x21, RkModT2)", for the warning sink.
std::string ModuleText(size_t index, const rack::ModuleRecord& record) {
    return Format("module %d (address 0x%02X, %s)", static_cast<int>(index), record.address,
                  ModuleName(record.type));
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
    if (m_files)
        m_filesReadBefore += m_files->ReadCount();
    m_files = std::make_unique<FolderFiles>(m_folder);
    const FolderIndex index = IndexFirmwareFolder(*m_files);
    if (index.indexFound && !index.indexError.empty())
        Warn("firmware: index " + (m_folder / kIndexFileName).string() + " not read: " + index.indexError);
    for (const IndexLine& line : index.lines)
        if (!line.added)
            Warn("firmware: " + line.name + " skipped: " + line.skipped);
    image.firmware = index.Entries();
}

void FirmwareUpdate::ScanEnded() {
    if (m_files)
        m_files->Clear();
}

size_t FirmwareUpdate::FilesRead() const {
    return m_filesReadBefore + (m_files ? m_files->ReadCount() : 0);
}

bool FirmwareUpdate::IsModulatorPersonality(const rack::ModuleRecord& record, size_t index) {
    if (IsPersonalityType(record.wantedPersonality))
        return true;
    // A byte that names no modulator is a fault of the module or a corrupt answer: it must
    // never have a module flashed with another family's firmware.
    if (m_foreignPersonalities.insert({record.address, record.wantedPersonality}).second)
        Warn("firmware: " + ModuleText(index, record) + " asks for personality " +
             std::to_string(record.wantedPersonality) +
             ", which is no modulator personality (5, 6, 8, 11): ignored, the module is checked as its own "
             "type");
    return false;
}

bool FirmwareUpdate::CheckAndUpdate(rack::RackImage& image, size_t index, uint8_t releaseOffset) {
    rack::ModuleRecord& record = image.Live(index);
    Target target;
    target.index = index;
    target.type = record.type;
    target.release = record.release;
    target.releaseOffset = releaseOffset;
    // A modulator that is to run another personality gets that personality's firmware.
    if (IsPersonalityType(record.type) && record.wantedPersonality != kNoPersonality &&
        IsModulatorPersonality(record, index)) {
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

    // The file as this scan reads it: it may have changed or gone since the folder was indexed.
    if (!m_files)
        m_files = std::make_unique<FolderFiles>(m_folder);
    const FolderFiles::File file = m_files->Read(target.entry->path);
    if (!file.ok) {
        FileError(target.entry->path);
        return false;
    }
    const FirmwareFileCheck check = CheckFirmwareFile(file.Bytes());
    if (!check.valid || check.moduleType != target.entry->moduleType ||
        check.release != target.entry->release) {
        FileError(target.entry->path);
        return false;
    }
    m_transferBegun = false;
    if (IsCompositeType(target.type))
        return UpdateComposite(record, target, file);
    return UpdatePlain(record, target, file);
}

bool FirmwareUpdate::FirstAttempt(const std::string& key, size_t index, const rack::ModuleRecord& record,
                                  const std::string& path) {
    if (m_attempted.insert(key).second)
        return true;
    LeftAsItIs(text::ToolText::FirmwareNotRetried, index, record, fs::path(path).filename().string());
    return false;
}

void FirmwareUpdate::LeftAsItIs(text::ToolText why, size_t index, const rack::ModuleRecord& record,
                                const std::string& name) {
    // The module by what it is now: a modulator that was to change is still of its own type.
    const uint8_t shownType = IsPersonalityType(record.type) ? record.type : record.reportedType;
    const std::string message = Format(text::LocalizedToolText(why).c_str(), static_cast<int>(index),
                                       ModuleName(shownType), name.c_str());
    Warn("firmware: " + message);
    Show(message, kOutcomeMs, true);
    m_info.EndProgress();
}

bool FirmwareUpdate::Began(bool ok) {
    using link::LinkResult;
    const LinkResult result = m_commands.Xmit().LastResult();
    if (ok || result == LinkResult::Timeout || result == LinkResult::BadChecksum ||
        result == LinkResult::AnswerTooLong)
        m_transferBegun = true;
    return ok;
}

bool FirmwareUpdate::UpdatePlain(rack::ModuleRecord& record, const Target& target,
                                 const FolderFiles::File& file) {
    const rack::FirmwareEntry& entry = *target.entry;
    const bool newer = target.release < entry.release ||
                       (target.type == type::kSat1 && target.release == 29); // 2.9 is always replaced
    const bool allowed = target.release >= entry.minimumRelease || target.release < 10;
    if (!newer || !allowed)
        return false;

    // A personality change needs the target's front-panel picture: without it nothing is
    // sent at all, and the module keeps running what it runs.
    std::string key = ModuleKey(record, target.type) + entry.path + "#" + file.fingerprint;
    FolderFiles::File picture;
    const char* pattern =
        target.changeFlag == kPersonalityChanging ? FrontPanelPicturePattern(target.type) : nullptr;
    if (pattern) {
        const std::string name = Format(pattern, target.changeFlag);
        const auto path = FindInFolder(m_folder, name);
        if (path)
            picture = m_files->Read(*path);
        if (!picture.ok || !SplitPackets(picture.Bytes())) {
            Warn("firmware: front-panel picture " + (m_folder / name).string() + ": " +
                 (!path         ? std::string("missing")
                  : !picture.ok ? picture.error
                                : "not packet coded"));
            m_info.Windows().Beep(kFileWarningBeepHz, kFileWarningBeepMs);
            LeftAsItIs(text::ToolText::FirmwarePictureMissing, target.index, record, name);
            return false;
        }
        key += "|" + name + "#" + picture.fingerprint;
    }
    if (!FirstAttempt(key, target.index, record, entry.path))
        return false;

    const std::span<const uint8_t> image = file.Bytes().subspan(kFileHeaderSize);
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
            ok = (!pattern || SendFrontPanelPicture(record.address, picture.Bytes())) &&
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
    // A begun transfer ends in a restart of the rack, a failed one too: a module left in its
    // loader runs again only after a restart. One that never began needs none.
    return m_transferBegun;
}

bool FirmwareUpdate::UpdateComposite(rack::ModuleRecord& record, const Target& target,
                                     const FolderFiles::File& file) {
    bool changed = false;
    if (target.type == type::kHdEncoder)
        changed = UpdateHdComponent(record, target.index);

    const std::span<const uint8_t> image = file.Bytes().subspan(kFileHeaderSize);
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
    // A component whose header the module cannot show asks again after every restart: the
    // same file is sent to the same module once per session.
    if (!FirstAttempt(ModuleKey(record, target.type) + target.entry->path + "#" + file.fingerprint,
                      target.index, record, target.entry->path))
        return changed;

    m_transferBegun = false;
    const std::string heading = Heading(kTextUpdating, target.index, record.reportedType,
                                        target.entry->release - target.releaseOffset);
    Show(heading + text::LocalizedText(kTextSending), kSendingMs);
    bool ok = true;
    for (size_t k = 0; k < subs->size() && ok; ++k) {
        if (!asks[k])
            continue;
        const SubRecord& sub = (*subs)[k];
        const auto data = image.subspan(sub.dataOffset, sub.dataLength);
        if (sub.IsMainFirmware())
            ok = SendBlocks(record.address, data, sub.dataOffset, image.size());
        else
            ok = WriteComponent(record.address, sub.ComponentNumber(), data, sub.dataOffset, image.size());
    }
    if (ok)
        Show(heading + text::LocalizedText(kTextWriting), kWritingMs);
    Finish(heading, ok);
    // Whatever was begun needs the restart that the scan makes after an update.
    return changed || m_transferBegun;
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

bool FirmwareUpdate::UpdateHdComponent(const rack::ModuleRecord& record, size_t index) {
    const auto found = NewestHdComponentFile(m_folder);
    if (!found)
        return false;
    const uint8_t release = found->name.release;
    const FolderFiles::File file = m_files->Read(found->path);
    if (!file.ok) {
        Warn("firmware: " + found->path.string() + " unreadable: " + file.error);
        return false;
    }
    // Every release, 99 too, is sent only when its contents are what its name says.
    const std::string key =
        ModuleKey(record, type::kHdEncoder) + found->path.string() + "#" + file.fingerprint;
    if (file.md5 != found->name.digest) {
        // Once per session and file: a rack scanned again and again asks only once.
        if (m_attempted.insert(key).second)
            m_info.Windows().MessageBox("MD5 Error\r\n" + found->path.string(), kHdComponentName);
        return false;
    }
    const uint8_t sub = record.subRelease;
    const bool needed = release != 0 && (sub == kNoSubRelease || sub < release || sub == kAlwaysReplaced ||
                                         release == kAlwaysReplaced);
    if (!needed)
        return false;
    if (file.Bytes().size() < kHdComponentHeaderSize) {
        FileError(found->path.string());
        return false;
    }
    if (!FirstAttempt(key, index, record, found->path.string()))
        return false;

    m_transferBegun = false;
    const std::string heading = Format("%s(HW[%d.%d])", kHdComponentName, release / 10, release % 10);
    const auto payload = file.Bytes().subspan(kHdComponentHeaderSize);
    if (!m_commands.SetOption(record.address, kHdComponentOption) ||
        !Began(m_commands.CreateByNumber(record.address, kHdComponent))) {
        Finish(heading + "\r\n", false);
        return m_transferBegun;
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
        fs::remove(found->path, ec);
        if (ec)
            Warn("firmware: cannot delete " + found->path.string() + ": " + ec.message());
        m_files->Forget(found->path);
    }
    return true;
}

bool FirmwareUpdate::SendAscending(uint8_t address, std::span<const uint8_t> image) {
    if (!Began(m_commands.FlashBegin(address)))
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
    if (!Began(m_commands.FlashBegin(address)))
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
    if (!packets || !Began(m_commands.CreateByNumber(address, number)))
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

bool FirmwareUpdate::SendFrontPanelPicture(uint8_t address, std::span<const uint8_t> data) {
    const auto packets = SplitPackets(data);
    if (!packets || !Began(m_commands.CreateByNumber(address, kPictureComponent)))
        return false;
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
    if (!Began(m_commands.CreateByNumber(address, kPersonalityComponent)))
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
