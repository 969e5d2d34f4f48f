// The ".qvc" format: entries read and written byte for byte, files that do not fit refused
// whole, the naming rule, and the safe write that never loses an existing file.
#include "configfiles/ConfigFile.h"
#include "configfiles/KeptBytes.h"
#include "tests/support/FifoWatchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kaptiv::configfiles;

namespace {

std::vector<uint8_t> Filled(size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(first + i);
    return v;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaptiv-qvc-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    size_t Count() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(m_path), {}));
    }

private:
    std::filesystem::path m_path;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(ConfigFile, ControllerAndTwinTunerMakeA49ByteFileThatReadsBack) {
    const std::vector<ConfigEntry> entries = {{0, Filled(3, 0xA0)}, {7, Filled(40, 1)}};
    std::string error;
    const std::vector<uint8_t> bytes = BuildConfigFile(entries, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(bytes.size(), 49u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6),
              (std::vector<uint8_t>{0x00, 0x00, 0x03, 0xA0, 0xA1, 0xA2}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 6, bytes.begin() + 9),
              (std::vector<uint8_t>{0x07, 0x00, 40}));
    const ConfigReadResult read = ParseConfigFile(bytes);
    ASSERT_TRUE(read.Ok()) << DescribeProblem(read);
    EXPECT_EQ(read.entries, entries);

    EXPECT_TRUE(ParseConfigFile({}).Ok());
    EXPECT_TRUE(ParseConfigFile({}).entries.empty());
    // A block of 256 bytes or more needs the high length byte.
    const std::vector<ConfigEntry> big = {{6, Filled(1024, 0)}};
    const std::vector<uint8_t> bigBytes = BuildConfigFile(big, error);
    EXPECT_EQ(bigBytes[1], 0x04);
    EXPECT_EQ(bigBytes[2], 0x00);
    EXPECT_EQ(ParseConfigFile(bigBytes).entries, big);
}

TEST(ConfigFile, FilesThatDoNotFitTheRackImageAreRefusedWhole) {
    std::string error;
    std::vector<ConfigEntry> fifteen(15, ConfigEntry{3, {}});
    fifteen[0] = {0, Filled(3, 0)};
    std::vector<uint8_t> bytes = BuildConfigFile(fifteen, error);
    EXPECT_TRUE(ParseConfigFile(bytes).Ok());
    EXPECT_EQ(ParseConfigFile(bytes).entries.size(), 15u);

    bytes.insert(bytes.end(), {0x03, 0x00, 0x00});
    ConfigReadResult read = ParseConfigFile(bytes);
    EXPECT_EQ(read.problem, FileProblem::TooManyEntries);
    EXPECT_TRUE(read.entries.empty());
    EXPECT_EQ(DescribeProblem(read), "more than 15 modules");

    const std::vector<uint8_t> oversized = {0x00, 0x00, 0x00, 0x06, 0x04, 0x01};
    read = ParseConfigFile(oversized);
    EXPECT_EQ(read.problem, FileProblem::BlockTooLong);
    EXPECT_TRUE(read.entries.empty());
    EXPECT_EQ(DescribeProblem(read), "entry 1 has a block of 1025 bytes, more than 1024");

    // Cut inside a block, inside a length, after a type byte.
    bytes = BuildConfigFile(std::vector<ConfigEntry>{{0, Filled(3, 0)}, {7, Filled(40, 1)}}, error);
    for (size_t cut : {48u, 8u, 7u}) {
        read = ParseConfigFile(std::span(bytes).first(cut));
        EXPECT_EQ(read.problem, FileProblem::EndsInsideEntry) << cut;
        EXPECT_TRUE(read.entries.empty()) << cut;
    }
    EXPECT_EQ(DescribeProblem(ParseConfigFile(std::span(bytes).first(48))),
              "the file ends inside the 40-byte block of entry 1");
    EXPECT_EQ(DescribeProblem(ParseConfigFile(std::span(bytes).first(7))),
              "the file ends inside the header of entry 1");

    EXPECT_TRUE(BuildConfigFile(std::vector<ConfigEntry>(16), error).empty());
    EXPECT_EQ(error, "16 modules, at most 15 fit");
    EXPECT_TRUE(BuildConfigFile(std::vector<ConfigEntry>{{6, Filled(1025, 0)}}, error).empty());
    EXPECT_NE(error, "");
}

TEST(ConfigFile, NamesGetTheExtensionUnlessTheyAlreadyEndInIt) {
    EXPECT_EQ(ConfigFileName("site1"), "site1.qvc");
    EXPECT_EQ(ConfigFileName("site1.QVC"), "site1.QVC");
    EXPECT_EQ(ConfigFileName("site1.qvc"), "site1.qvc");
    EXPECT_EQ(ConfigFileName("site1.Qvc"), "site1.Qvc");
    EXPECT_EQ(ConfigFileName("site1.qv"), "site1.qv.qvc");
    EXPECT_EQ(ConfigFileName("site1.abc"), "site1.abc.qvc");
    EXPECT_EQ(ConfigFileName("/home/tech/config/site1"), "/home/tech/config/site1.qvc");
    EXPECT_EQ(ConfigFileName("/home/tech/config/site1.qvc"), "/home/tech/config/site1.qvc");
    // The first "." decides: one in a folder name always gets the extension appended.
    EXPECT_EQ(ConfigFileName("/srv/site.d/site1.qvc"), "/srv/site.d/site1.qvc.qvc");
    EXPECT_EQ(ConfigFileName(".qvc"), ".qvc");
    EXPECT_EQ(ConfigFileName(""), ".qvc");
}

