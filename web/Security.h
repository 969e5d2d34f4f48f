#pragma once
// The checks that keep other local programs and web sites away from the display server.
// The page is served on loopback, but any program on the PC, and any web page the installer
// opens, can reach loopback: a random per-run token in the URL proves the request comes from
// the page we handed out, and the Host/Origin checks defeat DNS rebinding and cross-site
// WebSocket hijacking. All functions are pure so they are tested without a socket.
#include <cstdint>
#include <string>
#include <string_view>

namespace kaptiv::web {

// 128 random bits from /dev/urandom as 32 lower-case hex digits; empty when the source
// cannot be read (the server then refuses to start rather than run without a token).
std::string MakeToken();

// Compares in time that depends only on the lengths, so the token cannot be guessed byte by
// byte from response times.
bool TokenEquals(std::string_view given, std::string_view expected);

// The value of query parameter `name` in a request target ("/path?a=1&t=..."); empty if absent.
std::string QueryParameter(std::string_view target, std::string_view name);
// The path of a request target, without the query.
std::string_view TargetPath(std::string_view target);

// Whether the target carries ?t=<token> (an empty expected token never matches).
bool HasValidToken(std::string_view target, std::string_view token);

// Where the server listens: the address as given ("127.0.0.1", "0.0.0.0", "::1") and the
// port actually bound.
struct BoundEndpoint {
    std::string address;
    uint16_t port = 0;
};

// The Host header must name this server: the bound address or "localhost", with the bound
// port. When the server listens on every address (0.0.0.0 or ::), any IP literal with the
// right port is accepted too: DNS rebinding needs a host *name*, never a literal.
bool IsAllowedHost(std::string_view host, const BoundEndpoint& bound);

// The Origin of a WebSocket (or any request that carries one) must be http://<allowed host>.
// A missing Origin is refused by the caller for WebSockets: the page always sends one.
bool IsAllowedOrigin(std::string_view origin, const BoundEndpoint& bound);

// What the server decides about one request before it serves a file or upgrades to a
// WebSocket. Every request must carry the token; the Host must name this server; an Origin,
// when present, must be this server's; a WebSocket must have an Origin.
enum class RequestVerdict { Allow, BadToken, BadHost, BadOrigin };

struct RequestFacts {
    std::string_view target;
    std::string_view host;
    std::string_view origin;
    bool hasOrigin = false;
    bool webSocket = false;
};

RequestVerdict CheckRequest(const RequestFacts& request, std::string_view token, const BoundEndpoint& bound);
const char* ToText(RequestVerdict verdict);

} // namespace kaptiv::web
