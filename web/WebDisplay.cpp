#include "web/WebDisplay.h"

#include "ui/FolderListing.h"
#include "ui/PageTexts.h"

#include <charconv>

namespace kaptiv::web {

namespace {

// "/image/bitmap/257.svg" -> Bitmap(257); anything else -> nothing.
std::optional<ui::ImageRef> ImageFromPath(std::string_view path) {
    constexpr std::string_view kPrefix = "/image/";
    constexpr std::string_view kSuffix = ".svg";
    if (!path.starts_with(kPrefix) || !path.ends_with(kSuffix))
        return std::nullopt;
    path = path.substr(kPrefix.size(), path.size() - kPrefix.size() - kSuffix.size());
    ui::ImageKind kind = ui::ImageKind::None;
    if (path.starts_with("bitmap/")) {
        kind = ui::ImageKind::Bitmap;
        path.remove_prefix(7);
    } else if (path.starts_with("icon/")) {
        kind = ui::ImageKind::Icon;
        path.remove_prefix(5);
    } else {
        return std::nullopt;
    }
    int id = 0;
    const auto [end, ec] = std::from_chars(path.data(), path.data() + path.size(), id);
    if (ec != std::errc() || end != path.data() + path.size() || id < 0 || id > kMaxId)
        return std::nullopt;
    return ui::ImageRef{kind, id};
}

} // namespace

WebDisplay::WebDisplay(ui::WindowSystem& windows, DisplayServerOptions options, ImageSource images)
    : m_windows(windows), m_server(std::move(options), {}) {
    // The handlers run on the server thread: parse there (it is pure), then queue for the
    // UI thread. Nothing else crosses.
    platform::EventLoop& loop = windows.Loop();
    std::weak_ptr<bool> alive = m_alive;
    DisplayServer::Handlers handlers;
    handlers.onOpen = [this, &loop, alive](DisplayServer::ClientId client) {
        loop.Post([this, alive, client] {
            if (alive.lock())
                SendSnapshot(client);
        });
    };
    handlers.onMessage = [this, &loop, alive](DisplayServer::ClientId client, std::string text) {
        ParsedBrowserMessage parsed = ParseBrowserMessage(text);
        if (!parsed.message)
            return; // refused: a broken or hostile page gets no say
        loop.Post([this, alive, client, message = std::move(*parsed.message)] {
            if (alive.lock())
                Handle(client, message);
        });
    };
    m_server.SetHandlers(std::move(handlers));
    if (images)
        m_server.SetResourceProvider(
            [images](std::string_view path) -> std::optional<DisplayServer::Resource> {
                const auto image = ImageFromPath(path);
                if (!image)
                    return std::nullopt;
                auto svg = images(*image);
                if (!svg)
                    return std::nullopt;
                return DisplayServer::Resource{std::move(*svg), "image/svg+xml"};
            });
}

WebDisplay::~WebDisplay() {
    Stop();
}

bool WebDisplay::Start(std::string* error) {
    if (!m_server.Start(error))
        return false;
    m_windows.AddDisplay(this);
    m_registered = true;
    return true;
}

void WebDisplay::Stop() {
    m_server.Stop(); // no more tasks are posted after this
    m_alive.reset();
    if (m_registered) {
        m_windows.RemoveDisplay(this);
        m_registered = false;
    }
}

void WebDisplay::Present(const ui::DisplayUpdate& update) {
    // With no page open there is nobody to tell; a page that connects gets a snapshot.
    const bool newTexts = ui::PageTextsVersion() != m_pageTextsSent;
    if ((update.Empty() && !update.full && !newTexts) || m_server.ClientCount() == 0)
        return;
    m_pageTextsSent = ui::PageTextsVersion();
    std::string message = EncodeUpdate(update, newTexts ? &ui::GetPageTexts() : nullptr);
    m_lastUpdateBytes = message.size();
    m_server.Broadcast(std::move(message));
}

void WebDisplay::SendSnapshot(DisplayServer::ClientId client) {
    std::string message = EncodeUpdate(m_windows.Snapshot(), &ui::GetPageTexts());
    m_lastUpdateBytes = message.size();
    m_server.Send(client, std::move(message));
}

void WebDisplay::Handle(DisplayServer::ClientId client, const BrowserMessage& message) {
    if (m_observer)
        m_observer(message, std::nullopt);
    ui::DeliverResult result = ui::DeliverResult::Delivered;
    switch (message.kind) {
    case BrowserMessageKind::Event:
        result = m_windows.DeliverEvent(message.event);
        break;
    case BrowserMessageKind::Answer:
        if (!m_windows.AnswerRequest(message.request, message.answer))
            result = ui::DeliverResult::Invalid;
        break;
    case BrowserMessageKind::ListFolder:
        m_server.Send(client,
                      EncodeFolderListing(message.request, ui::ListFolder(message.path, message.patterns)));
        break;
    case BrowserMessageKind::Resync:
        SendSnapshot(client);
        break;
    }
    if (m_observer)
        m_observer(message, result);
}

} // namespace kaptiv::web
