#include "web/DisplayServer.h"

#include "web/PageAssets.h"
#include "web/Security.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <deque>
#include <map>
#include <thread>
#include <vector>

namespace kaptiv::web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr uint32_t kHeaderLimit = 8 * 1024;
constexpr uint64_t kBodyLimit = 4 * 1024; // the page only ever GETs
constexpr std::string_view kWebSocketPath = "/ws";
constexpr std::string_view kTokenPlaceholder = "{{TOKEN}}";

// Headers on every answer: nothing is cached (the token is per run), nothing may frame the
// page, and the page may load nothing from anywhere but this server.
template <class Body> void AddSafetyHeaders(http::response<Body>& res) {
    res.set(http::field::server, "kaptiv");
    res.set(http::field::cache_control, "no-store");
    res.set("X-Content-Type-Options", "nosniff");
    res.set("X-Frame-Options", "DENY");
    res.set("Referrer-Policy", "no-referrer");
    res.set("Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; "
                                       "img-src 'self' data:; connect-src 'self'; base-uri 'none'; "
                                       "form-action 'none'; frame-ancestors 'none'");
}

} // namespace

class WsSession;

struct DisplayServer::Impl {
    // Members are destroyed in reverse order: the io_context goes before anything the
    // handlers it still holds may touch, the acceptor before the io_context.
    DisplayServerOptions options;
    Handlers handlers;
    ResourceProvider resources;
    std::string indexHtml; // the page with the token filled in
    BoundEndpoint bound;
    std::atomic<size_t> clientCount{0};
    ClientId nextClient = 1;
    std::map<ClientId, std::weak_ptr<WsSession>> clients; // server thread only
    bool running = false;
    bool stopping = false; // no handlers are called while the server shuts down
    asio::io_context ioc{1};
    std::optional<tcp::acceptor> acceptor;
    std::thread thread;

    void Accept();
    void Serve(tcp::socket socket);
    std::vector<std::shared_ptr<WsSession>> LiveClients();
};

class WsSession : public std::enable_shared_from_this<WsSession> {
public:
    WsSession(DisplayServer::Impl* server, tcp::socket socket, DisplayServer::ClientId id)
        : m_server(server), m_ws(std::move(socket)), m_id(id) {}

    void Run(http::request<http::string_body> request) {
        m_ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        m_ws.read_message_max(m_server->options.maxMessageBytes);
        m_ws.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
            if (ec)
                return;
            self->m_open = true;
            if (!self->m_server->stopping && self->m_server->handlers.onOpen)
                self->m_server->handlers.onOpen(self->m_id);
            self->Read();
            self->WriteNext();
        });
    }

    void Queue(std::shared_ptr<const std::string> message) {
        if (m_closing)
            return;
        m_queuedBytes += message->size();
        if (m_queuedBytes > m_server->options.maxQueuedBytes) {
            // The tab stopped reading; drop it rather than grow without bound. A reload
            // gets a fresh snapshot.
            Close();
            return;
        }
        m_queue.push_back(std::move(message));
        if (m_open && !m_writing)
            WriteNext();
    }

    void Close() {
        if (m_closing)
            return;
        m_closing = true;
        m_queue.clear();
        m_queuedBytes = 0;
        beast::error_code ec;
        beast::get_lowest_layer(m_ws).socket().shutdown(tcp::socket::shutdown_both, ec);
        beast::get_lowest_layer(m_ws).close();
    }

    ~WsSession() {
        --m_server->clientCount;
        m_server->clients.erase(m_id);
        if (m_open && !m_server->stopping && m_server->handlers.onClose)
            m_server->handlers.onClose(m_id);
    }

private:
    void Read() {
        m_ws.async_read(m_buffer, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) {
                self->Close();
                return;
            }
            if (self->m_ws.got_text() && !self->m_server->stopping && self->m_server->handlers.onMessage)
                self->m_server->handlers.onMessage(self->m_id,
                                                   beast::buffers_to_string(self->m_buffer.data()));
            self->m_buffer.consume(self->m_buffer.size());
            self->Read();
        });
    }

    void WriteNext() {
        if (m_writing || m_queue.empty() || m_closing)
            return;
        m_writing = true;
        // The message being written stays alive here even if Close() empties the queue.
        m_inFlight = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedBytes -= m_inFlight->size();
        m_ws.text(true);
        m_ws.async_write(asio::buffer(*m_inFlight),
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             self->m_writing = false;
                             self->m_inFlight.reset();
                             if (ec) {
                                 self->Close();
                                 return;
                             }
                             self->WriteNext();
                         });
    }

    DisplayServer::Impl* m_server;
    websocket::stream<beast::tcp_stream> m_ws;
    DisplayServer::ClientId m_id;
    beast::flat_buffer m_buffer;
    std::deque<std::shared_ptr<const std::string>> m_queue;
    std::shared_ptr<const std::string> m_inFlight;
    size_t m_queuedBytes = 0;
    bool m_open = false;
    bool m_writing = false;
    bool m_closing = false;
};

