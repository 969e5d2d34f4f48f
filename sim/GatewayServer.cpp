#include "sim/GatewayServer.h"

#include "sim/Protocol.h"

#include "platform/Clock.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace mulvane {

namespace {
constexpr size_t kReceiveChunk = 8192;
constexpr int64_t kIdlePollMs = 20; // how often fault switches are looked at when nothing happens
constexpr size_t kRelayHeader = 3;  // destination, source, command
constexpr int kSendTimeoutMs = 1000;

int64_t NowMs() {
    static kaptiv::platform::RealClock clock;
    return clock.NowMs();
}
} // namespace

struct GatewayServer::Client {
    struct Scheduled {
        int64_t dueMs;
        uint16_t id;
        std::vector<uint8_t> payload;
        bool raw = false; // bytes of a message, written as they stand (a faulty delivery)
    };
    int fd = -1;
    GatewayReader reader;
    uint16_t openingId = 0;
    bool sessionOpen = false;
    bool closing = false;
    int64_t nextKeepAliveMs = 0;
    std::set<uint16_t> keepAliveIds; // sent, not yet answered
    std::optional<std::vector<uint8_t>> broadcastCopy;
    std::deque<Scheduled> answers; // first in, first out
};

GatewayServer::GatewayServer(RackEngine& engine, GatewayOptions options, uint64_t seed)
    : m_engine(engine), m_options(options), m_linkState(options.initialLinkState) {
    std::mt19937_64 rng(seed);
    m_nextId = static_cast<uint16_t>(rng() % 0x8000 + 1);
}

GatewayServer::~GatewayServer() {
    Stop();
}

bool GatewayServer::Start(std::string& error) {
    if (m_thread.joinable()) {
        error = "already running";
        return false;
    }
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(m_options.port);
    socklen_t len = sizeof addr;
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_listenFd, 8) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = "127.0.0.1:" + std::to_string(m_options.port) + ": " + std::strerror(errno);
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_port = ntohs(addr.sin_port);
    if (pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void GatewayServer::Stop() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    Wake();
    m_thread.join();
    close(m_listenFd);
    close(m_wakePipe[0]);
    close(m_wakePipe[1]);
    m_listenFd = m_wakePipe[0] = m_wakePipe[1] = -1;
}

void GatewayServer::Wake() {
    if (m_wakePipe[1] >= 0) {
        const uint8_t b = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &b, 1);
    }
}

void GatewayServer::SetLinkState(uint8_t state) {
    {
        std::lock_guard lock(m_mutex);
        m_linkState = state;
        m_linkStateChanged = true;
    }
    Wake();
}

void GatewayServer::DisconnectClients() {
    {
        std::lock_guard lock(m_mutex);
        m_disconnectRequested = true;
    }
    Wake();
}

GatewayStats GatewayServer::Stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

uint16_t GatewayServer::NextId() {
    std::lock_guard lock(m_mutex);
    const uint16_t id = m_nextId++;
    if (m_nextId == kCloseMessageId || m_nextId == 0)
        m_nextId = 1;
    return id;
}

bool GatewayServer::Send(Client& client, uint8_t type, uint16_t id, const std::vector<uint8_t>& payload) {
    if (client.closing)
        return false;
    auto message = EncodeGatewayMessage(type, id, payload);
    return message && SendBytes(client, *message);
}

