// The USB key of the streaming modules as the PC reaches it: file requests, the name list,
// shell commands, the key's presence in the status answer, its size limit, the growing log
// and the injected write faults. On virtual time, through the engine.
#include "sim/Engine.h"
#include "sim/ModuleFiles.h"
#include "sim/Protocol.h"
#include "sim/Rack.h"

#include "platform/Bytes.h"

#include <gtest/gtest.h>

using namespace mulvane;
using kaptiv::platform::ByteReader;

namespace {

constexpr uint8_t kStreamingTuner = 10; // type 7 of the demo rack, key with two files and a log
constexpr uint8_t kTerrestrial = 13;    // type 12, empty key
constexpr uint8_t kModulator = 12;

std::vector<uint8_t> Text(uint8_t subCode, const std::string& text) {
    std::vector<uint8_t> out;
    out.push_back(subCode);
    for (char c : text)
        out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
    return out;
}
std::vector<uint8_t> ShellText(const std::string& text) {
    std::vector<uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

struct KeyFixture : ::testing::Test {
    RackEngine engine{DemoRack(), 11};
    int64_t now = 20000;

    // The answer's data, or nothing for a negative answer.
    std::optional<std::vector<uint8_t>> Ask(uint8_t address, uint8_t command,
                                            const std::vector<uint8_t>& data = {}) {
        auto answer = engine.Handle(address, command, data, now);
        EXPECT_TRUE(answer.has_value());
        if (!answer || answer->kind != kAnswerPositive)
            return std::nullopt;
        return answer->data;
    }
    bool Shell(const std::string& text, uint8_t address = kStreamingTuner) {
        return Ask(address, kCmdExecute, ShellText(text)).has_value();
    }
    std::vector<std::string> Names(uint8_t address = kStreamingTuner) {
        auto data = Ask(address, kCmdReadNameList);
        EXPECT_TRUE(data);
        std::vector<std::string> names;
        if (!data)
            return names;
        ByteReader r(*data);
        r.Skip(2);
        const uint16_t n = r.U16();
        for (int i = 0; i < n; ++i) {
            std::string name;
            for (uint8_t b; (b = r.U8()) != 0 && r.Ok();)
                name.push_back(static_cast<char>(b));
            names.push_back(name);
        }
        EXPECT_TRUE(r.Ok());
        EXPECT_TRUE(r.AtEnd());
        return names;
    }
    // Upload as the PC does it: create the .tmp, blocks, close, then the shell steps.
    bool Upload(const std::string& name, const std::vector<uint8_t>& bytes, size_t block = 1350) {
        if (!Ask(kStreamingTuner, kCmdFile, Text(0x00, "/mnt/" + name + ".tmp")))
            return false;
        bool ok = true;
        for (size_t at = 0; at < bytes.size() && ok; at += block) {
            std::vector<uint8_t> data = {0x04};
            data.insert(data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + block)));
            ok = Ask(kStreamingTuner, kCmdFile, data).has_value();
        }
        Ask(kStreamingTuner, kCmdFile, {0x02});
        if (!ok) {
            Shell("rm -f \"/mnt/" + name + ".tmp\"");
            return false;
        }
        return Shell("rm -f \"/mnt/" + name + "\"") &&
               Shell("mv \"/mnt/" + name + ".tmp\" \"/mnt/" + name + "\"") && Shell("sync");
    }
    // Download as the PC does it: open, 400-byte reads, close.
    std::optional<std::vector<uint8_t>> Download(const std::string& path) {
        auto size = Ask(kStreamingTuner, kCmdFile, Text(0x01, path));
        if (!size || size->size() != 4)
            return std::nullopt;
        const int32_t s =
            static_cast<int32_t>((*size)[0] << 24 | (*size)[1] << 16 | (*size)[2] << 8 | (*size)[3]);
        if (s <= 0)
            return std::nullopt;
        std::vector<uint8_t> out;
        for (int32_t at = 0; at < s; at += 400) {
            const int32_t n = std::min(400, s - at);
            auto block =
                Ask(kStreamingTuner, kCmdFile, {0x03, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
            if (!block || block->size() != static_cast<size_t>(n))
                return std::nullopt;
            out.insert(out.end(), block->begin(), block->end());
        }
        Ask(kStreamingTuner, kCmdFile, {0x02});
        return out;
    }
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(seed + i * 7);
    return out;
}

TEST_F(KeyFixture, DemoKeysListTheirFilesAndAnEmptyKeyListsNone) {
    EXPECT_EQ(Names(), (std::vector<std::string>{"promo_matin.ts", "meteo_soir.ts"}));
    EXPECT_EQ(Names(kTerrestrial), std::vector<std::string>{});
    const auto files = engine.UsbKeyFiles(kStreamingTuner);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].second.size() % 188, 0u);
    EXPECT_EQ(files[0].second[0], 0x47);
    EXPECT_EQ(engine.UsbKeyFiles(kModulator).size(), 0u) << "a module without a key";
    EXPECT_TRUE(Ask(kModulator, kCmdExecute, ShellText("ls /mnt")).has_value())
        << "modules without a key record texts and answer them positively";
}

