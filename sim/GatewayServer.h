#pragma once
// The IP gateway of the simulated rack: a TCP server on 127.0.0.1 that speaks the gateway's
// side of the message protocol on a background thread.
//
// On accept it opens the session (type 0; the PC answers type 1 with the same id) and
// reports its rack link (type 5). Type-7 requests are relayed to the modules and their
// answers come back as type 7: 0xFD, the module's address, the answer's control byte (kind
// and length form, as the module sent it), the answer data. A broadcast and the copy of it
// addressed to 0 that follows it get no answer. Keep-alives (type 8) are answered, and the
// gateway sends its own every few seconds. Type 6 from the PC, or a length field under the
// 5-byte header, ends the connection. While the rack link is down requests go unanswered;
// an answer whose frame came in corrupted is not relayed. The answer faults (sim/AnswerFaults.h)
// send a relayed answer cut short or one byte per send.
#include "sim/Engine.h"
#include "sim/GatewayMessage.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace mulvane {

struct GatewayOptions {
    uint16_t port = 0; // 0: any free port, see Port()
    int64_t keepAliveIntervalMs = 5000;
    uint8_t initialLinkState = 1;
    // 0: any number of PCs at once. N: while N are connected, a further connection is
    // closed at once, before the opening message (a gateway that serves one session).
    int maxSessions = 0;
};

struct GatewayStats {
    int connectionsAccepted = 0;
    int sessionsOpened = 0;  // type-1 answers with the right id
    int relayedRequests = 0; // type-7 requests passed to the modules
    int broadcastCopiesSkipped = 0;
    int keepAlivesSent = 0;
    int keepAlivesAnswered = 0; // the PC's type 8 carrying one of our ids
    int keepAlivesReceived = 0; // the PC's own type 8, answered
    int closesReceived = 0;     // type 6
    int badMessages = 0;        // length under 5, or a type-7 payload under 3 bytes
    int connectionsRefused = 0; // closed at once: maxSessions were connected
};

class GatewayServer {
public:
    GatewayServer(RackEngine& engine, GatewayOptions options = {}, uint64_t seed = 1);
    ~GatewayServer();
    GatewayServer(const GatewayServer&) = delete;
    GatewayServer& operator=(const GatewayServer&) = delete;

    // Binds 127.0.0.1 and starts the thread. False (with the reason) when the port is taken.
    bool Start(std::string& error);
    void Stop();
    uint16_t Port() const { return m_port; }

    // Sets the rack link state and reports it (type 5) to every connected PC.
    void SetLinkState(uint8_t state);
    // Closes every client connection (the PC reconnects by itself).
    void DisconnectClients();

    int ClientCount() const { return m_clientCount.load(); }
    GatewayStats Stats() const;

private:
    struct Client;
    void Run();
    void Serve(Client& client, int64_t nowMs);
    bool HandleMessage(Client& client, const GatewayMessage& message, int64_t nowMs);
    void Relay(Client& client, const GatewayMessage& message, int64_t nowMs);
    bool Send(Client& client, uint8_t type, uint16_t id, const std::vector<uint8_t>& payload);
    bool SendBytes(Client& client, const std::vector<uint8_t>& bytes);
    // A relayed answer cut short or sent byte by byte (sim/AnswerFaults.h).
    void ScheduleFaultyAnswer(Client& client, uint16_t id, const std::vector<uint8_t>& payload,
                              const Answer& answer, int64_t nowMs);
    uint16_t NextId();
    void Wake();

    RackEngine& m_engine;
    GatewayOptions m_options;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_clientCount{0};

    mutable std::mutex m_mutex; // guards what other threads set or read below
    uint8_t m_linkState;
    bool m_linkStateChanged = false;
    bool m_disconnectRequested = false;
    GatewayStats m_stats;
    uint16_t m_nextId;
};

} // namespace mulvane
