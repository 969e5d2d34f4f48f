#pragma once
// The main window over the simulated rack's in-memory bus, on virtual time.
#include "link/CXmit.h"
#include "platform/EventLoop.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "sim/Engine.h"
#include "sim/Rack.h"
#include "sim/SerialLine.h"
#include "tests/support/SimSerial.h"
#include "ui/WindowSystem.h"

#include <functional>
#include <memory>
#include <vector>

namespace kaptiv::test {

// Records what the scan offered to the firmware check, as the record stood at that moment.
struct RecordingFirmware final : rack::FirmwareCheck {
    struct Offer {
        size_t index;
        uint8_t type;
        uint8_t release;
        uint8_t offset;
    };
    bool haveFiles = true;
    std::vector<Offer> offers;
    std::function<bool(size_t)> onCheck;

    void IndexFolder(rack::RackImage& image) override {
        image.firmware.clear();
        if (haveFiles)
            image.firmware.push_back({"firmware/sat2_0_V30.bin", 7, 0, 30, 10});
    }
    bool CheckAndUpdate(rack::RackImage& image, size_t index, uint8_t offset) override {
        const rack::ModuleRecord& r = image.Live(index);
        offers.push_back({index, r.type, r.release, offset});
        return onCheck ? onCheck(index) : false;
    }
};

inline mulvane::ModuleConfig Module(uint8_t address, uint8_t type, uint8_t release = 20,
                                    uint8_t identifyLength = 7) {
    mulvane::ModuleConfig m;
    m.address = address;
    m.type = type;
    m.release = release;
    m.identifyLength = identifyLength;
    m.answerDelayMinMs = 1;
    m.answerDelayMaxMs = 1;
    return m;
}

struct MainWindowOnSim {
    platform::ManualClock clock;
    platform::EventLoop loop{clock};
    ui::WindowSystem windows{loop};
    std::unique_ptr<mulvane::RackEngine> engine;
    std::unique_ptr<mulvane::SerialLine> line;
    link::CXmit xmit{clock};
    rack::CInfo info{windows};
    rack::CSTATUS status{windows};
    RecordingFirmware firmware;
    rack::CQuorvelDlg main{windows, info, status};

    // Builds the rack on serial port number rackPort (-1: no port reaches it).
    void Open(mulvane::RackConfig rack, int rackPort = 0) {
        engine = std::make_unique<mulvane::RackEngine>(std::move(rack), 7);
        line = std::make_unique<mulvane::SerialLine>(engine.get());
        xmit.SetPortOpener(std::make_unique<SimOpener>(clock, *line, rackPort));
        main.AttachLink(&xmit, nullptr);
        main.SetFirmwareCheck(&firmware);
        main.Create();
    }
    // Runs the loop until `count` scans in all have ended.
    void RunUntilScans(int count) {
        for (int turns = 0; main.ScanCount() < count && turns < 10000; ++turns)
            loop.RunOnce(1000);
    }
    const ui::ListRow& Row(int r) const { return main.Item(rack::CQuorvelDlg::kModuleList).Row(r); }
    int RowImage(int r) const { return Row(r).cells.at(0).image; }
};

} // namespace kaptiv::test