namespace {

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(DisplayServer::Impl* server, tcp::socket socket)
        : m_server(server), m_stream(std::move(socket)) {}

    void Read() {
        m_parser.emplace();
        m_parser->header_limit(kHeaderLimit);
        m_parser->body_limit(kBodyLimit);
        m_stream.expires_after(kRequestTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             if (ec) {
                                 beast::error_code ignored;
                                 self->m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
                                 return;
                             }
                             self->Handle();
                         });
    }

private:
    void Handle() {
        auto& request = m_parser->get();
        const bool upgrade = websocket::is_upgrade(request);
        RequestFacts facts;
        facts.target = std::string_view(request.target().data(), request.target().size());
        const auto host = request.find(http::field::host);
        if (host != request.end())
            facts.host = std::string_view(host->value().data(), host->value().size());
        const auto origin = request.find(http::field::origin);
        if (origin != request.end()) {
            facts.hasOrigin = true;
            facts.origin = std::string_view(origin->value().data(), origin->value().size());
        }
        facts.webSocket = upgrade;
        const RequestVerdict verdict = CheckRequest(facts, m_server->options.token, m_server->bound);
        if (verdict != RequestVerdict::Allow)
            return Respond(http::status::forbidden, std::string("Forbidden: ") + ToText(verdict) + "\n",
                           "text/plain; charset=utf-8", false);

        const std::string_view path = TargetPath(facts.target);
        if (upgrade) {
            if (path != kWebSocketPath)
                return Respond(http::status::not_found, "Not found\n", "text/plain; charset=utf-8", false);
            if (m_server->clientCount >= m_server->options.maxClients)
                return Respond(http::status::service_unavailable, "Too many tabs\n",
                               "text/plain; charset=utf-8", false);
            ++m_server->clientCount;
            const DisplayServer::ClientId id = m_server->nextClient++;
            m_stream.expires_never();
            auto session = std::make_shared<WsSession>(m_server, m_stream.release_socket(), id);
            m_server->clients[id] = session;
            session->Run(m_parser->release());
            return;
        }
        if (request.method() != http::verb::get && request.method() != http::verb::head)
            return Respond(http::status::method_not_allowed, "Method not allowed\n",
                           "text/plain; charset=utf-8", request.keep_alive());
        if (path == "/" || path == "/index.html")
            return Respond(http::status::ok, m_server->indexHtml, "text/html; charset=utf-8",
                           request.keep_alive());
        if (auto asset = FindPageAsset(path))
            return Respond(http::status::ok, std::string(asset->body), std::string(asset->contentType),
                           request.keep_alive());
        if (m_server->resources)
            if (auto resource = m_server->resources(path))
                return Respond(http::status::ok, std::move(resource->body), std::move(resource->contentType),
                               request.keep_alive());
        Respond(http::status::not_found, "Not found\n", "text/plain; charset=utf-8", request.keep_alive());
    }

    void Respond(http::status status, std::string body, std::string contentType, bool keepAlive) {
        const bool head = m_parser->get().method() == http::verb::head;
        auto response = std::make_shared<http::response<http::string_body>>(status, 11);
        AddSafetyHeaders(*response);
        response->set(http::field::content_type, contentType);
        response->keep_alive(keepAlive);
        response->body() = std::move(body);
        response->prepare_payload();
        if (head)
            response->body().clear();
        http::async_write(m_stream, *response,
                          [self = shared_from_this(), response, keepAlive](beast::error_code ec, size_t) {
                              if (ec || !keepAlive) {
                                  beast::error_code ignored;
                                  self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
                                  return;
                              }
                              self->Read();
                          });
    }

    DisplayServer::Impl* m_server;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
};

} // namespace

