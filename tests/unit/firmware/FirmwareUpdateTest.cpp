// The firmware update of one module at a time against the simulated rack: the decision,
// the transfers as the loaders see them, messages, progress and beeps, and what the modules
// run after the restart.
#include "UpdateOnSim.h"

#include "sim/Md5.h"

using namespace kaptiv;
using test::FwModule;
namespace fs = std::filesystem;

namespace {

struct Update : test::UpdateOnSim {};

const std::vector<ui::BeepRecord> kNoBeeps;

bool HasBeep(const std::vector<ui::BeepRecord>& beeps, int hz, int ms) {
    return std::any_of(beeps.begin(), beeps.end(),
                       [&](const ui::BeepRecord& b) { return b.frequencyHz == hz && b.durationMs == ms; });
}

TEST_F(Update, ARevisionTwoModuleTakesTheRevisionZeroFileLastBlockFirst) {
    // 5 blocks and 10 bytes: block 1 erased, the last one padded with 0xFF.
    auto bytes = mulvane::PatternImage(5 * 256 + 10, 4);
    std::fill(bytes.begin() + 256, bytes.begin() + 512, 0xFF);
    AddFile("RKSAT1_0_V36.bin", 4, 36, bytes);
    Open({FwModule(17, 4, 35, 2)});

    EXPECT_TRUE(Check(1));
    EXPECT_EQ(BlockOffsets(17), (std::vector<uint32_t>{1280, 1024, 768, 512, 0}));
    EXPECT_TRUE(engine->Firmware().Errors(17).empty()) << engine->Firmware().Errors(17).front();
    const auto requests = FirmwareRequests(17);
    ASSERT_GE(requests.size(), 7u);
    EXPECT_EQ(requests.front().data, (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(requests.back().data, (std::vector<uint8_t>{0x02}));
    const auto& last = requests[1]; // the padded last block: 10 bytes of image, 246 of 0xFF
    ASSERT_EQ(last.data.size(), 260u);
    EXPECT_EQ(std::vector<uint8_t>(last.data.begin(), last.data.begin() + 4),
              (std::vector<uint8_t>{1, 0, 5, 0}));
    EXPECT_TRUE(std::equal(bytes.begin() + 1280, bytes.end(), last.data.begin() + 4));
    EXPECT_TRUE(std::all_of(last.data.begin() + 14, last.data.end(), [](uint8_t b) { return b == 0xFF; }));

    EXPECT_EQ(messages.shown.front(), "Updating module 1 (RkSat1) to release V3.6\r\nSending...");
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkSat1) to release V3.6\r\nOK");
    EXPECT_FALSE(info.Item(rack::CInfo::kProgress).IsVisible());
    EXPECT_EQ(windows.Beeps(), kNoBeeps);

    // The new release shows only once the module has restarted.
    link::IdentifyResults before;
    commands.Identify(17, &before);
    EXPECT_EQ(before.release, 35);
    Reboot();
    EXPECT_EQ(image.Live(1).release, 36);
}

TEST_F(Update, TheReleaseRules) {
    AddFile("RKSAT1_0_V29.bin", 4, 29, mulvane::PatternImage(300, 1));
    AddFile("SAT10_0_V30.bin", 1, 30, mulvane::PatternImage(300, 2));
    Open({FwModule(20, 4, 29), FwModule(21, 1, 5), FwModule(22, 1, 12), FwModule(23, 4, 12),
          FwModule(24, 1, 30)});
    EXPECT_TRUE(Check(1)) << "type 4 at 2.9 is replaced by the same release";
    EXPECT_TRUE(Check(2)) << "0.5 is below 1.0: updated although the minimum is 1.4";
    EXPECT_FALSE(Check(3)) << "1.2 is below the minimum 1.4 and not below 1.0";
    EXPECT_FALSE(Check(4)) << "no type 4 file for 1.2 but 2.9, and 1.2 is below the minimum 1.3";
    EXPECT_FALSE(Check(5)) << "already at the file's release";
    EXPECT_TRUE(FirmwareRequests(22).empty());
    EXPECT_TRUE(FirmwareRequests(23).empty());
    Reboot();
    EXPECT_EQ(image.Live(1).release, 29);
    EXPECT_EQ(image.Live(2).release, 30);
}

TEST_F(Update, AnErasedImageWritesNoBlockAndLeaveLoaderDecides) {
    AddFile("RKMODT2_0_V30.bin", 5, 30, std::vector<uint8_t>(700, 0xFF));
    // The same kind of image, but one the module's loader does not take at the end.
    AddFile("RKMODC2_0_V30.bin", 11, 30, std::vector<uint8_t>(700, 0xFF), false);
    Open({FwModule(30, 5, 20), FwModule(31, 11, 20)});

    EXPECT_TRUE(Check(1));
    EXPECT_TRUE(BlockOffsets(30).empty());
    ASSERT_EQ(FirmwareRequests(30).size(), 2u); // enter and leave the loader, nothing between
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkModT2) to release V3.0\r\nOK");

    EXPECT_TRUE(Check(2));
    EXPECT_TRUE(BlockOffsets(31).empty());
    EXPECT_EQ(LastMessage(), "Updating module 2 (RkModC2) to release V3.0\r\nERROR !");
    EXPECT_TRUE(HasBeep(windows.Beeps(), 220, 200));
}

TEST_F(Update, TheTwinTunerFamilySendsEveryBlockInOrder) {
    auto bytes = mulvane::PatternImage(3 * 256 + 1, 7);
    std::fill(bytes.begin(), bytes.begin() + 256, 0xFF); // an erased block goes out too
    AddFile("RKSAT2_0_V60.bin", 7, 60, bytes);
    Open({FwModule(40, 10, 12), FwModule(41, 7, 59)});

    EXPECT_TRUE(Check(1)); // 1.2 + 38 = 5.0 against 6.0
    EXPECT_EQ(BlockOffsets(40), (std::vector<uint32_t>{0, 256, 512, 768}));
    const auto requests = FirmwareRequests(40);
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[4].data.size(), 5u); // the short last block is not padded
    EXPECT_EQ(messages.shown.front(), "Updating module 1 (RkSat2) to release V2.2\r\nSending...");
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkSat2) to release V2.2\r\nOK");
    EXPECT_TRUE(Check(2));
    Reboot();
    EXPECT_EQ(image.Live(1).release, 22);
    EXPECT_EQ(image.Live(2).release, 60);
    EXPECT_TRUE(engine->Firmware().Errors(40).empty());
}

