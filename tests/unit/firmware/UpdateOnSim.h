#pragma once
// The firmware update over the simulated rack's in-memory serial bus, on virtual time: a
// program folder with a firmware folder in a temporary directory, the simulator's loaders
// given the same files to compare against, and the rack image filled as a scan fills it.
#include "firmware/FirmwareUpdate.h"
#include "link/CXmit.h"
#include "platform/EventLoop.h"
#include "rack/CInfo.h"
#include "sim/Engine.h"
#include "sim/FirmwareFolder.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace kaptiv::test {

namespace fs = std::filesystem;

inline mulvane::ModuleConfig FwModule(uint8_t address, uint8_t type, uint8_t release,
                                      uint8_t hwRevision = 0) {
    mulvane::ModuleConfig m;
    m.address = address;
    m.type = type;
    m.release = release;
    m.hwRevision = hwRevision;
    m.wantedPersonality = 255;
    m.runningPersonality = 255;
    m.answerDelayMinMs = m.answerDelayMaxMs = 1;
    return m;
}

// Records every message the panel shows, in order.
struct MessageRecorder final : ui::Display {
    std::vector<std::string> shown;
    void Present(const ui::DisplayUpdate& update) override {
        for (const auto& c : update.controls)
            if (c.dialogId == rack::CInfo::kDialogId && c.control.id == rack::CInfo::kMessage &&
                !c.control.text.empty() && (shown.empty() || shown.back() != c.control.text))
                shown.push_back(c.control.text);
    }
};

struct UpdateOnSim : ::testing::Test {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    std::vector<std::string> responderFailures;
    ui::ScriptedResponder responder{windows, [this](const std::string& w) { responderFailures.push_back(w); },
                                    10'000};
    MessageRecorder messages;
    std::unique_ptr<mulvane::RackEngine> engine;
    std::unique_ptr<mulvane::SerialLine> line;
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    rack::CInfo info{windows};
    firmware::FirmwareUpdate update{commands, info};
    rack::RackImage image;
    mulvane::FirmwareLibrary library;
    std::vector<std::string> warnings;
    fs::path program =
        fs::temp_directory_path() /
        ("kaptiv-fwu-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::path folder = program / "firmware";
    std::string index;

    void SetUp() override {
        fs::remove_all(program);
        fs::create_directories(folder);
        windows.AddDisplay(&messages);
        info.Create();
        update.SetWarningSink([this](const std::string& w) { warnings.push_back(w); });
    }
    void TearDown() override {
        windows.RemoveDisplay(&messages);
        fs::remove_all(program);
    }

    // A firmware file in the folder and the index; known to the simulator unless told not.
    void AddFile(const std::string& name, uint8_t type, uint8_t release, std::vector<uint8_t> bytes,
                 bool simulatorKnowsIt = true) {
        mulvane::SimFirmwareFile file{name, type, 0, release, std::move(bytes)};
        WriteBytes(name, mulvane::FirmwareFileBytes(file));
        index += name + "\r\n";
        if (simulatorKnowsIt)
            library.files.push_back(file);
    }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Starts the rack, indexes the folder and fills the rack image from identification.
    void Open(std::vector<mulvane::ModuleConfig> modules) {
        WriteBytes("QVX.FRM", std::vector<uint8_t>(index.begin(), index.end()));
        mulvane::RackConfig rack;
        rack.modules.push_back(FwModule(0, 0, 31));
        for (auto& m : modules)
            rack.modules.push_back(m);
        rack.restartSilenceMs = 500;
        engine = std::make_unique<mulvane::RackEngine>(std::move(rack), 3);
        engine->Firmware().SetLibrary(library);
        line = std::make_unique<mulvane::SerialLine>(engine.get());
        xmit.SetPortOpener(std::make_unique<SimOpener>(clock, *line, 0));
        ASSERT_TRUE(xmit.OpenLink());
        image.applicationFolder = program.string();
        update.IndexFolder(image);
        Identify();
    }
    void Identify() {
        image.StartScan();
        for (const auto& m : engine->Config().modules)
            if (m.address != 0)
                image.Append(m.address, m.type);
        for (size_t i = 0; i < image.moduleCount; ++i) {
            rack::ModuleRecord& r = image.Live(i);
            link::IdentifyResults results;
            ASSERT_EQ(commands.Identify(r.address, &results), r.type) << i;
            r.release = results.release;
            r.hardwareRevision = results.hardwareRevision;
            r.wantedPersonality = r.subRelease = results.wantedPersonality;
            r.runningPersonality = results.runningPersonality;
        }
    }
    // As the scan offers a record: types 10 and 12 as type 7 with their release moved on.
    bool Check(size_t i) {
        rack::ModuleRecord& r = image.Live(i);
        r.reportedType = r.type;
        const uint8_t type = r.type, release = r.release;
        const uint8_t offset = type == 10 ? 38 : type == 12 ? 52 : 0;
        if (offset) {
            r.type = 7;
            r.release = static_cast<uint8_t>(release + offset);
        }
        const bool changed = update.CheckAndUpdate(image, i, offset);
        r.type = type;
        r.release = release;
        return changed;
    }
    // Restarts the rack and identifies it again once it answers.
    void Reboot() {
        commands.RestartAll();
        clock.Advance(600);
        Identify();
    }
    // The loader and component requests a module received: (command, data).
    std::vector<mulvane::ReceivedRequest> FirmwareRequests(uint8_t address) const {
        std::vector<mulvane::ReceivedRequest> out;
        for (const auto& r : engine->RequestsTo(address))
            if (r.command == 0xC0 || r.command == 0xA0)
                out.push_back(r);
        return out;
    }
    std::vector<uint32_t> BlockOffsets(uint8_t address) const {
        return engine->Firmware().BlockOffsets(address);
    }
    std::string LastMessage() const { return messages.shown.empty() ? "" : messages.shown.back(); }
};

} // namespace kaptiv::test