bool GatewayServer::SendBytes(Client& client, const std::vector<uint8_t>& bytes) {
    if (client.closing)
        return false;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(client.fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            client.closing = true;
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

void GatewayServer::Relay(Client& client, const GatewayMessage& message, int64_t nowMs) {
    if (message.payload.size() < kRelayHeader) {
        std::lock_guard lock(m_mutex);
        ++m_stats.badMessages;
        return;
    }
    // The PC sends a broadcast a second time addressed to 0; the rack already had it.
    if (client.broadcastCopy) {
        const bool isCopy = *client.broadcastCopy == message.payload;
        client.broadcastCopy.reset();
        if (isCopy) {
            std::lock_guard lock(m_mutex);
            ++m_stats.broadcastCopiesSkipped;
            return;
        }
    }
    uint8_t linkState;
    {
        std::lock_guard lock(m_mutex);
        ++m_stats.relayedRequests;
        linkState = m_linkState;
    }
    if (linkState == 0)
        return; // no rack behind the gateway
    const uint8_t destination = message.payload[0];
    const uint8_t command = message.payload[2];
    std::span<const uint8_t> data(message.payload.data() + kRelayHeader,
                                  message.payload.size() - kRelayHeader);
    if (destination == kAddrAll) {
        std::vector<uint8_t> copy = message.payload;
        copy[0] = kAddrController;
        client.broadcastCopy = std::move(copy);
    }
    std::optional<Answer> answer = m_engine.Handle(destination, command, data, nowMs);
    if (!answer || answer->corruptChecksum)
        return;
    std::vector<uint8_t> payload = {kAddrPc, answer->source, answer->Control()};
    payload.insert(payload.end(), answer->data.begin(), answer->data.end());
    if (answer->truncated || answer->byteByByte) {
        ScheduleFaultyAnswer(client, message.id, payload, *answer, nowMs);
        return;
    }
    if (answer->delayMs <= 0 && client.answers.empty()) {
        Send(client, static_cast<uint8_t>(GatewayType::Relay), message.id, payload);
        return;
    }
    int64_t due = nowMs + answer->delayMs;
    if (!client.answers.empty())
        due = std::max(due, client.answers.back().dueMs);
    client.answers.push_back({due, message.id, std::move(payload)});
}

void GatewayServer::ScheduleFaultyAnswer(Client& client, uint16_t id, const std::vector<uint8_t>& payload,
                                         const Answer& answer, int64_t nowMs) {
    auto message = EncodeGatewayMessage(static_cast<uint8_t>(GatewayType::Relay), id, payload);
    if (!message)
        return;
    int64_t due = nowMs + answer.delayMs;
    if (!client.answers.empty())
        due = std::max(due, client.answers.back().dueMs);
    for (auto& piece : DeliveryPieces(*message, answer.truncated, answer.byteByByte)) {
        client.answers.push_back({due, id, std::move(piece), true});
        due += answer.byteByByte ? kByteGapMs : 0;
    }
}

bool GatewayServer::HandleMessage(Client& client, const GatewayMessage& message, int64_t nowMs) {
    switch (static_cast<GatewayType>(message.type)) {
    case GatewayType::OpeningAnswer:
        if (message.id == client.openingId && !client.sessionOpen) {
            client.sessionOpen = true;
            std::lock_guard lock(m_mutex);
            ++m_stats.sessionsOpened;
        }
        return true;
    case GatewayType::Close: {
        std::lock_guard lock(m_mutex);
        ++m_stats.closesReceived;
        return false;
    }
    case GatewayType::Relay:
        Relay(client, message, nowMs);
        return true;
    case GatewayType::KeepAlive:
        if (client.keepAliveIds.erase(message.id)) {
            std::lock_guard lock(m_mutex);
            ++m_stats.keepAlivesAnswered;
        } else {
            {
                std::lock_guard lock(m_mutex);
                ++m_stats.keepAlivesReceived;
            }
            Send(client, static_cast<uint8_t>(GatewayType::KeepAlive), message.id, {});
        }
        return true;
    default:
        return true; // types the gateway does not expect from a PC are ignored
    }
}

void GatewayServer::Serve(Client& client, int64_t nowMs) {
    uint8_t buffer[kReceiveChunk];
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        client.closing = true;
        return;
    }
    std::vector<GatewayMessage> messages;
    const GatewayReader::Status status =
        client.reader.Feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), messages);
    for (const GatewayMessage& message : messages) {
        if (!HandleMessage(client, message, nowMs)) {
            client.closing = true;
            return;
        }
    }
    if (status == GatewayReader::Status::BadLength) {
        std::lock_guard lock(m_mutex);
        ++m_stats.badMessages;
        client.closing = true;
    }
}