TEST_F(KeyFixture, UploadReplacesAFileThroughItsTemporaryName) {
    const auto clip = Pattern(3000, 1);
    ASSERT_TRUE(Upload("clip.ts", clip));
    EXPECT_EQ(Names(), (std::vector<std::string>{"promo_matin.ts", "meteo_soir.ts", "clip.ts"}));
    EXPECT_EQ(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts"), clip);
    // The same name again, on the serial block size: replaced, not duplicated.
    const auto second = Pattern(700, 9);
    ASSERT_TRUE(Upload("clip.ts", second, 256));
    EXPECT_EQ(Names().size(), 3u);
    EXPECT_EQ(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts"), second);
    EXPECT_FALSE(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts.tmp"));
    // A download gives the bytes back.
    EXPECT_EQ(Download("/mnt/clip.ts"), second);
}

TEST_F(KeyFixture, TheNthBlockWriteFailsAndThePartialFileCanBeRemoved) {
    engine.GetFaults().FailNthBlockWrite(kStreamingTuner, 2);
    EXPECT_FALSE(Upload("clip.ts", Pattern(4000, 3)));
    EXPECT_FALSE(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts.tmp"));
    EXPECT_FALSE(engine.ModuleFile(kStreamingTuner, "/mnt/clip.ts"));
    // The fault fired once: the next upload goes through.
    EXPECT_TRUE(Upload("clip.ts", Pattern(4000, 3)));

    engine.GetFaults().RefuseNthCreate(kStreamingTuner, 1);
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdFile, Text(0x00, "/mnt/b.ts.tmp")));
    EXPECT_TRUE(Ask(kStreamingTuner, kCmdFile, Text(0x00, "/mnt/b.ts.tmp")));
    // A block with no file open for writing is refused.
    Ask(kStreamingTuner, kCmdFile, {0x02});
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdFile, {0x04, 1, 2, 3}));
}

TEST_F(KeyFixture, TheKeyHasASizeLimit) {
    const uint64_t free = engine.UsbKeyCapacity(kStreamingTuner) - engine.UsbKeyBytes(kStreamingTuner);
    ASSERT_TRUE(Ask(kStreamingTuner, kCmdFile, Text(0x00, "/mnt/big.ts.tmp")));
    std::vector<uint8_t> block(1 + 1350, 0x47);
    block[0] = 0x04;
    uint64_t written = 0;
    while (written + 1350 <= free) {
        ASSERT_TRUE(Ask(kStreamingTuner, kCmdFile, block));
        written += 1350;
    }
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdFile, block)) << "the block that would overflow the key";
    EXPECT_LE(engine.UsbKeyBytes(kStreamingTuner), engine.UsbKeyCapacity(kStreamingTuner));
}

TEST_F(KeyFixture, RemovingTheKeyFlipsTheStatusByteAndHidesItsFiles) {
    EXPECT_EQ(Ask(kStreamingTuner, kCmdReadStatus)->at(6), 1);
    engine.SetUsbKeyPresent(kStreamingTuner, false);
    EXPECT_EQ(Ask(kStreamingTuner, kCmdReadStatus)->at(6), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{});
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdFile, Text(0x00, "/mnt/a.ts.tmp")));
    EXPECT_EQ(Ask(kStreamingTuner, kCmdFile, Text(0x01, "/mnt/promo_matin.ts")),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    engine.SetUsbKeyPresent(kStreamingTuner, true);
    EXPECT_EQ(Ask(kStreamingTuner, kCmdReadStatus)->at(6), 1);
    EXPECT_EQ(Names().size(), 2u) << "the key comes back with its files";
}

TEST_F(KeyFixture, ShellCommandsActOnTheKeyAndRefusedOnesChangeNothing) {
    EXPECT_TRUE(Shell("rm -f /mnt/meteo_soir.ts"));
    EXPECT_EQ(Names(), std::vector<std::string>{"promo_matin.ts"});
    EXPECT_TRUE(Shell("rm -f /mnt/not_there.ts")) << "rm -f of nothing succeeds";
    EXPECT_FALSE(Shell(R"(mv "/mnt/none.tmp" "/mnt/none")"));
    EXPECT_FALSE(Shell("rm -f /mnt/promo_matin.ts; sync"));
    EXPECT_FALSE(Shell("touch /etc/passwd")) << "no such folder";
    EXPECT_EQ(Names(), std::vector<std::string>{"promo_matin.ts"});
    EXPECT_TRUE(Shell("sync"));
    EXPECT_EQ(engine.SyncCount(kStreamingTuner), 1);
    // An unquoted pattern reaches every file it matches, as on the module.
    EXPECT_TRUE(Shell("rm -f /mnt/*"));
    EXPECT_TRUE(Names().empty());
    // Every text is recorded, refused or not.
    EXPECT_EQ(engine.ExecutedTexts(kStreamingTuner).size(), 7u);
    // A text without its terminating 0 is refused.
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdExecute, {'s', 'y', 'n', 'c'}));
}

