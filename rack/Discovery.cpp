#include "rack/Discovery.h"

#include "link/Frame.h"
#include "text/Language.h"
#include "text/ToolText.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace kaptiv::rack {

namespace {
// Rows of the localized text table.
constexpr int kTextSearching = 28;
constexpr int kTextFound = 29;
constexpr int kTextRebooting = 30;
constexpr int kTextNotFound = 31;
constexpr int kTextInactive = 32;
constexpr int kTextNoFirmware = 33;

constexpr uint8_t kMaxRelease = 255;
} // namespace

Discovery::Discovery(link::CommandSet& commands, RackImage& image, ScanFeedback& feedback,
                     FirmwareCheck& firmware, ScanHost& host)
    : m_commands(commands), m_image(image), m_feedback(feedback), m_firmware(firmware), m_host(host) {}

ScanReport Discovery::Run() {
    m_host.BeginScan();
    ScanReport report;
    bool firstPass = true;
    for (;;) {
        ++report.passes;
        // Through the gateway the rack is not scanned again after an update: the gateway
        // reports its link up once the rack is back, and that starts the next scan.
        const bool overGateway = m_commands.Xmit().IsGatewayLinkUp();
        const PassEnd end = RunPass(firstPass, report);
        if (end == PassEnd::Stop)
            break;
        if (Quitting()) {
            report.outcome = ScanOutcome::Stopped;
            break;
        }
        if (m_firmware.ReadsFirmwareFolder() && m_image.FirmwareCount() == 0) {
            m_feedback.WarningBeep(kWarningBeepHz, kWarningBeepMs);
            m_feedback.ShowMessage(text::LocalizedText(kTextNoFirmware), kFailureMs, true);
        }
        if (end != PassEnd::Updated || !firstPass || overGateway)
            break;
        firstPass = false; // the firmware check is made on the first pass only
    }
    m_firmware.ScanEnded();
    m_host.EndScan();
    return report;
}

Discovery::PassEnd Discovery::RunPass(bool firstPass, ScanReport& report) {
    link::CXmit& xmit = m_commands.Xmit();
    if (Quitting()) {
        report.outcome = ScanOutcome::Stopped;
        return PassEnd::Stop;
    }
    m_host.ClearModuleList();
    m_feedback.ShowMessage(text::LocalizedText(kTextSearching), kSearchingMs);

    if (!xmit.OpenLink()) {
        if (Quitting()) {
            report.outcome = ScanOutcome::Stopped;
            return PassEnd::Stop;
        }
        m_feedback.ShowMessage(text::LocalizedText(kTextNotFound), kFailureMs, true);
        m_host.HideDeviceChangeIndicator();
        report.outcome = ScanOutcome::HardwareNotFound;
        return PassEnd::NotFound;
    }
    m_feedback.ShowMessage(text::LocalizedText(kTextFound), kSearchingMs);
    {
        // Wakes the controller; its answer is read again with the other modules.
        std::lock_guard<std::recursive_mutex> lock(xmit.ExchangeLock());
        m_commands.Identify(link::kControllerAddress);
    }
    m_image.StartScan();
    if (!ReadModuleList(report) || !IdentifyAll(report))
        return PassEnd::Stop;

    const bool updated = ReadBlocksAndCheck(firstPass);
    if (Quitting()) {
        // A module just flashed runs its new firmware only after a restart; the wait for
        // the rack to come back is left out.
        if (updated)
            m_commands.RestartAll();
        report.outcome = ScanOutcome::Stopped;
        return PassEnd::Stop;
    }
    m_image.TakeReference();
    if (!updated) {
        m_feedback.ShowMessage("", 1);
        xmit.ClearLinkLost();
        m_host.RackConnected();
        report.outcome = ScanOutcome::Connected;
    } else {
        report.outcome = ScanOutcome::Rebooted;
        RebootAndWait();
    }
    m_host.EnableRackButtons();
    return updated ? PassEnd::Updated : PassEnd::Done;
}

bool Discovery::ReadModuleList(ScanReport& report) {
    link::CXmit& xmit = m_commands.Xmit();
    const uint8_t* data = nullptr;
    int length = 0;
    uint16_t n = m_commands.ReadData(link::kControllerAddress, data, length);
    if (n == 0 && xmit.LastResult() != link::LinkResult::Ok && !Quitting())
        n = m_commands.ReadData(link::kControllerAddress, data, length); // one lost answer
    if (n == 0 && xmit.LastResult() != link::LinkResult::Ok) {
        // A controller that does not give its list is as good as silent.
        StopAtInactive(0, report);
        return false;
    }
    const auto entries = ParseModuleList({data, n});
    if (!entries) {
        // More modules than the rack image holds: refused as a whole, never cut short,
        // so that no module is configured against a rack that is not the real one.
        char message[256];
        std::snprintf(message, sizeof message,
                      text::LocalizedToolText(text::ToolText::ModuleListRefused).c_str(),
                      static_cast<int>(n / kModuleListEntrySize), static_cast<int>(kHalfSize - 1));
        m_feedback.WarningBeep(kWarningBeepHz, kWarningBeepMs);
        m_feedback.ShowMessage(message, kRefusedMs, true);
        xmit.CloseSerialPort();
        report.outcome = ScanOutcome::TooManyModules;
        return false;
    }
    for (const ModuleListEntry& entry : *entries)
        m_image.Append(entry.address, entry.type);
    return true;
}

