#include "web/Security.h"

#include <gtest/gtest.h>

#include <set>

namespace kaptiv::web {
namespace {

const BoundEndpoint kLoopback{"127.0.0.1", 8123};
const BoundEndpoint kEverywhere{"0.0.0.0", 8123};

TEST(Token, Is128RandomBitsInHex) {
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        const std::string token = MakeToken();
        ASSERT_EQ(token.size(), 32u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 20u);
}

TEST(Token, ComparisonNeedsExactMatch) {
    EXPECT_TRUE(TokenEquals("00ff", "00ff"));
    EXPECT_FALSE(TokenEquals("00fe", "00ff"));
    EXPECT_FALSE(TokenEquals("00ff0", "00ff"));
    EXPECT_FALSE(TokenEquals("", "")); // an unset token never matches
    EXPECT_FALSE(TokenEquals("00FF", "00ff"));
}

TEST(Token, IsTakenFromTheQueryOnly) {
    const std::string token = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(HasValidToken("/?t=" + token, token));
    EXPECT_TRUE(HasValidToken("/app.js?x=1&t=" + token, token));
    EXPECT_TRUE(HasValidToken("/ws?t=" + token + "#frag", token));
    EXPECT_FALSE(HasValidToken("/", token));
    EXPECT_FALSE(HasValidToken("/?t=", token));
    EXPECT_FALSE(HasValidToken("/?tt=" + token, token));
    EXPECT_FALSE(HasValidToken("/" + token, token));
    EXPECT_FALSE(HasValidToken("/?t=" + token + "0", token));
    EXPECT_EQ(TargetPath("/image/icon/5.svg?t=1"), "/image/icon/5.svg");
    EXPECT_EQ(QueryParameter("/?a&t=9", "t"), "9");
    EXPECT_EQ(QueryParameter("/?a&t", "t"), "");
}

TEST(Host, MustNameTheBoundAddressOrLocalhostWithThePort) {
    EXPECT_TRUE(IsAllowedHost("127.0.0.1:8123", kLoopback));
    EXPECT_TRUE(IsAllowedHost("localhost:8123", kLoopback));
    EXPECT_TRUE(IsAllowedHost("LocalHost:8123", kLoopback));
    EXPECT_FALSE(IsAllowedHost("127.0.0.1:8124", kLoopback));
    EXPECT_FALSE(IsAllowedHost("127.0.0.1", kLoopback));
    EXPECT_FALSE(IsAllowedHost("", kLoopback));
    // DNS rebinding: a foreign name that resolves to 127.0.0.1.
    EXPECT_FALSE(IsAllowedHost("evil.example:8123", kLoopback));
    EXPECT_FALSE(IsAllowedHost("localhost.evil.example:8123", kLoopback));
    EXPECT_FALSE(IsAllowedHost("127.0.0.2:8123", kLoopback));
    EXPECT_FALSE(IsAllowedHost("127.0.0.1:08123x", kLoopback));
    EXPECT_FALSE(IsAllowedHost("127.0.0.1:99999", kLoopback));
}

TEST(Host, WildcardListenAcceptsAddressLiteralsButNoForeignNames) {
    EXPECT_TRUE(IsAllowedHost("192.168.1.20:8123", kEverywhere));
    EXPECT_TRUE(IsAllowedHost("[fe80::1]:8123", kEverywhere));
    EXPECT_TRUE(IsAllowedHost("localhost:8123", kEverywhere));
    EXPECT_FALSE(IsAllowedHost("evil.example:8123", kEverywhere));
    EXPECT_FALSE(IsAllowedHost("192.168.1.256:8123", kEverywhere));
    EXPECT_FALSE(IsAllowedHost("192.168.1:8123", kEverywhere));
    EXPECT_FALSE(IsAllowedHost("fe80::1:8123", kEverywhere)); // unbracketed v6
    const BoundEndpoint v6{"::1", 8123};
    EXPECT_TRUE(IsAllowedHost("[::1]:8123", v6));
    EXPECT_FALSE(IsAllowedHost("127.0.0.1:8123", v6));
}

TEST(Origin, MustBeThisServerOverHttp) {
    EXPECT_TRUE(IsAllowedOrigin("http://127.0.0.1:8123", kLoopback));
    EXPECT_TRUE(IsAllowedOrigin("http://localhost:8123", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("https://127.0.0.1:8123", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("http://evil.example", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("http://127.0.0.1:8123/", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("http://127.0.0.1:9999", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("null", kLoopback));
    EXPECT_FALSE(IsAllowedOrigin("", kLoopback));
}

TEST(Request, EveryRuleMustHold) {
    const std::string token = "aa";
    RequestFacts page{"/?t=aa", "127.0.0.1:8123", "", false, false};
    EXPECT_EQ(CheckRequest(page, token, kLoopback), RequestVerdict::Allow);

    RequestFacts noToken = page;
    noToken.target = "/";
    EXPECT_EQ(CheckRequest(noToken, token, kLoopback), RequestVerdict::BadToken);

    RequestFacts foreignHost = page;
    foreignHost.host = "evil.example:8123";
    EXPECT_EQ(CheckRequest(foreignHost, token, kLoopback), RequestVerdict::BadHost);

    RequestFacts crossSite = page;
    crossSite.hasOrigin = true;
    crossSite.origin = "http://evil.example";
    EXPECT_EQ(CheckRequest(crossSite, token, kLoopback), RequestVerdict::BadOrigin);

    RequestFacts socket{"/ws?t=aa", "localhost:8123", "http://localhost:8123", true, true};
    EXPECT_EQ(CheckRequest(socket, token, kLoopback), RequestVerdict::Allow);
    socket.hasOrigin = false;
    socket.origin = "";
    EXPECT_EQ(CheckRequest(socket, token, kLoopback), RequestVerdict::BadOrigin);
}

} // namespace
} // namespace kaptiv::web