void DisplayServer::Impl::Accept() {
    acceptor->async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (stopping || !acceptor->is_open())
            return;
        if (!ec)
            Serve(std::move(socket));
        Accept();
    });
}

void DisplayServer::Impl::Serve(tcp::socket socket) {
    beast::error_code ec;
    socket.set_option(tcp::no_delay(true), ec);
    std::make_shared<HttpSession>(this, std::move(socket))->Read();
}

// A copy, because queueing may close a session and closing may end it.
std::vector<std::shared_ptr<WsSession>> DisplayServer::Impl::LiveClients() {
    std::vector<std::shared_ptr<WsSession>> live;
    for (const auto& [id, session] : clients)
        if (auto strong = session.lock())
            live.push_back(std::move(strong));
    return live;
}

DisplayServer::DisplayServer(DisplayServerOptions options, Handlers handlers)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->options = std::move(options);
    m_impl->handlers = std::move(handlers);
}

DisplayServer::~DisplayServer() {
    Stop();
}

void DisplayServer::SetHandlers(Handlers handlers) {
    m_impl->handlers = std::move(handlers);
}

void DisplayServer::SetResourceProvider(ResourceProvider provider) {
    m_impl->resources = std::move(provider);
}

bool DisplayServer::Start(std::string* error) {
    auto fail = [error](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    if (m_impl->running)
        return fail("display server already running");
    if (m_impl->options.token.empty())
        m_impl->options.token = MakeToken();
    if (m_impl->options.token.empty())
        return fail("no random token: /dev/urandom cannot be read");

    const auto page = FindPageAsset("/index.html");
    if (!page)
        return fail("the page is missing from the program");
    m_impl->indexHtml.assign(page->body);
    for (size_t at = m_impl->indexHtml.find(kTokenPlaceholder); at != std::string::npos;
         at = m_impl->indexHtml.find(kTokenPlaceholder, at))
        m_impl->indexHtml.replace(at, kTokenPlaceholder.size(), m_impl->options.token);

    beast::error_code ec;
    const auto address = asio::ip::make_address(m_impl->options.listenAddress, ec);
    if (ec)
        return fail("bad listen address '" + m_impl->options.listenAddress + "'");
    tcp::acceptor acceptor(m_impl->ioc);
    const tcp::endpoint endpoint(address, m_impl->options.port);
    acceptor.open(endpoint.protocol(), ec); // a listening socket, not a file
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        return fail("cannot listen on " + m_impl->options.listenAddress + ":" +
                    std::to_string(m_impl->options.port) + ": " + ec.message());
    m_impl->bound.address = m_impl->options.listenAddress;
    m_impl->bound.port = acceptor.local_endpoint().port();
    m_impl->acceptor.emplace(std::move(acceptor));
    m_impl->running = true;
    m_impl->Accept();
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->ioc.run(); });
    return true;
}

void DisplayServer::Stop() {
    if (!m_impl->running)
        return;
    m_impl->running = false;
    asio::post(m_impl->ioc, [impl = m_impl.get()] {
        impl->stopping = true;
        beast::error_code ec;
        impl->acceptor->close(ec);
        for (auto& session : impl->LiveClients())
            session->Close();
        impl->ioc.stop();
    });
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

uint16_t DisplayServer::Port() const {
    return m_impl->bound.port;
}

const std::string& DisplayServer::Token() const {
    return m_impl->options.token;
}

std::string DisplayServer::Url() const {
    std::string host = m_impl->bound.address;
    if (host == "0.0.0.0" || host == "::")
        host = "127.0.0.1";
    else if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(m_impl->bound.port) + "/?t=" + m_impl->options.token;
}

void DisplayServer::Send(ClientId client, std::string message) {
    auto shared = std::make_shared<const std::string>(std::move(message));
    asio::post(m_impl->ioc, [impl = m_impl.get(), client, shared] {
        auto it = impl->clients.find(client);
        if (it == impl->clients.end())
            return;
        if (auto session = it->second.lock())
            session->Queue(shared);
    });
}

void DisplayServer::Broadcast(std::string message) {
    auto shared = std::make_shared<const std::string>(std::move(message));
    asio::post(m_impl->ioc, [impl = m_impl.get(), shared] {
        for (auto& session : impl->LiveClients())
            session->Queue(shared);
    });
}

size_t DisplayServer::ClientCount() const {
    return m_impl->clientCount;
}

} // namespace kaptiv::web
