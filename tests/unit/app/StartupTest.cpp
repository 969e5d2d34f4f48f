#include "app/StartupFiles.h"
#include "app/StartupSettings.h"
#include "text/Language.h"

#include "TempFolder.h"
#include "tests/support/FifoWatchdog.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace kaptiv::app;
using kaptiv::app::test::TempFolder;
using kaptiv::text::Language;

namespace {

EnvLookup FakeEnvironment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

} // namespace

TEST(PreferenceFile, OnlyTheFirstTwoCapitalsOfTheFirstLineCount) {
    struct Case {
        const char* content; // nullptr: no pref.txt at all
        Language expected;
    };
    const Case cases[] = {
        {"FRxyz\n", Language::French},
        {"frxyz\n", Language::English},
        {nullptr, Language::English},
        {"", Language::English},
        {"SP", Language::Spanish},
        {"DE\r\n", Language::German},
        {"IT anything", Language::Italian},
        {"ES\n", Language::English},
        {"F\nR\n", Language::English},
        {"\nFR\n", Language::English},
        {" FR", Language::English},
        {"\xEF\xBB\xBF"
         "FR",
         Language::English},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        if (c.content != nullptr)
            folder.Write(kPreferenceFileName, c.content);
        EXPECT_EQ(ReadPreferredLanguage(folder.Path()), static_cast<int>(c.expected))
            << (c.content ? c.content : "(missing)");
    }
}

TEST(AdvancedFile, ExistenceAloneSetsAdvancedMode) {
    TempFolder folder;
    EXPECT_FALSE(AdvancedModeRequested(folder.Path()));
    folder.Write(kAdvancedFileName, "");
    EXPECT_TRUE(AdvancedModeRequested(folder.Path()));

    // A folder or a named pipe of that name is not a file (a pipe would block start-up).
    TempFolder other;
    std::filesystem::create_directory(other.Path() / kAdvancedFileName);
    EXPECT_FALSE(AdvancedModeRequested(other.Path()));
    TempFolder piped;
    ASSERT_EQ(::mkfifo((piped.Path() / kAdvancedFileName).c_str(), 0600), 0);
    EXPECT_FALSE(AdvancedModeRequested(piped.Path()));
}

TEST(StartupFiles, AreFoundWhateverTheirLetterCase) {
    TempFolder folder;
    folder.Write("ADVANCED.TXT", "");
    folder.Write("Pref.Txt", "IT\n");
    EXPECT_TRUE(AdvancedModeRequested(folder.Path()));
    EXPECT_EQ(ReadPreferredLanguage(folder.Path()), static_cast<int>(Language::Italian));

    // The exact name wins over another spelling; among other spellings, byte order decides.
    folder.Write("pref.txt", "DE\n");
    folder.Write("PREF.TXT", "SP\n");
    EXPECT_EQ(ReadPreferredLanguage(folder.Path()), static_cast<int>(Language::German));
    TempFolder spellings;
    spellings.Write("pref.TXT", "FR\n");
    spellings.Write("PREF.txt", "SP\n");
    EXPECT_EQ(ReadPreferredLanguage(spellings.Path()), static_cast<int>(Language::Spanish));

    // A folder named like it in another case is still not the file.
    TempFolder other;
    std::filesystem::create_directory(other.Path() / "Advanced.txt");
    EXPECT_FALSE(AdvancedModeRequested(other.Path()));
}

