#pragma once
// The firmware check of a scan's first pass: brings a module to the release of the file
// found for it in the firmware folder, switches a modulator to another personality (with
// its front-panel picture), writes the components of the encoders and the IP streamer and
// refreshes the HD encoder's extra component. Everything it does is shown in the message
// panel and its progress bar; every request goes through the command set, one at a time.
//
// What keeps a rack safe: a personality byte selects firmware only among the modulator
// types; an update counts as made (and the rack is restarted) only once a transfer has begun;
// and a module is given the update from the same files at most once per session, so that an
// update that fails, or does not take, is never made again and again with a restart each time.
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwareFolder.h"
#include "link/CommandSet.h"
#include "rack/CInfo.h"
#include "rack/FirmwareCheck.h"
#include "text/ToolText.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>

namespace kaptiv::firmware {

class FirmwareUpdate final : public rack::FirmwareCheck {
public:
    // Display times (ms) and beeps of the update's messages.
    static constexpr int64_t kSendingMs = 20000;
    static constexpr int64_t kWritingMs = 2000;
    static constexpr int64_t kOutcomeMs = 2000;
    static constexpr int64_t kAfterSuccessPauseMs = 200;
    static constexpr int64_t kHdComponentMs = 10000;
    static constexpr int kFailedTransferBeepHz = 220;
    static constexpr int kFailedTransferBeepMs = 200;
    static constexpr int kFailedWriteBeepHz = 440;
    static constexpr int kFailedWriteBeepMs = 200;
    static constexpr int kFileWarningBeepHz = 440; // a module left as it is for a file of the folder
    static constexpr int kFileWarningBeepMs = 200;
    // Transfer units.
    static constexpr size_t kFlashBlockSize = 256;
    static constexpr size_t kComponentWriteThreshold = 128; // a component write goes out past this
    static constexpr size_t kPictureGroupMax = 128;         // front-panel picture writes, whole packets
    static constexpr size_t kHdWriteMax = 256;
    // Components.
    static constexpr uint16_t kPictureComponent = 0;
    static constexpr uint16_t kPersonalityComponent = 0x0FFF;
    static constexpr uint16_t kHdComponent = 0;
    static constexpr uint16_t kHdReleaseComponent = 0x3DE0;
    static constexpr uint8_t kPersonalityRecordMark = 0x83;
    static constexpr uint8_t kComponentSizeMark = 0x84;
    static constexpr uint8_t kReadHeaderOption = 0;
    static constexpr uint8_t kHdComponentOption = 1;
    static constexpr uint8_t kAlwaysReplaced = 99; // HD release that is sent whatever the module has
    static constexpr const char* kHdComponentName = "QVXHD4ENC";

    FirmwareUpdate(link::CommandSet& commands, rack::CInfo& info);

    // Lines of the index that gave no entry are named here (the program's standard error).
    void SetWarningSink(std::function<void(const std::string&)> sink) { m_warn = std::move(sink); }

    void IndexFolder(rack::RackImage& image) override;
    bool CheckAndUpdate(rack::RackImage& image, size_t index, uint8_t releaseOffset) override;
    // The files read for the scan are let go: the next scan reads them again.
    void ScanEnded() override;

    // Files read from the folder since this object was made (each at most once per scan).
    size_t FilesRead() const;

    const std::filesystem::path& Folder() const { return m_folder; }

private:
    struct Target;
    bool UpdateComposite(rack::ModuleRecord& record, const Target& target, const FolderFiles::File& file);
    bool UpdatePlain(rack::ModuleRecord& record, const Target& target, const FolderFiles::File& file);
    // The HD encoder's extra component: true when a transfer to the module began.
    bool UpdateHdComponent(const rack::ModuleRecord& record, size_t index);
    // Whether the personality byte may select firmware; says once on the warning sink when not.
    bool IsModulatorPersonality(const rack::ModuleRecord& record, size_t index);
    // True the first time in this session that `key` (a module and the files of its update)
    // is to be updated; afterwards the panel says that the module is left as it is.
    bool FirstAttempt(const std::string& key, size_t index, const rack::ModuleRecord& record,
                      const std::string& path);
    void LeftAsItIs(text::ToolText why, size_t index, const rack::ModuleRecord& record,
                    const std::string& name);
    // Notes that a request may have begun a transfer: the module entered its loader or a
    // component was created (or the answer was lost, which may mean either).
    bool Began(bool ok);
    bool ComponentAsksForUpdate(const rack::ModuleRecord& record, const SubRecord& sub,
                                std::span<const uint8_t> image);

    bool SendAscending(uint8_t address, std::span<const uint8_t> image);
    // Last block to first, erased blocks skipped; progress from progressBase of progressTotal.
    bool SendBlocks(uint8_t address, std::span<const uint8_t> data, size_t progressBase,
                    size_t progressTotal);
    bool WriteComponent(uint8_t address, uint16_t number, std::span<const uint8_t> data, size_t progressBase,
                        size_t progressTotal);
    bool SendFrontPanelPicture(uint8_t address, std::span<const uint8_t> picture);
    bool WritePersonalityRecord(uint8_t address, uint8_t wanted, uint8_t targetType, uint8_t changeFlag);

    void Show(const std::string& text, int64_t ms, bool wait = false);
    void Finish(const std::string& heading, bool ok);
    void FileError(const std::string& path);
    void Warn(const std::string& text) const;

    link::CommandSet& m_commands;
    rack::CInfo& m_info;
    std::filesystem::path m_folder;
    std::unique_ptr<FolderFiles> m_files;
    size_t m_filesReadBefore = 0; // by the FolderFiles of earlier indexings
    std::set<std::string> m_attempted;
    std::set<std::pair<uint8_t, uint8_t>> m_foreignPersonalities; // (address, byte) already reported
    bool m_transferBegun = false;
    std::function<void(const std::string&)> m_warn;
};

} // namespace kaptiv::firmware