TEST(ConfigFile, SafeWriteReplacesWholeOrLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir / "site1.qvc";
    std::string error;
    ASSERT_TRUE(WriteFileSafely(path, Filled(49, 0), error)) << error;
    EXPECT_EQ(ReadAll(path), std::string(reinterpret_cast<const char*>(Filled(49, 0).data()), 49));
    EXPECT_EQ(dir.Count(), 1u) << "no temporary file left behind";

    // Disk full: the process may write only 16 bytes per file. The new content does not fit;
    // the old file must come through unchanged and no temporary file may remain.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteFileSafely(path, Filled(600, 7), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(path).size(), 49u);
    EXPECT_EQ(dir.Count(), 1u);

    // A folder that does not exist.
    EXPECT_FALSE(WriteFileSafely(dir / "missing/site1.qvc", Filled(3, 0), error));
    EXPECT_NE(error, "");
}

TEST(ConfigFile, ReadsAtMostThePrefixItIsAskedFor) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteFileSafely(dir / "big.qvc", std::vector<uint8_t>(kMaxFileBytes + 100, 3), error));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFilePrefix(dir / "big.qvc", kMaxFileBytes + 1, bytes, error));
    EXPECT_EQ(bytes.size(), kMaxFileBytes + 1);
    EXPECT_FALSE(ParseConfigFile(bytes).Ok());
    EXPECT_FALSE(ReadFilePrefix(dir / "none.qvc", 10, bytes, error));
}

TEST(ConfigFile, AReplacedFileKeepsItsModeAndAPipeIsRefusedAtOnce) {
    TempDir dir;
    const std::string path = dir / "site1.qvc";
    std::string error;
    ASSERT_TRUE(WriteFileSafely(path, Filled(3, 0), error)) << error;
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(WriteFileSafely(path, Filled(5, 1), error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "a private configuration stays private";
    EXPECT_EQ(ReadAll(path).size(), 5u);

    kaptiv::test::FifoWatchdog fifo(dir / "pipe.qvc");
    std::vector<uint8_t> bytes;
    bool read = true;
    const auto took = fifo.Run([&] { read = ReadFilePrefix(fifo.Path(), kMaxFileBytes + 1, bytes, error); });
    EXPECT_LT(took, kaptiv::test::FifoWatchdog::kPatience);
    EXPECT_FALSE(fifo.Rescued());
    EXPECT_FALSE(read);
    EXPECT_NE(error.find(fifo.Path()), std::string::npos) << error;
    // Nor is the pipe replaced by a file.
    EXPECT_FALSE(WriteFileSafely(fifo.Path(), Filled(3, 0), error));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.Path()));
}

// A twin tuner block: sections A (2 services), B (none), C (1 service), streaming service
// id, a one-entry schedule, rate, streamed name, then the kept bytes.
std::vector<uint8_t> TwinTunerBlock(uint8_t keptFirst, const std::string& fileName = "a.ts") {
    std::vector<uint8_t> b = {0x84, 0xB0, 0x6B, 0x6C, 0x80, 2, 0x00, 0x65, 0x00, 0x66, 1, 0, // A
                              0x03, 0x84, 0x55, 0xF0, 0x00, 0,                               // B
                              0x00, 0x00, 0x00, 0x00, 0x00, 1, 0x00, 0xC8, 2,                // C
                              0x01, 0x2C, 1,    0,    0,    0, 60,   0,    0,    0,    90};
    std::string tail = fileName;
    tail += std::string("\0\3TV\0", 5);
    for (uint8_t k : Filled(8, keptFirst))
        tail += static_cast<char>(k);
    tail += std::string("0\0\x1F\x90", 4); // server address, port
    for (char c : tail)
        b.push_back(static_cast<uint8_t>(c));
    return b;
}

TEST(KeptBytes, FoundByWalkingEachBlockAndCarriedFromTheLiveOne) {
    const std::vector<uint8_t> live = TwinTunerBlock(0x11);
    ASSERT_EQ(KeptBytesOffset(7, live), std::optional<size_t>(live.size() - 12));
    std::vector<uint8_t> loaded = TwinTunerBlock(0x91, "longer-name.ts");
    const size_t at = *KeptBytesOffset(12, loaded);
    EXPECT_EQ(at, live.size() - 12 + 10);
    EXPECT_TRUE(CarryKeptBytes(10, live, loaded));
    EXPECT_EQ(std::vector<uint8_t>(loaded.begin() + static_cast<long>(at),
                                   loaded.begin() + static_cast<long>(at) + 8),
              Filled(8, 0x11));
    EXPECT_EQ(loaded.size(), live.size() + 10);
    EXPECT_EQ(loaded.back(), 0x90) << "the bytes after the field stay the file's";

    // Only types 7, 10 and 12 hold the field; a block that ends before or inside it keeps its own.
    EXPECT_FALSE(KeptBytesOffset(1, live));
    EXPECT_FALSE(KeptBytesOffset(9, live));
    std::vector<uint8_t> shortLoaded(live.begin(), live.end() - 9);
    const std::vector<uint8_t> before = shortLoaded;
    EXPECT_FALSE(CarryKeptBytes(7, live, shortLoaded));
    EXPECT_EQ(shortLoaded, before);
    std::vector<uint8_t> full = TwinTunerBlock(0x91);
    EXPECT_FALSE(CarryKeptBytes(7, std::vector<uint8_t>(live.begin(), live.begin() + 20), full));
    EXPECT_EQ(full, TwinTunerBlock(0x91));
    EXPECT_FALSE(KeptBytesOffset(7, std::vector<uint8_t>{}));
}
