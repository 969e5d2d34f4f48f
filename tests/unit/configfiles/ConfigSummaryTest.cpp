// The match rule and the summary the check dialog shows, one module of every family, in English
// and in French.
#include "configfiles/ConfigSummary.h"

#include "platform/ModuleType.h"
#include "settings/EncoderBlock.h"
#include "settings/ModulatorBlock.h"
#include "settings/TunerBlock.h"

#include <gtest/gtest.h>

using namespace kaptiv;
using namespace kaptiv::configfiles;

namespace {

constexpr int kEnglish = 0;
constexpr int kFrench = 1;

std::vector<uint8_t> SingleTunerBlock() {
    // 1200 MHz above the low oscillator, 27500, FEC code 16, one service 257 on CAM 1.
    return {0x04, 0xB0, 0x6B, 0x6C, 16, 1, 0x01, 0x01, 1};
}

std::vector<uint8_t> TwinTunerBlock() {
    return {0x84, 0xB0, 0x6B, 0x6C, 0x80, 2,   0x00, 0x65, 0x00, 0x66, 1,    0, // A: high band, H
            0x03, 0x84, 0x55, 0xF0, 0x00, 0,                                    // B: low band, V
            0x00, 0x00, 0x00, 0x00, 0x00, 1,   0x00, 0xC8, 2,                   // C
            0x01, 0x2C, 1,    0,    0,    0,   60,   0,    0,    2,    0x3A, 'a',
            '.',  't',  's',  0,    3,    'T', 'V',  0};
}

std::vector<uint8_t> TerrestrialBlock() {
    settings::TunerValues v;
    v.type = type::kTerrestrial;
    v.sections.resize(3);
    v.sections[0].services = {{0x1234, 0}};
    v.terrestrial[0] = {static_cast<uint8_t>(settings::DvbStandard::DvbT2), 8, 474000};
    v.terrestrial[1] = {static_cast<uint8_t>(settings::DvbStandard::DvbC), 8, 306000};
    const auto built = settings::EncodeTunerBlock(v, settings::ChecksFor(v));
    EXPECT_TRUE(built.Ok()) << built.error;
    return built.block;
}

std::vector<uint8_t> EncoderBlock() {
    settings::EncoderValues v;
    v.channels[0] = {1, {}, 4000, 1, U"News", 0, 1, 128, 64, 32};
    v.channels[1] = {2, {}, 3000, 7, U"", 1, 0, 1, 2, 3};
    v.passThrough[0] = {101, 102};
    bool changed = false;
    const auto built = settings::EncodeEncoderBlock(v, changed);
    EXPECT_TRUE(built.Ok()) << built.error;
    return built.block;
}

std::vector<uint8_t> ModulatorBlock(uint8_t code) {
    settings::ModulatorValues v;
    v.radio = {.frequencyKHz = 465000,
               .bandwidthCode = 2,
               .codeRate = 1,
               .constellation = 2,
               .mode = 1,
               .guard = 0,
               .levelStep = 24};
    v.services = {{.serviceId = 0x101, .logicalChannel = 1, .outputServiceId = 0x101, .channel = 1},
                  {.serviceId = 0x102, .hdLogicalChannel = 21, .outputServiceId = 600, .channel = 2}};
    if (code == type::kModT1)
        v.services[1].channel = 1;
    const auto built = settings::EncodeModulatorBlock(code, v, {});
    EXPECT_TRUE(built.Ok()) << built.error;
    return built.block;
}

} // namespace

TEST(ConfigMatch, SameTypesInTheSameOrderAndNothingElse) {
    const std::vector<ConfigEntry> loaded = {{0, {1}}, {7, {2, 3}}, {6, {}}};
    EXPECT_TRUE(ConfigMatches(loaded, std::vector<uint8_t>{0, 7, 6}));
    EXPECT_FALSE(ConfigMatches(loaded, std::vector<uint8_t>{0, 7, 6, 3}));
    EXPECT_FALSE(ConfigMatches(loaded, std::vector<uint8_t>{0, 7}));
    EXPECT_FALSE(ConfigMatches(loaded, std::vector<uint8_t>{0, 6, 7}));
    EXPECT_FALSE(ConfigMatches({}, std::vector<uint8_t>{0}));
}

