#pragma once
// Binds the dialog model to the browser: a ui::Display that sends the changes of every
// repaint point to the open pages, and the way back, which queues the pages' events for
// the user-interface thread. The display server thread never touches the dialogs: it only
// parses and posts to the event loop, so a blocking exchange blocks input (the events wait
// in the loop's queue) while the pages keep showing the last state.
#include "ui/WindowSystem.h"
#include "web/DisplayServer.h"
#include "web/Protocol.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kaptiv::web {

class WebDisplay final : public ui::Display {
public:
    // SVG text of a bitmap or icon; called on the server thread, so it may only read
    // immutable data (the embedded resources).
    using ImageSource = std::function<std::optional<std::string>(ui::ImageRef image)>;
    // Called on the UI thread for every browser message, once when it is taken from the
    // queue (result empty) and once after it was handled (for events: what the window
    // system said). A handler may run a modal loop, so the two calls can be far apart.
    using MessageObserver =
        std::function<void(const BrowserMessage& message, std::optional<ui::DeliverResult> result)>;

    WebDisplay(ui::WindowSystem& windows, DisplayServerOptions options, ImageSource images = {});
    ~WebDisplay() override;
    WebDisplay(const WebDisplay&) = delete;
    WebDisplay& operator=(const WebDisplay&) = delete;

    // Starts the server and registers with the window system. False with a reason.
    bool Start(std::string* error = nullptr);
    void Stop();
    std::string Url() const { return m_server.Url(); }
    uint16_t Port() const { return m_server.Port(); }
    size_t PageCount() const { return m_server.ClientCount(); }

    void SetMessageObserver(MessageObserver observer) { m_observer = std::move(observer); }

    // ui::Display, on the UI thread.
    void Present(const ui::DisplayUpdate& update) override;

    // Size of the last update message sent (for figures and tests).
    size_t LastUpdateBytes() const { return m_lastUpdateBytes; }

private:
    void Handle(DisplayServer::ClientId client, const BrowserMessage& message);
    void SendSnapshot(DisplayServer::ClientId client);

    ui::WindowSystem& m_windows;
    DisplayServer m_server;
    MessageObserver m_observer;
    // Tasks posted from the server thread check this before touching the model, so a task
    // that runs after Stop() does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_registered = false;
    size_t m_lastUpdateBytes = 0;
    uint64_t m_pageTextsSent = 0; // version of the page texts the open pages have
};

} // namespace kaptiv::web
