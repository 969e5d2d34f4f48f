// The file requests of a streaming module through the command set, over a scripted serial line:
// what the answers are taken for, and the answers that must not be taken.
#include "streaming/ModuleFiles.h"

#include "platform/Clock.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/FrameDecode.h"
#include "tests/support/RecordingIndicators.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using test::ModuleAnswer;

namespace {

constexpr uint8_t kModule = 0x15;
constexpr uint8_t kPositive = 0xF0;

struct ModuleFilesFixture : ::testing::Test {
    platform::ManualClock clock;
    std::shared_ptr<test::SerialScript> script = std::make_shared<test::SerialScript>();
    test::RecordingIndicators lamps;
    link::CXmit xmit{clock};
    link::CommandSet commands{xmit};
    streaming::CommandSetFiles files{commands, kModule};

    void SetUp() override {
        xmit.SetIndicators(&lamps);
        xmit.SetPortOpener(std::make_unique<test::FakeOpener>(clock, script, std::vector<int>{0}));
        script->answers.push_back(ModuleAnswer(0x00, kPositive, {0x77, 0x00, 23}));
        ASSERT_TRUE(xmit.OpenLink());
        script->writes.clear();
    }
    void Answer(const std::vector<uint8_t>& data) {
        script->answers.push_back(ModuleAnswer(kModule, kPositive, data));
    }
};

} // namespace

TEST_F(ModuleFilesFixture, NameListIsCopiedOutOfTheSharedAnswer) {
    Answer({0, 0, 0, 1, 'a', 0});
    std::vector<uint8_t> answer;
    ASSERT_TRUE(files.ReadNameList(answer));
    EXPECT_EQ(answer, (std::vector<uint8_t>{0, 0, 0, 1, 'a', 0}));
    // The next exchange reuses the answer area; the copy stays.
    Answer({9, 9, 9, 9});
    EXPECT_EQ(files.OpenByName("/tmp/log.txt"), 0x09090909);
    EXPECT_EQ(answer[4], 'a');
    // No answer at all.
    EXPECT_FALSE(files.ReadNameList(answer));
    EXPECT_TRUE(answer.empty());
}

TEST_F(ModuleFilesFixture, SizeOfAllOnesIsFailureAndShortReadsAreRefused) {
    Answer({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(files.OpenByName("/tmp/log.txt"), -1);
    std::vector<uint8_t> bytes;
    Answer({1, 2, 3, 4});
    ASSERT_TRUE(files.ReadBlock(4, bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
    // Fewer bytes than asked for would leave a hole in the log; more do not fit the block.
    Answer({1, 2, 3});
    EXPECT_FALSE(files.ReadBlock(4, bytes));
    Answer({1, 2, 3, 4, 5});
    EXPECT_FALSE(files.ReadBlock(4, bytes));
}

TEST_F(ModuleFilesFixture, UploadBlocksFollowTheLink) {
    EXPECT_FALSE(files.OverGateway()); // the serial line: 256-byte blocks
    Answer({});
    const std::vector<uint8_t> block(streaming::kSerialUploadBlock, 0x47);
    EXPECT_TRUE(files.WriteForm4(block));
    std::vector<uint8_t> wire;
    for (const auto& piece : script->writes)
        wire.insert(wire.end(), piece.begin(), piece.end());
    const auto frame = test::DecodeSentFrame(wire);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->destination, kModule);
    EXPECT_EQ(frame->control & 0xF0, 0xA0);
    ASSERT_EQ(frame->data.size(), 257u);
    EXPECT_EQ(frame->data[0], 0x04);
}

TEST_F(ModuleFilesFixture, SizesFrom2To31AreNotPositive) {
    Answer({0x7F, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(files.OpenByName("/tmp/log.txt"), 0x7FFFFFFF);
    Answer({0x80, 0x00, 0x00, 0x00});
    EXPECT_EQ(files.OpenByName("/tmp/log.txt"), -1);
    Answer({0xFF, 0xFF, 0xFF, 0xF0});
    EXPECT_EQ(files.OpenByName("/tmp/log.txt"), -1);
}