TEST(ConfigSummary, HeaderSaysWhetherTheFileFits) {
    const std::vector<ConfigEntry> loaded = {{0, {1, 2, 3}}, {3, {}}};
    EXPECT_EQ(ConfigSummary(loaded, std::span<const uint8_t>(std::vector<uint8_t>{0, 3}), kEnglish),
              "Loaded configuration matches current installation.\r\n\r\nShort Description :\r\n"
              "Slot 0 : RkPSU\r\n  No configuration required\r\n"
              "Slot 1 : RkCI\r\n  No configuration required\r\n");
    const std::vector<uint8_t> other = {0, 3, 3};
    EXPECT_EQ(ConfigSummary(loaded, std::span<const uint8_t>(other), kFrench),
              "LA CONFIGURATION CHARGEE NE CORRESPOND PAS A L'INSTALLATION ACTUELLE !\r\n\r\n"
              "Description courte :\r\nSlot 0 : RkPSU\r\n  Aucune configuration requise\r\n"
              "Slot 1 : RkCI\r\n  Aucune configuration requise\r\n");
    EXPECT_EQ(ConfigSummary(loaded, std::nullopt, kEnglish).substr(0, 21), "Short Description :\r\n");
}

TEST(ConfigSummary, Tuners) {
    EXPECT_EQ(EntrySummary(1, {type::kSat1_0, SingleTunerBlock()}, kEnglish),
              "Slot 1 : RkSat1.0\r\n"
              "  B.I.S. Frequency : 1200MHz\r\n"
              "  Symbol rate : 27500\r\n"
              "  Decryption on service(s) : 257(1) \r\n");
    const std::string twinEnglish = "Slot 2 : RkSat2.0\r\n"
                                    "Sat. : A\r\n"
                                    "  B.I.S. Frequency : 1200MHz\r\n"
                                    "  Symbol rate : 27500\r\n"
                                    "  Band : High\r\n"
                                    "  Polarity : Horizontal\r\n"
                                    "  Activation(Decryption) of service(s) : 101(1) - 102(0) \r\n"
                                    "Sat. : B\r\n"
                                    "  B.I.S. Frequency : 900MHz\r\n"
                                    "  Symbol rate : 22000\r\n"
                                    "  Band : Low\r\n"
                                    "  Polarity : Vertical\r\n"
                                    "Sat. : C\r\n"
                                    "  Activation(Decryption) of service(s) : 200(2) \r\n"
                                    "Movie(s) played on service 300 :\r\n"
                                    "01:00 - 09:30 a.ts\r\n";
    EXPECT_EQ(EntrySummary(2, {type::kSat2_0, TwinTunerBlock()}, kEnglish), twinEnglish);
    EXPECT_EQ(EntrySummary(2, {type::kSat2_0, TwinTunerBlock()}, kFrench),
              "Slot 2 : RkSat2.0\r\n"
              "Sat. : A\r\n"
              "  Fréquence B.I.S. : 1200MHz\r\n"
              "  Débit symbole : 27500\r\n"
              "  Bande : Haute\r\n"
              "  Polarité : Horizontale\r\n"
              "  Activation(Décryptage) du/des service(s) : 101(1) - 102(0) \r\n"
              "Sat. : B\r\n"
              "  Fréquence B.I.S. : 900MHz\r\n"
              "  Débit symbole : 22000\r\n"
              "  Bande : Basse\r\n"
              "  Polarité : Verticale\r\n"
              "Sat. : C\r\n"
              "  Activation(Décryptage) du/des service(s) : 200(2) \r\n"
              "Film(s) diffusé(s) sur le service 300 :\r\n"
              "01:00 - 09:30 a.ts\r\n");
    EXPECT_EQ(EntrySummary(3, {type::kTerrestrial, TerrestrialBlock()}, kEnglish),
              "Slot 3 : QVXCT2\r\n"
              "In. : A \r\n"
              "  DVB-T2\r\n"
              "  Freq. : 474000kHz\r\n"
              "  Bw. : 8MHz\r\n"
              "  Activation(Decryption) of service(s) : 4660(0) \r\n"
              "In. : B \r\n"
              "  DVB-C\r\n"
              "  Freq. : 306000kHz\r\n"
              "In. : C \r\n");
    // A cut block: what is there is shown, nothing is read beyond it.
    const std::vector<uint8_t> twin = TwinTunerBlock();
    const std::vector<uint8_t> cut(twin.begin(), twin.begin() + 8);
    const std::string shown = EntrySummary(2, {type::kSat2, cut}, kEnglish);
    EXPECT_EQ(shown.substr(0, 80),
              "Slot 2 : RkSat2\r\nSat. : A\r\n  B.I.S. Frequency : 1200MHz\r\n  Symbol rate : 27500\r\n");
    EXPECT_EQ(shown.find("Movie"), std::string::npos);
}

