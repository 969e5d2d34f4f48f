// trace show: module types learned from the trace itself decide how bytes are read; a written
// parameter block comes out as the JSON of block decode, the packets of a CI module as EN 50221
// objects, and lines that are not trace lines are named by their number without stopping.
#include "tools/TraceShow.h"
#include "cam/MmiCodec.h"
#include "link/LinkTrace.h"
#include "platform/ModuleType.h"
#include "sim/DemoBlocks.h"
#include "tools/TerminalText.h"
#include "tools/json/BlockJson.h"

#include "NestedMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kaptiv;

namespace {

std::string Line(int64_t ms, uint8_t address, uint8_t command, const std::vector<uint8_t>& request,
                 const std::vector<uint8_t>* answer, link::LinkResult result = link::LinkResult::Ok) {
    link::TraceLine line;
    line.ms = ms;
    line.transport = "gateway:127.0.0.1:666";
    line.address = address;
    line.command = command;
    line.request = request;
    line.result = result;
    if (answer) {
        line.answered = true;
        line.answerControl = 0xF0;
        line.answer = *answer;
    }
    return link::FormatTraceLine(line) + "\n";
}

// Link records as a CI module returns them: length (2 bytes), transport connection, flags.
void AppendRecord(std::vector<uint8_t>& out, const std::vector<uint8_t>& fragment, bool more) {
    const size_t length = fragment.size() + 2;
    out.insert(out.end(), {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0x01,
                           static_cast<uint8_t>(more ? 0x80 : 0x00)});
    out.insert(out.end(), fragment.begin(), fragment.end());
}

constexpr uint8_t kTuner = 0x0A;
constexpr uint8_t kCi = 0x0B;

} // namespace

TEST(TraceShow, WrittenBlockIsDecodedByTheTypeTheModuleIdentifiedAs) {
    const std::vector<uint8_t> block = mulvane::DemoBlockFor(type::kSat2_0);
    const std::vector<uint8_t> identity = {0x77, type::kSat2_0, 23, 3};
    const std::vector<uint8_t> empty;
    // The same bytes before the module identified itself are shown as plain hex.
    const std::string text = std::string(link::kTraceHeader) + "\n" + Line(0, kTuner, 0x50, block, &empty) +
                             Line(5, kTuner, 0x10, {}, &identity) + Line(9, kTuner, 0x50, block, &empty);
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 0);

    const tools::JsonDecodeResult expected = tools::BlockToJson(type::kSat2_0, block);
    ASSERT_TRUE(expected.Ok()) << expected.error;
    const size_t decoded = out.find("request: parameter block " + expected.json.dump(2));
    ASSERT_NE(decoded, std::string::npos) << out;
    EXPECT_GT(decoded, out.find("line 4 ")) << "only after the identification";
    EXPECT_NE(out.find("frequencyMHz"), std::string::npos);
    EXPECT_NE(out.find("type 7 RkSat2.0, release 2.3, hardware 3"), std::string::npos);
    EXPECT_NE(out.find("module 0A (RkSat2.0)  WriteData  ok"), std::string::npos);
    const std::string firstWrite = out.substr(out.find("line 2 "), out.find("line 3 ") - out.find("line 2 "));
    EXPECT_NE(firstWrite.find("  request: "), std::string::npos);
    EXPECT_EQ(firstWrite.find("parameter block"), std::string::npos) << "plain hex before the type is known";
}

