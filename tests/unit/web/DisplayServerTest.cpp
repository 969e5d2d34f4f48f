// The display server over real loopback sockets, with short bounded deadlines.
#include "web/DisplayServer.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/socket.h>

namespace kaptiv::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr auto kDeadline = std::chrono::seconds(5);

// What the server thread reported, waited for with a deadline.
class Inbox {
public:
    void Push(std::string what) {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(what));
        m_ready.notify_all();
    }
    std::string Pop() {
        std::unique_lock lock(m_mutex);
        if (!m_ready.wait_for(lock, kDeadline, [this] { return !m_items.empty(); }))
            return "<nothing>";
        std::string item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::string> m_items;
};

class DisplayServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayServerOptions options;
        options.maxMessageBytes = 1024;
        m_server = std::make_unique<DisplayServer>(options, DisplayServer::Handlers{});
        m_server->SetHandlers({
            [this](DisplayServer::ClientId id) { m_inbox.Push("open " + std::to_string(id)); },
            [this](DisplayServer::ClientId id, std::string text) {
                m_inbox.Push("message " + std::to_string(id) + " " + text);
            },
            [this](DisplayServer::ClientId id) { m_inbox.Push("close " + std::to_string(id)); },
        });
        m_server->SetResourceProvider([](std::string_view path) -> std::optional<DisplayServer::Resource> {
            if (path == "/image/icon/1.svg")
                return DisplayServer::Resource{"<svg/>", "image/svg+xml"};
            return std::nullopt;
        });
        std::string error;
        ASSERT_TRUE(m_server->Start(&error)) << error;
        m_host = "127.0.0.1:" + std::to_string(m_server->Port());
    }

    tcp::socket Connect() {
        tcp::socket socket(m_io);
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), m_server->Port()));
        const timeval timeout{5, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        return socket;
    }

    http::response<http::string_body> Get(const std::string& target, const std::string& host) {
        tcp::socket socket = Connect();
        http::request<http::empty_body> request(http::verb::get, target, 11);
        request.set(http::field::host, host);
        http::write(socket, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
        return response;
    }

    // A hand-made upgrade request, to see the refusal itself.
    unsigned UpgradeStatus(const std::string& target, const std::string& origin) {
        tcp::socket socket = Connect();
        http::request<http::empty_body> request(http::verb::get, target, 11);
        request.set(http::field::host, m_host);
        request.set(http::field::upgrade, "websocket");
        request.set(http::field::connection, "upgrade");
        request.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
        request.set(http::field::sec_websocket_version, "13");
        if (!origin.empty())
            request.set(http::field::origin, origin);
        http::write(socket, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
        return response.result_int();
    }

    std::string WithToken(const std::string& path) { return path + "?t=" + m_server->Token(); }

    // Opens a WebSocket; returns the handshake's HTTP status (101 when upgraded).
    unsigned OpenSocket(websocket::stream<tcp::socket>& ws, const std::string& target,
                        const std::string& origin) {
        websocket::response_type response;
        ws.set_option(websocket::stream_base::decorator([origin](websocket::request_type& request) {
            if (!origin.empty())
                request.set(http::field::origin, origin);
        }));
        beast::error_code ec;
        ws.handshake(response, m_host, target, ec);
        return response.result_int();
    }

    asio::io_context m_io;
    Inbox m_inbox;
    std::unique_ptr<DisplayServer> m_server;
    std::string m_host;
};

TEST_F(DisplayServerTest, ServesThePageWithTheTokenAndStrictHeaders) {
    EXPECT_EQ(m_server->Url(), "http://" + m_host + "/?t=" + m_server->Token());
    const auto page = Get(WithToken("/"), m_host);
    ASSERT_EQ(page.result_int(), 200u);
    EXPECT_NE(page.body().find("app.js?t=" + m_server->Token()), std::string::npos);
    EXPECT_EQ(page.body().find("{{TOKEN}}"), std::string::npos);
    EXPECT_NE(page["Content-Security-Policy"].find("default-src 'none'"), beast::string_view::npos);
    EXPECT_EQ(page[http::field::cache_control], "no-store");

    const auto script = Get(WithToken("/app.js"), "localhost:" + std::to_string(m_server->Port()));
    EXPECT_EQ(script.result_int(), 200u);
    EXPECT_NE(script[http::field::content_type].find("javascript"), beast::string_view::npos);

    const auto image = Get(WithToken("/image/icon/1.svg"), m_host);
    EXPECT_EQ(image.result_int(), 200u);
    EXPECT_EQ(image.body(), "<svg/>");
    EXPECT_EQ(Get(WithToken("/image/icon/2.svg"), m_host).result_int(), 404u);
    // Nothing comes from disk, whatever the path says.
    EXPECT_EQ(Get(WithToken("/../../etc/passwd"), m_host).result_int(), 404u);
}

TEST_F(DisplayServerTest, RefusesRequestsWithoutTokenOrFromForeignHosts) {
    EXPECT_EQ(Get("/", m_host).result_int(), 403u);
    EXPECT_EQ(Get("/app.js", m_host).result_int(), 403u);
    EXPECT_EQ(Get("/?t=00000000000000000000000000000000", m_host).result_int(), 403u);
    EXPECT_EQ(Get(WithToken("/"), "evil.example:" + std::to_string(m_server->Port())).result_int(), 403u);
}

TEST_F(DisplayServerTest, WebSocketCarriesMessagesBothWays) {
    websocket::stream<tcp::socket> ws(Connect());
    ASSERT_EQ(OpenSocket(ws, WithToken("/ws"), "http://" + m_host), 101u);
    const std::string open = m_inbox.Pop();
    ASSERT_EQ(open.rfind("open ", 0), 0u) << open;
    const DisplayServer::ClientId id = std::stoull(open.substr(5));
    EXPECT_EQ(m_server->ClientCount(), 1u);

    ws.write(asio::buffer(std::string(R"({"type":"resync"})")));
    EXPECT_EQ(m_inbox.Pop(), "message " + std::to_string(id) + R"( {"type":"resync"})");

    m_server->Send(id, "first");
    m_server->Broadcast("second");
    beast::flat_buffer buffer;
    ws.read(buffer);
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), "first");
    buffer.clear();
    ws.read(buffer);
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), "second");

    ws.close(websocket::close_code::normal);
    EXPECT_EQ(m_inbox.Pop(), "close " + std::to_string(id));
}