TEST_F(KeyFixture, TheLogGrowsWhileTheModuleRunsAndIsFetchedAsThePcDoes) {
    Ask(kStreamingTuner, kCmdReadStatus);
    const size_t before = engine.ModuleLog(kStreamingTuner).size();
    ASSERT_GT(before, 0u) << "the demo log has its start-up lines";
    now += 5 * kLogLineIntervalMs;
    Ask(kStreamingTuner, kCmdReadStatus);
    const std::string grown = engine.ModuleLog(kStreamingTuner);
    EXPECT_GT(grown.size(), before);

    // The fetch: hold the log, join the rotated and the current one, download, release.
    Ask(kStreamingTuner, kCmdSetMode, {1});
    EXPECT_EQ(engine.LogMode(kStreamingTuner), 1);
    EXPECT_TRUE(Shell("touch /logFile.0"));
    EXPECT_TRUE(Shell("cat /logFile.0 /logFile >/tmp/log.txt"));
    now += 5 * kLogLineIntervalMs; // held: no new lines
    const auto fetched = Download("/tmp/log.txt");
    ASSERT_TRUE(fetched);
    EXPECT_EQ(std::string(fetched->begin(), fetched->end()), engine.ModuleLog(kStreamingTuner));
    Ask(kStreamingTuner, kCmdSetMode, {2});
    Ask(kStreamingTuner, kCmdSetMode, {0});
    now += 3 * kLogLineIntervalMs;
    Ask(kStreamingTuner, kCmdReadStatus);
    EXPECT_GT(engine.ModuleLog(kStreamingTuner).size(), fetched->size());
    // A file that is not there opens as all ones and reads nothing.
    EXPECT_EQ(Ask(kStreamingTuner, kCmdFile, Text(0x01, "/tmp/none")),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(Ask(kStreamingTuner, kCmdFile, {0x03, 0x01, 0x90}));
}

TEST_F(KeyFixture, TheLogIsRotatedWhenItGrowsLarge) {
    Ask(kStreamingTuner, kCmdReadStatus);
    for (int i = 0; i < 2000; ++i) {
        now += kLogLineIntervalMs;
        Ask(kStreamingTuner, kCmdReadStatus);
    }
    EXPECT_LE(engine.ModuleLog(kStreamingTuner).size(), kLogRotateBytes + 100);
    const auto rotated = engine.ModuleFile(kStreamingTuner, "/logFile.0");
    ASSERT_TRUE(rotated);
    EXPECT_GT(rotated->size(), kLogRotateBytes);
}

TEST(SimRackJson, UsbKeyAndLogAreReadAndChecked) {
    std::string error;
    auto rack = LoadRackJson(R"({"modules":[{"type":0,"address":0},
        {"type":10,"address":10,"log":"boot\n",
         "usbKey":{"present":false,"capacityBytes":100000,
                   "files":[{"name":"a.ts","size":376},{"name":"b.txt","text":"hi"},{"name":"c.bin","hex":"01 02"}]}}]})",
                             error);
    ASSERT_TRUE(rack) << error;
    const ModuleConfig& m = rack->modules[1];
    ASSERT_TRUE(m.usbKey);
    EXPECT_FALSE(m.usbKey->present);
    EXPECT_EQ(m.usbKey->capacityBytes, 100000u);
    ASSERT_EQ(m.usbKey->files.size(), 3u);
    EXPECT_EQ(m.usbKey->files[0].second.size(), 376u);
    EXPECT_EQ(m.usbKey->files[1].second, (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(m.usbKey->files[2].second, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(m.log, "boot\n");

    for (const char* bad :
         {R"("usbKey":{"files":[{"name":"a/b.ts","size":1}]})",
          R"("usbKey":{"files":[{"name":"","size":1}]})", R"("usbKey":{"files":[{"name":"a.ts"}]})",
          R"("usbKey":{"capacityBytes":10,"files":[{"name":"a.ts","size":11}]})",
          R"("usbKey":{"present":"yes"})", R"("usbKey":[])", R"("log":5)"}) {
        const std::string text =
            std::string(R"({"modules":[{"type":0,"address":0},{"type":10,"address":10,)") + bad + "}]}";
        EXPECT_FALSE(LoadRackJson(text, error)) << bad;
    }
}

} // namespace