TEST_F(Update, AFailedBlockEndsWithErrorAndTheModuleKeepsItsRelease) {
    AddFile("RKMODT4_0_V30.bin", 6, 30, mulvane::PatternImage(10 * 256, 6));
    AddFile("RKSAT2_0_V30.bin", 7, 30, mulvane::PatternImage(10 * 256, 7));
    Open({FwModule(50, 6, 20), FwModule(51, 7, 20)});
    engine->Firmware().FailBlockWrite(50, 3, mulvane::LoaderAnswer::Negative);
    engine->Firmware().FailBlockWrite(51, 4, mulvane::LoaderAnswer::Drop);

    EXPECT_TRUE(Check(1)); // the rack is still restarted: the module sits in its loader
    EXPECT_EQ(BlockOffsets(50).size(), 2u);
    EXPECT_EQ(FirmwareRequests(50).back().data[0], 0x01); // no leave-loader after the failure
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkModT4) to release V3.0\r\nERROR !");
    EXPECT_TRUE(HasBeep(windows.Beeps(), 220, 200));

    EXPECT_TRUE(Check(2)); // a dropped answer ends it the same way
    EXPECT_EQ(LastMessage(), "Updating module 2 (RkSat2.0) to release V3.0\r\nERROR !");
    EXPECT_FALSE(info.Item(rack::CInfo::kProgress).IsVisible());
    Reboot();
    EXPECT_EQ(image.Live(1).release, 20);
    EXPECT_EQ(image.Live(2).release, 20);
}