TEST(TraceShow, CamPacketsBothWaysAsEn50221Objects) {
    const std::vector<uint8_t> list = {kTuner, type::kSat2_0, 0, kCi, type::kCommonInterface, 0};
    const std::vector<uint8_t> empty;
    // A T_data_last on connection 1: session_number 4, then text_last "Hello" and menu_last with
    // two choices whose texts ("A", empty) are inside its body; sent in two link records.
    const std::vector<uint8_t> tpdu = {0xA0, 0x1C, 0x01, 0x90, 0x02, 0x00, 0x04, 0x9F, 0x88, 0x03,
                                       0x05, 'H',  'e',  'l',  'l',  'o',  0x9F, 0x88, 0x09, 0x0A,
                                       0x02, 0x9F, 0x88, 0x03, 0x01, 'A',  0x9F, 0x88, 0x03, 0x00};
    std::vector<uint8_t> records;
    AppendRecord(records, {tpdu.begin(), tpdu.begin() + 10}, true);
    AppendRecord(records, {tpdu.begin() + 10, tpdu.end()}, false);

    const std::string text = Line(0, 0, 0x60, {}, &list) + Line(1, kCi, 0x50, cam::MenuAnswer(2), &empty) +
                             Line(2, kCi, 0x60, {}, &records) +
                             Line(3, kCi, 0x60, {}, nullptr, link::LinkResult::Timeout);
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 0);
    EXPECT_NE(out.find("module list 0A=7 0B=3"), std::string::npos) << out;

    const nlohmann::json sent = tools::DecodeCamOutgoing(cam::MenuAnswer(2));
    const nlohmann::json& sentObject = sent["tpdus"][0]["spdus"][0]["objects"][0];
    EXPECT_EQ(sent["tpdus"][0]["tpdu"], "T_data_last");
    EXPECT_EQ(sent["tpdus"][0]["spdus"][0]["session"], 4);
    EXPECT_EQ(sentObject["object"], "menu_answ");
    EXPECT_EQ(sentObject["choice"], 2);
    EXPECT_NE(out.find("request: CAM packet " + sent.dump(2)), std::string::npos);

    const nlohmann::json got = tools::DecodeCamIncoming(records);
    ASSERT_EQ(got["tpdus"].size(), 1u) << got.dump(2);
    const nlohmann::json& objects = got["tpdus"][0]["spdus"][0]["objects"];
    ASSERT_EQ(objects.size(), 2u) << got.dump(2);
    EXPECT_EQ(objects[0]["object"], "text_last");
    EXPECT_EQ(objects[0]["text"], "Hello");
    EXPECT_EQ(objects[1]["object"], "menu_last");
    EXPECT_EQ(objects[1]["choices"], 2);
    ASSERT_EQ(objects[1]["items"].size(), 2u);
    EXPECT_EQ(objects[1]["items"][0]["text"], "A");
    EXPECT_NE(out.find("CAM packets " + got.dump(2)), std::string::npos);
    EXPECT_NE(out.find("module 0B (RkCI)  ReadData  timeout"), std::string::npos);
}

TEST(TraceShow, DamagedCamPacketsAreShownNotFollowed) {
    // A record longer than the answer, a transport length past the data, an object length
    // field of five bytes: each is named and its bytes are left as hex.
    const nlohmann::json overrun =
        tools::DecodeCamIncoming(std::vector<uint8_t>{0x00, 0x40, 0x01, 0x00, 0xA0});
    EXPECT_EQ(overrun["error"], "link record runs past the answer");
    const nlohmann::json past = tools::DecodeCamOutgoing(std::vector<uint8_t>{0x01, 0x00, 0xA0, 0x7F, 0x01});
    EXPECT_TRUE(past["tpdus"][0].contains("error"));
    const nlohmann::json longField = tools::DecodeCamOutgoing(std::vector<uint8_t>{
        0x01, 0x00, 0xA0, 0x0B, 0x01, 0x90, 0x02, 0x00, 0x04, 0x9F, 0x88, 0x03, 0x85, 1, 2});
    const nlohmann::json& object = longField["tpdus"][0]["spdus"][0]["objects"][0];
    EXPECT_EQ(object["error"], "length runs past the packet");
    EXPECT_TRUE(tools::DecodeCamOutgoing(std::vector<uint8_t>{0x01}).contains("error"));
}

