// kaptiv-config firmware list: each index line with what the tool makes of it, and the HD
// encoder component files with their digest check.
#include "tools/FirmwareListing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(FirmwareListing, SaysWhyALineGaveNoEntry) {
    const fs::path dir = fs::temp_directory_path() / "kaptiv-firmware-listing";
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto write = [&](const std::string& name, std::vector<uint8_t> bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    // type 4, release 3.6, image 1 2 3: checksum 4 + 36 + 6 = 46.
    write("RKSAT1_2_V36.bin", {46, 0, 0, 0, 4, 36, 1, 2, 3});
    write("BAD_0_V36.bin", {47, 0, 0, 0, 4, 36, 1, 2, 3});
    write("QVXHD4ENC_12_00000000000000000000000000000000.bin", std::vector<uint8_t>(20, 1));
    const std::string index = "rksat1_2_v36.bin\r\nBAD_0_V36.bin\r\nGONE_0_V1.bin\r\nnorevision_V1.bin\r\n";
    write("QVX.FRM", {index.begin(), index.end()});

    std::string out;
    EXPECT_TRUE(kaptiv::tools::ListFirmwareFolder(dir, out));
    EXPECT_NE(out.find("QVX.FRM: 4 lines, 1 files in use"), std::string::npos) << out;
    EXPECT_NE(out.find("rksat1_2_v36.bin                    4 RkSat1        3.6        2 1.3"),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("BAD_0_V36.bin                    skipped: checksum stored 0000002F, computed 0000002E"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("GONE_0_V1.bin                    skipped: missing"), std::string::npos) << out;
    EXPECT_NE(out.find("norevision_V1.bin                skipped: no hardware revision"), std::string::npos)
        << out;
    EXPECT_NE(out.find("release 1.2  MD5 differs (computed "), std::string::npos) << out;
    EXPECT_NE(out.find("refused: newest but MD5 differs"), std::string::npos) << out;

    fs::remove(dir / "QVX.FRM");
    out.clear();
    EXPECT_FALSE(kaptiv::tools::ListFirmwareFolder(dir, out));
    EXPECT_NE(out.find("no index QVX.FRM"), std::string::npos) << out;
    fs::remove_all(dir);
}

TEST(FirmwareListing, ShowsWhatTheUpdateRefuses) {
    const fs::path dir = fs::temp_directory_path() / "kaptiv-firmware-listing-refused";
    const fs::path outside = fs::temp_directory_path() / "kaptiv-firmware-listing-outside";
    fs::remove_all(dir);
    fs::remove_all(outside);
    fs::create_directories(dir);
    fs::create_directories(outside);
    auto write = [&](const fs::path& path, std::vector<uint8_t> bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    write(outside / "RKSAT1_2_V36.bin", {46, 0, 0, 0, 4, 36, 1, 2, 3});
    fs::create_symlink(outside / "RKSAT1_2_V36.bin", dir / "LINK_2_V36.bin");
    fs::create_directories(dir / "DIR_0_V1.bin");
    // A release-99 HD component whose MD5 is not its name's: refused like any other.
    write(dir / "QVXHD4ENC_99_00000000000000000000000000000000.bin", std::vector<uint8_t>(20, 1));
    write(dir / "FP_T2V0.rle", {0x82, 1, 2});
    write(dir / "FP_C4V0.rle", {0x85, 1});
    const std::string index = "LINK_2_V36.bin\r\nDIR_0_V1.bin\r\n";
    write(dir / "QVX.FRM", {index.begin(), index.end()});

    std::string out;
    EXPECT_TRUE(kaptiv::tools::ListFirmwareFolder(dir, out));
    EXPECT_NE(
        out.find("LINK_2_V36.bin                   skipped: a symbolic link that leads out of the firmware "
                 "folder"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("DIR_0_V1.bin                     skipped: a folder, not a file"), std::string::npos)
        << out;
    EXPECT_NE(out.find("FP_T2V0.rle  RkModT2   3 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("FP_T4V0.rle  RkModT4   missing: no change to this personality"), std::string::npos)
        << out;
    EXPECT_NE(out.find("FP_C4V0.rle  RkModC4   not packet coded: no change to this personality"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("release 9.9  MD5 differs"), std::string::npos) << out;
    EXPECT_NE(out.find("refused: newest but MD5 differs"), std::string::npos) << out;

    // An index larger than the tool reads is said to be too large, not missing.
    write(dir / "QVX.FRM", std::vector<uint8_t>(64 * 1024 + 1, ' '));
    out.clear();
    EXPECT_FALSE(kaptiv::tools::ListFirmwareFolder(dir, out));
    EXPECT_NE(out.find("QVX.FRM not read: too large (more than 64 KiB)"), std::string::npos) << out;
    fs::remove_all(dir);
    fs::remove_all(outside);
}

} // namespace
