#include "tools/exporter/HttpServer.h"

#include <utility>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <cstdlib>
#include <sys/socket.h>
#include <thread>

namespace kaptiv::exporter {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr size_t kMaxTargetBytes = 2048;
constexpr size_t kMaxHeaderBytes = 16 * 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace

std::optional<HttpRequest> ParseRequestTarget(const std::string& target) {
    if (target.size() > kMaxTargetBytes)
        return std::nullopt;
    HttpRequest request;
    const auto question = target.find('?');
    request.path = target.substr(0, question);
    if (question == std::string::npos)
        return request;
    std::string_view rest = std::string_view(target).substr(question + 1);
    while (!rest.empty()) {
        const auto amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        if (pair.empty())
            continue;
        const auto eq = pair.find('=');
        auto key = Unescape(pair.substr(0, eq));
        auto value = Unescape(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
        if (!key || !value)
            return std::nullopt;
        request.query.emplace(std::move(*key), std::move(*value)); // the first one counts
    }
    return request;
}

bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string portText = text.substr(colon + 1);
    if (portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(portText.c_str(), nullptr, 10);
    if (value > 65535)
        return false;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        host = "0.0.0.0";
    boost::system::error_code ec;
    asio::ip::make_address(host, ec);
    if (ec)
        return false;
    address = host;
    port = static_cast<uint16_t>(value);
    return true;
}

struct HttpServer::Impl {
    HttpServerOptions options;
    Handler handler;
    asio::io_context ioc{1};
    asio::signal_set signals{ioc, SIGINT, SIGTERM};
    std::optional<tcp::acceptor> acceptor;
    std::atomic<int> active{0};
    uint16_t port = 0;

    void Accept() {
        acceptor->async_accept([this](beast::error_code ec, tcp::socket socket) {
            if (ec) {
                if (ec != asio::error::operation_aborted)
                    Accept();
                return;
            }
            const bool busy = active.load() >= options.maxConnections;
            ++active;
            std::thread([this, s = std::move(socket), busy]() mutable {
                Serve(std::move(s), busy);
                --active;
            }).detach();
            Accept();
        });
    }

    void Serve(tcp::socket socket, bool busy) {
        timeval timeout{options.readTimeoutSeconds, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        beast::flat_buffer buffer;
        http::request_parser<http::empty_body> parser;
        parser.header_limit(kMaxHeaderBytes);
        beast::error_code ec;
        http::read(socket, buffer, parser, ec);
        if (ec)
            return;
        const auto& request = parser.get();
        HttpResponse response;
        if (busy) {
            response = {503, "text/plain; charset=utf-8", "Too many requests at once\n"};
        } else if (request.method() != http::verb::get && request.method() != http::verb::head) {
            response = {405, "text/plain; charset=utf-8", "Only GET and HEAD\n"};
        } else if (auto parsed = ParseRequestTarget(std::string(request.target()))) {
            const auto header = request.find("X-Prometheus-Scrape-Timeout-Seconds");
            if (header != request.end()) {
                char* end = nullptr;
                const std::string text(header->value());
                const double seconds = std::strtod(text.c_str(), &end);
                if (end != text.c_str() && seconds > 0)
                    parsed->scrapeTimeoutSeconds = seconds;
            }
            response = handler(*parsed);
        } else {
            response = {400, "text/plain; charset=utf-8", "Malformed request target\n"};
        }
        http::response<http::string_body> out(static_cast<http::status>(response.status), request.version());
        out.set(http::field::server, "kaptiv-exporter");
        out.set(http::field::content_type, response.contentType);
        out.set(http::field::cache_control, "no-store");
        out.keep_alive(false);
        if (request.method() == http::verb::head) {
            out.content_length(response.body.size());
        } else {
            out.body() = std::move(response.body);
            out.prepare_payload();
        }
        http::write(socket, out, ec);
        socket.shutdown(tcp::socket::shutdown_both, ec);
    }
};

HttpServer::HttpServer(HttpServerOptions options, Handler handler) : m_impl(std::make_unique<Impl>()) {
    m_impl->options = std::move(options);
    m_impl->handler = std::move(handler);
}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(std::string& error) {
    beast::error_code ec;
    const auto address = asio::ip::make_address(m_impl->options.address, ec);
    if (ec) {
        error = "bad listen address " + m_impl->options.address;
        return false;
    }
    tcp::acceptor acceptor(m_impl->ioc);
    const tcp::endpoint endpoint(address, m_impl->options.port);
    acceptor.open(endpoint.protocol(), ec); // a listening socket, not a file
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + m_impl->options.address + ":" + std::to_string(m_impl->options.port) +
                ": " + ec.message();
        return false;
    }
    m_impl->port = acceptor.local_endpoint().port();
    m_impl->acceptor.emplace(std::move(acceptor));
    return true;
}

uint16_t HttpServer::Port() const {
    return m_impl->port;
}

void HttpServer::Run(int drainSeconds) {
    m_impl->signals.async_wait([this](beast::error_code, int) { Stop(); });
    m_impl->Accept();
    m_impl->ioc.run();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(drainSeconds);
    while (m_impl->active.load() > 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void HttpServer::Stop() {
    asio::post(m_impl->ioc, [impl = m_impl.get()] {
        beast::error_code ec;
        if (impl->acceptor)
            impl->acceptor->close(ec);
        impl->signals.cancel(ec);
        impl->ioc.stop();
    });
}

} // namespace kaptiv::exporter