TEST_F(DisplayServerTest, RefusesWebSocketsWithoutTokenOrWithForeignOrigin) {
    EXPECT_EQ(UpgradeStatus(WithToken("/ws"), "http://" + m_host), 101u);
    EXPECT_EQ(m_inbox.Pop().rfind("open ", 0), 0u);
    EXPECT_EQ(UpgradeStatus(WithToken("/ws"), "http://evil.example"), 403u);
    EXPECT_EQ(UpgradeStatus(WithToken("/ws"), "http://127.0.0.1:1"), 403u);
    EXPECT_EQ(UpgradeStatus(WithToken("/ws"), ""), 403u);
    EXPECT_EQ(UpgradeStatus("/ws", "http://" + m_host), 403u);
    EXPECT_EQ(UpgradeStatus("/ws?t=x", "http://" + m_host), 403u);
}

TEST_F(DisplayServerTest, DropsASocketThatSendsAnOversizedMessage) {
    websocket::stream<tcp::socket> ws(Connect());
    ASSERT_EQ(OpenSocket(ws, WithToken("/ws"), "http://" + m_host), 101u);
    const std::string open = m_inbox.Pop();
    ws.write(asio::buffer(std::string(2048, 'x')));
    EXPECT_EQ(m_inbox.Pop(), "close " + open.substr(5));
}

TEST(DisplayServer, ReportsAnAddressItCannotBind) {
    DisplayServerOptions options;
    options.listenAddress = "not-an-address";
    DisplayServer server(options, {});
    std::string error;
    EXPECT_FALSE(server.Start(&error));
    EXPECT_NE(error.find("not-an-address"), std::string::npos);
}

} // namespace
} // namespace kaptiv::web