TEST(TraceShow, BadLinesAreReportedWithTheirNumber) {
    const std::vector<uint8_t> identity = {0x77, 0x00, 31};
    const std::string text = "# kaptiv link trace 1\n" + Line(0, 0, 0x10, {}, &identity) +
                             "0 gateway:h:1 00 10 Identify ok > - < F0:77ZZ\n" + "garbage\n" +
                             Line(4, 0, 0x70, {}, nullptr, link::LinkResult::Timeout);
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 2);
    const size_t bad3 = out.find("line 3: not a trace line");
    const size_t bad4 = out.find("line 4: not a trace line");
    ASSERT_NE(bad3, std::string::npos) << out;
    ASSERT_NE(bad4, std::string::npos) << out;
    EXPECT_LT(out.find("line 2 "), bad3);
    EXPECT_LT(bad4, out.find("line 5 ")) << "the lines after a bad one are still shown, in order";
}

TEST(TraceShow, ALongTransportKeepsItsLineWhole) {
    const std::string device(1000, 'd');
    const std::string text = "5 serial:/dev/" + device + " 0A 10 Identify timeout > - < -\n" +
                             "6 serial:/dev/x 0A 10 Identify timeout > - < -\n";
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 0);
    EXPECT_NE(out.find(device + "  module 0A  Identify  timeout\nline 2 "), std::string::npos)
        << out.substr(0, 80);
}

