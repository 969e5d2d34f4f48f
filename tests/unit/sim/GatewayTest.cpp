// The gateway server over loopback TCP, with real time and short bounded deadlines.
#include "sim/Engine.h"
#include "sim/GatewayMessage.h"
#include "sim/GatewayServer.h"
#include "sim/Protocol.h"

#include "platform/Bytes.h"
#include "platform/Clock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace mulvane;
using kaptiv::platform::HexDump;

namespace {

constexpr int64_t kDeadlineMs = 2000;

RackConfig Rack() {
    RackConfig rack;
    for (auto [address, type] : std::vector<std::pair<uint8_t, uint8_t>>{{0, 0}, {10, 4}}) {
        ModuleConfig m;
        m.address = address;
        m.type = type;
        m.release = 35;
        m.identifyLength = 3;
        m.answerDelayMinMs = m.answerDelayMaxMs = 0;
        rack.modules.push_back(m);
    }
    return rack;
}

// The PC's end of the connection.
class Pc {
public:
    explicit Pc(uint16_t port) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Pc() { close(m_fd); }
    bool Connected() const { return m_connected; }

    void SendRaw(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    void Send(GatewayType type, uint16_t id, const std::vector<uint8_t>& payload = {}) {
        SendRaw(*EncodeGatewayMessage(static_cast<uint8_t>(type), id, payload));
    }
    // The next message, or nothing when the deadline passes or the gateway closes.
    std::optional<GatewayMessage> Receive(int64_t deadlineMs = kDeadlineMs) {
        const int64_t end = m_clock.NowMs() + deadlineMs;
        while (m_pending.empty()) {
            const int64_t left = end - m_clock.NowMs();
            if (left <= 0 || m_closed)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            uint8_t buffer[4096];
            const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                m_closed = true;
                return std::nullopt;
            }
            m_raw.insert(m_raw.end(), buffer, buffer + n);
            std::vector<GatewayMessage> got;
            m_reader.Feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), got);
            m_pending.insert(m_pending.end(), got.begin(), got.end());
        }
        GatewayMessage next = m_pending.front();
        m_pending.erase(m_pending.begin());
        return next;
    }
    // Skips messages of other types (keep-alives of the gateway) until one of type arrives.
    std::optional<GatewayMessage> ReceiveType(GatewayType type) {
        while (auto m = Receive())
            if (m->type == static_cast<uint8_t>(type))
                return m;
        return std::nullopt;
    }
    // True when the gateway closes the connection before the deadline.
    bool ClosedByGateway() {
        while (Receive())
            ;
        return m_closed;
    }
    // Opens the session: answers the opening message and reads the link state.
    uint8_t Open() {
        auto opening = Receive();
        EXPECT_TRUE(opening && opening->type == static_cast<uint8_t>(GatewayType::Opening));
        if (!opening)
            return 0xFF;
        Send(GatewayType::OpeningAnswer, opening->id, std::vector<uint8_t>(8, 0));
        auto link = Receive();
        EXPECT_TRUE(link && link->type == static_cast<uint8_t>(GatewayType::LinkState));
        return link && link->payload.size() == 1 ? link->payload[0] : 0xFF;
    }
    const std::vector<uint8_t>& Raw() const { return m_raw; }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    GatewayReader m_reader;
    std::vector<GatewayMessage> m_pending;
    std::vector<uint8_t> m_raw;
    kaptiv::platform::RealClock m_clock;
};

struct GatewayFixture : ::testing::Test {
    RackEngine engine{Rack()};
    GatewayServer gateway{engine, GatewayOptions{0, 60000, 1}};

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(gateway.Start(error)) << error;
        ASSERT_NE(gateway.Port(), 0);
    }
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    return HexDump(bytes, 4096);
}

} // namespace

