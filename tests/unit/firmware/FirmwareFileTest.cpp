// The firmware folder's formats: MD5, the firmware file check, names, the index, composite
// images and packet coding, and the folder read as the tool reads it.
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwareFolder.h"
#include "firmware/Md5.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

using namespace kaptiv::firmware;
namespace fs = std::filesystem;

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [text, digest] : suite) {
        EXPECT_EQ(Md5::Hex(Md5::Of(Bytes(text))), digest) << '"' << text << '"';
        // The same digest when the bytes come in pieces that straddle the 64-byte blocks.
        Md5 md5;
        for (size_t i = 0; i < text.size(); i += 7)
            md5.Add(Bytes(text.substr(i, 7)));
        EXPECT_EQ(Md5::Hex(md5.Finish()), digest) << "in pieces: \"" << text << '"';
    }
}

std::vector<uint8_t> FileBytes(uint8_t type, uint8_t release, std::vector<uint8_t> image,
                               int checksumError = 0) {
    std::vector<uint8_t> file = std::move(image);
    file.insert(file.begin(), {0, 0, 0, 0, type, release});
    const uint32_t sum = ByteSum(std::span(file).subspan(4)) + static_cast<uint32_t>(checksumError);
    for (int i = 0; i < 4; ++i)
        file[i] = static_cast<uint8_t>(sum >> (8 * i));
    return file;
}

TEST(FirmwareFileCheck, ChecksumTypeAndRelease) {
    const auto good = CheckFirmwareFile(FileBytes(7, 25, {0xFF, 0x10, 0x20}));
    EXPECT_TRUE(good.valid) << good.reason;
    EXPECT_EQ(good.moduleType, 7);
    EXPECT_EQ(good.release, 25);
    EXPECT_EQ(good.storedChecksum, 7u + 25 + 0xFF + 0x10 + 0x20);

    // A sum that wraps past 2^32 is still the stored checksum modulo 2^32.
    EXPECT_TRUE(CheckFirmwareFile(FileBytes(7, 25, std::vector<uint8_t>(100, 0xFF))).valid);

    for (int off : {1, -1}) {
        const auto bad = CheckFirmwareFile(FileBytes(7, 25, {1, 2, 3}, off));
        EXPECT_FALSE(bad.valid) << off;
        EXPECT_NE(bad.reason.find("checksum stored"), std::string::npos) << bad.reason;
    }
    // Exactly the header, no image: refused, as is anything shorter.
    EXPECT_FALSE(CheckFirmwareFile(FileBytes(7, 25, {})).valid);
    EXPECT_FALSE(CheckFirmwareFile(std::vector<uint8_t>{1, 2}).valid);
    EXPECT_FALSE(CheckFirmwareFile({}).valid);
}

TEST(FirmwareFileNames, HardwareRevisionIsTheDigitBeforeV) {
    EXPECT_EQ(HardwareRevisionFromName("RKSAT2_1_V23.bin"), 1);
    EXPECT_EQ(HardwareRevisionFromName("sat1_V5.bin"), 1);             // one-digit release
    EXPECT_EQ(HardwareRevisionFromName("mod2_v123.bin"), 2);           // lower-case v, three digits
    EXPECT_EQ(HardwareRevisionFromName("sub\\dir/X_3_V7_V23.bin"), 7); // the last "_V" counts
    EXPECT_EQ(HardwareRevisionFromName("RKSAT2_0_V25.BIN"), 0);
    EXPECT_FALSE(HardwareRevisionFromName("RKSAT2_x_V23.bin"));
    EXPECT_FALSE(HardwareRevisionFromName("_V23.bin"));
    EXPECT_FALSE(HardwareRevisionFromName("RKSAT2.bin"));
    EXPECT_FALSE(HardwareRevisionFromName(""));
    // A folder written with a backslash in the index is no part of the name either.
    EXPECT_FALSE(HardwareRevisionFromName("old_2_V1\\RKSAT2.bin"));
    EXPECT_FALSE(HardwareRevisionFromName("old_2_V1/RKSAT2.bin"));
    EXPECT_EQ(HardwareRevisionFromName("old_2_V1\\RKSAT2_4_V25.bin"), 4);
}

TEST(FirmwareFileNames, MinimumReleases) {
    EXPECT_EQ(MinimumRelease(0), 99);
    EXPECT_EQ(MinimumRelease(1), 14);
    EXPECT_EQ(MinimumRelease(2), 22);
    EXPECT_EQ(MinimumRelease(3), 20);
    EXPECT_EQ(MinimumRelease(4), 13);
    for (uint8_t t : {5, 6, 7, 8, 9, 11})
        EXPECT_EQ(MinimumRelease(t), 10) << int(t);
    EXPECT_EQ(MinimumRelease(13), 1);
    EXPECT_EQ(MinimumRelease(14), 1);
    EXPECT_EQ(MinimumRelease(10), kNoMinimumRelease);
    EXPECT_EQ(MinimumRelease(12), kNoMinimumRelease);
}