TEST_F(Update, APersonalityChangeSendsPictureAndRecordThenTheFirmware) {
    AddFile("RKMODC4_0_V22.bin", 8, 22, mulvane::PatternImage(3 * 256, 8));
    // 300 literal bytes in packets of 128, 128 and 47 bytes, then a run of 2: three writes.
    std::vector<uint8_t> picture = mulvane::LiteralPackets(mulvane::PatternImage(300, 9));
    picture.push_back(20);
    picture.push_back(0x55);
    WriteBytes("fp_c4v0.RLE", picture); // found without regard to case
    library.pictures.push_back({"FP_C4V0.rle", 8, picture});
    auto modulator = FwModule(60, 6, 21);
    modulator.wantedPersonality = 8;
    modulator.runningPersonality = 6;
    Open({modulator});

    EXPECT_TRUE(Check(1));
    EXPECT_EQ(image.Live(1).reportedType, 8);
    const auto requests = FirmwareRequests(60);
    ASSERT_GE(requests.size(), 9u);
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(requests[0].data, (Bytes{0x00, 0x00, 0x00})); // picture: component 0
    const auto pictureWrites = engine->Firmware().ComponentWrites(60, 0);
    ASSERT_EQ(pictureWrites.size(), 3u); // whole packets, at most 128 bytes a write
    for (const auto& w : pictureWrites)
        EXPECT_LE(w.size(), 128u);
    size_t k = 1 + pictureWrites.size();
    EXPECT_EQ(requests[k++].data, (Bytes{0x02}));
    EXPECT_EQ(requests[k++].data, (Bytes{0x00, 0x0F, 0xFF}));
    EXPECT_EQ(requests[k++].data, (Bytes{0x05, 0x83, 8, 8, 0}));
    EXPECT_EQ(requests[k++].data, (Bytes{0x02}));
    EXPECT_EQ(requests[k].data, (Bytes{0x00})); // then the loader
    EXPECT_TRUE(engine->Firmware().Errors(60).empty()) << engine->Firmware().Errors(60).front();
    EXPECT_EQ(messages.shown.front(), "Module 1 change : RkModC4 release V2.2\r\n");
    EXPECT_EQ(LastMessage(), "Module 1 change : RkModC4 release V2.2\r\nOK");

    // The module runs its new personality from the restart on.
    link::IdentifyResults before;
    EXPECT_EQ(commands.Identify(60, &before), 6);
    Reboot();
    EXPECT_EQ(image.Live(1).type, 8);
    EXPECT_EQ(image.Live(1).release, 22);
    EXPECT_EQ(image.Live(1).runningPersonality, 8);
}

TEST_F(Update, AMissingPictureStopsThePersonalityChange) {
    AddFile("RKMODC4_0_V22.bin", 8, 22, mulvane::PatternImage(256, 8));
    auto modulator = FwModule(61, 6, 21);
    modulator.wantedPersonality = 8;
    modulator.runningPersonality = 6;
    Open({modulator});
    EXPECT_FALSE(Check(1)) << "nothing was sent: no restart";
    EXPECT_TRUE(FirmwareRequests(61).empty());
    EXPECT_EQ(
        LastMessage(),
        "Module 1 (RkModT4) left as it is: the front-panel picture FP_C4V0.rle is missing or unreadable.");
    EXPECT_TRUE(HasBeep(windows.Beeps(), 440, 200));
    EXPECT_FALSE(HasBeep(windows.Beeps(), 220, 200)) << "no transfer failed";
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(warnings.front().find("FP_C4V0.rle: missing"), std::string::npos) << warnings.front();

    // A picture that is no packet-coded data stops it the same way.
    WriteBytes("FP_C4V0.rle", {0x85, 1, 2});
    update.ScanEnded();
    EXPECT_FALSE(Check(1));
    EXPECT_TRUE(FirmwareRequests(61).empty());

    // Once the picture is there, the next scan changes the personality.
    const auto picture = mulvane::LiteralPackets(mulvane::PatternImage(200, 9));
    WriteBytes("FP_C4V0.rle", picture);
    library.pictures.push_back({"FP_C4V0.rle", 8, picture});
    engine->Firmware().SetLibrary(library);
    update.ScanEnded();
    EXPECT_TRUE(Check(1));
    Reboot();
    EXPECT_EQ(image.Live(1).type, 8);
}