TEST(ConfigSummary, Encoder) {
    const std::string expected = "Slot 4 : RkAV\r\n"
                                 "INA : Service 1 - News\r\n"
                                 "       video 4000Kb/s - Audio 192Kb/s\r\n"
                                 "       PAL - 16/9\r\n"
                                 "       Light : 128 - Contrast : 64 - Saturation : 32\r\n"
                                 "INB : Service 2 - \r\n"
                                 "       video 3000Kb/s - Audio Kb/s\r\n"
                                 "       NTSC - 4/3\r\n"
                                 "       Light : 1 - Contrast : 2 - Saturation : 3\r\n";
    EXPECT_EQ(EntrySummary(4, {type::kAvEncoder, EncoderBlock()}, kEnglish),
              expected + "  Activation of service(s) : 101 102\r\n");
    EXPECT_EQ(EntrySummary(4, {type::kAvEncoder, EncoderBlock()}, kFrench),
              expected + "  Activation du/des service(s) : 101 102\r\n");
    settings::EncoderValues none;
    bool changed = false;
    const auto empty = settings::EncodeEncoderBlock(none, changed);
    const std::string text = EntrySummary(4, {type::kAvEncoder, empty.block}, kEnglish);
    EXPECT_EQ(text.substr(text.size() - 32), "  Activation of service(s) : -\r\n");
}

TEST(ConfigSummary, Modulators) {
    EXPECT_EQ(EntrySummary(5, {type::kModT4, ModulatorBlock(type::kModT4)}, kEnglish),
              "Slot 5 : RkModT4\r\n"
              "  Frequency : 465MHz (64-QAM - 8K - 8 MHz - F.E.C. 2/3 - Guard Int.  1/32)\r\n"
              "  Attenuation : -6dB\r\n"
              "  Services :  101:1 (SD1 )- 102:2->600 (HD21 )\r\n");
    EXPECT_EQ(EntrySummary(5, {type::kModT4, ModulatorBlock(type::kModT4)}, kFrench),
              "Slot 5 : RkModT4\r\n"
              "  Fréquence : 465MHz (64-QAM - 8K - 8 MHz - F.E.C. 2/3 - Int. de garde  1/32)\r\n"
              "  Attenuation : -6dB\r\n"
              "  Services :  101:1 (SD1 )- 102:2->600 (HD21 )\r\n");
    EXPECT_EQ(EntrySummary(6, {type::kModC4, ModulatorBlock(type::kModC4)}, kEnglish),
              "Slot 6 : RkModC4\r\n"
              "  Frequency : 465MHz (64-QAM - 8 MHz)\r\n"
              "  Attenuation : -6dB\r\n"
              "  Services :  101:1 (SD1 )- 102:2->600 (HD21 )\r\n");
    EXPECT_EQ(EntrySummary(7, {type::kModT1, ModulatorBlock(type::kModT1)}, kEnglish),
              "Slot 7 : RkModT1\r\n"
              "  Frequency : 465MHz (64-QAM - 8K - 8 MHz - F.E.C. 2/3 - Guard Int.  1/32)\r\n"
              "  Attenuation : -6dB\r\n"
              "  Services :  101:1 (SD1 )- 102:1->600 (HD21 )\r\n");
    // Codes outside their lists add nothing.
    std::vector<uint8_t> odd = ModulatorBlock(type::kModT2);
    odd[2] = 9;
    odd[4] = 9;
    const std::string text = EntrySummary(8, {type::kModT2, odd}, kEnglish);
    EXPECT_NE(text.find("  Frequency : 465MHz (8K - F.E.C. 2/3 - Guard Int.  1/32)\r\n"), std::string::npos)
        << text;
}

TEST(ConfigSummary, OtherModulesNeedNoConfiguration) {
    for (uint8_t code : {type::kPowerSupply, type::kCommonInterface, type::kIpStreamer, type::kHdEncoder}) {
        const std::string text = EntrySummary(0, {code, {1, 2, 3}}, kEnglish);
        EXPECT_EQ(text, std::string("Slot 0 : ") + ModuleName(code) + "\r\n  No configuration required\r\n");
    }
    EXPECT_EQ(EntrySummary(9, {200, {}}, kEnglish), "Slot 9 : \r\n  No configuration required\r\n");
}