TEST(FirmwareIndex, WindowsLineEndsBlankLinesAndBlanks) {
    EXPECT_EQ(ParseIndex("a_0_V1.bin\r\n\r\n  b_1_V2.bin \r\nc_2_V3.bin"),
              (std::vector<std::string>{"a_0_V1.bin", "b_1_V2.bin", "c_2_V3.bin"}));
    EXPECT_EQ(ParseIndex("x\n"), (std::vector<std::string>{"x"}));
    EXPECT_TRUE(ParseIndex("\r\n\n \t\r\n").empty());
    EXPECT_TRUE(ParseIndex("").empty());
}

TEST(CompositeImage, SubRecordsAndTheirBounds) {
    // Main firmware (release 42, 3 bytes), then component 0x0010 (release 5): a literal
    // packet of 4 bytes and a run of 3 zeros.
    const std::vector<uint8_t> image = {42, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    3,
                                        1,  2, 3,    5,    0,    0x12, 0x34, 0x00, 0x10, 0,
                                        0,  0, 7,    0x84, 1,    2,    0,    9,    0x03, 0x00};
    const auto subs = ParseSubRecords(image);
    ASSERT_TRUE(subs);
    ASSERT_EQ(subs->size(), 2u);
    EXPECT_TRUE((*subs)[0].IsMainFirmware());
    EXPECT_EQ((*subs)[0].release, 42);
    EXPECT_EQ((*subs)[0].dataOffset, 10u);
    EXPECT_EQ((*subs)[0].dataLength, 3u);
    EXPECT_FALSE((*subs)[1].IsMainFirmware());
    EXPECT_EQ((*subs)[1].identifier, 0x12340010u);
    EXPECT_EQ((*subs)[1].ComponentNumber(), 0x0010);
    const auto data = std::span(image).subspan((*subs)[1].dataOffset, (*subs)[1].dataLength);
    EXPECT_EQ(DecodePackets(data, 100), (std::vector<uint8_t>{1, 2, 0, 9, 0, 0, 0}));
    EXPECT_EQ(DecodePackets(data, 2), (std::vector<uint8_t>{1, 2}));

    std::string error;
    auto longer = image;
    longer[22] = 8; // the component claims one byte more than the image holds
    EXPECT_FALSE(ParseSubRecords(longer, &error));
    EXPECT_NE(error.find("claims 8 bytes"), std::string::npos) << error;
    auto cut = image;
    cut.resize(cut.size() - 1);
    cut[22] = 6; // fits, but its last packet (a run) lost its byte
    EXPECT_FALSE(ParseSubRecords(cut, &error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;
    EXPECT_FALSE(ParseSubRecords(std::vector<uint8_t>(9, 0))); // a header cut short
    EXPECT_TRUE(ParseSubRecords({})->empty());
}

TEST(HdComponentNames, ReleaseAndDigest) {
    const auto name = ParseHdComponentName("QVXHD4ENC_12_0123456789ABCDEF0123456789ABCDEF.bin");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->release, 12);
    EXPECT_EQ(name->digest, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_TRUE(ParseHdComponentName("qvxhd4enc_07_build3_0123456789ABCDEF0123456789ABCDEF.BIN"));
    EXPECT_FALSE(ParseHdComponentName("QVXHD4ENC_1x_0123456789ABCDEF0123456789ABCDEF.bin"));
    EXPECT_FALSE(ParseHdComponentName("QVXHD4ENC_12_0123456789abcdef0123456789ABCDEF.bin")); // lower-case hex
    EXPECT_FALSE(ParseHdComponentName("QVXHD4ENC_12_0123456789ABCDEF.bin"));
    EXPECT_FALSE(ParseHdComponentName("QVXHD4ENC_12_0123456789ABCDEF0123456789ABCDEF.rle"));
}

struct FolderFixture : ::testing::Test {
    fs::path folder = fs::temp_directory_path() /
                      ("kaptiv-fw-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                       "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteText(const std::string& name, const std::string& text) {
        Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
};

TEST_F(FolderFixture, TheIndexIsReadAsWrittenOnWindows) {
    Write("RKSAT2_0_V25.BIN", FileBytes(7, 25, {1, 2, 3}));
    Write("RKSAT1_2_V36.bin", FileBytes(4, 36, {4, 5, 6}));
    Write("off_0_V30.bin", FileBytes(4, 30, {4, 5, 6}, 1));
    Write("short_0_V30.bin", {1, 2, 3, 4, 5, 6});
    Write("norev_V30.bin", FileBytes(4, 30, {4, 5, 6}));
    WriteText("qvx.frm", "rksat2_0_v25.bin\r\n\r\nRKSAT1_2_V36.bin\r\nmissing_0_V1.bin\r\noff_0_V30.bin\r\n"
                         "short_0_V30.bin\r\nnorev_V30.bin\r\n");
    const FolderIndex index = IndexFirmwareFolder(folder);
    ASSERT_TRUE(index.indexFound);
    ASSERT_EQ(index.lines.size(), 6u);
    const auto entries = index.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(fs::path(entries[0].path).filename(), "RKSAT2_0_V25.BIN");
    EXPECT_EQ(entries[0].moduleType, 7);
    EXPECT_EQ(entries[0].release, 25);
    EXPECT_EQ(entries[0].hardwareRevision, 0);
    EXPECT_EQ(entries[0].minimumRelease, 10);
    EXPECT_EQ(entries[1].hardwareRevision, 2);
    EXPECT_EQ(entries[1].minimumRelease, 13);
    EXPECT_EQ(index.lines[2].skipped, "missing");
    EXPECT_NE(index.lines[3].skipped.find("checksum stored"), std::string::npos);
    EXPECT_NE(index.lines[4].skipped.find("too short"), std::string::npos);
    EXPECT_NE(index.lines[5].skipped.find("hardware revision"), std::string::npos);
}

TEST_F(FolderFixture, NoIndexNoEntries) {
    Write("RKSAT2_0_V25.bin", FileBytes(7, 25, {1, 2, 3}));
    EXPECT_FALSE(IndexFirmwareFolder(folder).indexFound);
    EXPECT_FALSE(IndexFirmwareFolder(folder / "nowhere").indexFound);
}

TEST_F(FolderFixture, AnIndexLineCannotLeaveTheFolder) {
    fs::create_directories(folder / "fw");
    Write("OUT_0_V25.bin", FileBytes(7, 25, {1, 2, 3}));
    WriteText("fw/QVX.FRM", "../out_0_V25.bin\r\n");
    const FolderIndex index = IndexFirmwareFolder(folder / "fw");
    ASSERT_EQ(index.lines.size(), 1u);
    EXPECT_FALSE(index.lines[0].added);
}

TEST_F(FolderFixture, ABackslashFolderInTheIndexIsFound) {
    fs::create_directories(folder / "old");
    Write("old/RKSAT2_1_V25.bin", FileBytes(7, 25, {1, 2, 3}));
    WriteText("QVX.FRM", "OLD\\rksat2_1_v25.bin\r\n");
    const auto entries = IndexFirmwareFolder(folder).Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].hardwareRevision, 1);
}

TEST_F(FolderFixture, NoSymbolicLinkLeadsOutOfTheFolder) {
    const fs::path outside = folder.string() + "-outside";
    fs::create_directories(outside);
    std::ofstream(outside / "secret.bin", std::ios::binary)
        << std::string("\x2e\0\0\0\x04\x24\x01\x02\x03", 9);
    fs::create_directories(folder / "fw");
    Write("fw/RKSAT1_0_V36.bin", FileBytes(4, 36, {1, 2, 3}));
    fs::create_symlink(outside / "secret.bin", folder / "fw" / "OUT_0_V36.bin");
    fs::create_symlink("RKSAT1_0_V36.bin", folder / "fw" / "IN_1_V36.bin"); // stays inside
    fs::create_directory_symlink(outside, folder / "fw" / "sub");
    fs::create_symlink(outside / "secret.bin",
                       folder / "fw" /
                           ("QVXHD4ENC_12_" + Md5::Hex(Md5::Of(FileBytes(4, 36, {1, 2, 3}))) + ".bin"));
    WriteText("fw/QVX.FRM",
              "OUT_0_V36.bin\r\nIN_1_V36.bin\r\nsub/secret_0_V1.bin\r\nsub\\..\\x_0_V1.bin\r\n");
    fs::copy_file(outside / "secret.bin", outside / "secret_0_V1.bin");

    FolderFiles files(folder / "fw");
    const FolderIndex index = IndexFirmwareFolder(files);
    ASSERT_EQ(index.lines.size(), 4u);
    EXPECT_FALSE(index.lines[0].added);
    EXPECT_EQ(index.lines[0].skipped, "a symbolic link that leads out of the firmware folder");
    EXPECT_TRUE(index.lines[1].added) << index.lines[1].skipped;
    EXPECT_FALSE(index.lines[2].added) << "through a linked folder";
    EXPECT_EQ(index.lines[2].skipped, "a symbolic link that leads out of the firmware folder");
    EXPECT_FALSE(index.lines[3].added);
    const auto hd = ListHdComponentFiles(folder / "fw");
    ASSERT_EQ(hd.size(), 1u);
    EXPECT_FALSE(HdComponentDigestMatches(files, hd[0])) << "not read at all";
    fs::remove_all(outside);
}

TEST_F(FolderFixture, OnlyRegularFilesAreRead) {
    fs::create_directories(folder / "DIR_0_V1.bin");
    ASSERT_EQ(::mkfifo((folder / "PIPE_0_V1.bin").c_str(), 0600), 0);
    WriteText("QVX.FRM", "DIR_0_V1.bin\r\nPIPE_0_V1.bin\r\n");
    const FolderIndex index = IndexFirmwareFolder(folder); // returns: a FIFO is never waited on
    ASSERT_EQ(index.lines.size(), 2u);
    EXPECT_EQ(index.lines[0].skipped, "a folder, not a file");
    EXPECT_EQ(index.lines[1].skipped, "not a regular file");
}

TEST_F(FolderFixture, EachFileIsReadOnce) {
    Write("RKSAT1_0_V36.bin", FileBytes(4, 36, {1, 2, 3}));
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += i % 2 ? "rksat1_0_v36.bin\n" : "RKSAT1_0_V36.bin\n";
    WriteText("QVX.FRM", text);
    FolderFiles files(folder);
    EXPECT_EQ(IndexFirmwareFolder(files).Entries().size(), 50u);
    EXPECT_EQ(files.ReadCount(), 2u);
    files.Clear();
    files.Read(folder / "RKSAT1_0_V36.bin");
    EXPECT_EQ(files.ReadCount(), 3u);
}

TEST_F(FolderFixture, AnIndexOverTheLimitIsTooLarge) {
    std::string text = "RKSAT1_0_V36.bin\n";
    Write("RKSAT1_0_V36.bin", FileBytes(4, 36, {1, 2, 3}));
    text.resize(kMaxIndexSize, ' ');
    WriteText("QVX.FRM", text);
    FolderIndex index = IndexFirmwareFolder(folder);
    EXPECT_TRUE(index.indexFound);
    EXPECT_TRUE(index.indexError.empty()) << index.indexError;
    EXPECT_EQ(index.Entries().size(), 1u);

    WriteText("QVX.FRM", text + " ");
    index = IndexFirmwareFolder(folder);
    EXPECT_TRUE(index.indexFound);
    EXPECT_TRUE(index.indexTooLarge);
    EXPECT_EQ(index.indexError, "too large (more than 64 KiB)");
    EXPECT_TRUE(index.lines.empty());

    // A sparse index of 2 GB: too large as well, and not read.
    fs::resize_file(folder / "QVX.FRM", 2'000'000'000);
    index = IndexFirmwareFolder(folder);
    EXPECT_TRUE(index.indexTooLarge);
}

TEST_F(FolderFixture, AFileOverTheLimitIsSkipped) {
    auto bytes = FileBytes(4, 36, {1, 2, 3});
    bytes.resize(kMaxFileSize, 0); // zeros add nothing to the checksum
    Write("RKSAT1_0_V36.bin", bytes);
    bytes.push_back(0);
    Write("RKSAT1_1_V36.bin", bytes);
    WriteText("QVX.FRM", "RKSAT1_0_V36.bin\nRKSAT1_1_V36.bin\n");
    const FolderIndex index = IndexFirmwareFolder(folder);
    ASSERT_EQ(index.lines.size(), 2u);
    EXPECT_TRUE(index.lines[0].added) << index.lines[0].skipped;
    EXPECT_EQ(index.lines[1].skipped, "too large (more than 16 MiB)");
}

TEST_F(FolderFixture, HdComponentFilesByReleaseWithTheirDigest) {
    const std::string body = "header-16-bytes!payload";
    const std::string digest = Md5::Hex(Md5::Of(Bytes(body)));
    WriteText("QVXHD4ENC_07_" + digest + ".bin", body);
    WriteText("qvxhd4enc_12_00000000000000000000000000000000.bin", body);
    WriteText("QVXHD4ENC_12.bin", body);
    const auto files = ListHdComponentFiles(folder);
    ASSERT_EQ(files.size(), 2u);
    const auto newest = NewestHdComponentFile(folder);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->name.release, 12);
    FolderFiles reader(folder);
    std::string computed;
    EXPECT_EQ(HdComponentDigestMatches(reader, *newest, &computed), false);
    EXPECT_EQ(computed, digest);
    EXPECT_EQ(HdComponentDigestMatches(reader, files[0]), true);
}

} // namespace