TEST_F(Update, AForeignPersonalityByteSelectsNoFirmware) {
    AddFile("RKSAT2_0_V60.bin", 7, 60, mulvane::PatternImage(3 * 256, 7));
    auto foreign = FwModule(62, 5, 20);
    foreign.wantedPersonality = 7; // the twin-input tuner's type: no modulator personality
    foreign.runningPersonality = 5;
    auto own = FwModule(63, 5, 20);
    own.wantedPersonality = 13;
    own.runningPersonality = 5;
    Open({foreign, own});
    EXPECT_FALSE(Check(1));
    EXPECT_FALSE(Check(1));
    EXPECT_TRUE(FirmwareRequests(62).empty()) << "no Flash request reaches the module";
    ASSERT_EQ(warnings.size(), 1u) << "one line, however often the module is checked";
    EXPECT_NE(warnings[0].find("module 1 (address 0x3E, RkModT2) asks for personality 7"), std::string::npos)
        << warnings[0];
    EXPECT_EQ(image.Live(1).reportedType, 5);

    // The module is checked as its own type: a newer file of that type updates it.
    AddFile("RKMODT2_0_V30.bin", 5, 30, mulvane::PatternImage(3 * 256, 5));
    WriteBytes("QVX.FRM", std::vector<uint8_t>(index.begin(), index.end()));
    engine->Firmware().SetLibrary(library);
    update.IndexFolder(image);
    EXPECT_TRUE(Check(2));
    EXPECT_EQ(BlockOffsets(63), (std::vector<uint32_t>{512, 256, 0}));
    EXPECT_EQ(LastMessage(), "Updating module 2 (RkModT2) to release V3.0\r\nOK");
    EXPECT_NE(warnings.back().find("personality 13"), std::string::npos);
}

TEST_F(Update, AFailedUpdateIsNotMadeAgainUntilTheFolderChanges) {
    AddFile("RKMODT4_0_V30.bin", 6, 30, mulvane::PatternImage(4 * 256, 6));
    Open({FwModule(52, 6, 20)});
    engine->Firmware().FailBlockWrite(52, 2, mulvane::LoaderAnswer::Negative);
    EXPECT_TRUE(Check(1)) << "the transfer began: the module may sit in its loader";
    const size_t requests = FirmwareRequests(52).size();
    Reboot();
    update.ScanEnded();

    // The next scans leave it as it is, and say why.
    EXPECT_FALSE(Check(1));
    EXPECT_FALSE(Check(1));
    EXPECT_EQ(FirmwareRequests(52).size(), requests);
    EXPECT_EQ(LastMessage(),
              "Module 1 (RkModT4) left as it is: its update from RKMODT4_0_V30.bin was already "
              "tried in this session. Change the firmware folder and press the rescan button to "
              "try again.");

    // A rescan with the same folder changes nothing; with other contents it tries again.
    update.IndexFolder(image);
    EXPECT_FALSE(Check(1));
    mulvane::SimFirmwareFile other{"RKMODT4_0_V30.bin", 6, 0, 30, mulvane::PatternImage(4 * 256, 60)};
    WriteBytes(other.name, mulvane::FirmwareFileBytes(other));
    library.files = {other};
    engine->Firmware().SetLibrary(library);
    update.IndexFolder(image);
    EXPECT_TRUE(Check(1));
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkModT4) to release V3.0\r\nOK");
    Reboot();
    EXPECT_EQ(image.Live(1).release, 30);
}

TEST_F(Update, ACheckThatStopsBeforeTheLoaderIsNoUpdate) {
    AddFile("RKMODT4_0_V30.bin", 6, 30, mulvane::PatternImage(4 * 256, 6));
    Open({FwModule(53, 6, 20)});
    engine->GetFaults().AnswerNegativelyAlways(53);
    EXPECT_FALSE(Check(1)) << "the module refused to enter its loader: nothing to restart";
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkModT4) to release V3.0\r\nERROR !");
}

TEST_F(Update, EachFileIsReadOncePerScan) {
    AddFile("RKSAT1_0_V36.bin", 4, 36, mulvane::PatternImage(600, 4));
    for (int i = 0; i < 49; ++i)
        index += (i % 2 ? "rksat1_0_v36.bin\r\n" : "RKSAT1_0_V36.bin\r\n");
    Open({FwModule(17, 4, 35), FwModule(18, 4, 35)});
    EXPECT_EQ(image.FirmwareCount(), 50u);
    EXPECT_EQ(update.FilesRead(), 2u) << "the index and the one file it names 50 times";
    EXPECT_TRUE(Check(1));
    EXPECT_TRUE(Check(2));
    EXPECT_EQ(update.FilesRead(), 2u) << "the scan that follows the indexing reads nothing again";
    update.ScanEnded();
    EXPECT_FALSE(Check(1));
    EXPECT_EQ(update.FilesRead(), 3u) << "a new scan reads the file once more";
}

