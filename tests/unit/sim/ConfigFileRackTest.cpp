// The simulator's configuration-file options: a rack the file format cannot hold faithfully
// is refused with the reason (never cut), the file is written atomically and keeps its mode,
// and rack files are read within a limit, special files refused at once.
#include "sim/ConfigFileRack.h"
#include "sim/Engine.h"
#include "sim/Rack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Scratch {
    std::filesystem::path path;
    Scratch() {
        std::string pattern = ::testing::TempDir() + "mulvane-cfg-XXXXXX";
        path = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

// The controller and `tuners` tuners of type 7.
mulvane::RackConfig Rack(size_t tuners) {
    mulvane::RackConfig rack;
    mulvane::ModuleConfig controller;
    controller.block = {1, 2, 3};
    rack.modules.push_back(controller);
    for (size_t i = 0; i < tuners; ++i) {
        mulvane::ModuleConfig m;
        m.address = static_cast<uint8_t>(10 + i);
        m.type = 7;
        m.block = std::vector<uint8_t>(64, static_cast<uint8_t>(i));
        rack.modules.push_back(m);
    }
    return rack;
}

} // namespace

TEST(SimConfigSave, ABlockOverTheFileFormatsLimitIsRefusedNotCut) {
    Scratch scratch;
    const std::string path = (scratch.path / "rack.qvc").string();
    mulvane::RackEngine engine{Rack(2), 1};
    std::string error;
    engine.SetBlock(11, std::vector<uint8_t>(1024, 0x5A));
    ASSERT_TRUE(mulvane::SaveRackAsConfig(engine, path, error)) << error;
    const std::string saved = scratch.Read("rack.qvc");
    EXPECT_EQ(saved.size(), 3 * 3 + 3 + 64 + 1024u);
    EXPECT_EQ(saved.substr(saved.size() - 1027, 3), std::string("\x07\x04\x00", 3));

    engine.SetBlock(11, std::vector<uint8_t>(1025, 0x5A));
    EXPECT_FALSE(mulvane::SaveRackAsConfig(engine, path, error));
    EXPECT_NE(error.find("1025-byte block"), std::string::npos) << error;
    EXPECT_NE(error.find("at most 1024"), std::string::npos) << error;
    EXPECT_EQ(scratch.Read("rack.qvc"), saved) << "the previous file is left as it was";
}

TEST(SimConfigSave, MoreModulesThanTheFileHoldsAreRefused) {
    Scratch scratch;
    const std::string path = (scratch.path / "rack.qvc").string();
    std::string error;
    mulvane::RackEngine fifteen{Rack(14), 1};
    ASSERT_TRUE(mulvane::SaveRackAsConfig(fifteen, path, error)) << error;
    const auto back = mulvane::RackFromConfigFile(path, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->modules.size(), 15u);

    mulvane::RackEngine sixteen{Rack(15), 1};
    EXPECT_FALSE(mulvane::SaveRackAsConfig(sixteen, path, error));
    EXPECT_NE(error.find("16 modules"), std::string::npos) << error;
    EXPECT_NE(error.find("at most 15"), std::string::npos) << error;
}

TEST(SimConfigSave, AReplacedFileKeepsItsMode) {
    Scratch scratch;
    const std::string path = (scratch.path / "rack.qvc").string();
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    mulvane::RackEngine engine{Rack(1), 1};
    std::string error;
    ASSERT_TRUE(mulvane::SaveRackAsConfig(engine, path, error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(scratch.Read("rack.qvc"), "old");
}

TEST(SimRackFiles, SpecialAndOversizedFilesAreRefused) {
    Scratch scratch;
    const std::string fifo = (scratch.path / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(mulvane::LoadRackFile(fifo, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(mulvane::RackFromConfigFile(fifo, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(mulvane::LoadRackFile("/dev/zero", error));

    // At the limit the text is read (and judged as JSON); one byte over, it is not read at all.
    const std::string atLimit = (scratch.path / "at.json").string();
    const std::string overLimit = (scratch.path / "over.json").string();
    std::ofstream(atLimit) << std::string(mulvane::kMaxRackFileBytes, ' ');
    std::ofstream(overLimit) << std::string(mulvane::kMaxRackFileBytes + 1, ' ');
    EXPECT_FALSE(mulvane::LoadRackFile(atLimit, error));
    EXPECT_EQ(error.find("too large"), std::string::npos) << error;
    EXPECT_FALSE(mulvane::LoadRackFile(overLimit, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}
