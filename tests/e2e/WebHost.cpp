// A small program for the browser tests: the main-window shell (CQuorvelDlg with its message
// panel, status panel and transfer window) served by the display server, without a rack
// behind it. It prints its URL and every event the page sends, so a
// test can see input arrive. Clicking the rescan button asks a question in a message box
// and reports the answer in the message panel.
//
//   kaptiv-web-host [--listen ADDRESS] [--ui-port N] [--no-browser] [--gallery]
#include "Gallery.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "rack/CDetachInfo.h"
#include "rack/CInfo.h"
#include "rack/CQuorvelDlg.h"
#include "rack/CSTATUS.h"
#include "resources/Images.h"
#include "ui/WindowSystem.h"
#include "web/WebDisplay.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

using namespace kaptiv;

constexpr int64_t kMessageMs = 600'000; // long enough to outlast any test

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// The main-window shell with one behaviour added for the test: the rescan button asks a
// question and shows the answer in the message panel.
class TestMainWindow final : public rack::CQuorvelDlg {
public:
    using CQuorvelDlg::CQuorvelDlg;

    void OnClick(int controlId) override {
        if (controlId != kRescanButton)
            return;
        ++m_clicks;
        Windows().Beep(440, 200);
        const ui::ModalResult answer =
            Windows().MessageBox("Search the rack again?", "KAPTIV", ui::MessageBoxButtons::OkCancel,
                                 ui::MessageBoxIcon::Question);
        const std::string text = "Rescan " + std::to_string(m_clicks) + ": " +
                                 (answer == ui::ModalResult::Ok ? "confirmed" : "cancelled");
        Info().ShowMessage(text, kMessageMs);
        std::printf("model message %s\n", text.c_str());
        std::fflush(stdout);
    }

private:
    int m_clicks = 0;
};

std::string Argument(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

bool HasFlag(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);

    rack::CInfo info(windows);
    rack::CSTATUS status(windows);
    rack::CDetachInfo transfer(windows);
    TestMainWindow main(windows, info, status);
    main.Create();
    transfer.Create(&main);
    main.Show(true);
    // What a scan in progress would show, set from inside the main window's modal loop so
    // that the window's own start-up (which clears the message panel) comes first.
    loop.Post([&info, &status] {
        info.ShowMessage("Searching for the rack...", kMessageMs);
        status.ShowLinkNotice("LME#1A");
        status.LightLamps(false);
    });
    e2e::Gallery gallery(windows);
    if (HasFlag(argc, argv, "--gallery")) {
        gallery.Create(&main);
        gallery.MoveTo({600, 160});
        // Shown from inside the main window's modal loop, so that it comes in front of it.
        loop.Post([&gallery] {
            gallery.Show(true);
            gallery.BringToFront();
        });
    }

    web::DisplayServerOptions options;
    options.listenAddress = Argument(argc, argv, "--listen", "127.0.0.1");
    options.port = static_cast<uint16_t>(std::atoi(Argument(argc, argv, "--ui-port", "0").c_str()));
    web::WebDisplay display(windows, options, [](ui::ImageRef ref) -> std::optional<std::string> {
        if (const auto* image = resources::FindImage(ref))
            return std::string(image->svg);
        return std::nullopt;
    });
    // "event click dialog=102 control=1023" when an event is taken from the queue, then
    // "handled click ... result=delivered" once its handler has returned.
    display.SetMessageObserver([](const web::BrowserMessage& message,
                                  std::optional<ui::DeliverResult> result) {
        const char* phase = result ? "handled" : "event";
        if (message.kind == web::BrowserMessageKind::Event) {
            const ui::UiEvent& e = message.event;
            std::printf("%s %s dialog=%d control=%d", phase, web::EventKindToText(e.kind), e.dialogId,
                        e.controlId);
            if (e.kind == ui::EventKind::KeyDown || e.kind == ui::EventKind::KeyUp)
                std::printf(" key=%s", web::KeyToText(e.key));
            if (result)
                std::printf(" result=%s", ui::ToString(*result));
            std::printf("\n");
        } else if (message.kind == web::BrowserMessageKind::Answer && result) {
            std::printf("answer request=%llu result=%s\n", static_cast<unsigned long long>(message.request),
                        web::ResultToText(message.answer.result));
        }
        std::fflush(stdout);
    });
    std::string error;
    if (!display.Start(&error)) {
        std::fprintf(stderr, "kaptiv-web-host: %s\n", error.c_str());
        return 1;
    }

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    loop.WatchFd(g_signalPipe[0], POLLIN, [&main](short) { main.EndDialog(ui::ModalResult::Cancel); });

    std::printf("URL %s\n", display.Url().c_str());
    std::fflush(stdout);
    // The main window runs modally, as the program runs it; closing it ends the host.
    main.DoModal();
    display.Stop();
    return 0;
}