// A composite image: main firmware (release 41), component 0x10 offering 1.2.0, component
// 0x20 offering what the module has.
std::vector<uint8_t> Composite(uint8_t mainRelease, std::vector<uint8_t>& component10) {
    std::vector<uint8_t> image;
    auto sub = [&](uint8_t release, uint32_t id, const std::vector<uint8_t>& data) {
        const uint32_t n = static_cast<uint32_t>(data.size());
        const uint8_t h[10] = {release,          0,           uint8_t(id >> 24), uint8_t(id >> 16),
                               uint8_t(id >> 8), uint8_t(id), uint8_t(n >> 24),  uint8_t(n >> 16),
                               uint8_t(n >> 8),  uint8_t(n)};
        image.insert(image.end(), h, h + 10);
        image.insert(image.end(), data.begin(), data.end());
    };
    sub(mainRelease, 0xFFFFFFFF, mulvane::PatternImage(1000, 41));
    std::vector<uint8_t> header = {1, 2, 0, 41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto body = mulvane::PatternImage(400, 10);
    header.insert(header.end(), body.begin(), body.end());
    component10 = mulvane::LiteralPackets(header);
    component10.push_back(100); // a run of 100 bytes
    component10.push_back(0xAA);
    sub(41, 0x00000010, component10);
    std::vector<uint8_t> same = {0x84, 3, 0, 0, 41};
    sub(41, 0x00000020, same);
    return image;
}

TEST_F(Update, ACompositeImageSendsOnlyWhatAsks) {
    std::vector<uint8_t> coded;
    AddFile("RKAV_0_V41.bin", 9, 41, Composite(41, coded));
    Open({FwModule(70, 9, 41)});
    engine->Firmware().AddComponent(70, 0x10, {1, 1, 0, 40});
    engine->Firmware().AddComponent(70, 0x20, {3, 0, 0, 41});

    EXPECT_TRUE(Check(1));
    EXPECT_TRUE(BlockOffsets(70).empty()); // the main firmware is current
    EXPECT_TRUE(engine->Firmware().ComponentWrites(70, 0x20).empty());
    const auto writes = engine->Firmware().ComponentWrites(70, 0x10);
    ASSERT_GE(writes.size(), 2u);
    // 0x84, the decoded size (416 literal bytes and a run of 100), then the packets.
    EXPECT_EQ(std::vector<uint8_t>(writes[0].begin(), writes[0].begin() + 5),
              (std::vector<uint8_t>{0x84, 0, 0, 0x02, 0x04}));
    std::vector<uint8_t> sent(writes[0].begin() + 5, writes[0].end());
    for (size_t k = 1; k < writes.size(); ++k) {
        EXPECT_GT(writes[k - 1].size(), 128u) << "a write goes out once it holds more than 128 bytes";
        sent.insert(sent.end(), writes[k].begin(), writes[k].end());
    }
    EXPECT_EQ(sent, coded);
    EXPECT_TRUE(engine->Firmware().Errors(70).empty()) << engine->Firmware().Errors(70).front();
    EXPECT_EQ((*engine->Firmware().ComponentHeader(70, 0x10))[1], 2);
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkAV) to release V4.1\r\nOK");

    // The header reads: open by number, eight bytes, close; once per component.
    int opens = 0;
    for (const auto& r : FirmwareRequests(70))
        if (r.data.size() == 3 && r.data[0] == 0x01)
            ++opens;
    EXPECT_EQ(opens, 2);
}

TEST_F(Update, AFailedComponentWriteBeepsAndEndsWithError) {
    std::vector<uint8_t> coded;
    AddFile("RKAV_0_V41.bin", 9, 41, Composite(41, coded));
    Open({FwModule(72, 9, 41)});
    engine->Firmware().AddComponent(72, 0x10, {1, 1, 0, 40});
    engine->Firmware().AddComponent(72, 0x20, {3, 0, 0, 41});
    engine->Firmware().FailComponentWrite(72, 2, mulvane::LoaderAnswer::Negative);
    EXPECT_TRUE(Check(1));
    EXPECT_TRUE(HasBeep(windows.Beeps(), 440, 200));
    EXPECT_TRUE(HasBeep(windows.Beeps(), 220, 200));
    EXPECT_EQ(LastMessage(), "Updating module 1 (RkAV) to release V4.1\r\nERROR !");
    EXPECT_EQ(engine->Firmware().ComponentWrites(72, 0x10).size(), 1u) << "no write after the failed one";
    EXPECT_EQ(FirmwareRequests(72).back().data, (std::vector<uint8_t>{0x02})) << "the component is closed";
    EXPECT_EQ((*engine->Firmware().ComponentHeader(72, 0x10))[1], 1) << "the module keeps its version";
}

