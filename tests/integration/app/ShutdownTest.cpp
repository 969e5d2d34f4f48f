// Termination signals end the program whatever is open (real time, a real process-directed
// SIGTERM): here the file dialog of Load, which the page never answers.
#include "app/CQuorvelApp.h"
#include "app/ShutdownSignals.h"
#include "rack/CQuorvelDlg.h"

#include "tests/unit/app/TempFolder.h"

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <pthread.h>
#include <unistd.h>

using namespace kaptiv;

namespace {

// The page as a person would use it: once the main window runs, click Load; once the file
// dialog is on the page, the person's desktop sends SIGTERM instead of an answer.
class LoadThenTerminate final : public ui::Display {
public:
    LoadThenTerminate(ui::WindowSystem& windows, app::CQuorvelApp& application)
        : m_windows(windows), m_application(application) {}

    void Present(const ui::DisplayUpdate& update) override {
        if (update.modalStack && !m_clicked &&
            std::find(update.modalStack->begin(), update.modalStack->end(), rack::CQuorvelDlg::kDialogId) !=
                update.modalStack->end()) {
            m_clicked = true;
            m_windows.Loop().Post(
                [this] { m_application.MainWindow().OnClick(rack::CQuorvelDlg::kLoadButton); });
        }
        for (const ui::Request& request : update.requests)
            if (request.kind == ui::RequestKind::FileDialog && signalledAtMs < 0) {
                signalledAtMs = m_windows.GetClock().NowMs();
                ::kill(::getpid(), SIGTERM);
            }
    }

    int64_t signalledAtMs = -1;

private:
    ui::WindowSystem& m_windows;
    app::CQuorvelApp& m_application;
    bool m_clicked = false;
};

} // namespace

TEST(Shutdown, SigtermWithTheLoadFileDialogOpenEndsTheProgramWithinTwoSeconds) {
    app::test::TempFolder program;
    app::test::TempFolder config;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(program.Path());
    sigset_t previousMask;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, nullptr, &previousMask), 0);
    std::string error;
    ASSERT_TRUE(app::ShutdownSignals::Block(error)) << error;

    app::Options options;
    options.profilePath = config.Path() / "kaptiv.ini";
    options.serialDevices = std::vector<std::string>{"/nonexistent/kaptiv-test-tty"};
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);
    // Without the quit, the dialog would wait for ever: the watchdog ends it instead, late.
    windows.SetModalWatchdog(8'000, [](const std::string&) {});
    int64_t endedAtMs = -1;
    int closes = 0;
    int64_t signalledAtMs = -1;
    {
        app::CQuorvelApp application(windows, options, [](const char*) -> const char* { return nullptr; });
        application.SetWarningSink([](const std::string&) {});
        LoadThenTerminate page(windows, application);
        windows.AddDisplay(&page);
        app::ShutdownSignals signals(loop, [&](int) {
            ++closes;
            application.CloseMainWindow();
        });
        ASSERT_TRUE(signals.IsWatching());
        EXPECT_FALSE(application.InitInstance());
        endedAtMs = clock.NowMs();
        signalledAtMs = page.signalledAtMs;
        windows.RemoveDisplay(&page);
    }
    std::filesystem::current_path(previous);
    ASSERT_EQ(::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr), 0);

    ASSERT_GE(signalledAtMs, 0) << "the file dialog never opened";
    EXPECT_LT(endedAtMs - signalledAtMs, 2000);
    EXPECT_LE(closes, 1);
}
