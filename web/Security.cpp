#include "web/Security.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace kaptiv::web {

namespace {

constexpr size_t kTokenBytes = 16; // 128 bits

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsUnspecified(std::string_view address) {
    return address == "0.0.0.0" || address == "::" || address == "[::]";
}

// "[::1]" -> "::1"; plain names and IPv4 literals stay as they are.
std::string_view StripBrackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

bool IsIpv4Literal(std::string_view s) {
    int parts = 0;
    size_t i = 0;
    while (i <= s.size()) {
        size_t digits = 0;
        unsigned value = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 4) {
            value = value * 10 + static_cast<unsigned>(s[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        ++parts;
        if (i == s.size())
            break;
        if (s[i] != '.')
            return false;
        ++i;
    }
    return parts == 4;
}

bool IsIpv6Literal(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
    }) && s.find(':') != std::string_view::npos;
}

// Splits "host:port" / "[v6]:port"; false when there is no numeric port.
bool SplitHostPort(std::string_view hostPort, std::string_view& host, uint16_t& port) {
    const size_t colon = hostPort.rfind(':');
    if (colon == std::string_view::npos || colon + 1 >= hostPort.size())
        return false;
    const std::string_view portText = hostPort.substr(colon + 1);
    if (portText.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : portText) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    host = hostPort.substr(0, colon);
    // An unbracketed IPv6 literal is ambiguous; browsers always bracket it.
    if (host.find(':') != std::string_view::npos && host.front() != '[')
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

} // namespace

std::string MakeToken() {
    std::array<unsigned char, kTokenBytes> bytes{};
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got != bytes.size())
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 0x0F];
    }
    return token;
}

bool TokenEquals(std::string_view given, std::string_view expected) {
    if (given.size() != expected.size() || expected.empty())
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return diff == 0;
}

std::string_view TargetPath(std::string_view target) {
    return target.substr(0, target.find_first_of("?#"));
}

std::string QueryParameter(std::string_view target, std::string_view name) {
    const size_t q = target.find('?');
    if (q == std::string_view::npos)
        return {};
    std::string_view query = target.substr(q + 1);
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return eq == std::string_view::npos ? std::string{} : std::string(pair.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

bool HasValidToken(std::string_view target, std::string_view token) {
    return TokenEquals(QueryParameter(target, "t"), token);
}

bool IsAllowedHost(std::string_view hostHeader, const BoundEndpoint& bound) {
    std::string_view host;
    uint16_t port = 0;
    if (!SplitHostPort(hostHeader, host, port) || port != bound.port)
        return false;
    const std::string_view bare = StripBrackets(host);
    if (EqualsNoCase(bare, "localhost"))
        return true;
    if (IsUnspecified(bound.address))
        return IsIpv4Literal(bare) || (host.front() == '[' && IsIpv6Literal(bare));
    return EqualsNoCase(bare, StripBrackets(bound.address));
}

bool IsAllowedOrigin(std::string_view origin, const BoundEndpoint& bound) {
    constexpr std::string_view kScheme = "http://";
    if (origin.size() <= kScheme.size() || !EqualsNoCase(origin.substr(0, kScheme.size()), kScheme))
        return false;
    const std::string_view hostPort = origin.substr(kScheme.size());
    if (hostPort.find('/') != std::string_view::npos)
        return false;
    return IsAllowedHost(hostPort, bound);
}

RequestVerdict CheckRequest(const RequestFacts& request, std::string_view token, const BoundEndpoint& bound) {
    if (!IsAllowedHost(request.host, bound))
        return RequestVerdict::BadHost;
    if ((request.webSocket && !request.hasOrigin) ||
        (request.hasOrigin && !IsAllowedOrigin(request.origin, bound)))
        return RequestVerdict::BadOrigin;
    if (!HasValidToken(request.target, token))
        return RequestVerdict::BadToken;
    return RequestVerdict::Allow;
}

const char* ToText(RequestVerdict verdict) {
    switch (verdict) {
    case RequestVerdict::Allow:
        return "allowed";
    case RequestVerdict::BadToken:
        return "missing or wrong token";
    case RequestVerdict::BadHost:
        return "foreign Host";
    case RequestVerdict::BadOrigin:
        return "foreign or missing Origin";
    }
    return "refused";
}

} // namespace kaptiv::web