TEST_F(Update, ACompositeMainFirmwareGoesThroughTheBlockWalk) {
    std::vector<uint8_t> coded;
    AddFile("RKAV_0_V42.bin", 9, 42, Composite(42, coded));
    Open({FwModule(71, 9, 41)});
    engine->Firmware().AddComponent(71, 0x10, {1, 2, 0, 41});
    engine->Firmware().AddComponent(71, 0x20, {3, 0, 0, 41});
    EXPECT_TRUE(Check(1));
    EXPECT_EQ(BlockOffsets(71), (std::vector<uint32_t>{768, 512, 256, 0}));
    EXPECT_TRUE(engine->Firmware().ComponentWrites(71, 0x10).empty());
    for (const auto& r : FirmwareRequests(71))
        EXPECT_FALSE(r.command == 0xC0 && r.data == std::vector<uint8_t>{0x02}) << "no leave-loader";
    Reboot();
    EXPECT_EQ(image.Live(1).release, 42);
}

TEST_F(Update, AComponentWhoseHeaderCannotBeReadIsWrittenOncePerSession) {
    std::vector<uint8_t> coded;
    AddFile("RKAV_0_V41.bin", 9, 41, Composite(41, coded));
    Open({FwModule(73, 9, 41)});
    engine->Firmware().AddComponent(73, 0x10, {1, 2, 0, 41});
    engine->Firmware().AddComponent(73, 0x20, {3, 0, 0, 41});
    engine->Firmware().HideComponentHeaders(73);
    EXPECT_TRUE(Check(1)) << "a module that cannot show a header does not have it yet";
    const size_t writes = engine->Firmware().ComponentWrites(73, 0x10).size();
    EXPECT_GT(writes, 0u);
    for (int scan = 0; scan < 3; ++scan) {
        Reboot();
        update.ScanEnded();
        EXPECT_FALSE(Check(1)) << "scan " << scan << ": no restart again";
    }
    EXPECT_EQ(engine->Firmware().ComponentWrites(73, 0x10).size(), writes);
    EXPECT_NE(LastMessage().find("RKAV_0_V41.bin was already tried"), std::string::npos) << LastMessage();
}

struct HdComponent : test::UpdateOnSim {
    std::string AddHd(uint8_t release, bool rightDigest) {
        mulvane::SimHdComponentFile hd;
        hd.release = release;
        hd.bytes = mulvane::PatternImage(16 + 600, release);
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "QVXHD4ENC_%02d_", release);
        hd.name = prefix + (rightDigest ? mulvane::Md5Hex(hd.bytes) : std::string(32, 'A')) + ".bin";
        WriteBytes(hd.name, hd.bytes);
        library.hdComponents.push_back(hd);
        return hd.name;
    }
    void AddHdFirmware() {
        std::vector<uint8_t> image = {30, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 4, 1, 2, 3, 4};
        AddFile("RKHD_0_V30.bin", 14, 30, image);
    }
    mulvane::ModuleConfig Encoder(uint8_t subRelease) {
        auto m = FwModule(80, 14, 30);
        m.wantedPersonality = subRelease;
        return m;
    }
};

TEST_F(HdComponent, TheNewestFileWithItsReleaseByte) {
    AddHdFirmware();
    AddHd(7, true);
    const std::string name = AddHd(12, true);
    Open({Encoder(7)});
    EXPECT_TRUE(Check(1));
    const auto writes = engine->Firmware().ComponentWrites(80, 0);
    ASSERT_EQ(writes.size(), 3u); // 600 bytes after the header, 256 at most a write
    EXPECT_EQ(writes[0].size(), 256u);
    EXPECT_EQ(engine->Firmware().ComponentWrites(80, 0x3DE0), (std::vector<std::vector<uint8_t>>{{12}}));
    EXPECT_TRUE(engine->Firmware().Errors(80).empty()) << engine->Firmware().Errors(80).front();
    EXPECT_EQ(messages.shown.front(), "QVXHD4ENC(HW[1.2])");
    EXPECT_TRUE(fs::exists(folder / name));
    Reboot();
    EXPECT_EQ(image.Live(1).subRelease, 12);
    EXPECT_FALSE(Check(1)) << "the module now has the component";
}

