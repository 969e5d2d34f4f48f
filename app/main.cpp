// kaptiv: the configuration and maintenance tool of the MULVANE rack. The windows are shown
// in a browser served by the built-in display server; the address (with its per-run token)
// is printed and, on a desktop, opened.
#include "app/Browser.h"
#include "app/CQuorvelApp.h"
#include "app/Options.h"
#include "app/ShutdownSignals.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "resources/Images.h"
#include "ui/WindowSystem.h"
#include "web/WebDisplay.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using namespace kaptiv;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgramName = "kaptiv";

void Warn(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
}

std::optional<std::string> EmbeddedImage(ui::ImageRef ref) {
    if (const auto* image = resources::FindImage(ref))
        return std::string(image->svg);
    return std::nullopt;
}

// The browser gets a page that redirects to the address, never the address with its token
// (see app/Browser.h). The page lives as long as the program.
std::optional<app::RedirectPage> OpenInBrowser(const std::string& url, const app::EnvLookup& env) {
    if (!app::HasDesktopSession(env))
        return std::nullopt;
    std::string error;
    std::optional<app::RedirectPage> page = app::RedirectPage::Create(url, env, error);
    if (!page) {
        Warn(error + " (open the address above by hand)");
        return std::nullopt;
    }
    const auto child = app::StartBrowser(page->Path(), error);
    if (!child) {
        Warn(error + " (open the address above by hand)");
        return std::nullopt;
    }
    app::ReapInBackground(*child);
    return page;
}

} // namespace

int main(int argc, char** argv) {
    const app::ParsedOptions parsed = app::ParseOptions(argc, argv);
    if (!parsed.Ok()) {
        Warn(parsed.error);
        std::fprintf(stderr, "Try '%s --help'.\n", kProgramName);
        return kExitUsage;
    }
    const app::Options& options = parsed.options;
    if (options.showHelp) {
        std::fputs(app::UsageText(kProgramName).c_str(), stdout);
        return kExitOk;
    }
    if (options.showVersion) {
        std::printf("%s %s\n", kProgramName, KAPTIV_VERSION);
        return kExitOk;
    }

    // Before the display server's thread exists, so that it inherits the blocked mask and
    // the signals reach the user-interface thread's loop.
    std::string error;
    if (!app::ShutdownSignals::Block(error))
        Warn(error);
    std::signal(SIGPIPE, SIG_IGN);

    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);

    web::DisplayServerOptions displayOptions;
    displayOptions.listenAddress = options.listenAddress;
    displayOptions.port = options.listenPort;
    web::WebDisplay display(windows, displayOptions, EmbeddedImage);
    if (!display.Start(&error)) {
        Warn("cannot start the display server: " + error);
        return kExitFailure;
    }

    const app::EnvLookup env = app::ProcessEnvironment();
    int exitCode = kExitOk;
    {
        app::CQuorvelApp application(windows, options, env);
        application.SetWarningSink(Warn);
        app::ShutdownSignals signals(loop, [&application](int) { application.CloseMainWindow(); });

        std::printf("URL %s\n", display.Url().c_str());
        std::fflush(stdout);
        const std::optional<app::RedirectPage> browserPage =
            options.openBrowser ? OpenInBrowser(display.Url(), env) : std::nullopt;

        application.InitInstance();
        exitCode = application.ExitCode();
    }
    display.Stop();
    return exitCode;
}
