#pragma once
// The exporter's HTTP side on Boost.Beast: one acceptor on the main thread, each connection
// served on a thread of its own (a probe blocks for as long as its round), at most
// maxConnections at once; one request per connection. Read-only: GET and HEAD only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kaptiv::exporter {

struct HttpRequest {
    std::string path;                           // "/probe"
    std::map<std::string, std::string> query;   // decoded
    std::optional<double> scrapeTimeoutSeconds; // X-Prometheus-Scrape-Timeout-Seconds
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
};

// "/probe?target=127.0.0.1%3A666" -> path and decoded parameters. Nothing for a malformed
// escape or a target over 2048 bytes.
std::optional<HttpRequest> ParseRequestTarget(const std::string& target);

struct HttpServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 9468;
    int maxConnections = 64;
    int readTimeoutSeconds = 10;
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    HttpServer(HttpServerOptions options, Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Bind(std::string& error);
    uint16_t Port() const;
    // Serves until SIGINT or SIGTERM (or Stop from another thread), then waits for the
    // connections in progress (at most drainSeconds).
    void Run(int drainSeconds = 15);
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// "127.0.0.1:9468", "[::1]:9468", ":9468" (every address). False for anything else.
bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port);

} // namespace kaptiv::exporter