TEST_F(GatewayFixture, OpensTheSessionAndRelaysRequestsAsType7) {
    Pc pc(gateway.Port());
    ASSERT_TRUE(pc.Connected());
    EXPECT_EQ(pc.Open(), 1);
    // Identify address 10: 00 08 00 00 07 0A FD 10.
    pc.SendRaw({0x00, 0x08, 0x00, 0x00, 0x07, 0x0A, 0xFD, 0x10});
    auto answer = pc.ReceiveType(GatewayType::Relay);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, 0);
    EXPECT_EQ(Hex(answer->payload), "FD 0A F3 77 04 23"); // control byte with its length form
    EXPECT_EQ(gateway.Stats().sessionsOpened, 1);

    // A negative answer is relayed as such.
    engine.GetFaults().AnswerNegatively(1);
    pc.Send(GatewayType::Relay, 0, {0x0A, 0xFD, kCmdReadParameters});
    auto negative = pc.ReceiveType(GatewayType::Relay);
    ASSERT_TRUE(negative);
    EXPECT_EQ(Hex(negative->payload), "FD 0A E0");
}

TEST_F(GatewayFixture, KeepAliveIsAnsweredWithTheSameId) {
    Pc pc(gateway.Port());
    pc.Open();
    pc.Send(GatewayType::KeepAlive, 0x1234);
    auto reply = pc.Receive();
    ASSERT_TRUE(reply);
    const std::vector<uint8_t> tail(pc.Raw().end() - 5, pc.Raw().end());
    EXPECT_EQ(Hex(tail), "00 05 12 34 08");
}

TEST(GatewayKeepAlive, GatewaySendsItsOwnAndCountsTheAnswers) {
    RackEngine engine{Rack()};
    GatewayServer gateway{engine, GatewayOptions{0, 30, 1}};
    std::string error;
    ASSERT_TRUE(gateway.Start(error)) << error;
    Pc pc(gateway.Port());
    pc.Open();
    auto ping = pc.ReceiveType(GatewayType::KeepAlive);
    ASSERT_TRUE(ping);
    EXPECT_TRUE(ping->payload.empty());
    pc.Send(GatewayType::KeepAlive, ping->id);
    // The gateway reads in order: once our own keep-alive is answered, the answer to its
    // ping has been counted.
    pc.Send(GatewayType::KeepAlive, 0x0777);
    while (auto m = pc.Receive())
        if (m->type == static_cast<uint8_t>(GatewayType::KeepAlive) && m->id == 0x0777)
            break;
    EXPECT_GE(gateway.Stats().keepAlivesSent, 1);
    EXPECT_GE(gateway.Stats().keepAlivesAnswered, 1);
}

TEST_F(GatewayFixture, SeveralMessagesInOneWriteAndOneSplitAcrossWrites) {
    Pc pc(gateway.Port());
    pc.Open();
    std::vector<uint8_t> both = *EncodeGatewayMessage(7, 0, std::vector<uint8_t>{0x00, 0xFD, kCmdIdentify});
    auto second = *EncodeGatewayMessage(7, 0, std::vector<uint8_t>{0x0A, 0xFD, kCmdIdentify});
    both.insert(both.end(), second.begin(), second.begin() + 3);
    pc.SendRaw(both);
    pc.SendRaw({second.begin() + 3, second.end()});
    auto a = pc.ReceiveType(GatewayType::Relay);
    auto b = pc.ReceiveType(GatewayType::Relay);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->payload[1], 0x00);
    EXPECT_EQ(b->payload[1], 0x0A);
}

TEST_F(GatewayFixture, BroadcastAndItsCopyToTheControllerGetNoAnswer) {
    Pc pc(gateway.Port());
    pc.Open();
    pc.Send(GatewayType::Relay, 0, {kAddrAll, 0xFD, kCmdIdentify});
    pc.Send(GatewayType::Relay, 0, {kAddrController, 0xFD, kCmdIdentify});
    pc.Send(GatewayType::Relay, 0, {0x0A, 0xFD, kCmdIdentify});
    auto first = pc.ReceiveType(GatewayType::Relay);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->payload[1], 0x0A); // neither the broadcast nor its copy was answered
    EXPECT_EQ(gateway.Stats().broadcastCopiesSkipped, 1);
    EXPECT_TRUE(engine.RequestsTo(kAddrController).empty());
}