namespace {

std::string CamModuleList() {
    const std::vector<uint8_t> list = {kCi, type::kCommonInterface, 0};
    return Line(0, 0, 0x60, {}, &list);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

// Objects nested up to kMaxNesting levels are decoded; one level more is shown as hex.
TEST(TraceShow, NestingIsDecodedUpToItsLimit) {
    const auto text = [](size_t menus) {
        const std::vector<uint8_t> empty;
        return CamModuleList() +
               Line(1, kCi, 0x50, kaptiv::testing::CamPacket(kaptiv::testing::NestedMenus(menus)), &empty);
    };
    std::string within;
    EXPECT_EQ(tools::ShowTrace(text(tools::kMaxNesting - 1), within), 0);
    EXPECT_EQ(Count(within, "\"menu_last\""), tools::kMaxNesting - 1);
    EXPECT_NE(within.find("\"text\": \"X\""), std::string::npos) << "the text at the deepest level";
    EXPECT_EQ(within.find("nested deeper"), std::string::npos);

    std::string beyond;
    EXPECT_EQ(tools::ShowTrace(text(tools::kMaxNesting), beyond), 0);
    EXPECT_EQ(Count(beyond, "\"menu_last\""), tools::kMaxNesting);
    EXPECT_EQ(beyond.find("\"text\": \"X\""), std::string::npos);
    EXPECT_NE(beyond.find("nested deeper than 16 levels"), std::string::npos) << beyond;
}

// The nested line of a hostile trace (a 63 kB request, 9,000 menus deep) comes out small,
// without recursing 9,000 levels.
TEST(TraceShow, AMenuNestedNineThousandDeepStaysSmall) {
    const std::vector<uint8_t> packet = kaptiv::testing::CamPacket(kaptiv::testing::NestedMenus(9000));
    ASSERT_GT(packet.size(), 60'000u);
    ASSERT_LE(packet.size(), 65'535u);
    const std::vector<uint8_t> empty;
    std::vector<size_t> lines;
    EXPECT_EQ(tools::ShowTrace(CamModuleList() + Line(1, kCi, 0x50, packet, &empty),
                               [&](std::string_view line) { lines.push_back(line.size()); }),
              0);
    ASSERT_EQ(lines.size(), 2u) << "each line handed on by itself";
    EXPECT_LT(lines[1], 8 * packet.size());
}

// At most kMaxObjectsPerPacket objects of one packet are decoded; the rest is hex.
TEST(TraceShow, ObjectsPerPacketAreDecodedUpToTheirLimit) {
    const auto objects = [](size_t count) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < count; ++i)
            out.insert(out.end(), {0x9F, 0x88, 0x03, 0x01, 'Y'});
        return tools::DecodeCamOutgoing(kaptiv::testing::CamPacket(out))["tpdus"][0]["spdus"][0]["objects"];
    };
    const nlohmann::json all = objects(tools::kMaxObjectsPerPacket);
    ASSERT_EQ(all.size(), tools::kMaxObjectsPerPacket);
    EXPECT_EQ(all.back()["text"], "Y");
    const nlohmann::json cut = objects(tools::kMaxObjectsPerPacket + 1);
    ASSERT_EQ(cut.size(), tools::kMaxObjectsPerPacket + 1);
    EXPECT_EQ(cut[tools::kMaxObjectsPerPacket - 1]["text"], "Y");
    EXPECT_EQ(cut.back()["error"], "more than 1024 objects in one packet: the rest is not decoded");
    EXPECT_EQ(cut.back()["undecoded"], "9F 88 03 01 59");
}

// One line's decoding is cut at the output bound, with a note; a line that fits is whole.
TEST(TraceShow, ALinesOutputIsCutAtItsBound) {
    const std::vector<uint8_t> data(100, 0xAB);
    const std::string text = Line(7, kTuner, 0x70, data, nullptr, link::LinkResult::Timeout);
    std::string whole;
    tools::ShowTrace(text, whole);
    ASSERT_GT(whole.size(), 300u);
    std::string exact;
    tools::ShowTrace(
        text, [&](std::string_view line) { exact.append(line); }, whole.size());
    EXPECT_EQ(exact, whole);
    std::string cut;
    tools::ShowTrace(
        text, [&](std::string_view line) { cut.append(line); }, whole.size() - 1);
    EXPECT_EQ(cut.substr(0, whole.size() - 1), whole.substr(0, whole.size() - 1));
    EXPECT_NE(cut.find("the decoding of line 1 is cut here"), std::string::npos) << cut;
}

// Bytes of the trace never reach the terminal as control characters: an "ESC ] 0;" in the
// transport field, a C1 control in a CAM text, a bad line's echoed field.
TEST(TraceShow, ControlCharactersFromTheTraceAreEscaped) {
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t> c1Text = {0x9F, 0x88, 0x03, 0x02, 0x9B, 'Z'}; // Latin-1: U+009B
    const std::string text = "1 serial:\x1B]0;owned\x07 0A 10 Identify timeout > - < -\n" + CamModuleList() +
                             Line(2, kCi, 0x50, kaptiv::testing::CamPacket(c1Text), &empty) + "\x1B[2J 0A\n";
    std::string out;
    EXPECT_EQ(tools::ShowTrace(text, out), 1);
    for (const char c : out)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << static_cast<int>(c);
    EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos);
    EXPECT_NE(out.find("serial:\\x1B]0;owned\\x07"), std::string::npos) << out;
    EXPECT_NE(out.find("\\u009BZ"), std::string::npos) << out;
}

TEST(TerminalText, ControlsAreEscapedAndTextIsKept) {
    EXPECT_EQ(tools::EscapeControls("a\tb\r\nc\x1B]0;t\x07\x7F"), "a\tb\r\nc\\x1B]0;t\\x07\\x7F");
    EXPECT_EQ(tools::EscapeControls("cr\rlf"), "cr\\x0Dlf");
    EXPECT_EQ(tools::EscapeControls("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(tools::EscapeControls("\xC2\x85\xC2\x9F\xC2\xA0"), "\\u0085\\u009F\xC2\xA0");
    EXPECT_EQ(tools::EscapeControls("\x9B\xFF\xC3"), "\\x9B\\xFF\\xC3") << "bytes that are not UTF-8";
    EXPECT_EQ(tools::EscapeControls("\xE0\x80\x80"), "\\xE0\\x80\\x80") << "an overlong form";
}