TEST(DefaultProfilePath, FollowsTheXdgConfigHomeThenHome) {
    EXPECT_EQ(DefaultProfilePath(FakeEnvironment({{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/home/u"}})),
              std::filesystem::path("/x/cfg/ZELMORA/kaptiv.ini"));
    EXPECT_EQ(DefaultProfilePath(FakeEnvironment({{"HOME", "/home/u"}})),
              std::filesystem::path("/home/u/.config/ZELMORA/kaptiv.ini"));
    EXPECT_EQ(DefaultProfilePath(FakeEnvironment({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}})),
              std::filesystem::path("/home/u/.config/ZELMORA/kaptiv.ini"));
    EXPECT_EQ(DefaultProfilePath(FakeEnvironment({{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/home/u"}})),
              std::filesystem::path("/home/u/.config/ZELMORA/kaptiv.ini"));
    EXPECT_FALSE(DefaultProfilePath(FakeEnvironment({})).has_value());
}

TEST(StartupSettings, FirstRunWritesTheDefaultsIntoANewProfileFolder) {
    TempFolder config;
    TempFolder program;
    const StartupSettings startup = ReadStartupSettings(
        Options{}, FakeEnvironment({{"XDG_CONFIG_HOME", config.Path().string()}}), program.Path());
    EXPECT_EQ(startup.network.serverAddress, "127.0.0.1");
    EXPECT_EQ(startup.network.serverPort, 666);
    EXPECT_TRUE(startup.warnings.empty());
    EXPECT_EQ(config.Read("ZELMORA/kaptiv.ini"), "serverAddress=127.0.0.1\nserverPort=666\n");
    // Nothing else is left behind (no temporary file).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config.Path() / "ZELMORA"), {}), 1);
    EXPECT_FALSE(startup.advancedMode);
    EXPECT_EQ(startup.languageIndex, 0);
}

TEST(StartupSettings, AnExistingProfileKeepsItsValuesAndOtherLines) {
    TempFolder config;
    TempFolder program;
    program.Write(kAdvancedFileName, "");
    program.Write(kPreferenceFileName, "DE\n");
    config.Write("kaptiv.ini",
                 "; gateway of the test bench\r\nserverPort = 4000\r\n\r\n[window]\r\nleft=3\r\n");
    Options options;
    options.profilePath = config.Path() / "kaptiv.ini";
    const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), program.Path());
    EXPECT_EQ(startup.network.serverPort, 4000);
    EXPECT_EQ(startup.network.serverAddress, "127.0.0.1");
    EXPECT_TRUE(startup.advancedMode);
    EXPECT_EQ(startup.languageIndex, static_cast<int>(Language::German));
    EXPECT_EQ(config.Read("kaptiv.ini"),
              "; gateway of the test bench\nserverPort=4000\nserverAddress=127.0.0.1\n\n[window]\nleft=3\n");
}

TEST(StartupSettings, ABadPortFallsBackToTheDefaultWithAWarningAndTheFileIsKept) {
    for (const char* port : {"abc", "0", "65536", "-1", "666x", ""}) {
        TempFolder config;
        const std::string text = std::string("serverAddress=10.0.0.9\nserverPort=") + port + "\n";
        config.Write("p.ini", text);
        Options options;
        options.profilePath = config.Path() / "p.ini";
        const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path());
        EXPECT_EQ(startup.network.serverPort, 666) << port;
        EXPECT_EQ(startup.network.serverAddress, "10.0.0.9");
        ASSERT_EQ(startup.warnings.size(), 1u) << port;
        EXPECT_NE(startup.warnings[0].find("left as it is"), std::string::npos) << startup.warnings[0];
        // The installer's own value stays in the file for them to correct.
        EXPECT_EQ(config.Read("p.ini"), text) << port;
    }
    TempFolder config;
    config.Write("p.ini", "serverAddress=\nserverPort=4000\n");
    Options options;
    options.profilePath = config.Path() / "p.ini";
    const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path());
    EXPECT_EQ(startup.network.serverAddress, "127.0.0.1");
    EXPECT_EQ(startup.network.serverPort, 4000);
    EXPECT_EQ(config.Read("p.ini"), "serverAddress=\nserverPort=4000\n");
}

TEST(StartupSettings, ALinkedProfileStaysALinkAndItsTargetIsWritten) {
    TempFolder config;
    TempFolder shared;
    shared.Write("team.ini", "serverPort=4000\n");
    std::filesystem::create_symlink(shared.Path() / "team.ini", config.Path() / "kaptiv.ini");
    Options options;
    options.profilePath = config.Path() / "kaptiv.ini";
    const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path());
    EXPECT_TRUE(startup.warnings.empty());
    EXPECT_EQ(startup.network.serverPort, 4000);
    EXPECT_TRUE(std::filesystem::is_symlink(config.Path() / "kaptiv.ini"));
    EXPECT_EQ(shared.Read("team.ini"), "serverPort=4000\nserverAddress=127.0.0.1\n");
}

TEST(StartupSettings, AProfileThatCannotBeReadIsNeverReplaced) {
    TempFolder config;
    const std::string huge(kMaxProfileBytes + 1, 'x');
    config.Write("big.ini", huge);
    Options options;
    options.profilePath = config.Path() / "big.ini";
    const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path());
    EXPECT_EQ(startup.network.serverPort, 666);
    EXPECT_FALSE(startup.warnings.empty());
    EXPECT_EQ(config.Read("big.ini"), huge);

    // No profile location at all: defaults, a warning, nothing written.
    const StartupSettings homeless = ReadStartupSettings(Options{}, FakeEnvironment({}), config.Path());
    EXPECT_EQ(homeless.network.serverAddress, "127.0.0.1");
    EXPECT_FALSE(homeless.profilePath.has_value());
    EXPECT_EQ(homeless.warnings.size(), 1u);
}

TEST(StartupSettings, APipeGivenAsTheProfileIsRefusedAtOnceByName) {
    TempFolder config;
    kaptiv::test::FifoWatchdog fifo((config.Path() / "pipe.ini").string());
    Options options;
    options.profilePath = fifo.Path();
    StartupSettings startup;
    const auto took =
        fifo.Run([&] { startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path()); });
    EXPECT_LT(took, kaptiv::test::FifoWatchdog::kPatience);
    EXPECT_FALSE(fifo.Rescued());
    EXPECT_EQ(startup.network.serverPort, 666);
    ASSERT_FALSE(startup.warnings.empty());
    EXPECT_EQ(
        startup.warnings[0].rfind("profile " + fifo.Path() + " is a pipe (FIFO), not a regular file", 0), 0u)
        << startup.warnings[0];
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.Path())) << "never replaced by a file";

    // The start-up files of the program folder are not waited on either.
    kaptiv::test::FifoWatchdog pref((config.Path() / "pref.txt").string());
    int language = -1;
    EXPECT_LT(pref.Run([&] { language = ReadPreferredLanguage(config.Path()); }),
              kaptiv::test::FifoWatchdog::kPatience);
    EXPECT_EQ(language, static_cast<int>(Language::English));
}