bool Discovery::IdentifyAll(ScanReport& report) {
    for (size_t i = 0; i < m_image.moduleCount; ++i) {
        if (Quitting()) {
            report.outcome = ScanOutcome::Stopped;
            return false;
        }
        ModuleRecord& record = m_image.Live(i);
        link::IdentifyResults results;
        uint8_t type = m_commands.Identify(record.address, &results);
        if (type == link::CommandSet::kNoModuleType &&
            m_commands.Xmit().LastResult() != link::LinkResult::Ok && !Quitting())
            type = m_commands.Identify(record.address, &results); // one lost answer
        if (type == link::CommandSet::kNoModuleType || type != record.type) {
            StopAtInactive(i, report);
            return false;
        }
        record.release = results.release;
        record.hardwareRevision = results.hardwareRevision;
        record.wantedPersonality = results.wantedPersonality;
        record.subRelease = results.wantedPersonality;
        record.runningPersonality = results.runningPersonality;
        record.extraStatus = results.extraStatus;
    }
    return true;
}

void Discovery::StopAtInactive(size_t index, ScanReport& report) {
    if (Quitting()) {
        // The request failed because the program is quitting: the module is not at fault,
        // and the rack is not restarted for it.
        report.outcome = ScanOutcome::Stopped;
        return;
    }
    char text[256];
    std::snprintf(text, sizeof text, "%s (#%d)", text::LocalizedText(kTextInactive).c_str(),
                  static_cast<int>(index));
    m_feedback.ShowMessage(text, kFailureMs, true);
    m_commands.RestartAll();
    m_commands.Xmit().CloseSerialPort();
    report.outcome = ScanOutcome::InactiveModule;
    report.failedIndex = static_cast<int>(index);
}

bool Discovery::ReadBlocksAndCheck(bool firstPass) {
    link::CXmit& xmit = m_commands.Xmit();
    bool updated = false;
    for (size_t i = 0; i < m_image.moduleCount && !Quitting(); ++i) {
        ModuleRecord& record = m_image.Live(i);
        uint16_t length = 0;
        bool read = m_commands.ReadParameters(record.address, length, record.block);
        if (!read && xmit.LastResult() != link::LinkResult::Ok && !Quitting())
            read = m_commands.ReadParameters(record.address, length, record.block); // one lost answer
        record.blockLength = length;
        if (!read && xmit.LastResult() == link::LinkResult::Ok) {
            // The module answered with more than a block can hold: the record keeps no
            // block (length 0), so nothing of it is edited, saved or written back.
            char message[256];
            std::snprintf(message, sizeof message,
                          text::LocalizedToolText(text::ToolText::BlockRefused).c_str(), static_cast<int>(i),
                          xmit.AnswerLength(), static_cast<int>(kMaxBlockSize));
            m_feedback.WarningBeep(kWarningBeepHz, kWarningBeepMs);
            m_feedback.ShowMessage(message, kRefusedMs, true);
        }
        m_host.ShowModuleRow(i);
        if (firstPass && OfferToFirmwareCheck(i))
            updated = true;
    }
    return updated;
}

bool Discovery::OfferToFirmwareCheck(size_t index) {
    // The firmware of the module in progress is finished even when the program is asked to
    // quit meanwhile: a module left half-flashed may not start again.
    std::optional<platform::EventLoop::QuitDeferral> finishModule;
    if (platform::EventLoop* loop = m_feedback.ScanLoop())
        finishModule.emplace(*loop);
    if (Quitting())
        return false;
    ModuleRecord& record = m_image.Live(index);
    record.reportedType = record.type;
    const uint8_t savedType = record.type;
    const uint8_t savedRelease = record.release;
    uint8_t offset = 0;
    if (record.type == type::kSat2)
        offset = kSat2RevReleaseOffset;
    else if (record.type == type::kTerrestrial)
        offset = kTerrestrialReleaseOffset;
    if (offset != 0) {
        record.type = type::kSat2_0;
        // Saturates: a release that wrapped round would look older than every file and
        // have the module flashed backwards.
        record.release = static_cast<uint8_t>(std::min<int>(record.release + offset, kMaxRelease));
    }
    const bool updated = m_firmware.CheckAndUpdate(m_image, index, offset);
    record.type = savedType;
    record.release = savedRelease;
    return updated;
}

bool Discovery::Quitting() {
    const platform::EventLoop* loop = m_feedback.ScanLoop();
    return loop != nullptr && loop->QuitRequested();
}

void Discovery::RebootAndWait() {
    link::CXmit& xmit = m_commands.Xmit();
    const bool overGateway = xmit.IsGatewayLinkUp();
    m_commands.RestartAll();
    xmit.CloseSerialPort();
    m_feedback.ShowMessage(text::LocalizedText(kTextRebooting), kRebootMs);
    platform::Clock& clock = m_feedback.ScanClock();
    if (overGateway) {
        clock.SleepMs(kRebootMs);
        return;
    }
    const int64_t deadline = clock.NowMs() + kRebootMs;
    for (int64_t now = clock.NowMs(); now < deadline; now = clock.NowMs()) {
        clock.SleepMs(std::min(kReopenEveryMs, deadline - now));
        if (Quitting() || xmit.OpenLink())
            return;
    }
}

} // namespace kaptiv::rack