void GatewayServer::Run() {
    std::vector<std::unique_ptr<Client>> clients;
    uint64_t seenGeneration = m_engine.GetFaults().GatewayDisconnectGeneration();
    int seenRestarts = m_engine.RestartCount();
    bool rackRestarting = false;
    while (!m_stop) {
        const int64_t now = NowMs();
        bool disconnect = false;
        bool linkChanged = false;
        uint8_t linkState;
        {
            std::lock_guard lock(m_mutex);
            std::swap(disconnect, m_disconnectRequested);
            std::swap(linkChanged, m_linkStateChanged);
            linkState = m_linkState;
        }
        // The gateway loses the rack while it restarts and reports it back once it answers
        // again: that report is what makes the tool scan after a firmware update.
        if (const int restarts = m_engine.RestartCount(); restarts != seenRestarts) {
            seenRestarts = restarts;
            rackRestarting = linkChanged = true;
            linkState = 0;
        } else if (rackRestarting && !m_engine.IsRestarting(now)) {
            rackRestarting = false;
            linkChanged = true;
        }
        const uint64_t generation = m_engine.GetFaults().GatewayDisconnectGeneration();
        if (generation != seenGeneration) {
            seenGeneration = generation;
            disconnect = true;
        }
        int64_t nextDue = now + kIdlePollMs;
        for (auto& client : clients) {
            if (disconnect)
                client->closing = true;
            if (linkChanged)
                Send(*client, static_cast<uint8_t>(GatewayType::LinkState), NextId(), {linkState});
            while (!client->answers.empty() && client->answers.front().dueMs <= now) {
                const Client::Scheduled& due = client->answers.front();
                if (due.raw)
                    SendBytes(*client, due.payload);
                else
                    Send(*client, static_cast<uint8_t>(GatewayType::Relay), due.id, due.payload);
                client->answers.pop_front();
            }
            if (!client->answers.empty())
                nextDue = std::min(nextDue, client->answers.front().dueMs);
            if (now >= client->nextKeepAliveMs) {
                const uint16_t id = NextId();
                if (Send(*client, static_cast<uint8_t>(GatewayType::KeepAlive), id, {})) {
                    client->keepAliveIds.insert(id);
                    std::lock_guard lock(m_mutex);
                    ++m_stats.keepAlivesSent;
                }
                client->nextKeepAliveMs = now + m_options.keepAliveIntervalMs;
            }
            nextDue = std::min(nextDue, client->nextKeepAliveMs);
        }
        std::erase_if(clients, [](const std::unique_ptr<Client>& c) {
            if (c->closing)
                close(c->fd);
            return c->closing;
        });
        m_clientCount = static_cast<int>(clients.size());

        std::vector<pollfd> fds = {{m_wakePipe[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        for (auto& client : clients)
            fds.push_back({client->fd, POLLIN, 0});
        const int timeout = static_cast<int>(std::clamp<int64_t>(nextDue - now, 0, kIdlePollMs));
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            uint8_t drain[64];
            while (read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        const int64_t later = NowMs();
        for (size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                Serve(*clients[i - 2], later);
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && m_options.maxSessions > 0 &&
                static_cast<int>(clients.size()) >= m_options.maxSessions) {
                // A gateway that serves one session: the newcomer is closed before any
                // message, and the session in progress goes on untouched.
                close(fd);
                std::lock_guard lock(m_mutex);
                ++m_stats.connectionsRefused;
            } else if (fd >= 0) {
                timeval tv{kSendTimeoutMs / 1000, 0};
                setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
                const int one = 1; // answers are small and wanted at once
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                auto client = std::make_unique<Client>();
                client->fd = fd;
                client->openingId = NextId();
                client->nextKeepAliveMs = later + m_options.keepAliveIntervalMs;
                uint8_t state;
                {
                    std::lock_guard lock(m_mutex);
                    ++m_stats.connectionsAccepted;
                    state = m_linkState;
                }
                Send(*client, static_cast<uint8_t>(GatewayType::Opening), client->openingId, {});
                Send(*client, static_cast<uint8_t>(GatewayType::LinkState), NextId(), {state});
                clients.push_back(std::move(client));
                m_clientCount = static_cast<int>(clients.size());
            }
        }
    }
    for (auto& client : clients)
        close(client->fd);
    m_clientCount = 0;
}

} // namespace mulvane