TEST_F(GatewayFixture, LinkStateChangesAreReportedAndADownLinkAnswersNothing) {
    Pc pc(gateway.Port());
    pc.Open();
    gateway.SetLinkState(0);
    auto down = pc.ReceiveType(GatewayType::LinkState);
    ASSERT_TRUE(down);
    EXPECT_EQ(Hex(down->payload), "00");
    pc.Send(GatewayType::Relay, 0, {0x0A, 0xFD, kCmdIdentify});
    pc.Send(GatewayType::KeepAlive, 0x0042);
    auto next = pc.Receive();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->type, static_cast<uint8_t>(GatewayType::KeepAlive)); // no type 7 before it
    gateway.SetLinkState(1);
    auto up = pc.ReceiveType(GatewayType::LinkState);
    ASSERT_TRUE(up);
    EXPECT_EQ(Hex(up->payload), "01");
}

TEST_F(GatewayFixture, DroppedAndCorruptedAnswersAreNotRelayed) {
    Pc pc(gateway.Port());
    pc.Open();
    // Answers without delay leave before the reply to a later keep-alive: a keep-alive
    // arriving first shows that no type 7 came.
    for (int fault = 0; fault < 2; ++fault) {
        if (fault == 0)
            engine.GetFaults().DropNextAnswers(1);
        else
            engine.GetFaults().CorruptNextChecksum();
        pc.Send(GatewayType::Relay, 0, {0x0A, 0xFD, kCmdIdentify});
        pc.Send(GatewayType::KeepAlive, 0x0100);
        auto next = pc.Receive();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->type, static_cast<uint8_t>(GatewayType::KeepAlive)) << fault;
    }
    pc.Send(GatewayType::Relay, 0, {0x0A, 0xFD, kCmdIdentify});
    EXPECT_TRUE(pc.ReceiveType(GatewayType::Relay));
}

TEST_F(GatewayFixture, ShortLengthFieldCloseMessageAndDisconnectFaultEndTheConnection) {
    {
        Pc pc(gateway.Port());
        pc.Open();
        pc.SendRaw({0x00, 0x03, 0x00, 0x00, 0x07});
        EXPECT_TRUE(pc.ClosedByGateway());
    }
    {
        Pc pc(gateway.Port());
        pc.Open();
        pc.Send(GatewayType::Close, kCloseMessageId);
        EXPECT_TRUE(pc.ClosedByGateway());
    }
    {
        Pc pc(gateway.Port());
        pc.Open();
        engine.GetFaults().DisconnectGatewayClients();
        EXPECT_TRUE(pc.ClosedByGateway());
    }
    const GatewayStats stats = gateway.Stats();
    EXPECT_EQ(stats.badMessages, 1);
    EXPECT_EQ(stats.closesReceived, 1);
    EXPECT_EQ(stats.connectionsAccepted, 3);
}

TEST(GatewayMessage, ReaderCopesWithPiecesOfAnySizeAndRefusesShortLengths) {
    std::vector<uint8_t> stream;
    for (uint16_t id : {1, 2, 3}) {
        auto m = *EncodeGatewayMessage(7, id, std::vector<uint8_t>(id * 3, 0xAB));
        stream.insert(stream.end(), m.begin(), m.end());
    }
    GatewayReader reader;
    std::vector<GatewayMessage> out;
    for (uint8_t b : stream)
        ASSERT_EQ(reader.Feed(std::span<const uint8_t>(&b, 1), out), GatewayReader::Status::Ok);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].id, 3);
    EXPECT_EQ(out[2].payload.size(), 9u);
    EXPECT_EQ(reader.Buffered(), 0u);

    const uint8_t zero[] = {0x00, 0x00, 0x00};
    EXPECT_EQ(reader.Feed(zero, out), GatewayReader::Status::BadLength);
    EXPECT_EQ(reader.Feed(stream, out), GatewayReader::Status::BadLength); // stays broken
    EXPECT_EQ(out.size(), 3u);
    EXPECT_EQ(Hex(*EncodeGatewayMessage(8, 0x1234)), "00 05 12 34 08");
    EXPECT_FALSE(EncodeGatewayMessage(7, 0, std::vector<uint8_t>(65531)));
}
