#pragma once
// The display server: serves the page and one WebSocket per browser tab, like a window
// system serving its clients. It runs on one thread of its own (one io_context, no pool);
// the user-interface thread talks to it only through Send/Broadcast, which are thread-safe,
// and hears from it through the handlers, which run on the server thread and must only
// queue work for the user-interface thread (EventLoop::Post).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kaptiv::web {

struct DisplayServerOptions {
    std::string listenAddress = "127.0.0.1"; // widen with care: the token is always required
    uint16_t port = 0;                       // 0 = any free port
    std::string token;                       // empty = a fresh random token
    size_t maxClients = 8;
    size_t maxMessageBytes = 64 * 1024;       // larger browser messages close the socket
    size_t maxQueuedBytes = 16 * 1024 * 1024; // a tab that stops reading is dropped
};

class DisplayServer {
public:
    using ClientId = uint64_t;

    struct Handlers {
        std::function<void(ClientId)> onOpen;
        std::function<void(ClientId, std::string)> onMessage;
        std::function<void(ClientId)> onClose;
    };

    struct Resource {
        std::string body;
        std::string contentType;
    };
    // Files served besides the page assets (the bitmaps): path -> resource. Called on the
    // server thread, so it may only read immutable data.
    using ResourceProvider = std::function<std::optional<Resource>(std::string_view path)>;

    DisplayServer(DisplayServerOptions options, Handlers handlers);
    ~DisplayServer();
    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    void SetHandlers(Handlers handlers);                 // before Start
    void SetResourceProvider(ResourceProvider provider); // before Start

    // Binds and starts the server thread (once per server object). False with a reason when the address
    // cannot be bound or no token could be made.
    bool Start(std::string* error = nullptr);
    void Stop();

    uint16_t Port() const;
    const std::string& Token() const;
    // http://127.0.0.1:PORT/?t=TOKEN (a wildcard listen address is shown as 127.0.0.1).
    std::string Url() const;

    // Thread-safe. Messages to one client go out in the order they were given.
    void Send(ClientId client, std::string message);
    void Broadcast(std::string message);
    size_t ClientCount() const;

    struct Impl; // opaque; public only so that the session classes can name it

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace kaptiv::web