TEST_F(HdComponent, AWrongDigestShowsTheMessageBoxAndSkipsIt) {
    AddHdFirmware();
    const std::string name = AddHd(12, false);
    Open({Encoder(7)});
    responder.AnswerMessageBox(ui::ModalResult::Ok, "MD5 Error");
    EXPECT_FALSE(Check(1));
    EXPECT_EQ(responder.Unused(), 0u);
    EXPECT_TRUE(responderFailures.empty());
    ASSERT_EQ(responder.Asked().size(), 1u);
    EXPECT_NE(responder.Asked()[0].text.find(name), std::string::npos);
    EXPECT_TRUE(FirmwareRequests(80).empty());
}

TEST_F(HdComponent, ReleaseNinetyNineGoesOutAnywayAndIsDeletedOnlyOnceSent) {
    AddHdFirmware();
    const std::string name = AddHd(99, true);
    Open({Encoder(99), FwModule(81, 14, 30)});
    engine->Firmware().FailBlockWrite(80, 0, mulvane::LoaderAnswer::Positive);
    engine->GetFaults().AnswerNegativelyAlways(80);
    EXPECT_FALSE(Check(1));
    EXPECT_TRUE(fs::exists(folder / name)) << "kept after a failed write";
    EXPECT_TRUE(HasBeep(windows.Beeps(), 220, 200));
    engine->GetFaults().AnswerNegativelyAlways(80, false);
    EXPECT_FALSE(Check(1)) << "not tried again in this session";
    EXPECT_TRUE(fs::exists(folder / name));

    // The next session sends it, and deletes it once it is delivered.
    firmware::FirmwareUpdate next{commands, info};
    next.IndexFolder(image);
    EXPECT_TRUE(next.CheckAndUpdate(image, 1, 0));
    EXPECT_EQ(engine->Firmware().ComponentWrites(80, 0x3DE0).back(), (std::vector<uint8_t>{99}));
    EXPECT_FALSE(fs::exists(folder / name));
}

TEST_F(HdComponent, ReleaseNinetyNineWithAWrongDigestIsNotSent) {
    AddHdFirmware();
    const std::string name = AddHd(99, false);
    Open({Encoder(99)});
    responder.AnswerMessageBox(ui::ModalResult::Ok, "MD5 Error");
    EXPECT_FALSE(Check(1));
    EXPECT_FALSE(Check(1));
    ASSERT_EQ(responder.Asked().size(), 1u) << "asked once in the session";
    EXPECT_NE(responder.Asked()[0].text.find(name), std::string::npos);
    EXPECT_TRUE(responderFailures.empty());
    EXPECT_TRUE(FirmwareRequests(80).empty());
    EXPECT_TRUE(fs::exists(folder / name));
}

TEST_F(Update, AFileRemovedAfterIndexingEndsWithAnError) {
    AddFile("RKSAT1_0_V36.bin", 4, 36, mulvane::PatternImage(600, 4));
    Open({FwModule(17, 4, 35)});
    fs::remove(folder / "RKSAT1_0_V36.bin");
    update.ScanEnded(); // a scan after the indexing reads the file again
    EXPECT_FALSE(Check(1));
    EXPECT_EQ(LastMessage(), "RKSAT1_0_V36.bin\r\nERROR !");
    EXPECT_TRUE(FirmwareRequests(17).empty());
    EXPECT_FALSE(warnings.empty());
}

TEST_F(Update, AModuleWithoutAFileIsLeftAlone) {
    AddFile("RKSAT1_3_V36.bin", 4, 36, mulvane::PatternImage(600, 4));
    Open({FwModule(17, 4, 35, 2), FwModule(18, 2, 20)});
    EXPECT_FALSE(Check(1)) << "only a file for a higher revision";
    EXPECT_FALSE(Check(2));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(engine->RequestsTo(17).size() == 1); // its identification only
}

} // namespace
