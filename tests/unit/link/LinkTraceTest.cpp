// The support trace: what one line holds and how it reads back, how the writer holds lines
// back from the disk, and how the reader copes with lines that are not its own.
#include "link/LinkTrace.h"
#include "link/CommandNames.h"
#include "link/CommandSet.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace kaptiv;
using namespace kaptiv::link;

namespace {

std::string FileText(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char chunk[4096];
    while (const size_t n = std::fread(chunk, 1, sizeof chunk, file))
        text.append(chunk, n);
    std::fseek(file, 0, SEEK_END);
    return text;
}

size_t CountLines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(CommandNames, SubCodesAndPayloadsTellTheRequestsApart) {
    const std::vector<uint8_t> none;
    EXPECT_EQ(CommandName(cmd::kIdentify, none), "Identify");
    EXPECT_EQ(CommandName(cmd::kExecute, none), "Execute");
    EXPECT_EQ(CommandName(cmd::kExecute, std::vector<uint8_t>{'l', 's', 0}), "ExecuteText");
    EXPECT_EQ(CommandName(cmd::kFile, std::vector<uint8_t>{0x01, 'a', '.', 't', 's', 0}), "OpenByName");
    EXPECT_EQ(CommandName(cmd::kFile, std::vector<uint8_t>{0x01, 0x00, 0x07}), "OpenByNumber");
    EXPECT_EQ(CommandName(cmd::kFile, std::vector<uint8_t>{0x00, 0x00, 0x00}), "CreateByNumber");
    EXPECT_EQ(CommandName(cmd::kFile, std::vector<uint8_t>{0x00, 'x', 'y', 0}), "CreateByName");
    EXPECT_EQ(CommandName(cmd::kFile, std::vector<uint8_t>{0x03, 0x00, 0x08}), "ReadBlock");
    EXPECT_EQ(CommandName(cmd::kFlash, std::vector<uint8_t>{0x03}), "RestartAll");
    EXPECT_EQ(CommandName(cmd::kFlash, std::vector<uint8_t>{0x01, 0, 0, 0, 0xAA}), "FlashWrite");
    EXPECT_EQ(CommandName(cmd::kFile, none), "File") << "a file request without its sub-code";
    EXPECT_EQ(CommandName(0x20, none), "Unknown");
    for (auto r :
         {LinkResult::Ok, LinkResult::NoLink, LinkResult::Timeout, LinkResult::Negative,
          LinkResult::BadChecksum, LinkResult::AnswerTooLong, LinkResult::Refused, LinkResult::SendFailed})
        EXPECT_EQ(ResultFromToken(ResultToken(r)), r);
}

TEST(TraceLineFormat, ReadsBackWhatItWrites) {
    TraceLine line;
    line.ms = 1520;
    line.transport = "serial:/dev/ttyUSB0";
    line.address = 0x0A;
    line.command = 0x50;
    line.result = LinkResult::Negative;
    line.request = {0x00, 0x02, 0xFF};
    line.answered = true;
    line.answerControl = 0xE0;
    const std::string text = FormatTraceLine(line);
    EXPECT_EQ(text, "1520 serial:/dev/ttyUSB0 0A 50 WriteData negative > 0002FF < E0:");
    const TraceParse back = ParseTraceLine(text);
    ASSERT_TRUE(back.Ok()) << back.error;
    ASSERT_TRUE(back.line);
    EXPECT_EQ(back.line->ms, 1520);
    EXPECT_EQ(back.line->transport, line.transport);
    EXPECT_EQ(back.line->name, "WriteData");
    EXPECT_EQ(back.line->result, LinkResult::Negative);
    EXPECT_EQ(back.line->request, line.request);
    EXPECT_TRUE(back.line->answered);
    EXPECT_EQ(back.line->answerControl, 0xE0);
    EXPECT_TRUE(back.line->answer.empty());

    line.answered = false;
    line.request.clear();
    line.result = LinkResult::Timeout;
    EXPECT_EQ(FormatTraceLine(line), "1520 serial:/dev/ttyUSB0 0A 50 WriteData timeout > - < -");
}

TEST(TraceReader, BadLinesAreNamedByNumberAndTheRestIsRead) {
    const std::string text = std::string(kTraceHeader) +
                             "\n"
                             "10 gateway:127.0.0.1:666 00 10 Identify ok > - < F0:770014\n"
                             "11 gateway:h:1 00 10 Identify ok > - <\n"             // 9 fields
                             "x gateway:h:1 00 10 Identify ok > - < -\n"            // time
                             "12 gateway:h:1 0 10 Identify ok > - < -\n"            // address
                             "13 gateway:h:1 00 10 Identify fine > - < -\n"         // result
                             "14 gateway:h:1 00 10 Identify ok > ABC < -\n"         // odd hex
                             "15 gateway:h:1 00 10 Identify ok > - < F0-77\n"       // answer
                             "16 gateway:h:1 00 10 Identify ok  > - < -\n"          // double space
                             "-3 gateway:h:1 00 10 Identify ok > - < -\n"           // negative time
                             "17 gateway:h:1 00 10 Identify ok > - < F0:77 extra\n" // 11 fields
                             "\n"
                             "18 serial:/dev/pts/4 0A 70 ReadParameters timeout > - < -\r\n";
    const TraceFile file = ParseTrace(text);
    ASSERT_EQ(file.lines.size(), 2u);
    EXPECT_EQ(file.lineNumbers, (std::vector<int>{2, 13}));
    EXPECT_EQ(file.lines[1].result, LinkResult::Timeout);
    std::vector<int> bad;
    for (const auto& [number, error] : file.errors) {
        bad.push_back(number);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(bad, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(TraceReader, RefusesOversizedFields) {
    const std::string huge(2 * 65536, 'A');
    EXPECT_FALSE(ParseTraceLine("1 none 00 50 WriteData ok > " + huge + " < -").Ok());
    EXPECT_FALSE(ParseTraceLine(std::string(kMaxTraceLineLength + 1, '1')).Ok());
    const std::string most(2 * 65535, 'A');
    EXPECT_TRUE(ParseTraceLine("1 none 00 50 WriteData ok > " + most + " < -").Ok());
}

struct TraceWriter : ::testing::Test {
    platform::ManualClock clock{5000};
    std::FILE* file = std::tmpfile();
    std::unique_ptr<LinkTrace> trace;
    std::array<uint8_t, 3> identity{0x77, 0x07, 0x14};

    void SetUp() override {
        ASSERT_NE(file, nullptr);
        trace = std::make_unique<LinkTrace>(clock, file);
        trace->SetSerialDevice("/dev/my port%1");
    }
    void Exchange(LinkResult result) {
        ExchangeRecord r;
        r.address = 0x0A;
        r.command = cmd::kIdentify;
        r.result = result;
        r.answerControl = 0xF0;
        r.answer = identity;
        trace->OnExchange(r);
    }
};

TEST_F(TraceWriter, HoldsLinesBackUntilAFlushPointOrAFailure) {
    for (size_t i = 0; i + 1 < LinkTrace::kFlushLines; ++i) {
        clock.Advance(3);
        Exchange(LinkResult::Ok);
    }
    EXPECT_EQ(FileText(file), "") << "nothing reaches the disk before a flush point";
    Exchange(LinkResult::Ok);
    EXPECT_EQ(CountLines(FileText(file)), LinkTrace::kFlushLines + 1) << "header and the lines";

    clock.Advance(7);
    Exchange(LinkResult::Ok);
    Exchange(LinkResult::Timeout);
    const std::string text = FileText(file);
    EXPECT_EQ(CountLines(text), LinkTrace::kFlushLines + 3) << "a failure is written at once";

    const TraceFile back = ParseTrace(text);
    EXPECT_TRUE(back.errors.empty());
    ASSERT_EQ(back.lines.size(), LinkTrace::kFlushLines + 2);
    EXPECT_EQ(back.lines.front().ms, 3);
    EXPECT_EQ(back.lines.back().ms, 3 * 63 + 7);
    EXPECT_EQ(back.lines.front().transport, "serial:/dev/my%20port%251");
    EXPECT_EQ(back.lines.front().answer, (std::vector<uint8_t>{0x77, 0x07, 0x14}));
    EXPECT_FALSE(back.lines.back().answered) << "a time-out carries no (stale) answer";
}

TEST_F(TraceWriter, CloseWritesWhatIsHeld) {
    Exchange(LinkResult::Ok);
    trace->Flush();
    Exchange(LinkResult::Ok);
    EXPECT_EQ(CountLines(FileText(file)), 2u);
    // The trace closes the file; read it through a second handle first.
    const int fd = dup(fileno(file));
    trace.reset();
    std::FILE* again = fdopen(fd, "rb");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(CountLines(FileText(again)), 3u);
    std::fclose(again);
}