TEST(StartupSettings, AnUnwritableProfileFolderIsReportedNotFatal) {
    TempFolder config;
    config.Write("blocker", "a file where the folder should be");
    Options options;
    options.profilePath = config.Path() / "blocker" / "kaptiv.ini";
    const StartupSettings startup = ReadStartupSettings(options, FakeEnvironment({}), config.Path());
    EXPECT_EQ(startup.network.serverPort, 666);
    ASSERT_EQ(startup.warnings.size(), 1u);
    EXPECT_NE(startup.warnings[0].find("cannot save the profile"), std::string::npos);
}

TEST(Profile, KeysMatchWithoutCaseOnlyInTheUnnamedSection) {
    Profile profile = Profile::Parse("ServerAddress=gw.local\n# serverPort=1\n[other]\nserverPort=2\n");
    EXPECT_EQ(profile.Get("serverAddress"), "gw.local");
    EXPECT_FALSE(profile.Get("serverPort").has_value());
    EXPECT_TRUE(profile.Set("serverAddress", "10.1.1.1"));
    EXPECT_FALSE(profile.Set("serverAddress", "a\nserverPort=7"));
    EXPECT_FALSE(profile.Set("bad=key", "1"));
    EXPECT_EQ(profile.Serialize(), "serverAddress=10.1.1.1\n# serverPort=1\n[other]\nserverPort=2\n");
    EXPECT_EQ(Profile::Parse(profile.Serialize()).Get("serverAddress"), "10.1.1.1");
}

TEST(Profile, RewritingKeepsTheFilePermissions) {
    TempFolder config;
    config.Write("p.ini", "serverPort=700\n");
    const auto path = config.Path() / "p.ini";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(SaveNetworkSettings(path, NetworkSettings{"10.0.0.2", 700}, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(config.Read("p.ini"), "serverPort=700\nserverAddress=10.0.0.2\n");
}
