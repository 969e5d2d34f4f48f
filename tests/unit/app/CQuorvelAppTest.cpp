#include "app/CQuorvelApp.h"
#include "app/StartupFiles.h"
#include "text/Language.h"

#include "TempFolder.h"

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace kaptiv;
using app::test::TempFolder;

namespace {

// Runs a test inside a program folder of its own, restoring the current directory after.
class CQuorvelAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_program.Path());
        m_options.profilePath = m_config.Path() / "kaptiv.ini";
        m_options.serialDevices = std::vector<std::string>{"/nonexistent/kaptiv-test-tty"};
    }
    void TearDown() override {
        std::filesystem::current_path(m_previous);
        text::SetLanguageIndex(0);
    }

    TempFolder m_program;
    TempFolder m_config;
    app::Options m_options;
    platform::ManualClock m_clock;
    platform::EventLoop m_loop{m_clock};
    ui::WindowSystem m_windows{m_loop};
    std::vector<std::string> m_failures;
    ui::ScriptedResponder m_responder{
        m_windows, [this](const std::string& what) { m_failures.push_back(what); }, 10'000};
    std::filesystem::path m_previous;
};

app::EnvLookup NoEnvironment() {
    return [](const char*) -> const char* { return nullptr; };
}

// A loopback listener standing in for the gateway; tells whether somebody connected.
class Listener {
public:
    Listener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    uint16_t Port() const { return m_port; }
    bool Accepted() {
        const int client = ::accept(m_fd, nullptr, nullptr);
        if (client >= 0)
            ::close(client);
        return client >= 0;
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

} // namespace

TEST_F(CQuorvelAppTest, StartsFromTheProgramFolderAndEndsWithTheMainWindow) {
    Listener gateway;
    ASSERT_NE(gateway.Port(), 0);
    m_config.Write("kaptiv.ini", "serverPort=" + std::to_string(gateway.Port()) + "\n");
    m_program.Write(app::kPreferenceFileName, "ITALIANO\n");
    m_program.Write(app::kAdvancedFileName, "");

    app::CQuorvelApp application(m_windows, m_options, NoEnvironment());
    bool mainWindowRan = false;
    m_responder.OnModalDialog(rack::CQuorvelDlg::kDialogId, [&](ui::Dialog& dialog) {
        mainWindowRan = true;
        // While the main window runs, the gateway socket exists and the transfer window
        // waits hidden.
        EXPECT_NE(application.Socket(), nullptr);
        EXPECT_TRUE(application.DetachInfo().IsCreated());
        EXPECT_FALSE(application.DetachInfo().IsVisible());
        dialog.OnClose();
    });

    EXPECT_FALSE(application.InitInstance());
    EXPECT_TRUE(mainWindowRan);
    EXPECT_TRUE(m_failures.empty());
    EXPECT_EQ(application.ExitCode(), 0);
    EXPECT_EQ(application.Socket(), nullptr);
    EXPECT_TRUE(gateway.Accepted());

    const app::StartupSettings& settings = application.Settings();
    EXPECT_EQ(settings.programFolder, std::filesystem::current_path());
    EXPECT_EQ(application.MainWindow().Image().applicationFolder, std::filesystem::current_path().string());
    EXPECT_TRUE(settings.advancedMode);
    EXPECT_EQ(text::LanguageIndex(), static_cast<int>(text::Language::Italian));
    EXPECT_EQ(settings.network.serverPort, gateway.Port());
    EXPECT_EQ(m_config.Read("kaptiv.ini"),
              "serverPort=" + std::to_string(gateway.Port()) + "\nserverAddress=127.0.0.1\n");
}

TEST_F(CQuorvelAppTest, ACloseBeforeTheMainWindowRunsKeepsItFromRunning) {
    m_config.Write("kaptiv.ini", "serverPort=oops\n");
    app::CQuorvelApp application(m_windows, m_options, NoEnvironment());
    std::vector<std::string> warnings;
    application.SetWarningSink([&](const std::string& text) { warnings.push_back(text); });
    m_responder.OnModalDialog(rack::CQuorvelDlg::kDialogId,
                              [](ui::Dialog&) { ADD_FAILURE() << "main window ran"; });

    application.CloseMainWindow();
    EXPECT_FALSE(application.InitInstance());
    EXPECT_EQ(application.Socket(), nullptr);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("serverPort"), std::string::npos);
    EXPECT_EQ(application.Settings().network.serverPort, 666);
}

TEST_F(CQuorvelAppTest, ATraceThatCannotBeWrittenStopsTheStart) {
    m_options.tracePath = m_program.Path() / "no-such-folder" / "trace.txt";
    app::CQuorvelApp application(m_windows, m_options, NoEnvironment());
    std::vector<std::string> warnings;
    application.SetWarningSink([&](const std::string& text) { warnings.push_back(text); });
    m_responder.OnModalDialog(rack::CQuorvelDlg::kDialogId,
                              [](ui::Dialog&) { ADD_FAILURE() << "main window ran without its trace"; });
    EXPECT_FALSE(application.InitInstance());
    EXPECT_EQ(application.ExitCode(), 1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("trace.txt"), std::string::npos) << warnings[0];
}

TEST_F(CQuorvelAppTest, TheTraceIsWrittenAndClosedWithTheApplication) {
    m_options.tracePath = m_program.Path() / "trace.txt";
    {
        app::CQuorvelApp application(m_windows, m_options, NoEnvironment());
        m_responder.OnModalDialog(rack::CQuorvelDlg::kDialogId, [&](ui::Dialog& dialog) {
            // An exchange with no link at all still leaves its line.
            application.Xmit().Exchange(0, 0x0A, 0x10, nullptr, 10);
            dialog.OnClose();
        });
        EXPECT_FALSE(application.InitInstance());
        EXPECT_EQ(application.ExitCode(), 0);
    }
    std::ifstream in(m_program.Path() / "trace.txt");
    std::string header;
    std::string line;
    ASSERT_TRUE(std::getline(in, header));
    EXPECT_EQ(header, link::kTraceHeader);
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.substr(line.find(' ') + 1), "none 0A 10 Identify no-link > - < -");
}

// A trace that stops being writable (a full disk) is said once, on standard error and in the
// message panel, and the program goes on.
TEST_F(CQuorvelAppTest, ATraceWriteFailureIsShownOnceAndTheProgramGoesOn) {
    m_options.tracePath = "/dev/full";
    app::CQuorvelApp application(m_windows, m_options, NoEnvironment());
    std::vector<std::string> traceWarnings;
    application.SetWarningSink([&](const std::string& text) {
        if (text.find("trace") != std::string::npos)
            traceWarnings.push_back(text);
    });
    std::string shown;
    m_responder.OnModalDialog(rack::CQuorvelDlg::kDialogId, [&](ui::Dialog& dialog) {
        // Failed exchanges are written out at once: the first write fails, the second is not tried.
        application.Xmit().Exchange(0, 0x0A, 0x10, nullptr, 10);
        application.Xmit().Exchange(0, 0x0B, 0x10, nullptr, 10);
        m_loop.Post([&] {
            shown = application.Info().Message();
            dialog.OnClose();
        });
    });
    EXPECT_FALSE(application.InitInstance());
    EXPECT_EQ(application.ExitCode(), 0);
    EXPECT_EQ(shown,
              "The link trace could not be written (/dev/full: No space left on device); it stops here.");
    ASSERT_EQ(traceWarnings.size(), 1u);
    EXPECT_EQ(traceWarnings[0], "cannot write the trace /dev/full: No space left on device");
}
