#include "platform/FileAccess.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kaptiv::platform;

namespace {

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kaptiv-fileaccess-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    void Put(const std::string& name, const std::string& text) const {
        std::ofstream(m_dir / name, std::ios::binary) << text;
    }
    size_t EntryCount() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_dir))
            ++n;
        return n;
    }
    fs::path m_dir;
};

TEST_F(FileAccess, ReadsUpToTheLimitOnBothSidesOfIt) {
    Put("four", "abcd");
    auto exact = ReadRegularFile(Path("four"), 4);
    ASSERT_TRUE(exact.ok) << exact.error;
    EXPECT_EQ(exact.Text(), "abcd");
    EXPECT_FALSE(exact.tooLarge);

    auto over = ReadRegularFile(Path("four"), 3);
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.tooLarge);
    EXPECT_NE(over.error.find("too large"), std::string::npos) << over.error;
    EXPECT_NE(over.error.find(Path("four")), std::string::npos);

    auto prefix = ReadRegularFile(Path("four"), 3, OverLimit::ReadPrefix);
    ASSERT_TRUE(prefix.ok);
    EXPECT_EQ(prefix.Text(), "abc");
    EXPECT_TRUE(prefix.truncated);

    Put("empty", "");
    EXPECT_TRUE(ReadRegularFile(Path("empty"), 0).ok);
    EXPECT_FALSE(ReadRegularFile(Path("missing"), 10).ok);
}

TEST_F(FileAccess, RefusesEverythingThatIsNotARegularFileWithoutBlocking) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    fs::create_directories(m_dir / "folder");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock = Path("sock");
    bool haveSocket = sock.size() < sizeof addr.sun_path;
    if (haveSocket) {
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
        haveSocket = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    // Nobody writes to the FIFO: an open() without O_NONBLOCK would wait here forever.
    auto fifo = ReadRegularFile(Path("fifo"), 100);
    EXPECT_FALSE(fifo.ok);
    EXPECT_NE(fifo.error.find("FIFO"), std::string::npos) << fifo.error;
    EXPECT_NE(ReadRegularFile(Path("folder"), 100).error.find("folder"), std::string::npos);
    auto zero = ReadRegularFile("/dev/zero", 100);
    EXPECT_FALSE(zero.ok);
    EXPECT_NE(zero.error.find("device"), std::string::npos) << zero.error;
    if (haveSocket) {
        EXPECT_NE(ReadRegularFile(sock, 100).error.find("socket"), std::string::npos);
    }
    ::close(s);
}

TEST_F(FileAccess, SymbolicLinksAreRefusedWhenAsked) {
    Put("real", "x");
    fs::create_symlink(m_dir / "real", m_dir / "link");
    EXPECT_TRUE(ReadRegularFile(Path("link"), 10).ok);
    FileReadOptions options;
    options.limit = 10;
    options.followSymlinks = false;
    auto refused = ReadRegularFile(Path("link"), options);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("symbolic link"), std::string::npos) << refused.error;
    EXPECT_EQ(KindOf(Path("link"), false), FileKind::Symlink);
    EXPECT_EQ(KindOf(Path("link")), FileKind::Regular);
}

TEST_F(FileAccess, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    Put("secret.qvc", "old");
    ::chmod(Path("secret.qvc").c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomic(Path("secret.qvc"), std::string_view("new")).ok);
    struct stat st {};
    ASSERT_EQ(::stat(Path("secret.qvc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadRegularFile(Path("secret.qvc"), 10).Text(), "new");

    const mode_t previous = ::umask(027);
    const bool written = WriteFileAtomic(Path("fresh"), std::string_view("x")).ok;
    ::umask(previous);
    ASSERT_TRUE(written);
    ASSERT_EQ(::stat(Path("fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(EntryCount(), 2u) << "no temporary file left behind";
}

TEST_F(FileAccess, NothingAppearsUnderTheNameUntilCommit) {
    Put("report.html", "previous");
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.Open(Path("report.html")).ok);
        ASSERT_TRUE(writer.Write(std::string_view("half a rep")).ok);
        EXPECT_TRUE(fs::exists(writer.TemporaryPath()));
        EXPECT_EQ(ReadRegularFile(Path("report.html"), 100).Text(), "previous");
        // Destroyed without Commit(): a report stopped by a lost link.
    }
    EXPECT_EQ(ReadRegularFile(Path("report.html"), 100).Text(), "previous");
    EXPECT_EQ(EntryCount(), 1u);

    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(Path("report.html")).ok);
    ASSERT_TRUE(writer.Write(std::string_view("whole")).ok);
    ASSERT_TRUE(writer.Commit().ok);
    EXPECT_EQ(ReadRegularFile(Path("report.html"), 100).Text(), "whole");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FileAccess, WriteErrorsAreReturnedAndNameTheFile) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    auto onFifo = WriteFileAtomic(Path("fifo"), std::string_view("x"));
    EXPECT_FALSE(onFifo.ok);
    EXPECT_NE(onFifo.error.find(Path("fifo")), std::string::npos) << onFifo.error;

    auto noFolder = WriteFileAtomic(Path("nowhere/file"), std::string_view("x"));
    EXPECT_FALSE(noFolder.ok);
    EXPECT_FALSE(noFolder.error.empty());

    // /dev/full is a device: refused as a target instead of being replaced by a rename.
    EXPECT_FALSE(WriteFileAtomic("/dev/full", std::string_view("x")).ok);

    AtomicFileWriter writer;
    EXPECT_FALSE(writer.Write(std::string_view("x")).ok) << "write before open";
    EXPECT_FALSE(writer.Commit().ok);
}

TEST_F(FileAccess, TheSignalPathRemovesOpenTemporaryFiles) {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(Path("log.txt")).ok);
    const std::string temp = writer.TemporaryPath();
    ASSERT_TRUE(fs::exists(temp));
    RemoveOpenTemporaryFilesFromSignal();
    EXPECT_FALSE(fs::exists(temp));
}

} // namespace
